// Shared by the network tests: the local radio-directory site
// (tests/fixtures/radio_site.py) run as a child process on 127.0.0.1, a
// console backend that records what is written and advances time on its
// waits, and a clock whose sleeps pass at once in virtual time (with a
// short real pause, so that local servers keep up with the polls).
#pragma once

#include "console/console.h"
#include "platform/clock.h"
#include "platform/console_backend.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace nettest {

// The whole content of a file ("" when it cannot be read; `exists` tells).
inline std::string readFile(const std::string& path, bool* exists = nullptr) {
    std::ifstream in(path, std::ios::binary);
    if (exists) *exists = static_cast<bool>(in);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// One running instance of the radio site.
class Site {
public:
    bool start() {
        int toChild[2], fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0) return false;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(toChild[0], 0);
            dup2(fromChild[1], 1);
            close(toChild[1]);
            close(fromChild[0]);
            std::string script = std::string(TEST_SOURCE_DIR) + "/fixtures/radio_site.py";
            execlp("python3", "python3", script.c_str(), "--stop-with-stdin", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        stdin_ = toChild[1];
        FILE* out = fdopen(fromChild[0], "r");
        char line[4096];
        while (out && std::fgets(line, sizeof line, out)) {
            std::string l(line);
            if (!l.empty() && l.back() == '\n') l.pop_back();
            if (l.rfind("port=", 0) == 0) port = std::atoi(l.c_str() + 5);
            else if (l.rfind("ca=", 0) == 0) ca = l.substr(3);
            else if (l.rfind("log=", 0) == 0) log = l.substr(4);
            else if (l == "ready") break;
        }
        if (out) std::fclose(out);
        return port > 0 && !ca.empty();
    }

    // Closing its input ends the site, which then removes its folder.
    void stop() {
        if (pid_ <= 0) return;
        close(stdin_);
        for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) usleep(50000);
        if (kill(pid_, SIGKILL) == 0) waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    ~Site() { stop(); }

    std::string http(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
    std::string https(const std::string& path) const { return "https://localhost:" + std::to_string(port) + path; }

    // The request log: one JSON object per line, in order of arrival.
    std::string requests() const {
        std::ifstream in(log);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void clearRequests() const { std::ofstream(log, std::ios::trunc); }

    int port = 0;
    std::string ca, log;

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
};

// What the console received, and how often it was asked for input.
inline std::string transcript;
inline int consolePolls = 0;

// Records every byte written to the console; waits pass on the clock.
class RecordingConsole : public ConsoleBackend {
public:
    bool open() override { return true; }
    void close() override {}
    void written(std::string_view bytes) override { transcript.append(bytes); }
    void drawRange(int, int, int, const uint8_t*, const uint8_t*) override {}
    void drawAll(const uint8_t*, const uint8_t*) override {}
    void setCursor(int, int, bool) override {}
    void pollInput(std::vector<InputEvent>&, int timeoutMs, bool) override {
        ++consolePolls;
        systemClock().sleepMs(timeoutMs);
    }
};

// Puts the recording console in place for the whole test program.
inline void recordConsole() {
    setConsoleBackend(std::make_unique<RecordingConsole>());
    openConsole();
}

// Virtual time: each sleep adds its length at once and pauses 0.2 ms really.
class FastClock : public Clock {
public:
    int64_t monotonicMs() override { return now_; }
    void sleepMs(int ms) override {
        if (ms <= 0) return;
        now_ += ms;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    LocalTime localTime() override { return LocalTime {2024, 1, 1, 1, 12, 0, 0, 0}; }

private:
    int64_t now_ = 0;
};

} // namespace nettest
