// EXECUTA without marks on the terminal console, for real: rotalis runs in
// a shell inside a private tmux server; the program it starts gets the
// terminal (normal screen, cooked mode, its own Ctrl+C) until it ends, and
// the console then comes back repainted.
#include "../console/tmux_session.h"

#include <gtest/gtest.h>

#include <fstream>
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
