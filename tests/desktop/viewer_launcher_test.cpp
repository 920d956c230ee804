// The radio finder opens its report with c:\talora\redato.exe: rotalis
// provisions a launcher there that runs the redato beside it, keeps a
// stand-in a test put there first, and EXECUTA hands the stand-in the
// viewer's option and the report path.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string BIN_DIR = TEST_BINARY_DIR "/bin";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class ViewerLauncher : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/viewer-launcher-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        home_ = root_ + "/home";
        fs::create_directories(home_ + "/drive_c/talora");
        std::ofstream(home_ + "/FALARIS.INI") << "[FALARIS]\nTEMPOESPERAPROGVOLTAR=0\n";
    }
    void TearDown() override { fs::remove_all(root_); }

    // Runs a script through rotalis on the headless console; its exit status.
    int runScript(const std::string& script) {
        std::ofstream(root_ + "/t.rot") << script;
        pid_t pid = fork();
        if (pid == 0) {
            if (chdir(root_.c_str()) != 0) _exit(126);
            setenv("TALORA_HOME", home_.c_str(), 1);
            execl((BIN_DIR + "/rotalis").c_str(), "rotalis", "--console=headless", "--audio=none", "t.rot",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string root_, home_;
};

TEST_F(ViewerLauncher, ProvisioningMakesALauncherOfTheRedatoBesideTheProgram) {
    ASSERT_EQ(runScript("escreve \"ok\"\n"), 0);
    std::string launcher = home_ + "/drive_c/talora/redato.exe";
    struct stat st {};
    ASSERT_EQ(stat(launcher.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    std::string text = readFile(launcher);
    EXPECT_EQ(text.rfind("#!/bin/sh\n", 0), 0u);
    EXPECT_NE(text.find("exec '" + fs::canonical(BIN_DIR).string() + "/redato' \"$@\""), std::string::npos) << text;
}

// A launcher that provisioning made (it carries a mark line; earlier ones
// carried another) is made again when it runs another installation's
// viewer, for example after the build folder moved.
TEST_F(ViewerLauncher, OurLauncherOfAnotherInstallationIsMadeAgain) {
    std::string launcher = home_ + "/drive_c/talora/redato.exe";
    ASSERT_EQ(runScript("escreve \"ok\"\n"), 0);
    const std::string fresh = readFile(launcher);
    const std::string mark = fresh.substr(fresh.find('\n') + 1, fresh.find("\nexec") - fresh.find('\n'));
    ASSERT_EQ(mark.rfind("# ", 0), 0u) << fresh;
    for (const std::string& line : {mark, std::string("# Made when the program started; delete it to have it made again.\n")}) {
        std::ofstream(launcher) << "#!/bin/sh\n" + line + "exec '/antiga/instalacao/redato' \"$@\"\n";
        ASSERT_EQ(runScript("escreve \"ok\"\n"), 0);
        EXPECT_EQ(readFile(launcher), fresh) << line;
    }
}

TEST_F(ViewerLauncher, AStandInPutThereFirstIsKeptAndGetsTheReportPath) {
    std::string standIn = home_ + "/drive_c/talora/redato.exe";
    std::string stand = "#!/bin/sh\nprintf '<%s>\\n' \"$@\" \"$(basename \"$(pwd)\")\" > " + root_ + "/viewer.log\nsleep 0.2\n";
    std::ofstream(standIn) << stand;
    chmod(standIn.c_str(), 0755);
    ASSERT_EQ(runScript("dir troca \"c:\\ondaria\"\n"
                        "seja $comando \"c:\\talora\\redato.exe /L \"\n"
                        "concatena $comando \"c:\\ondaria\\temp\\radios.info\"\n"
                        "executa $comando\n"
                        "escreve \"voltou\"\n"),
              0);
    EXPECT_EQ(readFile(root_ + "/viewer.log"), "</L>\n<c:\\ondaria\\temp\\radios.info>\n<ondaria>\n");
    EXPECT_EQ(readFile(standIn), stand);
}

} // namespace
