// Platform factory and the choices programs of the family inherit.
#include "platform/factory.h"

#include "platform/headless/headless_console.h"
#include "platform/linux/sdl_audio.h"
#include "platform/linux/terminal_console.h"
#include "platform/linux/window_console.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

const char* const CAPTURE_PREFIX = "capture:";

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::string defaultConsoleKind() {
    if (windowConsoleUsable()) return "window";
    return (isatty(0) && isatty(1)) ? "terminal" : "headless";
}

std::unique_ptr<ConsoleBackend> makeConsoleBackend(const std::string& kind, std::string& error,
                                                   bool startedByFamily) {
    std::string chosen = kind.empty() ? defaultConsoleKind() : kind;
    if (chosen == "headless") return makeHeadlessConsole(HeadlessOptions{});
    if (chosen == "terminal") {
        if (!isatty(0) || !isatty(1)) {
            error = "the terminal console needs a terminal on standard input and output";
            return nullptr;
        }
        auto backend = makeTerminalConsole(!startedByFamily);
        if (!backend) error = "the terminal console is not available";
        return backend;
    }
    if (chosen == "window") return makeWindowConsole(error);
    error = "unknown console '" + kind + "' (window, terminal or headless)";
    return nullptr;
}

std::unique_ptr<AudioSink> makeAudioSinkFor(const std::string& choice, std::string& error, bool inherited) {
    if (choice.empty() || choice == "device") {
        std::string reason;
        if (auto sink = makeSdlAudioSink(reason)) return sink;
        if (!inherited)
            std::fprintf(stderr, "%s: no sound device (%s); playing without sound\n", program_invocation_short_name,
                         reason.c_str());
        return makeNoneSink();
    }
    if (choice == "none") return makeNoneSink();
    if (choice.rfind(CAPTURE_PREFIX, 0) == 0 && choice.size() > 8) {
        CaptureOptions options;
        options.path = choice.substr(8);
        // The file is let go between sounds, so a program of the family this
        // one waits for can append its own; a run of one's own starts it anew.
        bool writable = inherited || makeCaptureSink(options) != nullptr;
        options.append = true;
        auto sink = writable ? makeCaptureSink(options) : nullptr;
        if (!sink) error = "cannot write the capture file '" + options.path + "'";
        return sink;
    }
    error = "unknown audio '" + choice + "' (device, none or capture:FILE)";
    return nullptr;
}

std::string inheritedConsoleChoice() { return environmentValue(CONSOLE_CHOICE_VARIABLE); }

std::string inheritedAudioChoice() { return environmentValue(AUDIO_CHOICE_VARIABLE); }

void passChoicesOn(const std::string& console, const std::string& audio) {
    setenv(CONSOLE_CHOICE_VARIABLE, console.c_str(), 1);
    setenv(AUDIO_CHOICE_VARIABLE, audio.c_str(), 1);
}

std::vector<std::string> choicesForProgramsBeside() {
    std::vector<std::string> entries;
    if (inheritedAudioChoice().rfind(CAPTURE_PREFIX, 0) == 0)
        entries.push_back(std::string(AUDIO_CHOICE_VARIABLE) + "=none");
    if (inheritedConsoleChoice() == "terminal") entries.push_back(CONSOLE_CHOICE_VARIABLE);
    return entries;
}
