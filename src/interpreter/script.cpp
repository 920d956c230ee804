// Script store, run loop, dispatch and the end report.
#include "interpreter/script.h"

#include "console/console.h"
#include "interpreter/commands.h"
#include "interpreter/console_commands.h"
#include "interpreter/desktop_commands.h"
#include "interpreter/file_commands.h"
#include "interpreter/lista.h"
#include "interpreter/network_commands.h"
#include "interpreter/values.h"
#include "platform/text.h"
#include "speech/speech.h"

#include <new>
#include <vector>

RunState runState;

namespace {

std::vector<std::string> lines(1);  // lines[0] is unused: lines are 1-based
int count = 0;
const std::string EMPTY;
// Longer than every word of the command table.
constexpr size_t MAX_COMMAND_WORD = 32;
// Commands run inside a one-line SE or a CMD nest on the stack; a line of
// thousands of SEs, or a CMD that runs itself, fails at this depth instead.
constexpr int MAX_EMBEDDED_DEPTH = 100;
int embeddedDepth = 0;

// Interpreter messages (Windows-1252).
const char* const MSG_END = "Fim do script";
const char* const MSG_RUN_ERROR = "Erro de execu\xE7\xE3o na linha ";
const char* const MSG_INVALID_COMMAND = "Comando inv\xE1lido: ";

void resetRun() {
    runState.currentLine = 1;
    runState.errorFlag = false;
    runState.stopFlag = false;
    runState.commandWord.clear();
    runState.callDepth = 0;
    runState.statusCode = 0;
}

// Commands refused after a one-line SE and inside CMD (compared ASCII-upper-cased).
bool refusedWhenRestricted(std::string_view word) {
    return word == "REPETE" || word == "ENQUANTO" || word == "SENAO" || word == "SEN\xC3O" || word == "FIM";
}

// The debug echo and the unknown-word message are kept out of line, so the
// dispatch of every line stays small.
[[gnu::noinline]] void echoCommand(std::string_view word, std::string_view args) {
    writeLineSpeak(std::string(word) + " " + std::string(args));
}

[[gnu::noinline]] bool reportInvalidCommand(std::string_view word) {
    writeLineSpeak(MSG_INVALID_COMMAND + toUpperLatin(word));
    return false;
}

} // namespace

void resetInterpreter() {
    resetRun();
    runState.quietEnd = false;
    runState.debug = false;
    resetVariables();
    closeAllFileSlots();
    resetNetworkCommands();
    resetLists();
    waitMs(1);
    int year, month, day, weekday, hour, minute, second, hundredths;
    currentDate(year, month, day, weekday);
    currentTime(hour, minute, second, hundredths);
    runState.startTime = ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 100 + hundredths;
    runState.startWeekday = weekday;
    resetConsoleCommands();
    resetDesktopCommands();
}

bool storeLine(std::string_view text, int n) {
    if (n < 1 || n > MAX_SCRIPT_LINES) return false;
    if (static_cast<int>(lines.size()) <= n) lines.resize(n + 1);
    lines[n].assign(text);
    count = n;
    return true;
}

int lineCount() { return count; }

const std::string& scriptLine(int n) { return (n >= 1 && n <= count) ? lines[n] : EMPTY; }

RunResult runScript() {
    resetRun();
    while (runState.currentLine <= count && !runState.stopFlag && !runState.errorFlag) {
        executeLine(lines[runState.currentLine], false);
        if (!runState.stopFlag && !runState.errorFlag) ++runState.currentLine;
    }
    count = 0;
    return RunResult{runState.errorFlag, runState.currentLine};
}

bool runAndReport() {
    RunResult r = runScript();
    if (!r.failed) {
        if (!runState.quietEnd) showInterpreterMessage("SCFIM", 1);
        return false;
    }
    setConsoleWindowState(WindowState::Normal);
    showInterpreterMessage("SCERREXE", 0);
    writeNumberSpeak(r.line);
    writeStandardOutput("\r\n");
    // Input that ends during this wait still ends the program as a failed run.
    setConsoleClosedExitCode(1);
    readStandardInputLine();
    return true;
}

bool executeLine(std::string_view text, bool restricted) {
    text = trimView(text);
    if (text.empty() || text[0] == '*' || text[0] == '@') return true;
    size_t space = text.find(' ');
    std::string_view wordText = text.substr(0, space);
    std::string_view args = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
    // Written in place: assigning a whole string costs more than the rest of
    // a short line.
    std::string& word = runState.commandWord;
    word.resize(wordText.size());
    for (size_t i = 0; i < wordText.size(); ++i) word[i] = upperAscii(wordText[i]);
    if (restricted && (refusedWhenRestricted(word) || embeddedDepth >= MAX_EMBEDDED_DEPTH)) return false;
    if (restricted) ++embeddedDepth;
    bool ok = dispatchCommand(word, args);
    if (restricted) --embeddedDepth;
    runState.errorFlag = !ok;
    return ok;
}

bool dispatchCommand(std::string_view word, std::string_view args) {
    args = trimView(args);
    if (runState.debug) echoCommand(word, args);
    // Every command word is short; a longer word is unknown and needs no lookup.
    char upper[MAX_COMMAND_WORD];
    CommandHandler handler = nullptr;
    if (word.size() <= sizeof upper) {
        for (size_t i = 0; i < word.size(); ++i) upper[i] = upperLatin(word[i]);
        handler = findCommand(std::string_view(upper, word.size()));
    }
    if (!handler) return reportInvalidCommand(word);
    // A command that runs out of memory fails like any other: the run ends
    // with the error report and the open files are written out, instead of
    // the process being aborted.
    try {
        return handler(args);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void showInterpreterMessage(std::string_view key, int blankLines) {
    std::string_view text = key == "SCFIM" ? MSG_END : MSG_RUN_ERROR;
    writeStandardOutput(text);
    for (int i = 0; i < blankLines; ++i) writeStandardOutput("\r\n");
    if (soundExists(key)) playSound(key);
    else speakText(text);
}

bool commandDebug(std::string_view args) {
    if (args == "-" || (!args.empty() && args[0] == 'N')) {
        runState.debug = false;
        writeLineSpeak("Debug desligado");
    } else {
        runState.debug = true;
        writeLineSpeak("Debug ligado");
    }
    return true;
}

bool commandCmd(std::string_view args) {
    std::string value;
    if (!readValue(args, value) || !args.empty()) return false;
    return executeLine(value, true);
}
