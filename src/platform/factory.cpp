// Platform factory.
#include "platform/factory.h"

#include "platform/headless/headless_console.h"
#include "platform/linux/sdl_audio.h"
#include "platform/linux/terminal_console.h"
#include "platform/linux/window_console.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

std::unique_ptr<ConsoleBackend> makeConsoleBackend(const std::string& kind, std::string& error) {
    std::string chosen = kind;
    if (chosen.empty()) {
        std::string noDisplay;
        if (auto window = makeWindowConsole(noDisplay)) return window;
        chosen = (isatty(0) && isatty(1)) ? "terminal" : "headless";
    }
    if (chosen == "headless") return makeHeadlessConsole(HeadlessOptions{});
    if (chosen == "terminal") {
        if (!isatty(0) || !isatty(1)) {
            error = "the terminal console needs a terminal on standard input and output";
            return nullptr;
        }
        auto backend = makeTerminalConsole();
        if (!backend) error = "the terminal console is not available";
        return backend;
    }
    if (chosen == "window") return makeWindowConsole(error);
    error = "unknown console '" + kind + "' (window, terminal or headless)";
    return nullptr;
}

std::unique_ptr<AudioSink> makeAudioSinkFor(const std::string& choice, std::string& error) {
    if (choice.empty() || choice == "device") {
        std::string reason;
        if (auto sink = makeSdlAudioSink(reason)) return sink;
        std::fprintf(stderr, "%s: no sound device (%s); playing without sound\n",
                     program_invocation_short_name, reason.c_str());
        return makeNoneSink();
    }
    if (choice == "none") return makeNoneSink();
    if (choice.rfind("capture:", 0) == 0 && choice.size() > 8) {
        CaptureOptions options;
        options.path = choice.substr(8);
        auto sink = makeCaptureSink(options);
        if (!sink) error = "cannot write the capture file '" + options.path + "'";
        return sink;
    }
    error = "unknown audio '" + choice + "' (device, none or capture:FILE)";
    return nullptr;
}
