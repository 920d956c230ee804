// EXECUTA without marks on the terminal console, for real: rotalis runs in
// a shell inside a private tmux server; the program it starts gets the
// terminal (normal screen, cooked mode, its own Ctrl+C) until it ends, and
// the console then comes back repainted.
#include "../console/tmux_session.h"

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using tmuxtest::ROTALIS;

class TerminalHandoff : public tmuxtest::TmuxSession {
protected:
    void SetUp() override {
        TmuxSession::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        std::ofstream(dir_ + "/home/FALARIS.INI") << "[FALARIS]\nTEMPOESPERAPROGVOLTAR=0\n";
    }

    // Waits for `text` on the screen with the alternate screen in the state asked.
    bool waitFor(const std::string& text, bool alternate) {
        return waitForAlternateScreen(alternate) && TmuxSession::waitFor(text);
    }

    // The interpreter looks for the program in front every 100 ms; one that
    // has come and gone before the first look leaves it waiting 5 s.
    static void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(300)); }

    // The process named `comm` whose parent is `parent`, waiting up to 10 s
    // for it to appear; 0 when there is none.
    static int childNamed(int parent, const std::string& comm) {
        for (int i = 0; i < 200; ++i) {
            if (int pid = findChild(parent, comm)) return pid;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return 0;
    }
    static int findChild(int parent, const std::string& comm) {
        for (const auto& e : std::filesystem::directory_iterator("/proc")) {
            if (!std::isdigit(static_cast<unsigned char>(e.path().filename().string()[0]))) continue;
            std::ifstream in(e.path() / "stat");
            std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            size_t open = stat.find('('), close = stat.rfind(')');
            if (open == std::string::npos || close == std::string::npos) continue;
            std::istringstream rest(stat.substr(close + 2));
            char state = 0;
            int ppid = 0;
            rest >> state >> ppid;
            if (ppid == parent && stat.substr(open + 1, close - open - 1) == comm) return std::stoi(stat);
        }
        return 0;
    }

    static bool endsWithin(int pid, int ms) {
        for (int waited = 0; waited < ms; waited += 50) {
            if (kill(pid, 0) != 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
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

// Ended by a signal while the viewer holds the terminal, the interpreter
// first ends the viewer (its process group) and waits for it, then gives
// the terminal back: no orphan is left over a terminal in raw mode.
TEST_F(TerminalHandoff, EndedWhileTheViewerHoldsTheTerminal) {
    std::ofstream(dir_ + "/home/nota.txt") << "Linha do relatorio\n";
    std::ofstream(dir_ + "/term.rot") << "escreve \"ANTES DO VISOR\"\n"
                                         "executa \"c:\\talora\\redato.exe /L nota.txt\"\n"
                                         "escreve \"nunca\"\n"
                                         "le &\n";
    int shell = std::stoi(paneFormat("#{pane_pid}"));
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        tmux({"send-keys", "-t", "t", "clear", "Enter"});
        type("cd home && " + ROTALIS + " --console=terminal --audio=none ../term.rot; echo EXIT\"\"=$?; cd ..");
        press("Enter");
        ASSERT_TRUE(waitFor("Linha do relatorio", true)) << signal;
        int interpreter = childNamed(shell, "rotalis");
        ASSERT_GT(interpreter, 0);
        int viewer = childNamed(interpreter, "redato");
        ASSERT_GT(viewer, 0);
        kill(interpreter, signal);
        ASSERT_TRUE(waitFor("EXIT=255", false)) << signal;
        EXPECT_TRUE(endsWithin(viewer, 3000)) << "the viewer outlived the interpreter, signal " << signal;
        EXPECT_EQ(screen().find("nunca"), std::string::npos);
        // The terminal's modes are the shell's again.
        type("stty -a | grep -o -- '-*icanon' ; echo STTY\"\"-END");
        press("Enter");
        ASSERT_TRUE(TmuxSession::waitFor("STTY-END"));
        std::string s = screen();
        EXPECT_NE(s.find("\nicanon\n"), std::string::npos) << s;
    }
}

} // namespace
