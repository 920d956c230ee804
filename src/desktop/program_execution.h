// Program execution: starting programs and documents the way EXECUTA asks
// (shown and waited for, shown, hidden, or captured on pipes), reading what
// the captured program wrote, waiting for the user to come back to the
// console, and asking whether a program is running. Owns the capture state
// (the pipes of the most recent captured launch) and the program that holds
// the foreground.
//
// Programs come from scripts as Windows paths: the program is mapped with
// mapPath; a bare name that names no file here is looked up in PATH. An
// executable file runs; anything else (a document, a folder, an address
// such as "https://...") goes to the desktop's opener, xdg-open.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Shell result codes: greater than 31 is success.
constexpr int SHELL_OK = 42;
constexpr int SHELL_FILE_NOT_FOUND = 2;
constexpr int SHELL_ACCESS_DENIED = 5;
constexpr int SHELL_OUT_OF_MEMORY = 8;
constexpr int SHELL_BAD_FORMAT = 11;
constexpr int SHELL_NO_ASSOCIATION = 31;

enum class ShowMode {
    // Shown and in front: the program gets the console's terminal (given
    // back by the console meanwhile) or, on a console without one, our
    // standard output with standard input from /dev/null. waitForReturn
    // waits for it and takes the terminal back.
    Foreground,
    // Shown beside the interpreter: standard input from /dev/null; its
    // output goes where ours goes unless that is a terminal.
    Normal,
    // Hidden: every standard stream on /dev/null.
    Hidden,
};

// EXECUTA's launch modes, by the number of trailing "&" marks.
enum class LaunchMode { ShownWait, Shown, Hidden, Captured };
LaunchMode launchModeForMarks(int marks);

// Splits EXECUTA's value into the program and its parameters: a leading
// double quote encloses the program (the parameters after it are trimmed);
// otherwise the program ends at the first space (parameters kept as they are).
void splitCommandLine(std::string_view value, std::string& program, std::string& parameters);
// Splits parameters into arguments: blanks separate them; a double-quoted
// stretch keeps its blanks, loses its quotes, and gives "" for one quote;
// backslashes are plain characters.
std::vector<std::string> splitParameters(std::string_view parameters);

// Opens a program or document (Windows-1252 texts) in `directory` (a POSIX
// path; "" for ours) after speech and sound have finished. The result is a
// shell result code.
int shellOpen(std::string_view program, std::string_view directory, std::string_view parameters, ShowMode mode);
// Starts a program with its standard streams on pipes, replacing (and
// closing) the pipes of the previous captured launch. The command line is
// split as splitParameters does; its first word is the program.
bool startCaptured(std::string_view commandLine);
// What the captured program wrote since the last call: its standard output,
// then CR LF and its standard error when both have something, and CR LF at
// the end when anything came. Never waits. Output in UTF-8 is converted to
// Windows-1252.
std::string readCapturedOutput();
// Waits until the user is back at the console: up to 50 rounds of 100 ms for
// a launched program to come to the front, then as long as it stays there,
// then the return pause (TEMPOESPERAPROGVOLTAR, 500 ms when missing or not a
// number). A program that has ended, or a launch that failed, has nothing
// that could still come to the front: the rounds stop at once.
void waitForReturn();
// The return pause in milliseconds, as configured now.
int returnPauseMs();
// True when a running process's executable has the file name `name` (or the
// whole path), ignoring the case of a-z.
bool isProgramRunning(std::string_view name);

// EXECUTA after its value was read: splits it, waits for speech, launches
// in the current directory according to the marks. True when the launch
// succeeded.
bool executeCommandLine(std::string_view value, int marks);
