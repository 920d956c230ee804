// What the programs do at start and at the end, run as programs: files named
// on the command line that cannot be written, a script that runs out of
// memory, and the choices a program of the family hands on to the ones its
// script starts (ONDARIA_CONSOLE, ONDARIA_AUDIO).
#include "../net/net_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

using nettest::readFile;

uint32_t le32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return v;
}

// The samples of a capture WAV, after checking that its header counts them all.
std::string captureData(const std::string& path) {
    std::string wav = readFile(path);
    EXPECT_GE(wav.size(), 44u) << path;
    if (wav.size() < 44) return {};
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(wav, 4), wav.size() - 8) << path;
    EXPECT_EQ(wav.substr(36, 4), "data");
    EXPECT_EQ(le32(wav, 40), wav.size() - 44) << path;
    return wav.substr(44);
}

struct Outcome {
    int status = -1;
    std::string out, err;
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/startup-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        work_ = root_ + "/work";
        home_ = root_ + "/home";
        fs::create_directories(work_);
        fs::create_directories(home_ + "/drive_c/talora");
        std::ofstream(home_ + "/FALARIS.INI") << "[FALARIS]\nTEMPOESPERAPROGVOLTAR=0\n";
    }
    void TearDown() override { fs::remove_all(root_); }

    void script(const std::string& name, const std::string& text) { std::ofstream(work_ + "/" + name) << text; }

    // Runs a program in the working folder with standard input from
    // /dev/null; `environment` adds "NAME=VALUE" entries; `limitMemory`
    // lets the process allocate little, so that a growing text runs out of
    // memory before it reaches the length limit.
    Outcome run(std::vector<std::string> args, const std::vector<std::string>& environment = {},
                bool limitMemory = false) {
        int out[2], err[2];
        EXPECT_EQ(pipe(out), 0);
        EXPECT_EQ(pipe(err), 0);
        pid_t pid = fork();
        if (pid == 0) {
            int in = open("/dev/null", O_RDONLY);
            dup2(in, 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            close(out[0]);
            close(err[0]);
            if (chdir(work_.c_str()) != 0) _exit(126);
            setenv("TALORA_HOME", home_.c_str(), 1);
            unsetenv("ONDARIA_CONSOLE");
            unsetenv("ONDARIA_AUDIO");
            for (const std::string& e : environment) putenv(const_cast<char*>(e.c_str()));
            if (limitMemory) {
                rlimit limit{200u << 20, 200u << 20};
                setrlimit(RLIMIT_DATA, &limit);
            }
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        Outcome o;
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        int open = 2;
        char buf[4096];
        while (open > 0 && std::chrono::steady_clock::now() < deadline) {
            if (poll(fds, 2, 1000) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
                ssize_t n = read(fds[i].fd, buf, sizeof buf);
                if (n <= 0) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                } else {
                    (i == 0 ? o.out : o.err).append(buf, static_cast<size_t>(n));
                }
            }
        }
        for (pollfd& p : fds)
            if (p.fd >= 0) close(p.fd);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return o;
    }

    Outcome rotalis(const std::string& scriptName, const std::vector<std::string>& options = {"--audio=none"},
                    const std::vector<std::string>& environment = {}) {
        std::vector<std::string> args = {ROTALIS_BIN, "--console=headless"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(scriptName);
        return run(args, environment);
    }

    // A stand-in viewer at c:\talora\redato.exe that notes the choices it inherited.
    void viewerNotingItsChoices() {
        std::string viewer = home_ + "/drive_c/talora/redato.exe";
        std::ofstream(viewer) << "#!/bin/sh\nprintf '%s|%s\\n' \"$ONDARIA_CONSOLE\" \"$ONDARIA_AUDIO\" >> " + work_ +
                                     "/choices.txt\n";
        chmod(viewer.c_str(), 0755);
    }

    std::string root_, work_, home_;
};

// A file named on the command line that cannot be written stops the
// program before it starts: exit 2, one line saying why, no script run.
TEST_F(Startup, FilesThatCannotBeWrittenAreRefusedAtStart) {
    script("s.rot", "escreve \"correu\"\n");
    const std::vector<std::string> options = {"--screen-dump=/nao/existe/tela.txt", "--screen-dump=" + work_,
                                              "--audio=capture:/nao/existe/som.wav"};
    for (const std::string& option : options) {
        Outcome o = rotalis("s.rot", {"--audio=none", option});
        EXPECT_EQ(o.status, 2) << option;
        EXPECT_EQ(o.out, "") << option;
        EXPECT_NE(o.err.find("rotalis: cannot write the "), std::string::npos) << option << ": " << o.err;
    }
}

// Files named by relative paths are where the user started the program,
// even when the script moves to another folder.
TEST_F(Startup, RelativeFilesAreInTheStartFolder) {
    script("s.rot", "dir troca \"c:\\\"\nfala \"a\"\nescreve \"fim\"\n");
    Outcome o = rotalis("s.rot", {"--screen-dump=tela.txt", "--audio=capture:som.wav"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(readFile(work_ + "/tela.txt").substr(0, 4), "fim\n");
    EXPECT_GT(captureData(work_ + "/som.wav").size(), 0u);
}

// Out of memory, a command fails like any other: the error report, the
// lines written to an open file are on disk, exit 1. The sanitizers'
// allocator ends the process instead of failing an allocation, so this
// runs in the plain build.
TEST_F(Startup, ACommandThatRunsOutOfMemoryFails) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer ends the process when memory runs out";
#else
    script("s.rot", "abre #1 \"linhas.txt\" &\n"
                    "escreve #1 \"escrita antes\"\n"
                    "seja a \"0123456789abcdef\"\n"
                    "@dobra\n"
                    "concatena a a\n"
                    "desvia @dobra\n");
    Outcome o = run({ROTALIS_BIN, "--console=headless", "--audio=none", "s.rot"}, {}, true);
    EXPECT_EQ(o.out, "Erro de execu\xC3\xA7\xC3\xA3o na linha 5\n");
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_EQ(readFile(work_ + "/linhas.txt"), "escrita antes\r\n");
#endif
}

// The viewer and other programs of the family a script starts get the
// console and audio choices: a relative capture file as an absolute path;
// a program running beside the script (a mark) gets no capture file, which
// cannot take two writers at once.
TEST_F(Startup, ProgramsStartedByAScriptInheritTheChoices) {
    viewerNotingItsChoices();
    script("s.rot", "executa \"c:\\talora\\redato.exe /L x\"\n");
    ASSERT_EQ(rotalis("s.rot", {"--audio=none"}).status, 0);
    ASSERT_EQ(rotalis("s.rot", {"--audio=capture:som.wav"}).status, 0);
    script("beside.rot", "executa \"c:\\talora\\redato.exe /L x\" &\n");
    ASSERT_EQ(rotalis("beside.rot", {"--audio=capture:som.wav"}).status, 0);
    for (int i = 0; i < 200 && readFile(work_ + "/choices.txt").size() < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(readFile(work_ + "/choices.txt"),
              "headless|none\nheadless|capture:" + work_ + "/som.wav\nheadless|none\n");

    // The environment gives the choices to a program started without options;
    // its own options win.
    script("fala.rot", "fala \"ok\"\ntermina mudo\n");
    EXPECT_EQ(rotalis("fala.rot", {}, {"ONDARIA_AUDIO=capture:" + work_ + "/herdado.wav"}).status, 0);
    EXPECT_GT(captureData(work_ + "/herdado.wav").size(), 0u);
    Outcome unknown = run({ROTALIS_BIN, "fala.rot"}, {"ONDARIA_CONSOLE=janela"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown console 'janela'"), std::string::npos) << unknown.err;
    EXPECT_EQ(run({ROTALIS_BIN, "--console=headless", "--audio=none", "fala.rot"}, {"ONDARIA_CONSOLE=janela"}).status, 0);
}

// A program the script waits for appends its speech to the same capture
// file, and the script's speech after it follows: one valid WAV holding
// all three in order.
TEST_F(Startup, ACaptureFileHoldsTheSpeechOfTheProgramsTheScriptStarts) {
    script("um.rot", "fala \"um\"\ntermina mudo\n");
    script("dois.rot", "fala \"dois\"\ntermina mudo\n");
    script("tres.rot", "fala \"tres\"\ntermina mudo\n");
    std::string expected;
    for (const char* name : {"um", "dois", "tres"}) {
        std::string wav = work_ + "/" + name + ".wav";
        ASSERT_EQ(rotalis(std::string(name) + ".rot", {"--audio=capture:" + wav}).status, 0);
        expected += captureData(wav);
    }
    script("juntos.rot", "fala \"um\"\nexecuta \"" + std::string(ROTALIS_BIN) +
                             " dois.rot\"\nfala \"tres\"\ntermina mudo\n");
    ASSERT_EQ(rotalis("juntos.rot", {"--audio=capture:juntos.wav"}).status, 0);
    std::string together = captureData(work_ + "/juntos.wav");
    EXPECT_EQ(together.size(), expected.size());
    EXPECT_TRUE(together == expected) << "the three utterances in order";

    // A new run starts the file anew.
    ASSERT_EQ(rotalis("um.rot", {"--audio=capture:juntos.wav"}).status, 0);
    EXPECT_EQ(captureData(work_ + "/juntos.wav"), captureData(work_ + "/um.wav"));
}

// A sound device that cannot be had is said on standard error, unless the
// choice came from the program that started this one: that program's
// console is on the same screen.
TEST_F(Startup, OnlyAProgramsOwnDeviceChoiceComplainsOnStandardError) {
    script("s.rot", "termina mudo\n");
    Outcome own = rotalis("s.rot", {"--audio=device"}, {"SDL_AUDIODRIVER=dummy"});
    EXPECT_EQ(own.status, 0);
    EXPECT_NE(own.err.find("no sound device"), std::string::npos) << own.err;
    Outcome inherited = rotalis("s.rot", {}, {"SDL_AUDIODRIVER=dummy", "ONDARIA_AUDIO=device"});
    EXPECT_EQ(inherited.status, 0);
    EXPECT_EQ(inherited.err, "");
}

} // namespace
