// The family's talking text viewer (redato): shows a text file on the
// console, 24 lines at a time with the current line highlighted and a status
// line below, and speaks the current line. Up, Down, Page Up, Page Down,
// Home and End move and speak; Enter or F1 says the line again; Esc leaves.
// Lines longer than the screen are cut on the screen and spoken whole.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The lines of a text file's content: CR LF, LF and a lone CR end a line, a
// Ctrl+Z ends the text. Content that is valid UTF-8 is converted to
// Windows-1252; anything else is taken as Windows-1252 already.
std::vector<std::string> splitTextLines(std::string_view content);

// Shows `lines` under the name `name` (Windows-1252) until the user presses Esc.
void viewTextLines(std::string_view name, const std::vector<std::string>& lines);
