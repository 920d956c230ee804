// The terminal console backend: raw termios, the alternate screen, ANSI
// colours and cursor addressing, UTF-8 output, escape sequences decoded into
// the console's keys; the terminal is restored on exit and on signals.
#pragma once

#include "platform/console_backend.h"

#include <memory>

std::unique_ptr<ConsoleBackend> makeTerminalConsole();
