// The talking line editor (see line_editor.h).
#include "line_input/line_editor.h"

#include "console/console.h"
#include "desktop/program_execution.h"
#include "line_input/screen_review.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "sound/wave_player.h"
#include "speech/config.h"
#include "speech/speech.h"
#include "speech/spoken_numbers.h"

#include <algorithm>

namespace {

constexpr uint8_t SELECTION_BACKGROUND = 8;
// Special-key codes (the second byte after 0).
constexpr int KEY_F1 = 59, KEY_F4 = 62, KEY_F8 = 66, KEY_F12 = 70, KEY_HOME = 71,
              KEY_LEFT = 75, KEY_RIGHT = 77, KEY_END = 79, KEY_DELETE = 83,
              KEY_CTRL_F1 = 94, KEY_CTRL_F4 = 97, KEY_CTRL_F8 = 101, KEY_CTRL_F9 = 102,
              KEY_CTRL_LEFT = 115, KEY_CTRL_RIGHT = 116, KEY_SHIFT_INSERT = 254,
              KEY_CTRL_INSERT = 255;

// The state of one call. Positions are 1-based; the cursor p runs from 1 to
// m + 1 (just beyond the field).
struct Editor {
    std::string field;  // always exactly m characters, padded with spaces
    int m = 0;
    int p = 1, o = 1, w = 1;
    int column = 1, row = 1;
    bool editable = true;
    bool firstKey = true;
    int a = 0, e = 0;  // selection anchor and end; 0 = none
    std::string start;
    // What is on the screen now, so unchanged fields are not written again.
    bool drawn = false;
    std::string shownCells;
    int shownSelFrom = 0, shownSelTo = 0;
};

LineEditorTrace trace = nullptr;
// The field being edited, brought up to date on the screen before any sound.
Editor* active = nullptr;

void note(std::string_view event) {
    if (trace) trace(event);
}

bool hasSelection(const Editor& ed) { return ed.a > 0 && ed.e > 0 && ed.a != ed.e; }

// A control byte would move the console cursor or scroll the screen.
char shownChar(char c) { return static_cast<unsigned char>(c) < 32 ? '?' : c; }

void keepCursorVisible(Editor& ed) {
    if (ed.p < ed.o) ed.o = ed.p;
    if (ed.o + ed.w < ed.p) ed.o = ed.p - ed.w;
}

// Writes the visible part of the field at its place (the selection on
// background colour 8), clears the rest of the console line and puts the
// console cursor at the editing position. Only the cells that changed since
// the last call are written, and blanks at the end are cleared rather than
// written: the screen is the same, with less output.
void draw(Editor& ed) {
    std::string cells(ed.w, ' ');
    for (int i = 0; i < ed.w && ed.o + i <= ed.m; ++i) cells[i] = shownChar(ed.field[ed.o + i - 1]);
    int selFrom = 0, selTo = 0;
    if (hasSelection(ed)) {
        selFrom = std::clamp(std::min(ed.a, ed.e) - ed.o, 0, ed.w);
        selTo = std::clamp(std::max(ed.a, ed.e) - ed.o, 0, ed.w);
    }
    auto selected = [&](int i) { return i >= selFrom && i < selTo; };
    auto wasSelected = [&](int i) { return i >= ed.shownSelFrom && i < ed.shownSelTo; };
    auto blank = [&](int i) { return cells[i] == ' ' && !selected(i); };
    int from = 0, to = ed.w;
    if (ed.drawn) {
        auto differs = [&](int i) { return cells[i] != ed.shownCells[i] || selected(i) != wasSelected(i); };
        while (from < to && !differs(from)) ++from;
        while (to > from && !differs(to - 1)) --to;
    }
    if (from < to) {
        bool blankTail = true;
        for (int i = to; i < ed.w && blankTail; ++i) blankTail = blank(i);
        int end = to;
        if (blankTail)
            while (end > from && blank(end - 1)) --end;
        moveCursor(ed.column + from, ed.row);
        uint8_t normal = textAttribute;
        for (int i = from; i < end;) {
            int run = i;
            while (run < end && selected(run) == selected(i)) ++run;
            if (selected(i)) textAttribute = static_cast<uint8_t>((SELECTION_BACKGROUND << 4) | (normal & 0x0F));
            consoleWrite(std::string_view(cells).substr(i, run - i));
            textAttribute = normal;
            i = run;
        }
        if (!ed.drawn || end < to) clearToLineEnd();
        ed.drawn = true;
        ed.shownCells = cells;
        ed.shownSelFrom = selFrom;
        ed.shownSelTo = selTo;
    }
    moveCursor(ed.column + ed.p - ed.o, ed.row);
}

void refresh() {
    if (!active) return;
    keepCursorVisible(*active);
    draw(*active);
}

// ---- Sounds, each announced to the trace ----

void soundChar(uint8_t c) {
    refresh();
    note("_" + decimal(c));
    speakChar(c);
}
void soundNamed(std::string_view name) {
    refresh();
    note(name);
    playSound(name);
}
void soundText(std::string_view text) {
    refresh();
    note("text:" + std::string(text));
    speakText(text);
}
void soundSpelled(std::string_view text) {
    refresh();
    note("spell:" + std::string(text));
    spellText(text);
}
void click() {
    refresh();
    note("click");
    clickSound();
}
void refuse() {
    refresh();
    note("error");
    errorBeep();
}

// ---- Characters and words ----

bool isDigit(char c) { return c >= '0' && c <= '9'; }
// Letters of words: A..Z, a..z and every byte from 128 up.
bool isWordLetter(char c) { return isAsciiLetter(c) || static_cast<unsigned char>(c) >= 128; }

int lastNonSpace(const Editor& ed) {
    size_t last = ed.field.find_last_not_of(' ');
    return last == std::string::npos ? 0 : static_cast<int>(last) + 1;
}

// The first position of the word before `pos`: spaces are skipped
// backwards, then a run of digits, a run of letters or one other character.
int wordStartBefore(const Editor& ed, int pos) {
    int i = pos - 1;
    while (i >= 1 && ed.field[i - 1] == ' ') --i;
    if (i < 1) return 1;
    char c = ed.field[i - 1];
    if (isDigit(c)) {
        while (i > 1 && isDigit(ed.field[i - 2])) --i;
    } else if (isWordLetter(c)) {
        while (i > 1 && isWordLetter(ed.field[i - 2])) --i;
    }
    return i;
}

void wordLeft(Editor& ed) {
    int start = wordStartBefore(ed, ed.p);
    if (start <= 1) {
        ed.p = 1;
        refuse();
    } else {
        ed.p = start;
        click();
    }
}

void wordRight(Editor& ed) {
    int i = ed.p;
    if (i <= ed.m) {
        char c = ed.field[i - 1];
        if (isDigit(c)) {
            while (i <= ed.m && isDigit(ed.field[i - 1])) ++i;
        } else if (isWordLetter(c)) {
            while (i <= ed.m && isWordLetter(ed.field[i - 1])) ++i;
        } else if (c != ' ') {
            ++i;
        }
    }
    while (i <= ed.m && ed.field[i - 1] == ' ') ++i;
    if (i > ed.m) {
        ed.p = 1 + lastNonSpace(ed);
        refuse();
    } else {
        ed.p = i;
        click();
    }
}

// F1: speaks the word from the cursor on and moves after it. Numbers are
// spoken as numbers, words that can be pronounced as words, runs of
// consonants and single symbols are spelled.
void readNextWord(Editor& ed) {
    const std::string t = ed.field + ' ';
    const int last = ed.m + 1;
    int i = ed.p;
    while (i <= last && t[i - 1] == ' ') ++i;
    if (i > last) {
        refuse();
        return;
    }
    char c = upperLatin(t[i - 1]);
    int j = i + 1;
    if (isDigit(c) || c == '-') {
        while (j <= last && isDigit(t[j - 1])) ++j;
        ed.p = j;
        soundText(t.substr(i - 1, j - i));
    } else if ((c >= 'A' && c <= 'Z') || static_cast<unsigned char>(c) >= 128) {
        while (j <= last && isWordLetter(upperLatin(t[j - 1]))) ++j;
        std::string run = t.substr(i - 1, j - i);
        bool onlyConsonants = true;
        for (char r : run)
            if (std::string_view("BCDFGHJKLMNPQRSTVXZ").find(upperLatin(r)) == std::string_view::npos)
                onlyConsonants = false;
        ed.p = j;
        if (onlyConsonants) soundSpelled(run);
        else soundText(run);
    } else {
        ed.p = j;
        soundSpelled(t.substr(i - 1, 1));
    }
}

// The run of non-space characters at the cursor, or the one just before it.
std::string wordAtCursor(const Editor& ed) {
    int at = ed.p;
    if (at > ed.m || ed.field[at - 1] == ' ') --at;
    if (at < 1 || ed.field[at - 1] == ' ') return {};
    int from = at, to = at;
    while (from > 1 && ed.field[from - 2] != ' ') --from;
    while (to < ed.m && ed.field[to] != ' ') ++to;
    return ed.field.substr(from - 1, to - from + 1);
}

// ---- Editing ----

// Removes the character at `pos`, shows the field and says what went; a
// deletion the user asked for directly is announced with "_DEL" first.
void deleteAt(Editor& ed, int pos, bool announce) {
    if (!ed.editable) return;
    if (pos > ed.m) {
        refuse();
        return;
    }
    uint8_t gone = static_cast<uint8_t>(ed.field[pos - 1]);
    ed.field.erase(pos - 1, 1);
    ed.field += ' ';
    if (announce) soundNamed("_DEL");
    soundChar(gone);
}

void deleteSelection(Editor& ed) {
    if (!ed.editable) return;
    int from = std::min(ed.a, ed.e), to = std::max(ed.a, ed.e);
    ed.p = from;
    soundNamed("_DEL");
    for (int i = from; i < to; ++i) deleteAt(ed, from, false);
    ed.a = ed.e = from;
}

// Ctrl+Backspace: removes the word before the cursor, from its first
// character up to the cursor.
void deleteWordBefore(Editor& ed) {
    if (!ed.editable) return;
    int from = wordStartBefore(ed, ed.p);
    if (from >= ed.p) {
        refuse();
        return;
    }
    int count = ed.p - from;
    ed.p = from;
    for (int i = 0; i < count; ++i) deleteAt(ed, from, i == 0);
}

// A printable character goes in at the cursor. A full field (one whose last
// character is not a space) refuses it rather than lose its last character.
void insertChar(Editor& ed, char c) {
    if (!ed.editable) return;
    if (ed.p > ed.m || ed.field.back() != ' ') {
        refuse();
        return;
    }
    ed.field.insert(ed.field.begin() + (ed.p - 1), c);
    ed.field.pop_back();
    ++ed.p;
    refresh();
    if (echoTyping) soundChar(static_cast<uint8_t>(c));
}

void copySelectionOrField(const Editor& ed) {
    if (hasSelection(ed)) {
        int from = std::min(ed.a, ed.e), to = std::max(ed.a, ed.e);
        copyToClipboard(std::string_view(ed.field).substr(from - 1, to - from));
    } else {
        copyToClipboard(ed.field.substr(0, lastNonSpace(ed)) + "\r\n");
    }
}

void paste(Editor& ed) {
    if (!ed.editable) return;
    std::string clip = pasteFromClipboard(ed.m + 1);
    size_t lineEnd = clip.find_first_of("\r\n");
    if (lineEnd != std::string::npos) clip.erase(lineEnd);
    int from = hasSelection(ed) ? std::min(ed.a, ed.e) : ed.p;
    int to = hasSelection(ed) ? std::max(ed.a, ed.e) : ed.p;
    if (clip.empty() || from > ed.m) {
        refuse();
        return;
    }
    if (ed.firstKey && firstKeyClears) {
        click();
        click();
        ed.field.assign(ed.m, ' ');
    }
    std::string joined = ed.field.substr(0, from - 1) + clip + ed.field.substr(to - 1);
    joined.resize(ed.m, ' ');
    ed.field = joined;
    ed.a = ed.p = from;
    ed.e = std::min(from + static_cast<int>(clip.size()), ed.m + 1);
}

// Ctrl+F4: the next key chooses the speed (1..5, a digit); Esc or Enter
// leaves it as it is.
void changeSpeed() {
    soundNamed("_VELOC");
    uint8_t key;
    do {
        key = readKeyEcho();
        note("_" + decimal(key));
    } while (keyAvailable());
    if (key == 27 || key == 13) return;
    std::string directory = programSoundDirectory();
    note("speed:" + decimal(key - 48));
    closeSpeech();
    initSpeech(key - 48, directory);
}

void tellTime() {
    refresh();
    note("time");
    speakTime();
}
void tellDate() {
    refresh();
    note("date");
    speakDate();
}

// The special keys; an exit code, or -1 to go on.
int handleSpecial(Editor& ed, int code, bool alt) {
    switch (code) {
    case KEY_F1:
        if (alt) return LINE_EXIT_ALT_F1;
        readNextWord(ed);
        return -1;
    case KEY_F4:
        echoTyping = !echoTyping;
        soundNamed(echoTyping ? "_FALACI" : "_FALDLG");
        return -1;
    case KEY_F8: tellTime(); return -1;
    case KEY_F12: openWordTarget(wordAtCursor(ed)); return -1;
    case KEY_HOME: ed.p = 1; return -1;
    case KEY_LEFT:
        if (ed.p > 1) {
            --ed.p;
            soundChar(static_cast<uint8_t>(ed.field[ed.p - 1]));
        } else {
            refuse();
        }
        return -1;
    case KEY_RIGHT: {
        if (ed.p > ed.m) {
            refuse();
            return -1;
        }
        uint8_t c = static_cast<uint8_t>(ed.field[ed.p - 1]);
        if (alt && isAsciiLetter(static_cast<char>(c))) soundNamed("_FON" + decimal(c));
        else soundChar(c);
        ++ed.p;
        return -1;
    }
    case KEY_END: ed.p = 1 + lastNonSpace(ed); return -1;
    case KEY_DELETE:
        if (hasSelection(ed)) deleteSelection(ed);
        else deleteAt(ed, ed.p, true);
        return -1;
    case KEY_CTRL_F1: soundText(ed.field); return -1;
    case KEY_CTRL_F4: changeSpeed(); return -1;
    case KEY_CTRL_F8: tellDate(); return -1;
    case KEY_CTRL_F9:
        if (!alt) return LINE_EXIT_CTRL_F9;
        reviewScreen();
        return -1;
    case KEY_CTRL_LEFT: wordLeft(ed); return -1;
    case KEY_CTRL_RIGHT: wordRight(ed); return -1;
    case KEY_SHIFT_INSERT: paste(ed); return -1;
    case KEY_CTRL_INSERT: copySelectionOrField(ed); return -1;
    default:
        if (code >= 120 && code <= 129) return -1;  // Alt with a digit
        return code;
    }
}

// The plain keys; an exit code, or -1 to go on.
int handlePlain(Editor& ed, uint8_t key) {
    switch (key) {
    case 3: copySelectionOrField(ed); return -1;
    case 4:
        if (!ed.editable) return -1;
        std::fill(ed.field.begin() + (std::min(ed.p, ed.m + 1) - 1), ed.field.end(), ' ');
        soundNamed("_APFCPO");
        return -1;
    case 8:
        if (ed.p == 1) {
            refuse();
            return -1;
        }
        --ed.p;
        deleteAt(ed, ed.p, true);
        return -1;
    case 9: case 10: case 13: case 27: return key;
    case 11: soundText(decimal(ed.p)); return -1;
    case 19:
        if (!ed.editable) return -1;
        ed.field.erase(0, ed.p - 1);
        ed.field.resize(ed.m, ' ');
        ed.p = 1;
        soundNamed("_APICPO");
        return -1;
    case 21:
        if (!ed.editable) return -1;
        ed.field = ed.start;
        ed.p = 1;
        for (int i = 0; i < 3; ++i) refuse();
        return -1;
    case 22: paste(ed); return -1;
    case 25:
        if (!ed.editable) return -1;
        ed.field.assign(ed.m, ' ');
        ed.p = 1;
        soundNamed("_CPOAPA");
        return -1;
    case 28: dialTones(ed.field); return -1;
    case 127: deleteWordBefore(ed); return -1;
    default:
        break;
    }
    // Typing on an offered value replaces it; moving first keeps it.
    bool offered = ed.p <= ed.m && ed.field.find_first_not_of(' ', ed.p - 1) != std::string::npos;
    if (ed.firstKey && firstKeyClears && offered) {
        click();
        click();
        if (key >= 32 && ed.editable) ed.field.assign(ed.m, ' ');
    }
    if (key >= 32) insertChar(ed, static_cast<char>(key));
    return -1;
}

// Reads one key; special keys come as 0 and a code. The codes the console
// queues for Ctrl+Alt with Q, W or E are passed over: on some layouts those
// combinations also type a character, which follows.
void readEditorKey(bool& special, int& code, bool& shift, bool& alt) {
    while (true) {
        uint8_t key = readKey();
        stopSound();
        special = key == 0;
        code = key;
        if (special) {
            code = readKey();
            if (code == 16 || code == 17 || code == 18) continue;
        }
        std::string held = keyModifierFlags();
        shift = held[0] == '1';
        alt = held[2] == '1';
        return;
    }
}

} // namespace

void setLineEditorTrace(LineEditorTrace t) { trace = t; }

int readTalkingLine(std::string& text, int column, int row, bool editable, int maxLength) {
    Editor ed;
    ed.column = std::clamp(column, 1, SCREEN_COLUMNS);
    ed.row = std::clamp(row, 1, SCREEN_ROWS);
    ed.m = std::clamp(maxLength, 0, LINE_FIELD_MAX);
    // The field ends by column 78 and the cursor by column 79, so writing it
    // never reaches the last column and never scrolls, even on row 25. Fields
    // placed further right keep one visible cell.
    ed.w = std::max(1, std::min(79 - ed.column, ed.m));
    ed.editable = editable;
    ed.field = text;
    ed.field.resize(ed.m, ' ');
    ed.start = ed.field;

    Editor* outer = active;
    active = &ed;
    int exitCode = -1;
    while (exitCode < 0) {
        refresh();
        bool special, shift, alt;
        int code;
        readEditorKey(special, code, shift, alt);
        if (special) {
            if (shift) {
                if (ed.a == 0) ed.a = ed.p;
            } else if (code != KEY_SHIFT_INSERT && code != KEY_CTRL_INSERT && code != KEY_DELETE) {
                // Delete keeps the selection so that it can remove it.
                ed.a = ed.e = 0;
            }
            exitCode = handleSpecial(ed, code, alt);
            if (exitCode < 0 && shift) ed.e = ed.p;
        } else {
            if (code != 3 && code != 22 && code != 222 && code != 223) ed.a = ed.e = 0;
            exitCode = handlePlain(ed, static_cast<uint8_t>(code));
        }
        ed.firstKey = false;
    }
    active = outer;

    ed.o = 1;
    ed.a = ed.e = 0;
    draw(ed);
    moveCursor(ed.column, ed.row);
    size_t last = ed.field.find_last_not_of(' ');
    text = last == std::string::npos ? std::string() : ed.field.substr(0, last + 1);
    return exitCode;
}

int readLineAtCursor(std::string& text) {
    int column = cursorColumn(), row = cursorRow();
    text.clear();
    int exitCode = readTalkingLine(text, column, row, true, 1024);
    if (exitCode == 27) {
        moveCursor(column, row);
        clearToLineEnd();
        text.clear();
    }
    writeStandardOutput("\r\n");
    return exitCode;
}

void dialTones(std::string_view text) {
    bool fast = fastPlayback;
    fastPlayback = false;
    for (char c : text) {
        if (keyAvailable()) break;
        if (c == '#' || c == '*' || isDigit(c)) {
            std::string name = std::string("dtmf_") + (c == '*' ? 'X' : c);
            note(name);
            playWaveFile(letterDirectory() + name + ".wav");
            waitWhileSoundBusy();
            waitMs(100);
        } else if (c == ',') {
            waitMs(1000);
        }
    }
    fastPlayback = fast;
}

void openWordTarget(std::string_view word) {
    constexpr std::string_view STRIPPED = "\"(*-.<=>[_{";
    while (!word.empty() && STRIPPED.find(word.front()) != std::string_view::npos) word.remove_prefix(1);
    while (!word.empty() && STRIPPED.find(word.back()) != std::string_view::npos) word.remove_suffix(1);
    if (word.empty()) {
        refuse();
        return;
    }
    std::string here = unmapPath(currentDirectory());
    std::string program, target;
    if (word.starts_with("http://") || word.starts_with("https://") || word.starts_with("www.")) {
        program = readConfig("", "PROG.HTM");
        // Opened by itself, a bare "www." address needs its scheme to reach a browser.
        if (program.empty() && word.starts_with("www.")) target = "http://" + std::string(word);
    } else {
        size_t dot = word.find('.');
        std::string extension = toUpperLatin(dot == std::string_view::npos ? word.substr(0, 3) : word.substr(dot + 1, 3));
        if (extension == "EXE" || extension == "COM") {
            bool absolute = word[0] == '\\' || (word.size() >= 2 && isAsciiLetter(word[0]) && word[1] == ':');
            target = absolute ? std::string(word) : here + "\\" + std::string(word);
        } else {
            program = readConfig("", "PROG." + extension);
        }
    }
    std::string parameter;
    if (!program.empty()) {
        target = program;
        parameter = std::string(word);
    } else if (target.empty()) {
        target = std::string(word);
    }
    waitWhileSoundBusy();
    // A failed open is not reported.
    shellOpen(target, "", parameter, ShowMode::Normal);
    waitWhileSoundBusy();
}
