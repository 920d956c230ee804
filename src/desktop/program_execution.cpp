// Program execution over the platform's processes: resolving a script's
// program text, the launch modes, the capture pipes and the wait for the
// user's return to the console.
#include "desktop/program_execution.h"

#include "console/console.h"
#include "platform/encoding.h"
#include "platform/factory.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"
#include "speech/config.h"
#include "speech/speech.h"

#include <cerrno>
#include <cstdint>

namespace {

constexpr size_t CAPTURE_READ_LIMIT = 65535;
// How long the desktop's opener has to say it could not open a document;
// one that is still running by then is showing it.
constexpr int OPENER_VERDICT_MS = 3000;
constexpr int RETURN_ROUNDS = 50;
constexpr int ROUND_MS = 100;
constexpr int DEFAULT_RETURN_PAUSE_MS = 500;

// One captured stream: our end of its pipe, and the start of a UTF-8
// character whose rest has not come yet.
struct CapturedStream {
    int fd = -1;
    std::string pending;
};

struct CaptureState {
    ChildProcess child;
    CapturedStream output, error;
};

CaptureState capture;
// The program started in front (0 marks), while it may still run.
ChildProcess foreground;
// The last launch in front handed a document or address to the desktop's
// opener, whose program we cannot see.
bool handedToDesktop = false;
bool terminalLent = false;

int codeForErrno(int error) {
    switch (error) {
    case EACCES: case EPERM: return SHELL_ACCESS_DENIED;
    case ENOMEM: case EAGAIN: return SHELL_OUT_OF_MEMORY;
    case ENOEXEC: return SHELL_BAD_FORMAT;
    default: return SHELL_FILE_NOT_FOUND;
    }
}

// "https://...", "mailto:...": a scheme of two or more characters and a
// colon (one letter and a colon is a drive).
bool isAddress(std::string_view text) {
    size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon < 2 || !isAsciiLetter(text[0])) return false;
    for (size_t i = 1; i < colon; ++i) {
        char c = text[i];
        if (!isAsciiLetter(c) && !isDigitChar(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

// The POSIX path of a script's program text: mapped, or for a bare name
// that names nothing here, found in PATH. "" when there is nothing.
std::string resolveProgram(std::string_view program) {
    std::string path = mapPath(program);
    if (fileExists(path) || directoryExists(path)) return path;
    if (program.find_first_of("\\/:") == std::string_view::npos) return findInSearchPath(cp1252ToUtf8(program));
    return {};
}

std::vector<std::string> argumentsFrom(std::string_view parameters) {
    std::vector<std::string> arguments = splitParameters(parameters);
    for (std::string& a : arguments) a = cp1252ToUtf8(a);
    return arguments;
}

void lendTerminal() {
    ConsoleBackend* backend = consoleBackend();
    if (!terminalLent && consoleIsOpen() && backend) terminalLent = backend->releaseTerminal();
}

void takeTerminalBack() {
    if (!terminalLent) return;
    terminalLent = false;
    if (ConsoleBackend* backend = consoleBackend()) backend->retakeTerminal();
}

SpawnRequest streamsFor(ShowMode mode) {
    SpawnRequest r;
    switch (mode) {
    case ShowMode::Foreground:
        r.input = terminalLent ? StreamSetup::Inherit : StreamSetup::Null;
        // The terminal's keys (Ctrl+C, Ctrl+Z) are the program's, and we
        // can end its whole process group if we are ended meanwhile.
        r.terminalForeground = terminalLent;
        return r;
    case ShowMode::Normal:
        // Beside the interpreter a program may not write into its terminal screen.
        r.input = StreamSetup::Null;
        if (standardOutputIsTerminal()) r.output = r.error = StreamSetup::Null;
        break;
    case ShowMode::Hidden:
        r.input = r.output = r.error = StreamSetup::Null;
        break;
    }
    r.newSession = true;
    r.environment = choicesForProgramsBeside();
    return r;
}

// The launch itself, without waiting for speech.
int shellExecute(std::string_view program, std::string_view directory, std::string_view parameters, ShowMode mode) {
    if (mode == ShowMode::Foreground) lendTerminal();
    SpawnRequest request = streamsFor(mode);
    request.directory = std::string(directory);
    ChildProcess child;
    int code = SHELL_OK;
    bool address = isAddress(program);
    std::string path = address ? cp1252ToUtf8(program) : resolveProgram(program);
    bool viaOpener = address || !isExecutableFile(path);
    if (path.empty()) {
        code = SHELL_FILE_NOT_FOUND;
    } else if (viaOpener) {
        // A document, folder or address: parameters have no program to go to.
        int error = openWithDesktop(path, request, child);
        if (error != 0) code = error == ENOENT ? SHELL_NO_ASSOCIATION : codeForErrno(error);
    } else {
        request.program = path;
        request.arguments = argumentsFrom(parameters);
        int error = spawnProcess(request, child);
        if (error != 0) code = codeForErrno(error);
    }
    if (code == SHELL_OK && viaOpener && waitForChild(child, OPENER_VERDICT_MS) && child.exitStatus != 0)
        code = child.exitStatus == 2 ? SHELL_FILE_NOT_FOUND : SHELL_NO_ASSOCIATION;
    if (mode == ShowMode::Foreground) handedToDesktop = code == SHELL_OK && viaOpener;
    if (code == SHELL_OK && mode == ShowMode::Foreground && !childHasExited(child)) {
        abandonChild(foreground);
        foreground = child;
    } else {
        abandonChild(child);
    }
    // Nothing came to the front: the console shows again while waiting.
    if (mode == ShowMode::Foreground && (code != SHELL_OK || foreground.pid <= 0)) takeTerminalBack();
    return code;
}

// The length of an incomplete UTF-8 character at the end of `text` (0 when
// it ends complete or is no UTF-8 at all).
size_t incompleteUtf8Tail(const std::string& text) {
    size_t n = text.size();
    for (size_t back = 1; back <= 3 && back <= n; ++back) {
        unsigned char c = static_cast<unsigned char>(text[n - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        size_t length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c < 0xE0 ? 2 : 0;
        return length > back ? back : 0;
    }
    return 0;
}

// What arrived on one captured stream since the last call.
std::string takeCaptured(CapturedStream& stream) {
    static char buffer[CAPTURE_READ_LIMIT];
    std::string bytes = stream.pending;
    stream.pending.clear();
    long n = readPipe(stream.fd, buffer, sizeof buffer);
    bool ended = n == 0 || stream.fd < 0;
    if (n > 0) {
        // The text ends at the first zero byte.
        std::string_view text(buffer, static_cast<size_t>(n));
        bytes.append(text.substr(0, text.find('\0')));
    }
    if (n == 0) closePipe(stream.fd);
    size_t tail = ended ? 0 : incompleteUtf8Tail(bytes);
    // Held back for the next call only when what comes before it is UTF-8.
    if (tail > 0 && isValidUtf8(std::string_view(bytes).substr(0, bytes.size() - tail))) {
        stream.pending = bytes.substr(bytes.size() - tail);
        bytes.resize(bytes.size() - tail);
    }
    // Programs here write UTF-8; bytes that are not UTF-8 stay as they are.
    return utf8ToCp1252(bytes);
}

void closeCapture() {
    closePipe(capture.child.input);
    closePipe(capture.output.fd);
    closePipe(capture.error.fd);
    abandonChild(capture.child);
    capture = CaptureState{};
}

} // namespace

LaunchMode launchModeForMarks(int marks) {
    switch (marks) {
    case 0: return LaunchMode::ShownWait;
    case 2: return LaunchMode::Hidden;
    case 3: return LaunchMode::Captured;
    default: return LaunchMode::Shown;
    }
}

void splitCommandLine(std::string_view value, std::string& program, std::string& parameters) {
    parameters.clear();
    if (!value.empty() && value[0] == '"') {
        value.remove_prefix(1);
        size_t quote = value.find('"');
        program = std::string(value.substr(0, quote));
        if (quote != std::string_view::npos) parameters = trim(value.substr(quote + 1));
        return;
    }
    size_t space = value.find(' ');
    program = std::string(value.substr(0, space));
    if (space != std::string_view::npos) parameters = std::string(value.substr(space + 1));
}

std::vector<std::string> splitParameters(std::string_view parameters) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (size_t i = 0; i < parameters.size(); ++i) {
        char c = parameters[i];
        if (quoted) {
            if (c != '"') word += c;
            else if (i + 1 < parameters.size() && parameters[i + 1] == '"') word += parameters[i++];
            else quoted = false;
        } else if (c == ' ' || c == '\t') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            if (c == '"') quoted = true;
            else word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

int shellOpen(std::string_view program, std::string_view directory, std::string_view parameters, ShowMode mode) {
    waitWhileSoundBusy();
    return shellExecute(program, directory, parameters, mode);
}

bool startCaptured(std::string_view commandLine) {
    closeCapture();
    std::vector<std::string> words = splitParameters(commandLine);
    if (words.empty()) return false;
    std::string path = resolveProgram(words[0]);
    if (!isExecutableFile(path)) return false;
    SpawnRequest request;
    request.program = path;
    for (size_t i = 1; i < words.size(); ++i) request.arguments.push_back(cp1252ToUtf8(words[i]));
    request.input = request.output = request.error = StreamSetup::Pipe;
    request.newSession = true;
    request.environment = choicesForProgramsBeside();
    ChildProcess child;
    if (spawnProcess(request, child) != 0) return false;
    // The input pipe stays open and is never written: the program's input never ends.
    capture.child = child;
    capture.output.fd = child.output;
    capture.error.fd = child.error;
    return true;
}

std::string readCapturedOutput() {
    std::string result = takeCaptured(capture.output);
    if (!result.empty()) result += "\r\n";
    result += takeCaptured(capture.error);
    if (!result.empty()) result += "\r\n";
    childHasExited(capture.child);  // reaps it once it has ended
    return result;
}

int returnPauseMs() {
    int32_t ms;
    if (!convertInteger(readConfig("FALARIS", "TEMPOESPERAPROGVOLTAR"), ms)) ms = DEFAULT_RETURN_PAUSE_MS;
    // A 16-bit count.
    return static_cast<int>(static_cast<uint32_t>(ms) & 0xFFFF);
}

void waitForReturn() {
    // The program started in front is the foreground window while it runs.
    auto programInFront = [] {
        if (foreground.pid <= 0) return false;
        if (!childHasExited(foreground)) return true;
        foreground = ChildProcess{};
        return false;
    };
    for (int round = 1; round <= RETURN_ROUNDS; ++round) {
        // A program that has ended (or never started) can no longer come to
        // the front; a document handed to the desktop may still be opening.
        if (!handedToDesktop && !programInFront()) break;
        waitMs(ROUND_MS);
        if (round < RETURN_ROUNDS && programInFront()) break;
    }
    while (programInFront()) waitMs(ROUND_MS);
    takeTerminalBack();
    waitMs(returnPauseMs());
}

bool isProgramRunning(std::string_view name) {
    std::string wanted = toUpperAscii(trim(name));
    bool found = false;
    for (const std::string& entry : runningExecutables()) {
        std::string path = toUpperAscii(utf8ToCp1252(entry));
        std::string_view file = path;
        size_t slash = file.find_last_of('/');
        if (slash != std::string_view::npos) file.remove_prefix(slash + 1);
        if (file == wanted || path == wanted) found = true;
    }
    return found;
}

bool executeCommandLine(std::string_view value, int marks) {
    std::string program, parameters;
    splitCommandLine(value, program, parameters);
    std::string directory = currentDirectory();
    waitWhileSoundBusy();
    switch (launchModeForMarks(marks)) {
    case LaunchMode::ShownWait: {
        int code = shellOpen(program, directory, parameters, ShowMode::Foreground);
        waitForReturn();
        return code > 31;
    }
    case LaunchMode::Shown:
        return shellOpen(program, directory, parameters, ShowMode::Normal) > 31;
    case LaunchMode::Hidden:
        return shellExecute(program, directory, parameters, ShowMode::Hidden) > 31;
    case LaunchMode::Captured: {
        // Quoted when needed, so startCaptured finds the same program again.
        std::string line = program;
        if (program.find_first_of(" \t\"") != std::string::npos) {
            line.assign(1, '"');
            for (char c : program) line.append(c == '"' ? 2 : 1, c);
            line += '"';
        }
        if (!parameters.empty()) line += " " + parameters;
        return startCaptured(line);
    }
    }
    return false;
}
