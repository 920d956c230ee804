// Start sequence of the executables.
#include "app/startup.h"

#include "app/provision.h"
#include "console/console.h"
#include "interpreter/script.h"
#include "interpreter/values.h"
#include "platform/exit.h"
#include "platform/factory.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "speech/config.h"
#include "speech/speech.h"

#include <cstdio>

namespace {

std::string screenDumpPath;

void writeScreenDump() {
    if (screenDumpPath.empty() || !consoleIsOpen()) return;
    FILE* f = std::fopen(screenDumpPath.c_str(), "wb");
    if (!f) return;
    std::string dump = screenDump();
    std::fwrite(dump.data(), 1, dump.size(), f);
    std::fclose(f);
}

void closeBackend() {
    if (ConsoleBackend* b = consoleBackend()) b->close();
}

void closeAudio() { audioSink().close(); }

} // namespace

int preparePlatform(const Options& options, const char* program) {
    std::string error;
    auto backend = makeConsoleBackend(options.console, error);
    if (!backend) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return 2;
    }
    auto sink = makeAudioSinkFor(options.audio, error);
    if (!sink) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return 2;
    }
    recordStartDirectory();
    provisionHome();
    setAudioSink(std::move(sink));
    setConsoleBackend(std::move(backend));
    screenDumpPath = options.screenDump;
    addExitHook(closeAudio);
    addExitHook(closeBackend);
    addExitHook(writeScreenDump);
    return 0;
}

bool runProgram(const std::string& name, const std::vector<std::string>& lines,
                const std::vector<std::string>& parameters) {
    resetInterpreter();
    setScriptParameters(parameters);
    // A voice that cannot start ends the program as a failed start.
    setConsoleClosedExitCode(2);
    initSpeech(0, readConfig("ROTALIS", "DIRROTALIS"));
    setConsoleClosedExitCode(3);
    clearScreen();
    setConsoleTitle("ROTALIS");
    setConsoleTitle(name);
    for (size_t i = 0; i < lines.size(); ++i) storeLine(lines[i], static_cast<int>(i + 1));
    bool failed = runAndReport();
    runExitHooks();
    return failed;
}
