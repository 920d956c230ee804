// redato, the talking text viewer, run as a program on the headless
// console: a file to view, the keys typed, then the exit status and the
// screen it leaves (--screen-dump).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Outcome {
    int status = -1;
    std::vector<std::string> screen;  // the 25 rows
};

class RedatoTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/redato_test_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        root_ = dir;
        ASSERT_EQ(std::system(("mkdir -p '" + root_ + "/home' '" + root_ + "/work'").c_str()), 0);
    }
    void TearDown() override { std::system(("rm -rf '" + root_ + "'").c_str()); }

    // Writes a file under the working folder ("~/" puts it in TALORA_HOME).
    void file(const std::string& path, const std::string& content) {
        std::string full = path.rfind("~/", 0) == 0 ? root_ + "/home/" + path.substr(2) : root_ + "/work/" + path;
        ASSERT_EQ(std::system(("mkdir -p \"$(dirname '" + full + "')\"").c_str()), 0);
        std::ofstream(full, std::ios::binary) << content;
    }

    // `audio` is the --audio choice.
    Outcome run(const std::vector<std::string>& arguments, const std::string& keys,
                const std::string& audio = "none") {
        file("keys", keys);
        unlink((root_ + "/screen").c_str());
        std::vector<std::string> args = {REDATO_BIN, "--console=headless", "--audio=" + audio,
                                         "--screen-dump=" + root_ + "/screen"};
        args.insert(args.end(), arguments.begin(), arguments.end());
        pid_t pid = fork();
        if (pid == 0) {
            int in = open((root_ + "/work/keys").c_str(), O_RDONLY);
            int out = open("/dev/null", O_WRONLY);
            dup2(in, 0);
            dup2(out, 1);
            if (chdir((root_ + "/work").c_str()) != 0) _exit(126);
            setenv("TALORA_HOME", (root_ + "/home").c_str(), 1);
            std::vector<char*> argv;
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        Outcome r;
        int status = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "redato did not end";
                return r;
            }
            usleep(10000);
        }
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::ifstream dump(root_ + "/screen");
        for (std::string line; std::getline(dump, line);) r.screen.push_back(line);
        return r;
    }

    std::string root_;
};

const std::string DOWN = "\x1b[B", UP = "\x1b[A", PAGE_DOWN = "\x1b[6~", PAGE_UP = "\x1b[5~",
                  HOME = "\x1b[H", END = "\x1b[F", F1 = "\x1bOP", ESC = "\x1b";

// The screen of the viewer: the text rows from the top, then the status line.
std::vector<std::string> screen(std::vector<std::string> rows, const std::string& status) {
    rows.resize(24);
    rows.push_back(status);
    return rows;
}

TEST_F(RedatoTest, MovesPageByPageAndLineByLine) {
    std::string text;
    for (int i = 1; i <= 40; ++i) text += "linha " + std::to_string(i) + "\r\n";
    file("nota.txt", text);
    std::vector<std::string> rows;
    for (int i = 17; i <= 40; ++i) rows.push_back("linha " + std::to_string(i));
    // Two pages down reach the last line; Down there is refused; two lines
    // up; F1 and Enter say the line again.
    Outcome r = run({"nota.txt"}, PAGE_DOWN + PAGE_DOWN + DOWN + UP + UP + F1 + "\n" + ESC);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.screen, screen(rows, " nota.txt - linha 38 de 40"));

    // Home, End and a page up from the end.
    r = run({"nota.txt"}, END + PAGE_UP + HOME + DOWN + ESC);
    EXPECT_EQ(r.screen[0], "linha 1");
    EXPECT_EQ(r.screen[24], " nota.txt - linha 2 de 40");
}

TEST_F(RedatoTest, ShowsWindowsTextAsItIs) {
    // Windows-1252 accents, a tab, a line longer than the screen (cut), an
    // empty line, a lone CR, and a Ctrl+Z that ends the text.
    file("~/drive_c/Textos/Nota.TXT", "acentua\xE7\xE3o\r\n\tdepois de um tab\r\n" + std::string(100, 'x') +
                                          "\r\n\r\num\rdois\r\n\x1A" "depois do fim\r\n");
    Outcome r = run({"/L", "c:\\textos\\nota.txt"}, ESC);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.screen, screen({"acentua\xC3\xA7\xC3\xA3o", "        depois de um tab", std::string(80, 'x'), "", "um",
                                "dois"},
                               " nota.txt - linha 1 de 6"));

    // A UTF-8 file shows the same characters; an empty file has one line.
    file("utf8.txt", "acentua\xC3\xA7\xC3\xA3o\n");
    file("vazio.txt", "");
    EXPECT_EQ(run({"utf8.txt"}, ESC).screen[0], "acentua\xC3\xA7\xC3\xA3o");
    EXPECT_EQ(run({"vazio.txt"}, ESC).screen[24], " vazio.txt - linha 1 de 1");
}

TEST_F(RedatoTest, SpeaksTheLinesItComesTo) {
    file("nota.txt", "casa\r\nbola azul\r\n");
    // The bytes of sound the run played (the capture file's data).
    auto heard = [&](const std::string& keys) {
        std::string wav = root_ + "/heard.wav";
        EXPECT_EQ(run({"nota.txt"}, keys, "capture:" + wav).status, 0);
        std::ifstream in(wav, std::ios::binary | std::ios::ate);
        return static_cast<long>(in.tellg()) - 44;
    };
    long first = heard(ESC);
    long both = heard(DOWN + ESC);
    long again = heard(DOWN + UP + ESC);
    EXPECT_GT(first, 0);
    EXPECT_GT(both, first);
    EXPECT_GT(again, both);
}

TEST_F(RedatoTest, FilesThatCannotBeShown) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string firstRow;
    };
    file("pasta/x.txt", "x");
    const Case cases[] = {
        {{"c:\\nada\\falta.txt"}, 2, "Arquivo n\xC3\xA3o encontrado: falta.txt"},
        {{"pasta"}, 2, "Arquivo n\xC3\xA3o encontrado: pasta"},
        {{"/dev/zero"}, 2, "Arquivo n\xC3\xA3o encontrado: zero"},
        {{}, 2, ""},                            // usage
        {{"/L"}, 2, ""},
        {{"um.txt", "dois.txt"}, 2, ""},
    };
    for (const Case& c : cases) {
        Outcome r = run(c.args, "");
        EXPECT_EQ(r.status, c.status) << (c.args.empty() ? "" : c.args[0]);
        EXPECT_EQ(r.screen.empty() ? "" : r.screen[0], c.firstRow) << (c.args.empty() ? "" : c.args[0]);
    }
    // Keys that end before Esc close the console.
    file("nota.txt", "texto\n");
    EXPECT_EQ(run({"nota.txt"}, DOWN).status, 3);
}

}  // namespace
