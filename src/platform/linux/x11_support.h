// What the X11 modules share: opening a connection to the display of
// DISPLAY with errors that never end the program, and reading window
// properties.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

// A new connection to DISPLAY, or null without one. Protocol errors on it
// (a window that went away while we asked about it) are ignored; a lost
// connection is reported to standard error once and leaves the connection
// dead (see x11ConnectionLost) instead of ending the program.
Display* openX11Display();
// True once the connection broke; nothing more may be asked of it.
bool x11ConnectionLost(Display* display);

Atom x11Atom(Display* display, const char* name);
// A property of 32-bit items (CARDINAL, WINDOW, ATOM): the values, empty
// when the property is missing or of another format.
std::vector<unsigned long> x11CardinalProperty(Display* display, Window window, Atom property);
// The window's title as UTF-8: _NET_WM_NAME, else WM_NAME.
std::string x11WindowTitle(Display* display, Window window);
