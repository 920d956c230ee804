// EXECUTA without marks on the terminal console, for real: rotalis runs in
// a shell inside a private tmux server; the program it starts gets the
// terminal (normal screen, cooked mode, its own Ctrl+C) until it ends, and
// the console then comes back repainted.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string ROTALIS = TEST_BINARY_DIR "/bin/rotalis";

// Runs a program and returns its standard output ("" when it failed).
std::string run(const std::vector<std::string>& args, int* status = nullptr) {
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

class TerminalHandoff : public ::testing::Test {
protected:
    void SetUp() override {
        int status = 0;
        run({"tmux", "-V"}, &status);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) GTEST_SKIP() << "tmux is not installed";
        char dir[] = "/tmp/terminal_handoff_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        socket_ = "rotalis-handoff-test-" + std::to_string(getpid());
        fs::create_directory(dir_ + "/home");
        std::ofstream(dir_ + "/home/FALARIS.INI") << "[FALARIS]\nTEMPOESPERAPROGVOLTAR=0\n";
        std::ofstream(dir_ + "/tmux.conf") << "set -g status off\n";
        run({"tmux", "-L", socket_, "-f", dir_ + "/tmux.conf", "new-session", "-d", "-x", "80", "-y", "25", "-s",
             "t", "-c", dir_, "-e", "TALORA_HOME=" + dir_ + "/home", "exec sh -i"},
            &status);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "tmux did not start";
        started_ = true;
    }
    void TearDown() override {
        if (started_) tmux({"kill-server"});
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    std::string tmux(std::vector<std::string> args) {
        args.insert(args.begin(), {"tmux", "-L", socket_});
        return run(args);
    }
    std::string screen() { return tmux({"capture-pane", "-p", "-t", "t"}); }
    bool alternateScreen() {
        std::string s = tmux({"display-message", "-p", "-t", "t", "#{alternate_on}"});
        return s.rfind("1", 0) == 0;
    }
    void type(const std::string& text) { tmux({"send-keys", "-t", "t", "-l", text}); }
    void press(const std::string& keyName) { tmux({"send-keys", "-t", "t", keyName}); }

    // Waits up to 10 s for `text` on the screen and the alternate screen in the state asked.
    bool waitFor(const std::string& text, bool alternate) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (screen().find(text) != std::string::npos && alternateScreen() == alternate) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ADD_FAILURE() << "no \"" << text << "\" with the alternate screen " << (alternate ? "on" : "off") << ":\n"
                      << screen();
        return false;
    }

    // The interpreter looks for the program in front every 100 ms; one that
    // has come and gone before the first look leaves it waiting 5 s.
    static void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }

    std::string dir_, socket_;
    bool started_ = false;
};

TEST_F(TerminalHandoff, TheProgramGetsTheTerminalAndTheConsoleComesBackRepainted) {
    std::ofstream(dir_ + "/asks.sh") << "printf 'PROGRAMA> '\nread linha\nprintf '%s' \"$linha\" > lido.txt\n";
    std::ofstream(dir_ + "/term.rot") << "escreve \"ANTES DO PROGRAMA\"\n"
                                         "executa \"/bin/sh asks.sh\"\n"
                                         "escreve \"DE VOLTA\"\n"
                                         "le &\n"
                                         "executa \"/bin/sleep 30\"\n"
                                         "escreve \"CONTINUA\"\n"
                                         "le &\n";
    type(ROTALIS + " --console=terminal --audio=none term.rot; echo EXIT\"\"=$?");
    press("Enter");

    // The program reads a line on the normal screen, echoed by the terminal.
    ASSERT_TRUE(waitFor("PROGRAMA>", false));
    settle();
    type("ola mundo");
    press("Enter");
    ASSERT_TRUE(waitFor("DE VOLTA", true));
    EXPECT_NE(screen().find("ANTES DO PROGRAMA"), std::string::npos) << screen();
    std::stringstream typed;
    typed << std::ifstream(dir_ + "/lido.txt").rdbuf();
    EXPECT_EQ(typed.str(), "ola mundo");

    // Ctrl+C ends the program in front, not the interpreter.
    press("Enter");
    for (int i = 0; i < 200 && alternateScreen(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_FALSE(alternateScreen()) << "sleep did not get the terminal";
    settle();
    press("C-c");
    ASSERT_TRUE(waitFor("CONTINUA", true));
    press("Enter");
    ASSERT_TRUE(waitFor("EXIT=0", false));
}

} // namespace
