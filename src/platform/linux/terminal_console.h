// The terminal console backend: raw termios (signals kept, so Ctrl+C ends
// the program), the alternate screen, ANSI colours and cursor addressing,
// UTF-8 output of only the cells that changed, escape sequences decoded into
// the console's keys. The terminal is given back on close(), on
// SIGINT/SIGTERM/SIGHUP/SIGQUIT, while stopped by SIGTSTP, and on fatal
// signals; SIGWINCH and SIGCONT repaint the screen. releaseTerminal lends the
// terminal to a program in the foreground until retakeTerminal.
#pragma once

#include "platform/console_backend.h"

#include <cstdint>
#include <memory>

// Standard input and output must be the terminal.
std::unique_ptr<ConsoleBackend> makeTerminalConsole();

// The ANSI colour (0..7 normal, 8..15 bright) nearest to a palette index of
// the console (0..15); indexes above 15 give black.
int ansiColourForPalette(int paletteIndex);
