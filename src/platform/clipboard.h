// The desktop's clipboard: the X CLIPBOARD selection of the display named
// by DISPLAY (platform/linux/x11_clipboard). While we hold the clipboard a
// thread of ours answers the other programs' requests for its text on a
// connection of its own. Texts are Windows-1252 here and UTF-8 on the
// display; characters the code page lacks become "?".
#pragma once

#include <string>
#include <string_view>

// Makes the text the clipboard's contents; false without a display.
bool setDesktopClipboard(std::string_view cp1252Text);
// The clipboard's text (empty when it holds none or its owner does not
// answer in time); false without a display.
bool getDesktopClipboard(std::string& cp1252Text);
