// The selection menu: a talking list of items in a rectangle of the
// console. The user moves through the items with the cursor keys, hears each
// one as it becomes current, may mark items, and leaves with Enter, Esc, a
// letter or a function key. The current item is shown in yellow, marked
// items in green. There is one menu per process; this module owns it (its
// items, marks, rectangle, current and top items).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A new, empty menu in the rectangle from column x1, row y1 to column x2,
// row y2 (1-based, inclusive), cut to the screen. False, with the old menu
// kept, when nothing of it is left on the screen.
bool menuCreate(int x1, int y1, int x2, int y2);
// True between menuCreate and menuClear.
bool menuExists();
// Appends an item, not marked.
void menuAdd(std::string_view text);
int menuItemCount();
// The text of item `index` (0-based); the empty text for a position that
// is not an item.
std::string menuItemText(int index);

struct MenuChoice {
    int index = 0;     // 1..count for an item, 0 before the first, count + 1 after the last
    uint8_t key = 0;   // the key that ended the selection; 0 for a special key
    uint8_t code = 0;  // the special key's code (59..70 F1..F12, 94..105 Ctrl+F1..F12)
};
// Runs a selection starting at item `start` (1-based); the first drawing
// speaks only with `speak`, every later one speaks. The text colours are
// the same afterwards.
MenuChoice menuSelect(int start, bool speak);
// Draws the visible rows (current item yellow, marked items green, the rest
// in the text colour the selection started with) and, with `speak`, says
// the current item, after the error tone when it is marked.
void menuDraw(bool speak);
// Blanks the rectangle in the current colours, leaves the console cursor at
// its top-left corner and discards the menu.
void menuClear();
