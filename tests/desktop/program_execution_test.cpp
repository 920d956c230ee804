// Program execution against real child processes: stand-in shell scripts
// record their arguments, working directory and standard streams; a fake
// xdg-open in a private PATH folder records what the desktop would open.
#include "desktop/program_execution.h"

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& content, bool executable = false) {
    std::ofstream(path, std::ios::binary) << content;
    if (executable) chmod(path.c_str(), 0755);
}

bool waitForFile(const std::string& path, int ms = 10000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < deadline) {
        if (fs::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string fdTarget(int fd) {
    char buf[PATH_MAX];
    ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// Children of this process that have ended and were not reaped.
int zombieChildren() {
    int count = 0;
    for (const fs::directory_entry& e : fs::directory_iterator("/proc")) {
        std::string stat = readFile(e.path().string() + "/stat");
        size_t paren = stat.rfind(')');
        if (paren == std::string::npos) continue;
        std::istringstream fields(stat.substr(paren + 2));
        char state = 0;
        int parent = 0;
        fields >> state >> parent;
        if (state == 'Z' && parent == getpid()) ++count;
    }
    return count;
}

class ProgramExecution : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/program-execution-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = fs::canonical(tmpl).string();
        work_ = root_ + "/work";
        bin_ = root_ + "/bin";
        fs::create_directories(work_);
        fs::create_directories(bin_);
        fs::create_directories(root_ + "/home");
        setenv("TALORA_HOME", (root_ + "/home").c_str(), 1);
        resetTalorahome();
        setReturnPause("0");
        savedDir_ = fs::current_path().string();
        ASSERT_EQ(chdir(work_.c_str()), 0);
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
    }
    void TearDown() override {
        setClock(nullptr);
        setenv("PATH", savedPath_.c_str(), 1);
        if (chdir(savedDir_.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << savedDir_;
        fs::remove_all(root_);
    }

    void setReturnPause(const std::string& value) {
        writeFile(root_ + "/home/FALARIS.INI", "[FALARIS]\nTEMPOESPERAPROGVOLTAR=" + value + "\n");
    }

    // PATH is only the private folder (and the system's, for sh itself).
    void privatePath(bool withSystem) {
        setenv("PATH", (bin_ + (withSystem ? ":/usr/bin:/bin" : "")).c_str(), 1);
    }

    // A fake xdg-open that writes its arguments to opener.log and exits
    // with the code in opener.exit (0 when that file is missing).
    void fakeOpener() {
        writeFile(bin_ + "/xdg-open",
                  "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + work_ + "/opener.log\n"
                  "code=0\n[ -f " + work_ + "/opener.exit ] && code=$(cat " + work_ + "/opener.exit)\n"
                  "exit $code\n",
                  true);
    }

    std::string root_, work_, bin_, savedDir_, savedPath_;
};

TEST(SplitCommandLine, ProgramAndParameters) {
    struct Case {
        const char* value;
        const char* program;
        const char* parameters;
    } cases[] = {
        {"prog a b", "prog", "a b"},
        {"prog  a  ", "prog", " a  "},  // not trimmed without quotes
        {"c:\\talora\\redato.exe /L c:\\x.txt", "c:\\talora\\redato.exe", "/L c:\\x.txt"},
        {"\"c:\\program files\\x.exe\"   /L  f  ", "c:\\program files\\x.exe", "/L  f"},
        {"\"c:\\x y\\z.exe", "c:\\x y\\z.exe", ""},
        {"\"\"", "", ""},
        {"prog", "prog", ""},
        {"", "", ""},
        {" prog a", "", "prog a"},
    };
    for (const Case& c : cases) {
        std::string program = "old", parameters = "old";
        splitCommandLine(c.value, program, parameters);
        EXPECT_EQ(program, c.program) << c.value;
        EXPECT_EQ(parameters, c.parameters) << c.value;
    }
}

TEST(SplitParameters, BlanksSeparateAndQuotesGroup) {
    using Words = std::vector<std::string>;
    struct Case {
        const char* parameters;
        Words words;
    } cases[] = {
        {"a b  c", {"a", "b", "c"}},
        {" \t/L c:\\temp\\x.txt\t", {"/L", "c:\\temp\\x.txt"}},
        {"\"a b\" c", {"a b", "c"}},
        {"a\"b c\"d", {"ab cd"}},
        {"\"\" x", {"", "x"}},
        {"\"diz \"\"oi\"\"\"", {"diz \"oi\""}},
        {"\"sem fim", {"sem fim"}},
        {"   ", {}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(splitParameters(c.parameters), c.words) << c.parameters;
}

TEST(LaunchModes, TheNumberOfMarksChoosesTheMode) {
    EXPECT_EQ(launchModeForMarks(0), LaunchMode::ShownWait);
    EXPECT_EQ(launchModeForMarks(1), LaunchMode::Shown);
    EXPECT_EQ(launchModeForMarks(2), LaunchMode::Hidden);
    EXPECT_EQ(launchModeForMarks(3), LaunchMode::Captured);
    EXPECT_EQ(launchModeForMarks(4), LaunchMode::Shown);
    EXPECT_EQ(launchModeForMarks(9), LaunchMode::Shown);
}

TEST_F(ProgramExecution, EachModeGivesTheProgramItsArgumentsDirectoryAndStreams) {
    // Records its arguments, working directory and standard streams, then
    // stays a moment so a launch that waits sees it in front.
    writeFile(work_ + "/record.sh",
              "#!/bin/sh\nout=\"$1\"\nshift\n"
              "in=$(readlink /proc/$$/fd/0); o=$(readlink /proc/$$/fd/1); e=$(readlink /proc/$$/fd/2)\n"
              "{ printf '%s\\n' \"$@\"; pwd; echo \"$in\"; echo \"$o\"; echo \"$e\"; } > \"$out.tmp\"\n"
              "mv \"$out.tmp\" \"$out\"\nsleep 0.3\n",
              true);
    fs::create_directories(work_ + "/sub");
    ASSERT_EQ(chdir((work_ + "/sub").c_str()), 0);
    const std::string ours1 = fdTarget(1), ours2 = fdTarget(2);
    const std::string beside1 = isatty(1) ? "/dev/null" : ours1, beside2 = isatty(1) ? "/dev/null" : ours2;
    struct Case {
        int marks;
        const char* in;
        std::string out, err;
    } cases[] = {
        {0, "/dev/null", ours1, ours2},
        {1, "/dev/null", beside1, beside2},
        {2, "/dev/null", "/dev/null", "/dev/null"},
        {3, "pipe:", "pipe:", "pipe:"},
        {4, "/dev/null", beside1, beside2},
    };
    for (const Case& c : cases) {
        std::string record = work_ + "/mode" + std::to_string(c.marks);
        // "a\xE7\xE3o" is "ação" in the scripts' Windows-1252.
        std::string value = "../record.sh " + record + " \"um dois\" c:\\x\\y a\xE7\xE3o";
        ASSERT_TRUE(executeCommandLine(value, c.marks)) << c.marks;
        if (c.marks == 0) {
            EXPECT_TRUE(fs::exists(record)) << "a launch without marks waits for the program";
        }
        ASSERT_TRUE(waitForFile(record)) << c.marks;
        std::istringstream lines(readFile(record));
        std::vector<std::string> got;
        for (std::string line; std::getline(lines, line);) got.push_back(line);
        ASSERT_EQ(got.size(), 7u) << c.marks;
        EXPECT_EQ(got[0], "um dois");
        EXPECT_EQ(got[1], "c:\\x\\y");
        EXPECT_EQ(got[2], "a\xC3\xA7\xC3\xA3o");
        EXPECT_EQ(got[3], work_ + "/sub");
        EXPECT_EQ(got[4].substr(0, std::string(c.in).size()), c.in) << c.marks;
        EXPECT_EQ(got[5].substr(0, c.out.size()), c.out) << c.marks;
        EXPECT_EQ(got[6].substr(0, c.err.size()), c.err) << c.marks;
    }
}

TEST_F(ProgramExecution, CapturedOutputJoinsStandardOutputAndErrorWithLineEnds) {
    EXPECT_EQ(readCapturedOutput(), "") << "before any captured launch";
    // printf formats, so the cases can hold any byte.
    writeFile(work_ + "/both.sh", "#!/bin/sh\nprintf \"$1\"\nprintf \"$2\" >&2\n: > \"$3\"\n", true);
    struct Case {
        const char* out;
        const char* err;
        const char* expected;
    } cases[] = {
        {"abc", "", "abc\r\n\r\n"},
        {"", "err", "err\r\n"},
        {"", "", ""},
        {"sai\\n", "err", "sai\n\r\nerr\r\n"},
        {"a\\303\\247\\303\\243o", "", "a\xE7\xE3o\r\n\r\n"},  // UTF-8 becomes Windows-1252
        {"\\351t\\351", "", "\xE9t\xE9\r\n\r\n"},             // bytes that are not UTF-8 stay
        {"ab\\000cd", "", "ab\r\n\r\n"},                       // the text ends at a zero byte
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string done = work_ + "/done" + std::to_string(++n);
        ASSERT_TRUE(startCaptured(std::string("both.sh \"") + c.out + "\" \"" + c.err + "\" " + done));
        ASSERT_TRUE(waitForFile(done));
        EXPECT_EQ(readCapturedOutput(), c.expected) << c.out << " / " << c.err;
        EXPECT_EQ(readCapturedOutput(), "") << "a second call has nothing new";
    }
}

TEST_F(ProgramExecution, EachReadTakesOnlyWhatIsNewAndACharacterMayArriveInTwoParts) {
    // "um", then the first byte of "ç"; after the file go1 its second byte
    // and "dois"; after go2 the end.
    writeFile(work_ + "/slow.sh",
              "#!/bin/sh\nprintf 'um\\303'\nwhile [ ! -e go1 ]; do sleep 0.01; done\n"
              "printf '\\247dois'\n: > step1\nwhile [ ! -e go2 ]; do sleep 0.01; done\n: > step2\n",
              true);
    ASSERT_TRUE(startCaptured("slow.sh"));
    std::string first;
    for (int i = 0; i < 1000 && first.empty(); ++i) {
        first = readCapturedOutput();
        if (first.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(first, "um\r\n\r\n");
    EXPECT_EQ(readCapturedOutput(), "");
    writeFile(work_ + "/go1", "");
    ASSERT_TRUE(waitForFile(work_ + "/step1"));
    EXPECT_EQ(readCapturedOutput(), "\xE7" "dois\r\n\r\n");
    writeFile(work_ + "/go2", "");
    ASSERT_TRUE(waitForFile(work_ + "/step2"));
}

TEST_F(ProgramExecution, ACapturedProgramsInputNeverEndsAndANewCaptureReplacesTheOld) {
    // timeout ends cat with 124 when its input stays open.
    writeFile(work_ + "/reads.sh", "#!/bin/sh\ntimeout 1 cat\necho $?\n: > \"$1\"\n", true);
    writeFile(work_ + "/says.sh", "#!/bin/sh\nprintf '%s' \"$1\"\n: > \"$2\"\n", true);
    ASSERT_TRUE(startCaptured("reads.sh " + work_ + "/read"));
    ASSERT_TRUE(waitForFile(work_ + "/read"));
    EXPECT_EQ(readCapturedOutput(), "124\n\r\n\r\n");

    ASSERT_TRUE(startCaptured("says.sh velho " + work_ + "/old"));
    ASSERT_TRUE(waitForFile(work_ + "/old"));
    ASSERT_TRUE(startCaptured("says.sh novo " + work_ + "/new"));
    ASSERT_TRUE(waitForFile(work_ + "/new"));
    EXPECT_EQ(readCapturedOutput(), "novo\r\n\r\n");
}

TEST_F(ProgramExecution, EndedChildrenAreReaped) {
    writeFile(work_ + "/says.sh", "#!/bin/sh\nprintf '%s' \"$1\"\n: > \"$2\"\n", true);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(executeCommandLine("/bin/true", 2));
    ASSERT_TRUE(executeCommandLine("/bin/true", 1));
    ASSERT_TRUE(startCaptured("says.sh x " + work_ + "/said"));
    ASSERT_TRUE(waitForFile(work_ + "/said"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Any later look at the processes reaps what has ended.
    isProgramRunning("nothing");
    readCapturedOutput();
    EXPECT_EQ(zombieChildren(), 0);
}

TEST_F(ProgramExecution, FailedLaunchesGiveCodesOf31OrLess) {
    // Not even the system's xdg-open may be found.
    privatePath(false);
    writeFile(work_ + "/doc.txt", "a document\n");
    writeFile(work_ + "/garbage", "\x7f" "ELF? no\n", true);
    EXPECT_EQ(shellOpen("naoexiste", work_, "", ShowMode::Normal), SHELL_FILE_NOT_FOUND);
    EXPECT_EQ(shellOpen("c:\\talora\\naoexiste.exe", work_, "/L x", ShowMode::Normal), SHELL_FILE_NOT_FOUND);
    EXPECT_EQ(shellOpen("", work_, "", ShowMode::Normal), SHELL_FILE_NOT_FOUND);
    EXPECT_EQ(shellOpen("garbage", work_, "", ShowMode::Hidden), SHELL_BAD_FORMAT);
    // No xdg-open in PATH: a document has no program to open it.
    EXPECT_EQ(shellOpen("doc.txt", work_, "", ShowMode::Normal), SHELL_NO_ASSOCIATION);
    EXPECT_FALSE(executeCommandLine("naoexiste a b", 1));
    EXPECT_FALSE(executeCommandLine("naoexiste a b", 2));
    EXPECT_FALSE(executeCommandLine("naoexiste a b", 3));
    EXPECT_FALSE(executeCommandLine("doc.txt", 3)) << "a document cannot be captured";
}

TEST_F(ProgramExecution, DocumentsFoldersAndAddressesGoToTheDesktopOpener) {
    privatePath(true);
    fakeOpener();
    fs::create_directories(root_ + "/home/drive_c/ondaria/temp");
    writeFile(root_ + "/home/drive_c/ondaria/temp/radios.info", "report\n");
    writeFile(work_ + "/doc.txt", "a document\n");
    struct Case {
        const char* program;
        std::string opened;
    } cases[] = {
        {"c:\\ONDARIA\\temp\\radios.info", root_ + "/home/drive_c/ondaria/temp/radios.info"},
        {"doc.txt", "doc.txt"},
        {"c:\\ondaria", root_ + "/home/drive_c/ondaria"},
        {"https://example.org/a?b=c", "https://example.org/a?b=c"},
    };
    for (const Case& c : cases) {
        fs::remove(work_ + "/opener.log");
        EXPECT_EQ(shellOpen(c.program, work_, "ignored", ShowMode::Normal), SHELL_OK) << c.program;
        EXPECT_EQ(readFile(work_ + "/opener.log"), c.opened + "\n") << c.program;
    }
    // The opener's own failures.
    const std::pair<int, int> failures[] = {{2, SHELL_FILE_NOT_FOUND}, {3, SHELL_NO_ASSOCIATION}, {4, SHELL_NO_ASSOCIATION}};
    for (auto [status, code] : failures) {
        writeFile(work_ + "/opener.exit", std::to_string(status));
        EXPECT_EQ(shellOpen("doc.txt", work_, "", ShowMode::Hidden), code) << status;
    }
}

TEST_F(ProgramExecution, ABareNameIsLookedUpInPath) {
    writeFile(bin_ + "/meuprog", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$1\"\n", true);
    privatePath(true);
    ASSERT_TRUE(executeCommandLine("meuprog " + work_ + "/ran", 2));
    ASSERT_TRUE(waitForFile(work_ + "/ran"));
    EXPECT_EQ(readFile(work_ + "/ran"), work_ + "/ran\n");
    // A name with a folder is never looked up.
    EXPECT_FALSE(executeCommandLine("c:\\meuprog x", 2));
}

TEST_F(ProgramExecution, TheReturnPauseComesFromTheConfiguration) {
    struct Case {
        const char* value;
        int ms;
    } cases[] = {
        {"1200", 1200}, {"abc", 500}, {"", 500}, {"12x", 500}, {"70000", 4464}, {"-1", 65535}, {"$10", 16},
    };
    for (const Case& c : cases) {
        setReturnPause(c.value);
        EXPECT_EQ(returnPauseMs(), c.ms) << c.value;
    }
    writeFile(root_ + "/home/FALARIS.INI", "[FALARIS]\n");
    EXPECT_EQ(returnPauseMs(), 500) << "missing key";
}

TEST_F(ProgramExecution, WithoutMarksAProgramThatNeverComesToTheFrontIsGivenFiveSeconds) {
    // The opener hands the document on and ends at once: nothing of ours is
    // in front, so the 50 rounds of 100 ms run out, then the return pause.
    privatePath(true);
    fakeOpener();
    writeFile(work_ + "/doc.txt", "a document\n");
    setClock(virtualClock());
    const std::pair<const char*, int> pauses[] = {{"abc", 500}, {"1200", 1200}};
    for (auto [pause, ms] : pauses) {
        setReturnPause(pause);
        int64_t start = systemClock().monotonicMs();
        EXPECT_TRUE(executeCommandLine("doc.txt", 0));
        int64_t elapsed = systemClock().monotonicMs() - start;
        EXPECT_GE(elapsed, 5000 + ms) << pause;
        EXPECT_LT(elapsed, 5000 + ms + 100) << pause;
    }
    // A failed launch has nothing that could come to the front: only the pause.
    int64_t start = systemClock().monotonicMs();
    EXPECT_FALSE(executeCommandLine("naoexiste", 0));
    EXPECT_GE(systemClock().monotonicMs() - start, 1200);
    EXPECT_LT(systemClock().monotonicMs() - start, 1300);
}

TEST_F(ProgramExecution, WithoutMarksAProgramThatHasEndedStopsTheRounds) {
    // The program ends at once: no rounds of waiting for it to come to the
    // front, only the return pause (0 here). Real time, as the program runs
    // in real time; the rounds alone would take 5 s.
    writeFile(work_ + "/rapido", "#!/bin/sh\nexit 0\n", true);
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(executeCommandLine("rapido", 0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(ProgramExecution, ARunningProgramIsFoundByItsFileNameIgnoringCase) {
    std::string self = fs::read_symlink("/proc/self/exe").string();
    std::string name = self.substr(self.rfind('/') + 1);
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(isProgramRunning(name));
    EXPECT_TRUE(isProgramRunning(upper));
    EXPECT_TRUE(isProgramRunning("  " + name + "\t"));
    EXPECT_TRUE(isProgramRunning(self)) << "the whole path matches too";
    EXPECT_FALSE(isProgramRunning(name + ".exe"));
    EXPECT_FALSE(isProgramRunning(name.substr(0, name.size() - 1)));
    EXPECT_FALSE(isProgramRunning(""));

    // A program with an extension is not found without it. cat reads the
    // pipe until we close it.
    fs::copy_file("/bin/cat", bin_ + "/Leitor.bin");
    chmod((bin_ + "/Leitor.bin").c_str(), 0755);
    SpawnRequest request;
    request.program = bin_ + "/Leitor.bin";
    request.input = StreamSetup::Pipe;
    request.output = StreamSetup::Null;
    ChildProcess child;
    ASSERT_EQ(spawnProcess(request, child), 0);
    EXPECT_TRUE(isProgramRunning("LEITOR.BIN"));
    EXPECT_TRUE(isProgramRunning("leitor.bin"));
    EXPECT_FALSE(isProgramRunning("leitor"));
    closePipe(child.input);
    EXPECT_TRUE(waitForChild(child, 10000));
    EXPECT_EQ(child.exitStatus, 0);
    EXPECT_FALSE(isProgramRunning("leitor.bin"));
}

TEST_F(ProgramExecution, LauncherScriptsPassTheirArgumentsAndAreNeverReplaced) {
    // The target's folder has a quote and a blank in its name.
    std::string odd = root_ + "/it's here";
    fs::create_directories(odd);
    writeFile(odd + "/viewer", "#!/bin/sh\nprintf '<%s>\\n' \"$@\" > \"" + work_ + "/viewed\"\n", true);
    std::string launcher = root_ + "/home/redato.exe";
    ASSERT_TRUE(writeLauncherScript(launcher, odd + "/viewer"));
    struct stat st {};
    ASSERT_EQ(stat(launcher.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    SpawnRequest request;
    request.program = launcher;
    request.arguments = {"/L", "c:\\a b\\c.txt", "$HOME", ""};
    ChildProcess child;
    ASSERT_EQ(spawnProcess(request, child), 0);
    ASSERT_TRUE(waitForChild(child, 10000));
    EXPECT_EQ(child.exitStatus, 0);
    EXPECT_EQ(readFile(work_ + "/viewed"), "</L>\n<c:\\a b\\c.txt>\n<$HOME>\n<>\n");

    writeFile(launcher, "mine");
    EXPECT_TRUE(writeLauncherScript(launcher, "/elsewhere"));
    EXPECT_EQ(readFile(launcher), "mine");
    EXPECT_FALSE(writeLauncherScript(root_ + "/no/such/folder/x", "/bin/true"));
    std::vector<std::string> left;
    for (const fs::directory_entry& e : fs::directory_iterator(root_ + "/home")) left.push_back(e.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"FALARIS.INI", "redato.exe"})) << "no temporary file is left";
}

} // namespace
