// rotalis automating a real GTK program on a private desktop (Xvfb,
// openbox, a session bus with the accessibility bus it starts): typing,
// keys and clicks arrive, windows are found by title and arranged, the
// clipboard is shared with the program, and the accessibility monitor reads
// focus changes and the objects under points. Every test checks that no
// process of its desktop stays behind.
#include <gtest/gtest.h>

#include "x_session.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    int centreX() const { return x + width / 2; }
    int centreY() const { return y + height / 2; }
};

class DesktopSession : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/desktop-session-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        std::string error;
        ASSERT_TRUE(session_.start(error)) << error;
        auto& env = session_.environment();
        // Role names in Portuguese, as a Brazilian desktop has them.
        env["LANG"] = "C.UTF-8";
        env["LANGUAGE"] = "pt_BR";
        env["GSETTINGS_BACKEND"] = "memory";
        env["TALORA_HOME"] = dir_ + "/home";
        app_ = session_.spawn({"/usr/bin/python3", TEST_SOURCE_DIR "/fixtures/desktop_app.py"}, true);
        for (int i = 0; i < 4; ++i) {
            std::istringstream line(app_.out.waitFor("widget ", 30000));
            std::string word, name;
            Rect r;
            line >> word >> name >> r.x >> r.y >> r.width >> r.height;
            ASSERT_EQ(word, "widget") << app_.out.all();
            widgets_[name] = r;
        }
        std::istringstream line(app_.out.waitFor("window "));
        std::string word;
        line >> word >> clientX_ >> clientY_ >> frameX_ >> frameY_;
        ASSERT_FALSE(app_.out.waitFor("ready").empty());
    }

    void TearDown() override {
        std::vector<std::string> left = session_.stop();
        std::string names;
        for (const std::string& n : left) names += n + " ";
        EXPECT_TRUE(left.empty()) << "left behind: " << names;
        fs::remove_all(dir_);
    }

    // Runs a script through rotalis on the headless console of the session;
    // its transcript.
    std::string runScript(const std::string& text, int expectedStatus = 0) {
        std::string path = dir_ + "/t.rot";
        std::ofstream(path) << text;
        std::string out;
        int status = session_.run({TEST_BINARY_DIR "/bin/rotalis", "--console=headless", "--audio=none", path}, out);
        EXPECT_EQ(status, expectedStatus) << out;
        return out;
    }

    static std::string n(int v) { return std::to_string(v); }

    xsession::XSession session_;
    xsession::Child app_;
    std::map<std::string, Rect> widgets_;
    int clientX_ = 0, clientY_ = 0, frameX_ = 0, frameY_ = 0;
    std::string dir_;
};

TEST_F(DesktopSession, TypedTextAndKeyCombinationsReachTheEntry) {
    runScript("digita \"ção Ab!\"\n"
              "digita \"abc\" &\n"
              "aciona \"CTRL+A\"\n"
              "digita \"x\"\n"
              "aciona \"ALT+F\"\n");
    EXPECT_EQ(app_.out.waitFor("activate"), "activate ção Ab!");
    EXPECT_EQ(app_.out.waitFor("key a ctrl"), "key a ctrl");
    // Ctrl+A selected the whole field, so x replaced it.
    EXPECT_EQ(app_.out.waitFor("activate"), "activate x");
    EXPECT_EQ(app_.out.waitFor("key f alt"), "key f alt");
}

TEST_F(DesktopSession, ClicksLandOnTheScreenOrRelativeToTheForegroundWindow) {
    const Rect& b = widgets_["enviar"];
    // Relative positions count from the client area's left edge and 4
    // pixels below the frame's top.
    int rx = b.centreX() - clientX_, ry = b.centreY() - (frameY_ + 4);
    struct Case {
        std::string line;
        int clicks;
    } cases[] = {{"clica tela " + n(b.centreX()) + ", " + n(b.centreY()), 1},
                 {"clica " + n(rx) + " " + n(ry), 1},
                 {"clica duplo tela " + n(b.centreX()) + " " + n(b.centreY()), 2},
                 {"clica nulo " + n(rx) + "," + n(ry), 0}};
    for (const Case& c : cases) {
        runScript(c.line + "\n");
        for (int i = 0; i < c.clicks; ++i) EXPECT_EQ(app_.out.waitFor("clicked"), "clicked Enviar") << c.line;
        EXPECT_EQ(app_.out.waitFor("clicked", 300), "") << c.line;
    }
    // LÊ MOUSE tells the pointer's place in the same two frames.
    std::string out = runScript("clica nulo tela 7 9\n"
                                "le mouse tela a b\n"
                                "escreve a \",\" b\n"
                                "clica nulo tela " + n(b.centreX()) + " " + n(b.centreY()) + "\n" +
                                "le rato a b\n"
                                "escreve a \",\" b\n");
    EXPECT_EQ(out, "7,9\n" + n(rx) + "," + n(ry) + "\nFim do script\n");
}

TEST_F(DesktopSession, WindowsAreFoundByAnchoredUpperCasePatternsAndArranged) {
    std::string out = runScript("janela minimiza \"formul\"\n"
                                "checa s\nescreve \"min lower: \" s\n"
                                "janela minimiza \"FORMUL*\"\n"
                                "checa s\nescreve \"min ends: \" s\n"
                                "janela minimiza \"*FORMUL\"\n"
                                "checa s\nescreve \"min begins: \" s\n"
                                "espera ms 500\n"
                                "janela normal \"TESTE*\"\n"
                                "espera 5 \"FORMUL\"\n"
                                "checa s\nescreve \"espera: \" s\n"
                                "captura titulo t\nescreve \"titulo: \" t\n"
                                "janela maximiza \"DE TESTE\"\n"
                                "espera ms 500\n"
                                "janela fecha \"*FORMULÁRIO DE TESTE*\"\n"
                                "checa s\nescreve \"fecha: \" s\n"
                                "janela fecha \"FORMUL\"\n"
                                "checa s\nescreve \"fecha de novo: \" s\n");
    EXPECT_EQ(out, "min lower: 1\nmin ends: 1\nmin begins: 0\nespera: 0\n"
                   "titulo: Formulário de Teste\nfecha: 0\nfecha de novo: 1\nFim do script\n");
    EXPECT_EQ(app_.out.waitFor("state"), "state iconified");
    EXPECT_EQ(app_.out.waitFor("state"), "state normal");
    EXPECT_EQ(app_.out.waitFor("state"), "state maximized");
    EXPECT_EQ(app_.out.waitFor("closing"), "closing");
    EXPECT_TRUE(session_.ended(app_.pid, 5000));
}

TEST_F(DesktopSession, TheClipboardIsSharedWithTheProgramAndItsField) {
    std::string out = runScript("digita \"linha do campo\" &\n"
                                "captura campo c\n"
                                "escreve \"campo: \" c\n"
                                "transfere para d\n"
                                "escreve \"transfere: \" d\n"
                                "seja a \"vindo do rotalis\"\n"
                                "transfere de a\n"
                                "aciona \"CTRL+A\"\n"
                                "aciona \"CTRL+V\"\n"
                                "espera ms 300\n"
                                "aciona \"ENTER\"\n");
    EXPECT_EQ(out, "campo: linha do campo\ntransfere: linha do campo\nFim do script\n");
    EXPECT_EQ(app_.out.waitFor("activate"), "activate vindo do rotalis");
}

TEST_F(DesktopSession, TheMonitorReadsFocusedObjectsAndObjectsAtPoints) {
    const Rect& off = widgets_["desativado"];
    const Rect& send = widgets_["enviar"];
    std::string describe = "msaa nome n\nmsaa codigo k\nmsaa tipo t\nmsaa estado e\n";
    std::string out = runScript("msaa monitora\n"
                                "espera ms 500\n"
                                "aciona \"TAB\"\n"
                                "aciona \"TAB\"\n"
                                "espera ms 500\n"
                                "@eventos\n"
                                "msaa checa c\n"
                                "se c = \"0\" desvia @pontos\n" +
                                describe +
                                "escreve \"foco: \" n \"|\" k \"|\" t \"|\" e\n"
                                "desvia @eventos\n"
                                "@pontos\n"
                                "msaa captura " + n(off.centreX()) + " " + n(off.centreY()) + "\n" + describe +
                                "escreve \"ponto: \" n \"|\" k \"|\" t \"|\" e\n"
                                "msaa captura 1270 790\n" + describe +
                                "escreve \"nada: \" n \"|\" k \"|\" t \"|\" e\n"
                                "msaa captura " + n(send.centreX()) + " " + n(send.centreY()) + "\n" + describe +
                                "msaa area x y l a\n"
                                "escreve \"ponto: \" n \"|\" k \"|\" t \"|\" e \" \" x \" \" y \" \" l \" \" a\n"
                                "msaa fim\n");
    EXPECT_EQ(out, "foco: Enviar|43|botão de apertar|\n"
                   "foco: Aceito|44|caixa de seleção|marcado\n"
                   "ponto: Desativado|43|botão de apertar|indisponível\n"
                   "nada: |0||\n"
                   "ponto: Enviar|43|botão de apertar| " +
                       n(send.x) + " " + n(send.y) + " " + n(send.width) + " " + n(send.height) + "\nFim do script\n");
}

TEST_F(DesktopSession, AProgramWhoseDisplayEndsGoesOnWithoutIt) {
    std::ofstream(dir_ + "/t.rot") << "seja a \"antes\"\n"
                                      "transfere de a\n"
                                      "janela minimiza \"NADA\"\n"
                                      "escreve \"pronto\"\n"
                                      "le tecla x &\n"
                                      "janela minimiza \"FORMUL\"\n"
                                      "checa s\n"
                                      "transfere para b\n"
                                      "escreve \"depois \" s \" \" b\n"
                                      "digita \"x\"\n";
    // The key waits in a pipe until the display has gone.
    std::string fifo = dir_ + "/keys";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    xsession::Child r = session_.spawn(
        {TEST_BINARY_DIR "/bin/rotalis", "--console=headless", "--audio=none", dir_ + "/t.rot"}, true, 1, fifo);
    int keys = open(fifo.c_str(), O_WRONLY);
    ASSERT_EQ(r.out.waitFor("pronto"), "pronto");
    session_.endDisplay();
    ASSERT_EQ(write(keys, "k", 1), 1);
    close(keys);
    // Without the display no window is found, the clipboard is the
    // program's own from then on, and typing fails the run.
    EXPECT_EQ(r.out.waitFor("depois"), "depois 1 ");
    EXPECT_EQ(r.out.waitFor("Erro"), "Erro de execu\xC3\xA7\xC3\xA3o na linha 10");
    EXPECT_TRUE(session_.ended(r.pid, 10000));
}

} // namespace
