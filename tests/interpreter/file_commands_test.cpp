// The file commands' messages, silent failures and I/O results, one short
// script per case: each failure would end a golden script's run, so the
// cases run here line by line against a captured console.
#include "console/console.h"
#include "interpreter/script.h"
#include "interpreter/values.h"
#include "platform/exit.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Keeps every byte written to the console.
class CaptureConsole : public ConsoleBackend {
public:
    explicit CaptureConsole(std::string& out) : out_(out) {}
    bool open() override { return true; }
    void close() override {}
    void written(std::string_view bytes) override { out_.append(bytes); }
    void drawRange(int, int, int, const uint8_t*, const uint8_t*) override {}
    void drawAll(const uint8_t*, const uint8_t*) override {}
    void setCursor(int, int, bool) override {}
    void pollInput(std::vector<InputEvent>&, int, bool) override {}

private:
    std::string& out_;
};

class FileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/file-commands-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        ASSERT_EQ(setenv("TALORA_HOME", (dir + "/home").c_str(), 1), 0);
        resetTalorahome();
        setConsoleBackend(std::make_unique<CaptureConsole>(transcript));
    }
    void TearDown() override {
        resetInterpreter();  // closes what the case left open
        [[maybe_unused]] int ignored = chdir("/");
        fs::remove_all(dir);
    }

    // Runs the lines (separated by LF) in a fresh folder until one fails;
    // true when all succeeded.
    bool run(const std::string& lines) {
        resetInterpreter();
        fs::remove_all(dir + "/work");
        fs::create_directories(dir + "/work/pasta");
        fs::create_directories(dir + "/work/cheia");
        EXPECT_EQ(chdir((dir + "/work").c_str()), 0);
        std::ofstream(dir + "/work/dados.txt", std::ios::binary) << "um\r\ndois\r\n";
        std::ofstream(dir + "/work/cheia/f.txt") << "f";
        transcript.clear();
        std::istringstream in(lines);
        for (std::string line; std::getline(in, line);)
            if (!executeLine(line, false)) return false;
        return true;
    }
    std::string fileText(const std::string& name) {
        std::ifstream in(dir + "/work/" + name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::string dir, transcript;
};

TEST_F(FileCommandsTest, MessagesAndSilentFailures) {
    struct Case {
        const char* lines;
        bool ok;
        const char* transcript;
    };
    const Case cases[] = {
        // ABRE
        {"abre #1 \"nada.txt\"", false, "Erro na abertura do arquivo nada.txt\r\n"},
        {"abre #1 \"pasta\"", false, "Erro na abertura do arquivo pasta\r\n"},
        {"abre #1 \"pasta\" &", false, "Erro na abertura do arquivo pasta\r\n"},
        {"abre #x \"dados.txt\"", false, "Erro na abertura do arquivo \r\n"},
        {"abre #12 \"dados.txt\"", false, "Erro na abertura do arquivo \r\n"},
        {"abre #1", false, "Erro na abertura do arquivo \r\n"},
        {"abre #1 \"\"", false, "Erro na abertura do arquivo \r\n"},
        {"abre #1 \"nada\\x.txt\" &", false, "Erro na abertura do arquivo nada\\x.txt\r\n"},
        // FECHA: a closed slot closes fine; text after the slot is ignored.
        {"fecha #x", false, "Erro no fechamento do arquivo\r\n"},
        {"fecha #1x", false, "Erro no fechamento do arquivo\r\n"},
        {"fecha #5\nfecha #1 lixo", true, ""},
        // ESCREVE and LÊ on slots
        {"escreve #1 \"x\"", false, "Erro no processamento de arquivo\r\n"},
        {"escreve #x \"x\"", false, "Erro no processamento de arquivo\r\n"},
        {"escreve #", false, "Erro no processamento de arquivo\r\n"},
        {"abre #1 \"dados.txt\"\nle #1", false, "Erro no processamento de arquivo\r\n"},
        {"le #x a", false, ""},
        {"abre #1 \"dados.txt\"\nle #1 1", false, ""},
        {"le #5 a", false, "Erro no processamento de arquivo\r\n"},
        // CHECA
        {"checa", false, ""},
        {"checa a b", false, ""},
        // REMOVE
        {"remove \"nada.txt\"", false, "Erro no apagamento do arquivo nada.txt\r\n"},
        {"remove \"pasta\"", false, "Erro no apagamento do arquivo pasta\r\n"},
        {"remove \"nada.txt\" &\nremove \"pasta\" &", true, ""},
        {"remove \"\"", false, ""},
        {"remove", false, ""},
        // RENOMEIA, REPLICA, TAMARQ
        {"renomeia \"nada.txt\" \"b.txt\"", false, ""},
        {"renomeia \"nada.txt\" \"b.txt\" &", true, ""},
        {"renomeia \"dados.txt\"", false, ""},
        {"renomeia \"dados.txt\" \"b.txt\" \"c.txt\"", false, ""},
        {"replica \"nada.txt\" \"b.txt\"", false, ""},
        {"replica \"dados.txt\" \"pasta\"", false, ""},
        {"replica \"dados.txt\" \"pasta\" &", true, ""},
        {"replica \"/proc/self/mem\" \"b.txt\"", false, "Erro no processamento de arquivo /proc/self/mem\r\n"},
        {"replica \"/proc/self/mem\" \"b.txt\" &", true, ""},
        {"replica \"dados.txt\" \"/dev/full\"", false, "Erro na escrita de arquivo /dev/full\r\n"},
        {"replica \"dados.txt\" \"/dev/full\" &", true, ""},
        {"tamarq \"dados.txt\"", false, ""},
        {"tamarq \"nada.txt\" t\nescreve t", true, "-1\r\n"},
        {"tamarq \"pasta\" t lixo\nescreve t", true, "-1\r\n"},
        // DIR
        {"dir apaga \"pasta\"", false, ""},
        {"dir cria \"a\\b\\c\"", false, "Erro no processamento do diret\xF3rio a\\b\\c\r\n"},
        {"dir cria \"pasta\"", false, "Erro no processamento do diret\xF3rio pasta\r\n"},
        {"dir cria \"pasta\" &\ndir remove \"nada\" &\ndir troca \"nada\" &", true, ""},
        {"dir remove \"pasta\"", true, ""},
        {"dir remove \"cheia\"", false, "Erro no processamento do diret\xF3rio cheia\r\n"},
        {"dir troca \"dados.txt\"", false, "Erro no processamento do diret\xF3rio dados.txt\r\n"},
        {"dir cria \"x\" \"y\"", false, ""},
        // BUSCA
        {"busca x", false, ""},
        {"busca 1 \"*\"", false, ""},
        {"busca x \"*\" \"*\"", false, ""},
        {"busca x pr\xF3ximo demais", false, ""},
        {"busca x \"nada*\"\nescreve \"[\" x \"]\"", true, "[]\r\n"},
        {"busca x \"*.TXT\"\nescreve x", true, "dados.txt\r\n"},
        {"busca x dir \"PASTA\"\nescreve x", true, "pasta\r\n"},
        {"busca x dir \"dados.txt\"\nescreve \"[\" x \"]\"", true, "[]\r\n"},
        {"busca x \"pasta\"\nescreve \"[\" x \"]\"", true, "[]\r\n"},
        {"dir troca \"pasta\"\nbusca x \"..\\d*\"\nescreve x", true, "dados.txt\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        EXPECT_EQ(run(c.lines), c.ok);
        EXPECT_EQ(transcript, c.transcript);
    }
}

TEST_F(FileCommandsTest, ReadAndWriteErrorsOnlySetTheStatus) {
    struct Case {
        const char* lines;
        const char* transcript;
    };
    const Case cases[] = {
        // A full device: the flush of "&" reports ENOSPC (28); the failed
        // bytes are dropped, so the close then succeeds.
        {"abre #1 \"/dev/full\" &\nescreve #1 \"x\" &\ncheca s\nescreve s\nfecha #1", "28\r\n"},
        // A line end keeps the text buffered: status 0.
        {"abre #1 \"/dev/full\" &\nescreve #1 \"x\"\ncheca s\nescreve s", "0\r\n"},
        // Writing to a reading slot and reading an appending slot: EBADF (9).
        {"abre #1 \"dados.txt\"\nescreve #1 \"x\"\ncheca s\nescreve s", "9\r\n"},
        {"abre #1 \"b.txt\" &\nle #1 a\ncheca s\nescreve s \"[\" a \"]\"", "9[]\r\n"},
        // Every LÊ starts from 0.
        {"abre #2 \"b.txt\" &\nle #2 a\nabre #1 \"dados.txt\"\nle #1 a\ncheca s\nescreve s a", "0um\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        EXPECT_TRUE(run(c.lines));
        EXPECT_EQ(transcript, c.transcript);
    }
}

TEST_F(FileCommandsTest, AFailedCloseIsReported) {
    EXPECT_FALSE(run("abre #1 \"/dev/full\" &\nescreve #1 \"x\"\nfecha #1"));
    EXPECT_EQ(transcript, "Erro no fechamento do arquivo\r\n");
    // The slot is closed all the same.
    EXPECT_TRUE(executeLine("fecha #1", false));
}

TEST_F(FileCommandsTest, WhatFollowsTheValuesFailsAfterTheWrite) {
    EXPECT_FALSE(run("abre #1 \"b.txt\" &\nescreve #1 \"a\" ;"));
    EXPECT_TRUE(executeLine("fecha #1", false));
    EXPECT_EQ(fileText("b.txt"), "a\r\n");
}

TEST_F(FileCommandsTest, ReopeningASlotClosesItsFileFirst) {
    EXPECT_TRUE(run("abre #1 \"b.txt\" &\nescreve #1 \"buffered\"\nabre #1 \"dados.txt\""));
    EXPECT_EQ(fileText("b.txt"), "buffered\r\n");
}

TEST_F(FileCommandsTest, FilesLeftOpenAreWrittenOutAtTheEnd) {
    EXPECT_TRUE(run("abre #1 \"b.txt\" &\nescreve #1 \"never closed\""));
    EXPECT_EQ(fileText("b.txt"), "");
    runExitHooks();
    EXPECT_EQ(fileText("b.txt"), "never closed\r\n");
}

TEST_F(FileCommandsTest, WholeFileCommandsProtectWhatExists) {
    // A rename never replaces an existing file.
    EXPECT_FALSE(run("abre #1 \"b.txt\" &\nescreve #1 \"b\"\nfecha #1\nrenomeia \"dados.txt\" \"B.TXT\""));
    EXPECT_EQ(fileText("dados.txt"), "um\r\ndois\r\n");
    EXPECT_EQ(fileText("b.txt"), "b\r\n");
    // A name that differs only in case is a rename to that case.
    EXPECT_TRUE(run("renomeia \"dados.txt\" \"DADOS.txt\""));
    EXPECT_TRUE(fs::exists(dir + "/work/DADOS.txt"));
    EXPECT_FALSE(fs::exists(dir + "/work/dados.txt"));
    // A copy onto itself fails and leaves the file whole.
    EXPECT_FALSE(run("replica \"dados.txt\" \"DADOS.TXT\""));
    EXPECT_EQ(fileText("dados.txt"), "um\r\ndois\r\n");
    EXPECT_TRUE(run("replica \"dados.txt\" \"./dados.txt\" &"));
    EXPECT_EQ(fileText("dados.txt"), "um\r\ndois\r\n");
    // A missing source leaves the target alone, also with "&".
    EXPECT_TRUE(run("replica \"nada.txt\" \"dados.txt\" &"));
    EXPECT_EQ(fileText("dados.txt"), "um\r\ndois\r\n");
}

TEST_F(FileCommandsTest, CopiesLargerThanTheBufferArrive) {
    std::string big;
    for (int i = 0; i < 70000; ++i) big += static_cast<char>(i * 7);
    std::ofstream(dir + "/big.bin", std::ios::binary) << big;
    EXPECT_TRUE(run("replica \"../big.bin\" \"copia.bin\"\ntamarq \"copia.bin\" t\nescreve t"));
    EXPECT_EQ(transcript, "70000\r\n");
    EXPECT_EQ(fileText("copia.bin"), big);
}

} // namespace
