// The interpreter's spine: the script lines, the run state, the run loop,
// the classification of a line and the dispatch of its command word, and the
// report of how the run ended. DEBUG and CMD live here too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr int MAX_SCRIPT_LINES = 500000;
constexpr int MAX_CALL_DEPTH = 20;

struct RunState {
    int currentLine = 1;
    bool stopFlag = false;
    bool errorFlag = false;
    bool quietEnd = false;
    std::string commandWord;
    int callDepth = 0;
    int callStack[MAX_CALL_DEPTH] = {};
    int32_t statusCode = 0;
    bool debug = false;
    int64_t startTime = 0;  // centiseconds since midnight
    int startWeekday = 0;
};

extern RunState runState;

// Initial state of the whole interpreter; once at program start.
void resetInterpreter();
// Line n (1..MAX_SCRIPT_LINES) = text; the script now has n lines. False
// for a line number outside the store.
bool storeLine(std::string_view text, int n);
int lineCount();
const std::string& scriptLine(int n);

struct RunResult {
    bool failed;
    int line;
};
RunResult runScript();
// Runs the script and reports its end; returns whether it failed.
bool runAndReport();
bool executeLine(std::string_view text, bool restricted);
bool dispatchCommand(std::string_view word, std::string_view args);
void showInterpreterMessage(std::string_view key, int blankLines);

bool commandDebug(std::string_view args);
bool commandCmd(std::string_view args);
