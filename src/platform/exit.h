// Ending the program: hooks registered by the modules that hold something
// to give back (the terminal, a capture file, the screen dump) run once, in
// reverse order of registration, before the process exits.
#pragma once

using ExitHook = void (*)();

void addExitHook(ExitHook hook);
// Runs the hooks (once) without exiting; for the normal end of main.
void runExitHooks();
[[noreturn]] void programExit(int code);
