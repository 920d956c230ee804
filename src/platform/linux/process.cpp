// Processes on Linux: posix_spawn with file actions for the standard
// streams, waitpid for their end, /proc for the process list, xdg-open for
// documents. Owns the list of abandoned children still to be reaped.
#include "platform/process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Children started here that nobody waits for any more.
std::vector<int> abandoned;
// The child whose process group holds the terminal (0: none); also read by
// endTerminalChild from signal handlers.
volatile sig_atomic_t terminalChild = 0;
constexpr int TERMINAL_CHILD_GRACE_MS = 1000;

// The second line of the launchers made here; earlier ones carried the other.
const char* const LAUNCHER_MARK =
    "# Launcher made by the program; it is made again when it does not run this installation. "
    "Remove this line to keep your changes.";
const char* const EARLIER_LAUNCHER_MARK = "# Made when the program started; delete it to have it made again.";

void reapAbandoned() {
    abandoned.erase(std::remove_if(abandoned.begin(), abandoned.end(),
                                   [](int pid) {
                                       int status;
                                       return waitpid(pid, &status, WNOHANG) != 0;
                                   }),
                    abandoned.end());
}

int statusCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// The start of a small file (at most 4096 bytes: /proc entries, launchers); "" when unreadable.
std::string readFileStart(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char buf[4096];
    size_t used = 0;
    while (used < sizeof buf) {
        ssize_t n = read(fd, buf + used, sizeof buf - used);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        used += static_cast<size_t>(n);
    }
    close(fd);
    return std::string(buf, used);
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Our environment with the request's changes.
std::vector<std::string> childEnvironment(const std::vector<std::string>& changes) {
    std::vector<std::string> entries;
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const std::string& change : changes) replaced = replaced || nameOf(change) == nameOf(entry);
        if (!replaced) entries.push_back(entry);
    }
    for (const std::string& change : changes)
        if (change.find('=') != std::string::npos) entries.push_back(change);
    return entries;
}

// Runs with SIGTTOU held: a process outside the terminal's foreground group
// that changes it would otherwise be stopped.
void setTerminalForeground(int group) {
    sigset_t ttou, old;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    sigprocmask(SIG_BLOCK, &ttou, &old);
    tcsetpgrp(0, group);
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

// Ctrl+Z stopped the child holding the terminal. We stop as well, with the
// terminal taken back first, so the shell that started us sees its job
// stopped; after fg the child gets the terminal again and continues.
void followStoppedChild(int pid) {
    setTerminalForeground(getpgrp());
    raise(SIGTSTP);
    setTerminalForeground(pid);
    kill(-pid, SIGCONT);
}

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

} // namespace

int spawnProcess(const SpawnRequest& request, ChildProcess& child) {
    child = ChildProcess{};
#ifdef ONDARIA_FUZZING
    // Fuzzed scripts reach EXECUTA: nothing may be started.
    (void)request;
    return EPERM;
#else
    reapAbandoned();
    if (request.program.empty()) return ENOENT;

    const StreamSetup setups[3] = {request.input, request.output, request.error};
    int pipes[3][2] = {{-1, -1}, {-1, -1}, {-1, -1}};
    auto closeAll = [&pipes] {
        for (auto& p : pipes)
            for (int& fd : p) closePipe(fd);
    };
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int rc = 0;
    for (int i = 0; i < 3 && rc == 0; ++i) {
        if (setups[i] == StreamSetup::Null) {
            rc = posix_spawn_file_actions_addopen(&actions, i, "/dev/null", i == 0 ? O_RDONLY : O_WRONLY, 0);
        } else if (setups[i] == StreamSetup::Pipe) {
            if (pipe2(pipes[i], O_CLOEXEC) != 0) {
                rc = errno;
                break;
            }
            // The child reads its input from the read end and writes to the write ends.
            int childEnd = i == 0 ? pipes[i][0] : pipes[i][1];
            int ourEnd = i == 0 ? pipes[i][1] : pipes[i][0];
            fcntl(ourEnd, F_SETFL, fcntl(ourEnd, F_GETFL) | O_NONBLOCK);
            rc = posix_spawn_file_actions_adddup2(&actions, childEnd, i);
        }
    }
    if (rc == 0 && !request.directory.empty())
        rc = posix_spawn_file_actions_addchdir_np(&actions, request.directory.c_str());
    if (rc == 0) rc = posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);  // ignored by our socket code
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (request.newSession) flags |= POSIX_SPAWN_SETSID;
    // Only a terminal we control, and hold the foreground of, can be handed on.
    bool holdsTerminal = request.terminalForeground && !request.newSession && tcgetpgrp(0) == getpgrp();
    if (holdsTerminal) {
        // The group is made and given the terminal in the child, before the
        // program starts, so its first read of the terminal is its own.
        flags |= POSIX_SPAWN_SETPGROUP;
        posix_spawnattr_setpgroup(&attributes, 0);
        if (rc == 0) rc = posix_spawn_file_actions_addtcsetpgrp_np(&actions, 0);
    }
    posix_spawnattr_setflags(&attributes, flags);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(request.program.c_str()));
    for (const std::string& a : request.arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    std::vector<std::string> environment = childEnvironment(request.environment);
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_t pid = -1;
    if (rc == 0) rc = posix_spawn(&pid, request.program.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        closeAll();
        return rc;
    }
    child.pid = pid;
    if (holdsTerminal) terminalChild = pid;
    closePipe(pipes[0][0]);
    closePipe(pipes[1][1]);
    closePipe(pipes[2][1]);
    child.input = pipes[0][1];
    child.output = pipes[1][0];
    child.error = pipes[2][0];
    return 0;
#endif
}

bool childHasExited(ChildProcess& child) {
    if (child.exited || child.pid <= 0) return true;
    bool holdsTerminal = child.pid == terminalChild;
    int status = 0;
    pid_t r = waitpid(child.pid, &status, WNOHANG | (holdsTerminal ? WUNTRACED : 0));
    if (r == 0) return false;
    if (r > 0 && WIFSTOPPED(status)) {
        followStoppedChild(child.pid);
        return false;
    }
    if (holdsTerminal) terminalChild = 0;
    child.exited = true;
    child.exitStatus = r > 0 ? statusCode(status) : -1;
    return true;
}

void endTerminalChild() {
    int pid = terminalChild;
    if (pid <= 0) return;
    int status;
    kill(-pid, SIGTERM);
    kill(-pid, SIGCONT);  // a stopped program must run to end
    for (int waited = 0; waited < TERMINAL_CHILD_GRACE_MS; waited += 10) {
        if (waitpid(pid, &status, WNOHANG) != 0) {
            terminalChild = 0;
            return;
        }
        poll(nullptr, 0, 10);
    }
    kill(-pid, SIGKILL);
    waitpid(pid, &status, 0);
    terminalChild = 0;
}

bool waitForChild(ChildProcess& child, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!childHasExited(child)) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        poll(nullptr, 0, static_cast<int>(std::min<int64_t>(left.count(), 5)));
    }
    return true;
}

void abandonChild(ChildProcess& child) {
    if (child.pid > 0 && !childHasExited(child)) abandoned.push_back(child.pid);
    if (child.pid > 0 && child.pid == terminalChild) terminalChild = 0;
    child.pid = -1;
    child.exited = false;
    child.exitStatus = -1;
}

long readPipe(int fd, char* buffer, size_t size) {
    if (fd < 0) return -1;
    while (true) {
        ssize_t n = read(fd, buffer, size);
        if (n < 0 && errno == EINTR) continue;
        return n < 0 ? -1 : static_cast<long>(n);
    }
}

void closePipe(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

long writePipe(int fd, const char* data, size_t size) {
    if (fd < 0) return -2;
    // SIGPIPE is held back for this write, and one it raised is taken away
    // again, so a reader that died is an error result and not our end.
    sigset_t pipeSignal, previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    ssize_t n;
    do n = write(fd, data, size);
    while (n < 0 && errno == EINTR);
    int error = errno;
    if (n < 0 && error == EPIPE) {
        timespec none{0, 0};
        sigtimedwait(&pipeSignal, nullptr, &none);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (n >= 0) return static_cast<long>(n);
    return error == EAGAIN || error == EWOULDBLOCK ? -1 : -2;
}

int waitForPipes(int readFd, int writeFd, int timeoutMs) {
    pollfd fds[2];
    nfds_t count = 0;
    if (readFd >= 0) fds[count++] = {readFd, POLLIN, 0};
    if (writeFd >= 0) fds[count++] = {writeFd, POLLOUT, 0};
    if (count == 0) return 0;
    int rc;
    do rc = poll(fds, count, timeoutMs);
    while (rc < 0 && errno == EINTR);
    if (rc <= 0) return 0;
    int ready = 0;
    for (nfds_t i = 0; i < count; ++i) {
        if (fds[i].revents == 0) continue;
        ready |= fds[i].fd == readFd && (fds[i].events & POLLIN) ? PIPE_READABLE : PIPE_WRITABLE;
    }
    return ready;
}

void killChild(ChildProcess& child) {
    closePipe(child.input);
    closePipe(child.output);
    closePipe(child.error);
    if (child.pid <= 0) return;
    if (!childHasExited(child)) {
        kill(child.pid, SIGKILL);
        if (!waitForChild(child, 500)) abandonChild(child);
    }
}

std::vector<std::string> runningExecutables() {
    reapAbandoned();
    std::vector<std::string> list;
    DIR* d = opendir("/proc");
    if (!d) return list;
    while (dirent* e = readdir(d)) {
        const char* name = e->d_name;
        if (*name < '1' || *name > '9') continue;
        bool numeric = true;
        for (const char* p = name; *p; ++p) numeric = numeric && *p >= '0' && *p <= '9';
        if (!numeric) continue;
        std::string base = std::string("/proc/") + name;
        char target[4096];
        ssize_t n = readlink((base + "/exe").c_str(), target, sizeof target - 1);
        if (n > 0) {
            std::string path(target, static_cast<size_t>(n));
            // The executable was replaced or removed while it runs.
            const std::string deleted = " (deleted)";
            if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
                path.resize(path.size() - deleted.size());
            list.push_back(path);
            continue;
        }
        std::string argv0 = readFileStart(base + "/cmdline");
        argv0 = argv0.substr(0, argv0.find('\0'));
        if (argv0.empty()) {
            argv0 = readFileStart(base + "/comm");
            while (!argv0.empty() && argv0.back() == '\n') argv0.pop_back();
        }
        if (!argv0.empty()) list.push_back(argv0);
    }
    closedir(d);
    return list;
}

bool standardOutputIsTerminal() { return isatty(1) == 1; }

bool isExecutableFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string findInSearchPath(const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos) return {};
    const char* env = std::getenv("PATH");
    std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
    size_t from = 0;
    while (from <= path.size()) {
        size_t colon = path.find(':', from);
        std::string dir = path.substr(from, colon == std::string::npos ? std::string::npos : colon - from);
        if (!dir.empty()) {
            std::string candidate = dir + (dir.back() == '/' ? "" : "/") + name;
            if (isExecutableFile(candidate)) return candidate;
        }
        if (colon == std::string::npos) break;
        from = colon + 1;
    }
    return {};
}

int openWithDesktop(const std::string& target, const SpawnRequest& streams, ChildProcess& child) {
    child = ChildProcess{};
    std::string opener = findInSearchPath("xdg-open");
    if (opener.empty()) return ENOENT;
    SpawnRequest request = streams;
    request.program = opener;
    request.arguments = {target};
    return spawnProcess(request, child);
}

bool writeLauncherScript(const std::string& path, const std::string& program) {
    std::string script = "#!/bin/sh\n" + std::string(LAUNCHER_MARK) + "\nexec " + shellQuoted(program) + " \"$@\"\n";
    struct stat st {};
    bool exists = lstat(path.c_str(), &st) == 0;
    if (exists) {
        // Ours (marked, or made before the mark) runs another installation's
        // program: it is replaced. A file of the user's is kept.
        std::string current = S_ISREG(st.st_mode) ? readFileStart(path) : std::string();
        bool ours = current.find("\n" + std::string(LAUNCHER_MARK) + "\n") != std::string::npos ||
                    current.find("\n" + std::string(EARLIER_LAUNCHER_MARK) + "\n") != std::string::npos;
        if (!ours || current == script) return true;
    }
    // Written under a temporary name and put into place in one step, so
    // nobody ever runs half a script. A new launcher is linked, so a file
    // that appeared meanwhile is kept; one of ours is replaced by renaming.
    std::string temporary = path + ".tmp" + std::to_string(getpid());
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0755);
    if (fd < 0) return false;
    bool written = writeAll(fd, script) && fchmod(fd, 0755) == 0;
    written = close(fd) == 0 && written;
    if (written && exists) {
        written = rename(temporary.c_str(), path.c_str()) == 0;
    } else if (written && link(temporary.c_str(), path.c_str()) != 0 && errno != EEXIST) {
        // A file system without hard links.
        if (lstat(path.c_str(), &st) != 0) written = rename(temporary.c_str(), path.c_str()) == 0;
    }
    unlink(temporary.c_str());
    return written && lstat(path.c_str(), &st) == 0;
}
