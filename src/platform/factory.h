// Picks the platform implementations at start from the command-line choices.
#pragma once

#include "platform/audio_sink.h"
#include "platform/console_backend.h"

#include <memory>
#include <string>

// "window", "terminal", "headless", or "" for the default: a window when a
// display is usable, else the terminal when standard input and output are
// terminals, else headless. Null with `error` set when the kind cannot be had.
std::unique_ptr<ConsoleBackend> makeConsoleBackend(const std::string& kind, std::string& error);
// "device" (also ""), "none" or "capture:FILE". A device that cannot open
// falls back to none with one line on standard error; a capture file that
// cannot be created gives null with `error` set.
std::unique_ptr<AudioSink> makeAudioSinkFor(const std::string& choice, std::string& error);
