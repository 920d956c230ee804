// Terminal console backend (not built yet).
#include "platform/linux/terminal_console.h"

std::unique_ptr<ConsoleBackend> makeTerminalConsole() { return nullptr; }
