// The selection menu (see selection_menu.h).
#include "line_input/selection_menu.h"

#include "console/console.h"
#include "speech/speech.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int CURRENT_COLOUR = 14;  // yellow
constexpr int MARKED_COLOUR = 2;    // green
constexpr int PAGE = 10;
// Special-key codes (the second byte after 0).
constexpr int KEY_HOME = 71, KEY_UP = 72, KEY_PAGE_UP = 73, KEY_END = 79, KEY_DOWN = 80, KEY_PAGE_DOWN = 81,
              KEY_CTRL_PAGE_DOWN = 118, KEY_CTRL_PAGE_UP = 132;

struct SelectionMenu {
    bool exists = false;
    std::vector<std::string> items;
    std::vector<bool> marks;
    int x1 = 1, y1 = 1, x2 = 1, y2 = 1;
    // The current item, -1 before the first, the count after the last.
    int current = 0;
    int top = 0;  // the item shown on the first row
    uint8_t savedAttribute = 0;

    int count() const { return static_cast<int>(items.size()); }
    int width() const { return x2 - x1 + 1; }
    int rows() const { return y2 - y1 + 1; }
    bool isItem(int i) const { return i >= 0 && i < count(); }
};

SelectionMenu menu;

bool endsSelection(int code) { return (code >= 59 && code <= 70) || (code >= 94 && code <= 105); }

void scrollToCurrent() {
    if (menu.current < menu.top) menu.top = menu.current;
    else if (menu.current >= menu.top + menu.rows()) menu.top = menu.current - menu.rows() + 1;
    menu.current = std::max(menu.current, -1);
    menu.top = std::max(menu.top, 0);
}

// A special key other than those that end the selection; a move past
// either end stays just outside the list, with the error tone.
void moveBy(int code) {
    switch (code) {
    case KEY_DOWN: ++menu.current; break;
    case KEY_UP: --menu.current; break;
    case KEY_PAGE_DOWN: menu.current += PAGE; break;
    case KEY_PAGE_UP: menu.current -= PAGE; break;
    case KEY_HOME:
    case KEY_CTRL_PAGE_UP:
        errorBeep();
        menu.current = 0;
        break;
    case KEY_END:
    case KEY_CTRL_PAGE_DOWN:
        errorBeep();
        menu.current = menu.count() - 1;
        break;
    default: break;
    }
    if (menu.current < 0) {
        menu.current = -1;
        errorBeep();
    } else if (menu.current >= menu.count()) {
        menu.current = menu.count();
        errorBeep();
    }
}

// Space, "+", "-", "*" and "/" mark and unmark; true for any other key,
// which ends the selection.
bool markOrEnd(uint8_t key) {
    bool item = menu.isItem(menu.current);
    switch (key) {
    case ' ':
        if (item) menu.marks[menu.current] = !menu.marks[menu.current];
        return false;
    case '+':
        if (item) menu.marks[menu.current] = true;
        return false;
    case '-':
        if (item) menu.marks[menu.current] = false;
        return false;
    case '*': std::fill(menu.marks.begin(), menu.marks.end(), true); return false;
    case '/': std::fill(menu.marks.begin(), menu.marks.end(), false); return false;
    default: return true;
    }
}

} // namespace

bool menuCreate(int x1, int y1, int x2, int y2) {
    x1 = std::max(x1, 1);
    y1 = std::max(y1, 1);
    x2 = std::min(x2, SCREEN_COLUMNS);
    y2 = std::min(y2, SCREEN_ROWS);
    if (x2 < x1 || y2 < y1) return false;
    menu = SelectionMenu{};
    menu.exists = true;
    menu.x1 = x1;
    menu.y1 = y1;
    menu.x2 = x2;
    menu.y2 = y2;
    menu.savedAttribute = textAttribute;
    return true;
}

bool menuExists() { return menu.exists; }

void menuAdd(std::string_view text) {
    menu.items.emplace_back(text);
    menu.marks.push_back(false);
}

int menuItemCount() { return menu.count(); }

std::string menuItemText(int index) { return menu.isItem(index) ? menu.items[index] : std::string(); }

MenuChoice menuSelect(int start, bool speak) {
    menu.savedAttribute = textAttribute;
    // A start beyond the list stands just after it, where a move past the
    // end would leave it.
    menu.current = std::clamp(start, 0, menu.count() + 1) - 1;
    MenuChoice choice;
    while (true) {
        scrollToCurrent();
        menuDraw(speak);
        speak = true;
        uint8_t key = readKey();
        stopSound();
        if (key == 0) {
            uint8_t code = readKey();
            if (endsSelection(code)) {
                choice.code = code;
                break;
            }
            moveBy(code);
        } else if (markOrEnd(key)) {
            choice.key = key;
            break;
        }
    }
    textAttribute = menu.savedAttribute;
    choice.index = menu.current + 1;
    return choice;
}

void menuDraw(bool speak) {
    for (int k = 0; k < menu.rows(); ++k) {
        int i = menu.top + k;
        std::string row = menuItemText(i);
        // A control byte would move the cursor or scroll the screen.
        for (char& c : row)
            if (static_cast<unsigned char>(c) < 32) c = '?';
        row.resize(menu.width(), ' ');
        int colour = i == menu.current ? CURRENT_COLOUR
                     : menu.isItem(i) && menu.marks[i] ? MARKED_COLOUR
                                                        : menu.savedAttribute & 0x0F;
        moveCursor(menu.x1, menu.y1 + k);
        setTextColour(colour);
        consoleWrite(row);
    }
    if (speak) {
        if (menu.isItem(menu.current) && menu.marks[menu.current]) errorBeep();
        speakText(menuItemText(menu.current));
    }
    bool shown = menu.isItem(menu.current) && menu.current >= menu.top && menu.current < menu.top + menu.rows();
    moveCursor(menu.x1, shown ? menu.y1 + menu.current - menu.top : menu.y1);
}

void menuClear() {
    const std::string blanks(menu.width(), ' ');
    for (int row = menu.y1; row <= menu.y2; ++row) {
        moveCursor(menu.x1, row);
        consoleWrite(blanks);
    }
    moveCursor(menu.x1, menu.y1);
    menu = SelectionMenu{};
}
