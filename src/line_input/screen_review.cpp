// Screen review (see screen_review.h).
#include "line_input/screen_review.h"

#include "console/console.h"
#include "platform/text.h"
#include "speech/speech.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace {

constexpr int COLS = SCREEN_COLUMNS;
constexpr int ROWS = SCREEN_ROWS;
// The longest search text: a match never spans two rows.
constexpr size_t SEARCH_MAX = COLS;

// Special-key codes (the second byte after 0).
constexpr int KEY_SHIFT_TAB = 15, KEY_F1 = 59, KEY_F5 = 63, KEY_F6 = 64, KEY_HOME = 71, KEY_UP = 72,
              KEY_PAGE_UP = 73, KEY_LEFT = 75, KEY_RIGHT = 77, KEY_END = 79, KEY_DOWN = 80,
              KEY_PAGE_DOWN = 81, KEY_CTRL_F1 = 94, KEY_CTRL_F5 = 98, KEY_CTRL_LEFT = 115,
              KEY_CTRL_RIGHT = 116, KEY_CTRL_PAGE_DOWN = 118, KEY_CTRL_PAGE_UP = 132, KEY_CTRL_INSERT = 255;
constexpr uint8_t KEY_ESC = 27;

// The review cursor, 1-based. The column may stand at 81, just after the
// row, once a word that ends in the last column has been read.
struct Review {
    int row = 1, column = 1;
};

std::string lastSearch;

uint8_t cellAt(int column, int row) { return screenCharAt(column, row); }

bool isSeparator(uint8_t c) { return c == '!' || c == ':' || c == '?' || c == '|' || (c >= 176 && c <= 223); }

// Letters, digits and the accented letters of Portuguese (and ñ).
bool isWordChar(uint8_t c) {
    constexpr std::string_view ACCENTED = "\xE0\xE1\xE2\xE3\xE7\xE9\xEA\xED\xF1\xF3\xF4\xF5\xFA"
                                          "\xC0\xC1\xC2\xC3\xC7\xC9\xCA\xCD\xD1\xD3\xD4\xD5\xDA";
    char ch = static_cast<char>(c);
    return isAsciiLetter(ch) || isDigitChar(ch) || ACCENTED.find(ch) != std::string_view::npos;
}

bool onlyConsonants(std::string_view word) {
    for (char c : word)
        if (std::string_view("BCDFGHJKLMNPQRSTVWXYZ").find(upperAscii(c)) == std::string_view::npos) return false;
    return true;
}

// Column 1 + the last non-blank column of the row (1 for a blank row).
int lineEnd(int row) {
    int column = COLS;
    while (column >= 1 && cellAt(column, row) == ' ') --column;
    return column + 1;
}

std::string rowCells(int row, int from, int to) {
    std::string cells;
    for (int column = from; column <= to; ++column) cells += static_cast<char>(cellAt(column, row));
    return cells;
}

// The whole screen as text: each row's 80 characters and CR LF.
std::string screenText() {
    std::string text;
    for (int row = 1; row <= ROWS; ++row) text += rowCells(row, 1, COLS) + "\r\n";
    return text;
}

void refuse() {
    errorBeep();
    clickSound();
    errorBeep();
}

// The field around the review cursor: the cells of its row that share the
// attribute of the cell under it and hold no separator. On a separator the
// field is empty (`to` = `from` - 1).
void fieldBounds(const Review& r, int& from, int& to) {
    int column = std::clamp(r.column, 1, COLS);
    uint8_t attribute = screenAttrAt(column, r.row);
    auto inField = [&](int c) { return screenAttrAt(c, r.row) == attribute && !isSeparator(cellAt(c, r.row)); };
    from = column;
    to = column - 1;
    if (!inField(column)) return;
    to = column;
    while (from > 1 && inField(from - 1)) --from;
    while (to < COLS && inField(to + 1)) ++to;
}

// Reads the word at the review cursor, looking no further than column
// `last`: spaces are skipped, then the first other character and the word
// characters after it are taken, the console cursor following. A single
// character takes its repetitions along (three are said at most); a word of
// consonants only is spelled. The review column ends after what was read.
// False when only spaces were left.
bool readWord(Review& r, int last) {
    int column = r.column;
    while (column <= last && cellAt(column, r.row) == ' ') ++column;
    r.column = column;
    if (column > last) return false;
    std::string word(1, static_cast<char>(cellAt(column, r.row)));
    moveCursor(column, r.row);
    ++column;
    while (column <= last && isWordChar(cellAt(column, r.row))) {
        word += static_cast<char>(cellAt(column, r.row));
        moveCursor(column, r.row);
        ++column;
    }
    if (word.size() == 1) {
        while (column <= last && cellAt(column, r.row) == static_cast<uint8_t>(word[0])) {
            if (word.size() < 3) word += word[0];
            ++column;
        }
        speakText(word);
    } else if (onlyConsonants(word)) {
        spellText(word);
    } else {
        speakText(word);
    }
    r.column = column;
    return true;
}

// Reads from (r1, c1) to (r2, c2), row after row, with a click between rows;
// a key stops it. The review cursor ends where reading stopped (at the end
// of that row when the region reaches the last column), or, with `keep`,
// where it was.
void readRegion(Review& r, int r1, int c1, int r2, int c2, bool keep) {
    if (r1 == r2 && c2 < c1) {
        errorBeep();
        return;
    }
    const Review before = r;
    for (int row = r1; row <= r2; ++row) {
        int from = row == r1 ? c1 : 1, to = row == r2 ? c2 : COLS;
        r.row = row;
        r.column = from;
        if (speechServerActive()) {
            if (from <= to) speakText(rowCells(row, from, to));
            r.column = to + 1;
        } else {
            while (r.column <= to && !keyAvailable()) {
                if (!readWord(r, to)) break;
                while (r.column <= to && cellAt(r.column, row) == ' ') ++r.column;
            }
        }
        if (keyAvailable()) break;
        if (row < r2) clickSound();
    }
    soundBusy();  // lets a key that came meanwhile stop what still sounds
    if (c2 >= COLS) r.column = lineEnd(r.row);
    if (keep) r = before;
}

void readLine(Review& r) { readRegion(r, r.row, 1, r.row, COLS, true); }

// The two-letter commands: where the region starts (I from the start, T or
// L all, F from the review cursor) and what it spans (T screen, L line, C
// field). Screen regions leave the review cursor where reading stopped.
void regionCommand(Review& r, uint8_t first) {
    char where = upperAscii(static_cast<char>(first));
    if (where != 'I' && where != 'T' && where != 'L' && where != 'F') {
        refuse();
        return;
    }
    uint8_t key = readKey();
    stopSound();
    if (key == 0) readKey();
    char span = upperAscii(static_cast<char>(key));
    const int column = std::min(r.column, COLS + 1);
    int fieldFrom, fieldTo;
    fieldBounds(r, fieldFrom, fieldTo);
    int r1 = r.row, c1 = 1, r2 = r.row, c2 = COLS;
    if (span == 'T') r1 = 1, r2 = ROWS;
    else if (span == 'C') c1 = fieldFrom, c2 = fieldTo;
    else if (span != 'L') return refuse();
    if (where == 'F') {
        r1 = r.row;
        c1 = column;
    } else if (where == 'I') {
        r2 = r.row;
        // Up to the character before the cursor (in a field, the one under it).
        c2 = std::min(span == 'C' ? column : column - 1, COLS);
        // From column 1 that is the end of the row above.
        if (c2 == 0 && r2 > r1) --r2, c2 = COLS;
    }
    readRegion(r, r1, c1, r2, c2, span != 'T');
}

// The search text, typed blind: each character is said, Backspace says
// the one it removes, Enter ends, Esc abandons (false).
bool readSearchText(std::string& text) {
    text.clear();
    while (true) {
        uint8_t key = readKey();
        stopSound();
        if (key == KEY_ESC) return false;
        if (key == 13) return true;
        if (key == 0) {
            readKey();
            errorBeep();
        } else if (key == 8) {
            if (text.empty()) {
                errorBeep();
                continue;
            }
            uint8_t gone = static_cast<uint8_t>(text.back());
            text.pop_back();
            playSound("_DEL");
            speakChar(gone);
        } else if (text.size() >= SEARCH_MAX) {
            errorBeep();
        } else {
            text += static_cast<char>(key);
            speakChar(key);
        }
    }
}

// Looks for `text` from the character after the review cursor to the end
// of the screen; a match must be whole within one row.
void search(Review& r, const std::string& text) {
    for (int row = r.row; row <= ROWS && !text.empty(); ++row) {
        std::string cells = rowCells(row, 1, COLS);
        size_t from = row == r.row ? static_cast<size_t>(std::clamp(r.column, 0, COLS)) : 0;
        size_t at = cells.find(text, from);
        if (at != std::string::npos) {
            r.row = row;
            r.column = static_cast<int>(at) + 1;
            clickSound();
            return;
        }
    }
    errorBeep();
    errorBeep();
}

// Go to: two digits of row, two of column, each said as it is typed.
void goTo(Review& r) {
    speakText("Entre linha e coluna");
    int digits[4];
    for (int& d : digits) {
        uint8_t key = readKey();
        stopSound();
        if (key == 0) readKey();
        if (key < '0' || key > '9') {
            errorBeep();
            errorBeep();
            return;
        }
        speakChar(key);
        d = key - '0';
    }
    r.row = digits[0] * 10 + digits[1];
    r.column = digits[2] * 10 + digits[3];
}

// Ctrl+Page Up and Ctrl+Page Down: the first or the last non-blank
// character of the screen, and its line read.
void goToEdgeLetter(Review& r, bool last) {
    for (int i = 0; i < ROWS * COLS; ++i) {
        int cell = last ? ROWS * COLS - 1 - i : i;
        int row = cell / COLS + 1, column = cell % COLS + 1;
        if (cellAt(column, row) != ' ') {
            r.row = row;
            r.column = column;
            readLine(r);
            return;
        }
    }
    errorBeep();
}

void handleSpecial(Review& r, int code) {
    int fieldFrom, fieldTo;
    switch (code) {
    case KEY_SHIFT_TAB:
        fieldBounds(r, fieldFrom, fieldTo);
        r.column = fieldFrom - 2;
        clickSound();
        return;
    case KEY_F1:
        if (speechServerActive() && keyAvailable()) return;
        readWord(r, COLS);
        if (r.column > COLS) {
            clickSound();
            r.column = lineEnd(r.row);
        }
        return;
    case KEY_F5: {
        speakText("Qual texto");
        std::string text;
        if (!readSearchText(text)) return;
        lastSearch = text;
        search(r, lastSearch);
        return;
    }
    case KEY_F6: goTo(r); return;
    case KEY_HOME: r.column = 1; return;
    case KEY_UP:
        if (r.row <= 1) {
            errorBeep();
            return;
        }
        --r.row;
        r.column = 1;
        readLine(r);
        return;
    case KEY_PAGE_UP:
        r.row = 1;
        r.column = 1;
        readLine(r);
        return;
    case KEY_LEFT:
        // At column 1 the correction after the key answers with the error tone.
        if (r.column > 1) speakChar(cellAt(r.column - 1, r.row));
        else errorBeep();
        --r.column;
        return;
    case KEY_RIGHT:
        if (r.column > COLS + 1) {
            errorBeep();
            return;
        }
        speakChar(cellAt(r.column, r.row));
        ++r.column;
        return;
    case KEY_END: r.column = lineEnd(r.row); return;
    case KEY_DOWN:
        if (r.row >= ROWS) {
            errorBeep();
            return;
        }
        ++r.row;
        r.column = 1;
        clickSound();
        readLine(r);
        return;
    case KEY_PAGE_DOWN:
        r.row = ROWS;
        r.column = 1;
        readLine(r);
        return;
    case KEY_CTRL_F1:
        fieldBounds(r, fieldFrom, fieldTo);
        readRegion(r, r.row, fieldFrom, r.row, fieldTo, true);
        return;
    case KEY_CTRL_F5: search(r, lastSearch); return;
    case KEY_CTRL_LEFT: {
        int column = std::min(r.column, COLS + 1) - 1;
        while (column >= 1 && cellAt(column, r.row) == ' ') --column;
        while (column >= 1 && cellAt(column, r.row) != ' ') --column;
        r.column = column + 1;
        if (r.column <= 1) {
            r.column = 1;
            errorBeep();
        } else {
            clickSound();
        }
        return;
    }
    case KEY_CTRL_RIGHT: {
        int column = std::max(r.column, 1);
        while (column <= COLS && cellAt(column, r.row) != ' ') ++column;
        while (column <= COLS && cellAt(column, r.row) == ' ') ++column;
        if (column > COLS) {
            r.column = lineEnd(r.row);
            errorBeep();
        } else {
            r.column = column;
            clickSound();
        }
        return;
    }
    case KEY_CTRL_PAGE_DOWN: goToEdgeLetter(r, true); return;
    case KEY_CTRL_PAGE_UP: goToEdgeLetter(r, false); return;
    case KEY_CTRL_INSERT: copyToClipboard(screenText()); return;
    default: refuse(); return;
    }
}

void handlePlain(Review& r, uint8_t key) {
    int fieldFrom, fieldTo;
    switch (key) {
    case 3: copyToClipboard(screenText()); return;
    case 8: handleSpecial(r, KEY_LEFT); return;
    case 9:
        // Shift+Tab reaches the queue as a Tab with Shift held.
        if (keyModifierFlags()[0] == '1') return handleSpecial(r, KEY_SHIFT_TAB);
        fieldBounds(r, fieldFrom, fieldTo);
        r.column = fieldTo + 2;
        if (r.column > COLS) r.column = lineEnd(r.row);
        else clickSound();
        return;
    case 11:
    case 12: speakText(decimal(r.row) + " " + decimal(r.column)); return;
    case 13:
        ++r.row;
        r.column = 1;
        clickSound();
        return;
    case ' ': readLine(r); return;
    default:
        if (isAsciiLetter(static_cast<char>(key))) regionCommand(r, key);
        else refuse();
        return;
    }
}

// A review cursor off the screen comes back to its edge with the error
// tone (which also drops the keys typed ahead).
void correct(Review& r) {
    if (r.column < 1 || r.column > COLS + 1) {
        r.column = r.column < 1 ? 1 : COLS;
        errorBeep();
    }
    if (r.row < 1 || r.row > ROWS) {
        r.row = std::clamp(r.row, 1, ROWS);
        errorBeep();
    }
}

} // namespace

void reviewScreen() {
    errorBeep();
    const int savedColumn = cursorColumn(), savedRow = cursorRow();
    Review r;
    r.row = savedRow;
    r.column = savedColumn;
    while (true) {
        moveCursor(r.column, r.row);
        uint8_t key = readKey();
        stopSound();
        if (key == KEY_ESC) break;
        if (key == 0) handleSpecial(r, readKey());
        else handlePlain(r, key);
        correct(r);
    }
    errorBeep();
    errorBeep();
    moveCursor(savedColumn, savedRow);
}
