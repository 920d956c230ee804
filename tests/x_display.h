// A private X display for window tests and benchmarks: Xvfb on a display
// number it chooses itself (-displayfd), optionally the openbox window
// manager, and a keyboard map without the server's own Ctrl+Alt+F-key
// actions (so those keys reach programs) and with the Portuguese letters ç ã
// õ á é ó on spare keys (xdotool would otherwise bind them to one scratch key
// in turn, and a slow program could read one letter as the next). The
// server never resets, since a reset when the last client leaves would
// bring the old keyboard map back. While it runs, DISPLAY names it
// and DBUS_SESSION_BUS_ADDRESS is "disabled:" in this process, so the code
// under test and every program started here use it and start no bus
// daemon. stop() (or the destructor) ends openbox and Xvfb and waits for
// them: nothing is left behind. Keys and clicks go in with xdotool, pictures
// come back with ImageMagick's import.
#pragma once

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace xtest {

// Starts a program with standard input from /dev/null; its standard output
// goes to `outFd` (-1: /dev/null), its error output to /dev/null unless
// `keepStderr`. -1 when it cannot start.
inline pid_t spawn(const std::vector<std::string>& args, int outFd = -1, bool keepStderr = false,
                   int keepFd = -1) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    int null = ::open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(outFd >= 0 ? outFd : null, 1);
    if (!keepStderr) dup2(null, 2);
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != keepFd) ::close(fd);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// Waits up to `timeoutMs` for a child to end; its wait status, or -1 when
// it did not end in time (it is then killed and reaped).
inline int waitChild(pid_t pid, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (true) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return status;
        if (r < 0) return -1;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Ends a child: SIGTERM, then SIGKILL if it has not gone within a second.
inline void endChild(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitChild(pid, 1000);
}

// Runs a program to its end (at most `timeoutMs`) and returns its standard
// output; `ok` tells whether it exited with 0.
inline std::string run(const std::vector<std::string>& args, bool* ok = nullptr, int timeoutMs = 10000) {
    int out[2];
    if (pipe(out) != 0) return {};
    pid_t pid = spawn(args, out[1]);
    ::close(out[1]);
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now())
                                        .count());
        pollfd p{out[0], POLLIN, 0};
        if (left <= 0 || poll(&p, 1, left) <= 0) break;
        char buf[65536];
        ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    ::close(out[0]);
    int status = waitChild(pid, std::max(100, static_cast<int>(timeoutMs / 10)));
    if (ok) *ok = status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return text;
}

// An RGB picture, rows from the top.
struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    struct Pixel {
        int r, g, b;
        bool operator==(const Pixel&) const = default;
    };
    Pixel at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return {-1, -1, -1};
        const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * width + x) * 3;
        return {p[0], p[1], p[2]};
    }
};

class XDisplay {
public:
    XDisplay() = default;
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;
    ~XDisplay() { stop(); }

    // Starts Xvfb (1024 x 768, 24 bits) and, with `windowManager`, openbox.
    // False with `error` set when they cannot start.
    bool start(bool windowManager) {
        int fds[2];
        if (pipe(fds) != 0) return fail("no pipe");
        xvfb_ = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24", "-nolisten",
                       "tcp", "-noreset"},
                      -1, false, fds[1]);
        ::close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (number.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
            char buf[32];
            ssize_t n = read(fds[0], buf, sizeof buf);
            if (n <= 0) break;
            number.append(buf, static_cast<size_t>(n));
        }
        ::close(fds[0]);
        while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
        if (number.empty()) return fail("Xvfb did not start (is the xvfb package installed?)");
        name_ = ":" + number;
        setenv("DISPLAY", name_.c_str(), 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        bool ok = false;
        run({"setxkbmap", "-option", "srvrkeys:none"}, &ok);
        if (!ok) return fail("setxkbmap failed");
        if (!addLetterKeys()) return fail("xkbcomp cannot load the keyboard map");
        if (!windowManager) return true;
        wm_ = spawn({"openbox", "--sm-disable"});
        // The window manager is ready once it answers for the desktops.
        for (int i = 0; i < 200; ++i) {
            run({"xdotool", "get_desktop"}, &ok);
            if (ok) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return fail("openbox did not start");
    }

    void stop() {
        endChild(wm_);
        endChild(xvfb_);
        wm_ = xvfb_ = -1;
        if (!name_.empty()) unsetenv("DISPLAY");
        name_.clear();
    }

    const std::string& name() const { return name_; }
    const std::string& error() const { return error_; }

    // The window (xdotool's decimal id) that process `pid` shows, waiting up
    // to `timeoutMs` for it; "" when none appears.
    static std::string windowOf(pid_t pid, int timeoutMs = 10000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            std::istringstream ids(run({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)}));
            std::string id;
            if (ids >> id) return id;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {};
    }

    // The window's client area as it shows now; false when import fails.
    static bool screenshot(const std::string& window, Image& image) {
        std::string ppm = run({"import", "-window", window, "-depth", "8", "ppm:-"});
        // "P6", width, height, maximum value, one blank, then the pixels.
        std::istringstream in(ppm);
        std::string magic;
        int maxValue = 0;
        if (!(in >> magic >> image.width >> image.height >> maxValue) || magic != "P6" || maxValue != 255)
            return false;
        size_t start = static_cast<size_t>(in.tellg()) + 1;
        size_t size = static_cast<size_t>(image.width) * image.height * 3;
        if (ppm.size() < start + size) return false;
        image.rgb.assign(ppm.begin() + static_cast<long>(start), ppm.begin() + static_cast<long>(start + size));
        return true;
    }

    // Takes screenshots until `good` holds for one (true) or `timeoutMs` has
    // passed (false); `image` keeps the last one.
    template <typename Check>
    static bool waitForPicture(const std::string& window, Image& image, Check good, int timeoutMs = 5000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (true) {
            if (screenshot(window, image) && good(image)) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    }

    // Runs xdotool with these arguments; true when it succeeded.
    static bool xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), "xdotool");
        bool ok = false;
        run(args, &ok);
        return ok;
    }

private:
    bool addLetterKeys() {
        bool ok = false;
        std::string keymap = run({"setxkbmap", "-print"}, &ok);
        size_t symbols = keymap.find("xkb_symbols");
        size_t end = symbols == std::string::npos ? symbols : keymap.find('"', keymap.find('"', symbols) + 1);
        if (!ok || end == std::string::npos) return false;
        keymap.insert(end + 1,
                      "\n key <I120> { [ ccedilla, Ccedilla ] };"
                      "\n key <I149> { [ atilde, Atilde ] };"
                      "\n key <I154> { [ otilde, Otilde ] };"
                      "\n key <I168> { [ aacute, Aacute ] };"
                      "\n key <I178> { [ eacute, Eacute ] };"
                      "\n key <I183> { [ oacute, Oacute ] };\n");
        std::string path = "/tmp/x_display_keymap_" + std::to_string(getpid()) + name_.substr(1);
        std::ofstream(path) << keymap;
        run({"xkbcomp", "-w", "0", path, name_}, &ok);
        std::remove(path.c_str());
        return ok;
    }

    bool fail(const std::string& what) {
        error_ = what;
        stop();
        return false;
    }

    pid_t xvfb_ = -1;
    pid_t wm_ = -1;
    std::string name_;
    std::string error_;
};

} // namespace xtest
