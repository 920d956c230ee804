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
    int file = createByteFile(screenDumpPath);
    if (file < 0) return;
    std::string dump = screenDump();
    writeBytes(file, dump.data(), dump.size());
    closeByteFile(file);
}

// Files named on the command line are where the user was when starting the
// program, whatever folder the script moves to.
std::string fromStartDirectory(const std::string& path) {
    return path.empty() || path[0] == '/' ? path : startDirectory() + "/" + path;
}

void closeBackend() {
    if (ConsoleBackend* b = consoleBackend()) b->close();
}

void closeAudio() { audioSink().close(); }

} // namespace

int preparePlatform(const Options& options, const char* program) {
    recordStartDirectory();
    // A program started by a script of the family takes that program's
    // choices, unless its own command line says otherwise.
    std::string console = options.console.empty() ? inheritedConsoleChoice() : options.console;
    if (console.empty()) console = defaultConsoleKind();
    bool audioInherited = options.audio.empty() && !inheritedAudioChoice().empty();
    std::string audio = audioInherited ? inheritedAudioChoice() : options.audio.empty() ? "device" : options.audio;
    if (audio.rfind("capture:", 0) == 0) audio = "capture:" + fromStartDirectory(audio.substr(8));
    std::string dumpPath = fromStartDirectory(options.screenDump);

    std::string error;
    auto backend = makeConsoleBackend(console, error, !inheritedConsoleChoice().empty());
    if (!backend) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return 2;
    }
    // Made now, so a file that cannot be written stops the program before it starts.
    if (!dumpPath.empty()) {
        int file = createByteFile(dumpPath);
        if (file < 0 || !closeByteFile(file)) {
            std::fprintf(stderr, "%s: cannot write the screen dump '%s'\n", program, options.screenDump.c_str());
            return 2;
        }
    }
    auto sink = makeAudioSinkFor(audio, error, audioInherited);
    if (!sink) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return 2;
    }
    passChoicesOn(console, audio);
    provisionHome();
    setAudioSink(std::move(sink));
    setConsoleBackend(std::move(backend));
    screenDumpPath = dumpPath;
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
