// Other programs: starting them (posix_spawn) with their standard streams
// inherited, sent to /dev/null or on pipes; looking at their pipes without
// blocking; knowing and waiting for their end; the list of running
// executables from /proc; handing files and addresses to the desktop's
// opener (xdg-open); and the small launcher scripts the home folder holds.
// Children nobody waits for any more are reaped here, at later calls, so no
// zombies pile up. Paths and arguments are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What a child's standard stream is connected to.
enum class StreamSetup : uint8_t {
    Inherit,  // the same as ours
    Null,     // /dev/null
    Pipe,     // a pipe whose other end we keep
};

struct SpawnRequest {
    std::string program;                 // path of an executable file
    std::vector<std::string> arguments;  // after argv[0], which is `program`
    std::string directory;               // working directory; empty: ours
    StreamSetup input = StreamSetup::Inherit;
    StreamSetup output = StreamSetup::Inherit;
    StreamSetup error = StreamSetup::Inherit;
    // A session of its own: the child has no controlling terminal, so keys
    // typed at ours (Ctrl+C) never reach it, and it outlives our process group.
    bool newSession = false;
    // The child leads a process group of its own that becomes the foreground
    // group of our terminal (standard input): keys typed there (Ctrl+C,
    // Ctrl+Z) reach it and not us, as for a shell's job. One such child at a
    // time; see childHasExited and endTerminalChild.
    bool terminalForeground = false;
    // Changes to our environment for the child: "NAME=VALUE" sets NAME, a
    // bare "NAME" removes it.
    std::vector<std::string> environment;
};

struct ChildProcess {
    int pid = -1;
    // Our ends of the pipes asked for (non-blocking), -1 for the others.
    // input is the write end of the child's standard input.
    int input = -1, output = -1, error = -1;
    bool exited = false;
    int exitStatus = -1;  // exit code, or 128 + the signal that ended it
};

// Starts the program. 0 on success, else the errno of the failure (ENOENT,
// EACCES, ENOEXEC, ...), with nothing left open. Our own signal handlers and
// our ignoring of SIGPIPE do not reach the child; no descriptor of ours but
// the three standard ones does.
int spawnProcess(const SpawnRequest& request, ChildProcess& child);
// Whether the child has ended (never blocks); reaps it and records its status.
// When a child holding the terminal (terminalForeground) was stopped with
// Ctrl+Z, our process takes the terminal and stops too, so the shell sees
// the job stopped; once continued (fg) the child gets the terminal back and
// goes on.
bool childHasExited(ChildProcess& child);
// Waits up to `timeoutMs` for the child's end; true when it has ended.
bool waitForChild(ChildProcess& child, int timeoutMs);
// Nobody will ask about this child any more: it is reaped once it ends, and
// `child` is cleared (its pipes are not touched).
void abandonChild(ChildProcess& child);
// Ends the child holding the terminal, if one still may: SIGTERM to its
// process group, up to a second for it to end, then SIGKILL; it is waited
// for. The terminal's foreground group is left for the caller to take back.
// Async-signal-safe, for the terminal console's signal handlers.
void endTerminalChild();

// Reads what a pipe holds without waiting: the count read, 0 at the end of
// the pipe (every writer closed it), -1 when nothing is waiting (or on an
// error).
long readPipe(int fd, char* buffer, size_t size);
// Closes a pipe end and sets it to -1 (nothing for -1).
void closePipe(int& fd);
// Writes what a pipe takes without waiting: the count written, -1 when it is
// full, -2 when nobody reads it any more (never raises SIGPIPE) or on an error.
long writePipe(int fd, const char* data, size_t size);
// Waits up to `timeoutMs` until `readFd` has something to read (or its end)
// or `writeFd` has room; -1 skips a side. The result has PIPE_READABLE and
// PIPE_WRITABLE set for the sides that are ready (0 after the time-out).
constexpr int PIPE_READABLE = 1, PIPE_WRITABLE = 2;
int waitForPipes(int readFd, int writeFd, int timeoutMs);
// Ends the child at once (SIGKILL), reaps it and closes our pipe ends.
void killChild(ChildProcess& child);

// One entry per running process: the path of its executable
// (/proc/<pid>/exe), or, when that cannot be read (another user's process),
// its argv[0], or else its command name (/proc/<pid>/comm).
std::vector<std::string> runningExecutables();

// True when our standard output is a terminal.
bool standardOutputIsTerminal();
// True for a regular file we may execute.
bool isExecutableFile(const std::string& path);
// The executable file `name` (no "/" in it) in a folder of PATH, or "" when
// there is none. Empty PATH entries (the current folder) are skipped.
std::string findInSearchPath(const std::string& name);

// Starts the desktop's opener on `target` (a file, folder or address) with
// the streams and session of `streams` (its program and arguments are not
// used). ENOENT when xdg-open is not installed: nothing is started.
int openWithDesktop(const std::string& target, const SpawnRequest& streams, ChildProcess& child);

// Makes `path` an executable shell script (mode 0755) that runs `program`
// with the arguments it was given, when there is no file there, or when the
// file there is a launcher made by this function (it carries a mark line)
// that runs another program, say of an installation that has moved. Any
// other file is the user's and is kept. Written atomically. False when it
// could not be made.
bool writeLauncherScript(const std::string& path, const std::string& program);
