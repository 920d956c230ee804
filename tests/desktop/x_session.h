// A private desktop for tests: Xvfb on a display number it picks itself,
// a session bus inside dbus-run-session, and openbox as the window manager;
// programs started in it (a GTK program, rotalis) get its DISPLAY and bus.
// The test process becomes the reaper of everything it starts, so stop()
// can wait for every descendant, bus daemons started on demand included,
// and name those that stayed behind.
#pragma once

// After gtest's headers: Xlib's macros (None, Bool) would break them.
#include <X11/Xlib.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace xsession {

using Clock = std::chrono::steady_clock;

inline int64_t msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Reads lines from a child's output pipe without blocking forever.
class LineReader {
public:
    LineReader() = default;
    explicit LineReader(int fd) : fd_(fd) {}
    // The next line that starts with `prefix` (earlier lines are kept in
    // the history), or "" after `ms`.
    std::string waitFor(const std::string& prefix, int ms = 10000) {
        auto start = Clock::now();
        while (true) {
            for (; next_ < lines_.size(); ++next_)
                if (lines_[next_].rfind(prefix, 0) == 0) return lines_[next_++];
            int left = ms - static_cast<int>(msSince(start));
            if (left <= 0 || !fill(left)) return "";
        }
    }
    // Everything read so far.
    std::string all() {
        while (fill(0)) {}
        std::string s;
        for (const std::string& l : lines_) s += l + "\n";
        return s;
    }
    int fd() const { return fd_; }

private:
    bool fill(int ms) {
        if (fd_ < 0) return false;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0) return false;
        char buffer[4096];
        ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0) {
            close(fd_);
            fd_ = -1;
            return false;
        }
        partial_.append(buffer, static_cast<size_t>(n));
        for (size_t nl; (nl = partial_.find('\n')) != std::string::npos;) {
            lines_.push_back(partial_.substr(0, nl));
            partial_.erase(0, nl + 1);
        }
        return true;
    }

    int fd_ = -1;
    std::string partial_;
    std::vector<std::string> lines_;
    size_t next_ = 0;
};

struct Child {
    pid_t pid = -1;
    LineReader out;  // its standard output, when asked for
};

class XSession {
public:
    ~XSession() { stop(); }

    // Starts Xvfb, the session bus and openbox; false (with `error`) when
    // one of them does not come up.
    bool start(std::string& error) {
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        // Xvfb picks a free display number and writes it on descriptor 3.
        Child x = spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                           "-noreset"}, true, 3);
        xvfb_ = x.pid;
        std::string number = x.out.waitFor("", 30000);
        if (number.empty()) return fail(error, "Xvfb did not start");
        env_["DISPLAY"] = ":" + number;
        if (!waitForDisplay(false)) return fail(error, "Xvfb does not answer on :" + number);
        // A session bus that lives as long as its holder process.
        Child bus = spawn({"dbus-run-session", "--", "/bin/sh", "-c",
                           "echo \"$$ $DBUS_SESSION_BUS_ADDRESS\" >&3; exec sleep 100000"},
                          true, 3);
        busRunner_ = bus.pid;
        std::string line = bus.out.waitFor("", 30000);
        size_t space = line.find(' ');
        if (space == std::string::npos) return fail(error, "dbus-run-session did not start");
        busHolder_ = std::atoi(line.substr(0, space).c_str());
        env_["DBUS_SESSION_BUS_ADDRESS"] = line.substr(space + 1);
        openbox_ = spawn({"openbox", "--sm-disable"}).pid;
        if (!waitForDisplay(true)) return fail(error, "openbox did not start on " + display());
        return true;
    }

    // Ends the display server alone (what a crash of it looks like to
    // its clients).
    void endDisplay() { end(xvfb_); }

    // The environment every program of the session gets.
    std::map<std::string, std::string>& environment() { return env_; }
    const std::string& display() { return env_["DISPLAY"]; }

    // Starts a program of the session; with `captureOutput`, its standard
    // output is read through the returned Child (on descriptor `outFd`).
    Child spawn(const std::vector<std::string>& argv, bool captureOutput = false, int outFd = 1,
                const std::string& stdinPath = "/dev/null") {
        int p[2] = {-1, -1};
        if (captureOutput && pipe2(p, O_CLOEXEC) != 0) return {};
        std::vector<std::string> envText;
        for (char** e = environ; *e; ++e) {
            std::string kv = *e;
            std::string key = kv.substr(0, kv.find('='));
            // A bus or bridge setting of the developer's session must not leak in.
            if (!env_.count(key) && key != "AT_SPI_BUS_ADDRESS" && key != "NO_AT_BRIDGE") envText.push_back(kv);
        }
        for (auto& [k, v] : env_) envText.push_back(k + "=" + v);
        pid_t pid = fork();
        if (pid == 0) {
            int in = open(stdinPath.c_str(), O_RDONLY | O_CLOEXEC);
            dup2(in, 0);
            if (captureOutput) {
                if (p[1] == outFd) fcntl(outFd, F_SETFD, 0);
                else dup2(p[1], outFd);
            }
            std::vector<char*> args, envp;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            for (std::string& e : envText) envp.push_back(e.data());
            envp.push_back(nullptr);
            execvpe(args[0], args.data(), envp.data());
            _exit(127);
        }
        Child c;
        c.pid = pid;
        if (captureOutput) {
            close(p[1]);
            c.out = LineReader(p[0]);
        }
        children_.push_back(pid);
        return c;
    }

    // Runs a program to its end (at most `ms`); its exit status, -1 when it
    // had to be killed. `output` receives its standard output.
    int run(const std::vector<std::string>& argv, std::string& output, int ms = 60000,
            const std::string& stdinPath = "/dev/null") {
        Child c = spawn(argv, true, 1, stdinPath);
        auto start = Clock::now();
        output.clear();
        while (msSince(start) < ms) {
            output = c.out.all();
            int status;
            if (waitpid(c.pid, &status, WNOHANG) == c.pid) {
                forget(c.pid);
                output = c.out.all();
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(c.pid, SIGKILL);
        waitpid(c.pid, nullptr, 0);
        forget(c.pid);
        return -1;
    }

    // Asks a program of the session to end and reaps it.
    void end(pid_t pid) {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitUpTo(pid, 5000);
        forget(pid);
    }

    // Whether a program started here has ended (reaping it).
    bool ended(pid_t pid, int ms) {
        if (!waitUpTo(pid, ms)) return false;
        forget(pid);
        return true;
    }

    // Ends everything and gives the names of the processes that were
    // still there 10 seconds later (and were then killed).
    std::vector<std::string> stop() {
        std::vector<std::string> leftovers;
        if (stopped_) return leftovers;
        stopped_ = true;
        // The programs, the window manager, the bus (its runner ends the
        // daemon when the holder goes), the display last.
        std::vector<pid_t> others;
        for (pid_t p : children_)
            if (p != xvfb_ && p != busRunner_ && p != openbox_) others.push_back(p);
        for (pid_t p : others) end(p);
        end(openbox_);
        if (busHolder_ > 0) kill(busHolder_, SIGTERM);
        waitUpTo(busRunner_, 5000);
        end(xvfb_);
        auto start = Clock::now();
        while (msSince(start) < 10000) {
            while (waitpid(-1, nullptr, WNOHANG) > 0) {}
            if (liveChildren().empty()) return leftovers;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        for (pid_t p : liveChildren()) {
            leftovers.push_back(commandName(p));
            kill(p, SIGKILL);
            waitpid(p, nullptr, 0);
        }
        return leftovers;
    }

private:
    bool fail(std::string& error, const std::string& what) {
        error = what;
        return false;
    }

    // Until the display answers and, with `manager`, a window manager runs on it.
    bool waitForDisplay(bool manager) {
        auto start = Clock::now();
        while (msSince(start) < 30000) {
            if (Display* d = XOpenDisplay(display().c_str())) {
                Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
                Atom type;
                int format;
                unsigned long count = 0, after;
                unsigned char* data = nullptr;
                XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, AnyPropertyType, &type,
                                   &format, &count, &after, &data);
                if (data) XFree(data);
                XCloseDisplay(d);
                if (count > 0 || !manager) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    bool waitUpTo(pid_t pid, int ms) {
        if (pid <= 0) return true;
        auto start = Clock::now();
        while (msSince(start) < ms) {
            pid_t r = waitpid(pid, nullptr, WNOHANG);
            if (r == pid || (r < 0 && errno == ECHILD)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    void forget(pid_t pid) {
        for (pid_t& p : children_)
            if (p == pid) p = -1;
    }

    static std::vector<pid_t> liveChildren() {
        std::vector<pid_t> live;
        pid_t me = getpid();
        if (DIR* d = opendir("/proc")) {
            while (dirent* e = readdir(d)) {
                pid_t pid = std::atoi(e->d_name);
                if (pid <= 0) continue;
                std::ifstream stat("/proc/" + std::string(e->d_name) + "/stat");
                std::string text((std::istreambuf_iterator<char>(stat)), {});
                size_t close = text.rfind(')');
                if (close == std::string::npos) continue;
                std::istringstream rest(text.substr(close + 2));
                char state;
                pid_t parent;
                rest >> state >> parent;
                if (parent == me && state != 'Z') live.push_back(pid);
            }
            closedir(d);
        }
        return live;
    }

    static std::string commandName(pid_t pid) {
        std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
        std::string name;
        std::getline(comm, name);
        return name;
    }

    std::map<std::string, std::string> env_;
    std::vector<pid_t> children_;
    pid_t xvfb_ = -1, busRunner_ = -1, busHolder_ = -1, openbox_ = -1;
    bool stopped_ = false;
};

} // namespace xsession
