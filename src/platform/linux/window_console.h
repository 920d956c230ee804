// The window console backend: the 80 x 25 console in a desktop window of its
// own (SDL2 with SDL2_ttf, on X11). Cells of a fixed size in pixels
// ([VIDEO] LARGURALETRA and ALTURALETRA, else a share of the work area) hold
// the glyphs of a monospaced face found through fontconfig ([VIDEO] FONTE,
// PESOLETRA), stretched to fill the cell; the client area is exactly the 80 x
// 25 cells. Keys become the console's key events (special keys, Alt and Ctrl
// forms, typed text as Windows-1252), plus every press and release for
// braille typing. The right mouse button holds a magnifier ([VIDEO] AMPLIF).
// One picture may cover the text. Closing the window closes the console.
#pragma once

#include "platform/console_backend.h"

#include <memory>
#include <string>

// A window console on the display of the environment, or null with `error`
// set when no display can be used. The window itself appears at open().
std::unique_ptr<ConsoleBackend> makeWindowConsole(std::string& error);
// Whether a window console can be had: a display is set and answers.
bool windowConsoleUsable();

