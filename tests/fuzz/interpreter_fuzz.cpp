// Fuzzes the interpreter: each input is split on LF into script lines,
// stored as the script (so jumps and block scans have lines to scan) and
// executed once each, in order, through executeLine. The console is headless
// with no input, no transcript and an endless Enter key; audio goes nowhere;
// time is virtual; every path a script names is confined to a temporary
// folder that is also TALORA_HOME and the script's current directory, and
// that is emptied before each input. Between inputs the process is back in
// the directory it started in, where libFuzzer keeps its corpus and crashes.
// The voice starts once from the build tree's data provisioned into the
// folder (so the build must have made the voice data); it keeps what it
// loaded when the folder is emptied, and recorded letters are then missing,
// which speech skips silently.
#include "app/provision.h"
#include "console/console.h"
#include "desktop/sensor.h"
#include "interpreter/script.h"
#include "interpreter/values.h"
#include "platform/audio_sink.h"
#include "platform/clock.h"
#include "platform/headless/headless_console.h"
#include "platform/paths.h"
#include "speech/speech.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int MAX_LINES = 64;
// A script may build texts as long as it likes (each SUBSTITUI can multiply
// a text's length); an input stops once one grows past this, so the fuzzer
// looks for faults rather than waiting on legitimately huge texts.
constexpr size_t MAX_VALUE = 16384;

std::string root;
std::string startDir;

void removeRoot() {
    std::error_code ignored;
    if (!root.empty()) fs::remove_all(root, ignored);
}

void prepare() {
    char tmpl[] = "/tmp/interpreter-fuzz-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    root = fs::canonical(tmpl).string();
    startDir = fs::current_path().string();
    std::atexit(removeRoot);
    setenv("TALORA_HOME", root.c_str(), 1);
    // Scripts must never reach the developer's desktop (typing into or
    // closing their windows), its buses or a parallel port.
    unsetenv("DISPLAY");
    unsetenv("AT_SPI_BUS_ADDRESS");
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    setParallelPortOpener([]() -> std::unique_ptr<ParallelPort> { return nullptr; });
    resetTalorahome();
    if (chdir(root.c_str()) != 0) std::abort();
    recordStartDirectory();
    provisionHome();
    setPathRoot(root);
    if (chdir(startDir.c_str()) != 0) std::abort();
    setClock(virtualClock());
    HeadlessOptions options;
    options.inputFd = -1;
    options.transcriptFd = -1;
    options.endlessKey = 13;
    setConsoleBackend(makeHeadlessConsole(options));
    setAudioSink(makeNoneSink());
    resetInterpreter();
    initSpeech(0, "");
}

bool valuesGrewTooLong() {
    for (int slot = FIRST_SLOT; slot <= LAST_SLOT; ++slot)
        if (variable(slot).size() > MAX_VALUE) return true;
    return false;
}

// Empties the folder and makes it the current directory again. A script
// may have removed the folder itself (DIR REMOVE of "/" when it was empty).
void freshFolder() {
    std::error_code ignored;
    for (const fs::directory_entry& e : fs::directory_iterator(root, ignored)) fs::remove_all(e.path(), ignored);
    fs::create_directory(root, ignored);
    if (chdir(root.c_str()) != 0) std::abort();
}

} // namespace

// A crash found while a script's directory is current must still land where
// the fuzzer was started: unless the command line names a place for them,
// crash files go to the start directory.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<char*> args;
    static std::string prefix;
    for (int i = 0; i < *argc; ++i)
        if (std::strncmp((*argv)[i], "-artifact_prefix=", 17) == 0) return 0;
    prefix = "-artifact_prefix=" + fs::current_path().string() + "/";
    args.assign(*argv, *argv + *argc);
    args.push_back(prefix.data());
    args.push_back(nullptr);
    *argc += 1;
    *argv = args.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (prepare(), true);
    (void)ready;
    freshFolder();
    resetInterpreter();
    std::string_view input(reinterpret_cast<const char*>(data), size);
    int count = 0;
    while (!input.empty() && count < MAX_LINES) {
        size_t end = input.find('\n');
        storeLine(input.substr(0, end), ++count);
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    }
    for (int i = 1; i <= count; ++i) {
        runState.currentLine = i;
        runState.errorFlag = false;
        executeLine(scriptLine(i), false);
        if (valuesGrewTooLong()) break;
    }
    if (chdir(startDir.c_str()) != 0) std::abort();
    return 0;
}
