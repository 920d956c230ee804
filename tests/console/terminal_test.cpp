// The terminal console for real: rotalis --console=terminal runs in a shell
// inside a private tmux server (80 x 25, no status line); keys are sent
// with send-keys and the screen read with capture-pane. Also checks that the
// terminal is given back (normal screen, canonical mode and echo) after a
// normal end, Ctrl+C and a suspend, and that a resize repaints.
#include "platform/linux/terminal_console.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const std::string ROTALIS = TEST_BINARY_DIR "/bin/rotalis";

// Runs a program and returns its standard output ("" when it failed).
std::string run(const std::vector<std::string>& args, int* status = nullptr) {
    int out[2];
    if (pipe(out) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    ::close(out[1]);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
    ::close(out[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    if (status) *status = st;
    return text;
}

bool haveTmux() {
    int status = 0;
    run({"tmux", "-V"}, &status);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> list;
    for (std::string w; in >> w;) list.push_back(w);
    return list;
}

bool has(const std::vector<std::string>& list, const std::string& word) {
    for (const std::string& w : list)
        if (w == word) return true;
    return false;
}

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveTmux()) GTEST_SKIP() << "tmux is not installed";
        char dir[] = "/tmp/terminal_test_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        socket_ = "rotalis-terminal-test-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directory(dir_ + "/home");
        std::ofstream(dir_ + "/tmux.conf") << "set -g status off\n";
        int status = 0;
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
    bool waitForAlternateScreen(bool on) {
        for (int i = 0; i < 200; ++i) {
            if (paneFormat("#{alternate_on}") == (on ? "1" : "0")) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // Starts a script in the pane's shell; the shell then writes its exit
    // status as "EXIT=n" (typed as EXIT""= so the command line does not match).
    void startScript(const std::string& script, const std::string& after = "; echo EXIT\"\"=$?") {
        std::ofstream(dir_ + "/term.rot") << script;
        type(ROTALIS + " --console=terminal --audio=none term.rot" + after);
        press("Enter");
    }

    // The shell's terminal modes, as `stty -a` words.
    std::vector<std::string> shellModes() {
        tmux({"send-keys", "-t", "t", "clear", "Enter"});
        type("stty -a; echo STTY\"\"-END");
        press("Enter");
        if (!waitFor("STTY-END")) return {};
        return words(screen());
    }

    void expectTerminalGivenBack() {
        EXPECT_TRUE(waitForAlternateScreen(false)) << "alternate screen still on";
        std::vector<std::string> modes = shellModes();
        EXPECT_TRUE(has(modes, "icanon") && has(modes, "echo") && has(modes, "isig")) << screen();
        EXPECT_FALSE(has(modes, "-icanon") || has(modes, "-echo")) << screen();
    }

    std::string dir_, socket_;
    bool started_ = false;
};

const char* const COLOURS_AND_INPUT =
    "cor 12\n"
    "escreve \"Texto vermelho\"\n"
    "cor 14\n"
    "fundo 1\n"
    "escreve \"Amarelo no azul: Ação\"\n"
    "cor 15\n"
    "fundo 0\n"
    "escreve \"Nome?\"\n"
    "le mudo n\n"
    "escreve \"Linha: \" n\n"
    "le mudo t&\n"
    "escreve \"Tecla 1: \" t\n"
    "le mudo t&\n"
    "escreve \"Tecla 2: \" t\n"
    "le mudo t&\n"
    "escreve \"Tecla 3: \" t\n"
    "le mudo t&\n"
    "escreve \"Tecla 4: \" t\n"
    "le mudo t&\n"
    "escreve \"Tecla 5: \" t\n"
    "le mudo t&\n";

TEST_F(TerminalTest, ColoursLineInputSpecialKeysAndTheTerminalGivenBack) {
    startScript(COLOURS_AND_INPUT);
    ASSERT_TRUE(waitFor("Nome?"));
    EXPECT_TRUE(waitForAlternateScreen(true));
    EXPECT_EQ(paneFormat("#{pane_title}"), "term");
    std::string rows = screen();
    EXPECT_EQ(rows.rfind("Texto vermelho\nAmarelo no azul: A\xC3\xA7\xC3\xA3o\nNome?\n", 0), 0u) << rows;
    // Palette 12 (light red) shows as bright red, 14 on 1 as bright yellow on blue.
    std::string coloured = tmux({"capture-pane", "-p", "-e", "-t", "t", "-S", "0", "-E", "1"});
    EXPECT_NE(coloured.find("\x1b[91m"), std::string::npos) << coloured;
    EXPECT_NE(coloured.find("\x1b[93m"), std::string::npos) << coloured;
    EXPECT_NE(coloured.find("\x1b[44m"), std::string::npos) << coloured;

    type("ol\xC3\xA1 mundo");
    press("Enter");
    ASSERT_TRUE(waitFor("Linha: ol\xC3\xA1 mundo"));
    struct {
        const char* key;
        const char* shown;
    } keys[] = {
        {"F5", "Tecla 1: #0#63"},
        {"C-Up", "Tecla 2: #0#113"},
        {"M-x", "Tecla 3: #0#45"},
        {"Home", "Tecla 4: #0#71"},
        {"Escape", "Tecla 5: #27"},
    };
    for (const auto& k : keys) {
        press(k.key);
        ASSERT_TRUE(waitFor(k.shown));
    }
    press("Enter");
    ASSERT_TRUE(waitFor("EXIT=0"));
    expectTerminalGivenBack();
}

TEST_F(TerminalTest, CtrlCEndsWith255AndGivesTheTerminalBack) {
    startScript("escreve \"Esperando\"\nle mudo t&\nescreve \"nunca\"\n");
    ASSERT_TRUE(waitFor("Esperando"));
    press("C-c");
    ASSERT_TRUE(waitFor("EXIT=255"));
    EXPECT_EQ(screen().find("nunca"), std::string::npos);
    expectTerminalGivenBack();
}

TEST_F(TerminalTest, SuspendGivesTheTerminalBackAndResumeRepaints) {
    startScript("escreve \"Antes da pausa\"\nle mudo t&\nescreve \"Tecla: \" t\nle mudo t&\n", "");
    ASSERT_TRUE(waitFor("Antes da pausa"));
    press("C-z");
    expectTerminalGivenBack();

    type("fg; echo EXIT\"\"=$?");
    press("Enter");
    EXPECT_TRUE(waitForAlternateScreen(true));
    ASSERT_TRUE(waitFor("Antes da pausa"));
    press("a");
    ASSERT_TRUE(waitFor("Tecla: a"));

    // Shrinking the window cuts the screen; growing it again repaints all of it.
    tmux({"resize-window", "-t", "t", "-x", "30", "-y", "5"});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    tmux({"resize-window", "-t", "t", "-x", "80", "-y", "25"});
    ASSERT_TRUE(waitFor("Antes da pausa\nTecla: a"));
    press("b");
    ASSERT_TRUE(waitFor("EXIT=0"));
}

TEST(TerminalColours, NearestAnsiColourOfEachPaletteIndex) {
    // Dark brown (68, 34, 34) lands on dark grey rather than on black;
    // cyan and light cyan both need bright cyan.
    const int expected[16] = {0, 4, 2, 14, 1, 5, 8, 7, 8, 12, 10, 14, 9, 13, 11, 15};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(ansiColourForPalette(i), expected[i]) << "palette " << i;
    EXPECT_EQ(ansiColourForPalette(16), 0);
    EXPECT_EQ(ansiColourForPalette(255), 0);
}

} // namespace
