// Runs every golden script case of this folder through rotalis on the
// headless console and compares the transcript, exit status and screen.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string readFile(const std::string& path, bool* exists = nullptr) {
    std::ifstream in(path, std::ios::binary);
    if (exists) *exists = static_cast<bool>(in);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::string dir = path.substr(0, path.find_last_of('/'));
    std::string cmd = "mkdir -p '" + dir + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::ofstream(path, std::ios::binary) << content;
}

std::vector<std::string> caseNames() {
    std::vector<std::string> names;
    if (DIR* d = opendir(SCRIPTS_DIR)) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 4 && n.substr(n.size() - 4) == ".rot") names.push_back(n.substr(0, n.size() - 4));
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct RunOutcome {
    std::string out;
    int status = -1;
    bool timedOut = false;
};

RunOutcome runRotalis(const std::vector<std::string>& args, const std::string& workDir,
                      const std::string& home, const std::string& keysPath) {
    int outPipe[2];
    EXPECT_EQ(pipe(outPipe), 0);
    pid_t pid = fork();
    if (pid == 0) {
        int in = keysPath.empty() ? open("/dev/null", O_RDONLY) : open(keysPath.c_str(), O_RDONLY);
        dup2(in, 0);
        dup2(outPipe[1], 1);
        close(outPipe[0]);
        if (chdir(workDir.c_str()) != 0) _exit(126);
        setenv("TALORA_HOME", home.c_str(), 1);
        // The same run on every machine: no display or session bus of the
        // developer's reaches the program.
        unsetenv("DISPLAY");
        unsetenv("AT_SPI_BUS_ADDRESS");
        setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    RunOutcome r;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    char buf[4096];
    while (true) {
        pollfd p{outPipe[0], POLLIN, 0};
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        deadline - std::chrono::steady_clock::now()).count());
        if (left <= 0) {
            r.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        if (poll(&p, 1, left) <= 0) continue;
        ssize_t n = read(outPipe[0], buf, sizeof buf);
        if (n <= 0) break;
        r.out.append(buf, static_cast<size_t>(n));
    }
    close(outPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return r;
}

// Creates the files of NAME.setup: "== path" lines, each followed by the content.
void createSetupFiles(const std::string& setup, const std::string& workDir, const std::string& home) {
    std::istringstream in(setup);
    std::string line, path, content;
    bool open = false;
    auto flush = [&] {
        if (!open) return;
        std::string full = path.rfind("~/", 0) == 0 ? home + "/" + path.substr(2) : workDir + "/" + path;
        writeFile(full, content);
    };
    while (std::getline(in, line)) {
        if (line.rfind("== ", 0) == 0) {
            flush();
            path = line.substr(3);
            content.clear();
            open = true;
        } else if (open) {
            content += line + "\n";
        }
    }
    flush();
}

class GoldenScript : public ::testing::TestWithParam<std::string> {};
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(GoldenScript);

TEST_P(GoldenScript, TranscriptMatches) {
    const std::string name = GetParam();
    const std::string base = std::string(SCRIPTS_DIR) + "/" + name;
    char tmpl[] = "/tmp/golden-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string root = tmpl, work = root + "/work", home = root + "/home";
    mkdir(work.c_str(), 0777);
    mkdir(home.c_str(), 0777);
    bool hasSetup = false;
    std::string setup = readFile(base + ".setup", &hasSetup);
    if (hasSetup) createSetupFiles(setup, work, home);

    std::vector<std::string> args = {ROTALIS_BIN, "--console=headless", "--audio=none",
                                     "--screen-dump=" + root + "/screen", base + ".rot"};
    bool hasArgs = false;
    std::istringstream params(readFile(base + ".args", &hasArgs));
    for (std::string p; hasArgs && std::getline(params, p);) args.push_back(p);
    bool hasKeys = false;
    readFile(base + ".keys", &hasKeys);
    RunOutcome r = runRotalis(args, work, home, hasKeys ? base + ".keys" : "");
    ASSERT_FALSE(r.timedOut) << name << " did not end";

    bool hasStatus = false;
    std::string statusText = readFile(base + ".status", &hasStatus);
    int expectedStatus = hasStatus ? std::atoi(statusText.c_str()) : 0;

    if (std::getenv("UPDATE_GOLDEN")) {
        writeFile(base + ".out", r.out);
    } else {
        bool hasOut = false;
        std::string expected = readFile(base + ".out", &hasOut);
        ASSERT_TRUE(hasOut) << "missing " << name << ".out";
        EXPECT_EQ(r.out, expected) << "transcript of " << name;
    }
    EXPECT_EQ(r.status, expectedStatus) << "exit status of " << name;
    bool hasScreen = false;
    std::string expectedScreen = readFile(base + ".screen", &hasScreen);
    if (hasScreen) {
        EXPECT_EQ(readFile(root + "/screen"), expectedScreen) << "screen of " << name;
    }

    std::string cleanup = "rm -rf '" + root + "'";
    std::system(cleanup.c_str());
}

INSTANTIATE_TEST_SUITE_P(Scripts, GoldenScript, ::testing::ValuesIn(caseNames()),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

} // namespace
