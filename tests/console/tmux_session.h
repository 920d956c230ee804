// A private tmux server for tests that run rotalis on a real terminal: one
// 80 x 25 pane (no status line) with an interactive shell in a temporary
// folder whose home/ is TALORA_HOME. Keys go in with send-keys; the screen
// comes back with capture-pane.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tmuxtest {

inline const std::string ROTALIS = TEST_BINARY_DIR "/bin/rotalis";

// Runs a program and returns its standard output ("" when it failed).
inline std::string run(const std::vector<std::string>& args, int* status = nullptr) {
    int out[2];
    if (pipe(out) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    if (status) *status = st;
    return text;
}

class TmuxSession : public ::testing::Test {
protected:
    void SetUp() override {
        int status = 0;
        run({"tmux", "-V"}, &status);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) GTEST_SKIP() << "tmux is not installed";
        char dir[] = "/tmp/tmux_session_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        socket_ = "rotalis-test-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directory(dir_ + "/home");
        std::ofstream(dir_ + "/tmux.conf") << "set -g status off\n";
        run({"tmux", "-L", socket_, "-f", dir_ + "/tmux.conf", "new-session", "-d", "-x", "80", "-y", "25",
             "-s", "t", "-c", dir_, "-e", "TALORA_HOME=" + dir_ + "/home", "exec sh -i"},
            &status);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "tmux did not start";
        started_ = true;
    }
    void TearDown() override {
        if (started_) tmux({"kill-server"});
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    std::string tmux(std::vector<std::string> args) {
        args.insert(args.begin(), {"tmux", "-L", socket_});
        return run(args);
    }
    std::string screen() { return tmux({"capture-pane", "-p", "-t", "t"}); }
    std::string paneFormat(const std::string& format) {
        std::string s = tmux({"display-message", "-p", "-t", "t", format});
        while (!s.empty() && s.back() == '\n') s.pop_back();
        return s;
    }
    bool alternateScreen() { return paneFormat("#{alternate_on}") == "1"; }
    void type(const std::string& text) { tmux({"send-keys", "-t", "t", "-l", text}); }
    void press(const std::string& keyName) { tmux({"send-keys", "-t", "t", keyName}); }

    // Waits up to 10 s for `text` on the screen.
    bool waitFor(const std::string& text) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (screen().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ADD_FAILURE() << "no \"" << text << "\" on the screen:\n" << screen();
        return false;
    }
    // Waits up to 10 s for the alternate screen to be on or off.
    bool waitForAlternateScreen(bool on) {
        for (int i = 0; i < 200; ++i) {
            if (alternateScreen() == on) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::string dir_, socket_;
    bool started_ = false;
};

} // namespace tmuxtest
