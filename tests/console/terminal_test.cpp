// The terminal console for real: rotalis --console=terminal runs in a shell
// inside a private tmux server (80 x 25, no status line); keys are sent
// with send-keys and the screen read with capture-pane. Also checks that the
// terminal is given back (normal screen, canonical mode and echo) after a
// normal end, Ctrl+C and a suspend, and that a resize repaints.
#include "platform/linux/terminal_console.h"
#include "tmux_session.h"

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

using tmuxtest::ROTALIS;

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

class TerminalTest : public tmuxtest::TmuxSession {
protected:
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

// At the end the alternate screen goes, and the console's last screen stays
// on the normal one as plain text, up to its last row that is not blank.
TEST_F(TerminalTest, TheLastScreenStaysReadableAfterTheEnd) {
    startScript("cor 14\nfundo 1\nescreve \"Erro ao realizar a pesquisa.\"\nescreve\n"
                "escreve \"  Verifique sua conex\xC3\xA3o.   \"\n");
    ASSERT_TRUE(waitFor("EXIT=0"));
    EXPECT_TRUE(waitForAlternateScreen(false));
    std::string rows = screen();
    EXPECT_NE(rows.find("\nErro ao realizar a pesquisa.\n\n"
                        "  Verifique sua conex\xC3\xA3o.\nFim do script\nEXIT=0"),
              std::string::npos)
        << rows;
    // Plain text: no colours are left behind.
    std::string coloured = tmux({"capture-pane", "-p", "-e", "-t", "t"});
    EXPECT_EQ(coloured.find("\x1b[44m"), std::string::npos) << coloured;
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

TEST_F(TerminalTest, ScreenReviewFromTheLineEditor) {
    // Alt+Ctrl+F9 reviews the screen; Ctrl+Insert copies it there (Ctrl+C
    // ends the program in a terminal), Esc goes back to the field and
    // Shift+Insert pastes the first row of the copy.
    startScript("escreve \"Radio Ondaria\"\nescreve \"Nome: \" &\nle a\nescreve \"[\" a \"]\"\nle mudo t&\n");
    ASSERT_TRUE(waitFor("Nome:"));
    // A terminal reports no key states: the modifiers asked for are those
    // of the last key decoded, so Alt+Ctrl+F9 must be read before the next
    // key comes. A lone Esc is told from Alt by a pause too.
    press("C-M-F9");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (const char* key : {"Up", "C-IC", "Escape"}) press(key);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    press("S-IC");
    press("Enter");
    ASSERT_TRUE(waitFor("[Radio Ondaria]"));
    press("Enter");
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
