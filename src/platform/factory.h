// Picks the platform implementations at start from the command-line choices,
// and hands those choices on to the programs of the family a script starts.
#pragma once

#include "platform/audio_sink.h"
#include "platform/console_backend.h"

#include <memory>
#include <string>
#include <vector>

// "window", "terminal", "headless", or "" for the default (defaultConsoleKind).
// Null with `error` set when the kind cannot be had. A terminal console
// leaves its last screen's text on the terminal at the end, unless the
// program was `startedByFamily`: the console of the program that started it
// then takes the terminal back and leaves its own.
std::unique_ptr<ConsoleBackend> makeConsoleBackend(const std::string& kind, std::string& error,
                                                   bool startedByFamily = false);
// The console used when none is asked for: a window when a display is
// usable, else the terminal when standard input and output are terminals,
// else headless.
std::string defaultConsoleKind();

// "device" (also ""), "none" or "capture:FILE". A device that cannot open
// falls back to none with one line on standard error, unless the choice was
// `inherited` from the program that started this one: that program's
// console is on the same screen, and the line would be printed over it. A
// capture file that cannot be written gives null with `error` set. A capture
// file of one's own is started anew; an inherited one is appended to, after
// what the program that started this one has played into it.
std::unique_ptr<AudioSink> makeAudioSinkFor(const std::string& choice, std::string& error, bool inherited = false);

// The environment through which programs of the family started by a script
// inherit the choices: ONDARIA_CONSOLE (window, terminal or headless) and
// ONDARIA_AUDIO (device, none or capture:FILE with an absolute FILE).
constexpr const char* CONSOLE_CHOICE_VARIABLE = "ONDARIA_CONSOLE";
constexpr const char* AUDIO_CHOICE_VARIABLE = "ONDARIA_AUDIO";
// The inherited choice, "" when there is none.
std::string inheritedConsoleChoice();
std::string inheritedAudioChoice();
// Sets both variables in this process's environment, so every program it
// starts inherits them.
void passChoicesOn(const std::string& console, const std::string& audio);
// Environment entries (SpawnRequest::environment) for a program that runs
// beside this one instead of in its place: a capture file cannot take two
// writers at once (such a program gets none), and the terminal stays ours
// (the program chooses its own console).
std::vector<std::string> choicesForProgramsBeside();
