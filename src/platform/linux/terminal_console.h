// The terminal console backend: raw termios (signals kept, so Ctrl+C ends
// the program), the alternate screen, ANSI colours and cursor addressing,
// UTF-8 output of only the cells that changed, escape sequences decoded into
// the console's keys. The terminal is given back on close(), on
// SIGINT/SIGTERM/SIGHUP/SIGQUIT, while stopped by SIGTSTP, and on fatal
// signals; SIGWINCH and SIGCONT repaint the screen. At the end the last
// screen's text is left on the normal screen. releaseTerminal lends the
// terminal to a program in the foreground until retakeTerminal; a program
// that ends meanwhile first ends the one holding the terminal (see
// endTerminalChild in platform/process.h).
#pragma once

#include "platform/console_backend.h"

#include <cstdint>
#include <memory>

// Standard input and output must be the terminal. Without
// `leaveLastScreen` the end leaves the normal screen as it was (for a
// program whose starter's console takes the terminal back).
std::unique_ptr<ConsoleBackend> makeTerminalConsole(bool leaveLastScreen = true);

// The ANSI colour (0..7 normal, 8..15 bright) nearest to a palette index of
// the console (0..15); indexes above 15 give black.
int ansiColourForPalette(int paletteIndex);
