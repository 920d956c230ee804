// The radio finder end to end: ondaria on the headless console against the
// local radio-directory site, with scripted keys. Every file it writes (the
// station list, the report, the playlists), the requests the site received
// and the viewer's command line are compared byte for byte with the files
// of ondaria_cases/<case>/ ("{PORT}" stands for the site's port). Run with
// UPDATE_GOLDEN=1 to write them anew (check the diff before committing).
#include "../net/net_test_support.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using nettest::readFile;

nettest::Site site;

void writeFile(const std::string& path, const std::string& content, mode_t mode = 0644) {
    std::ofstream(path, std::ios::binary) << content;
    chmod(path.c_str(), mode);
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Every file below `dir` as "relative path" lines, each followed by its content.
void listTree(const std::string& dir, const std::string& prefix, std::vector<std::string>& out) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        std::string full = dir + "/" + n;
        struct stat st {};
        stat(full.c_str(), &st);
        if (S_ISDIR(st.st_mode)) listTree(full, prefix + n + "/", out);
        else out.push_back("== " + prefix + n + "\n" + readFile(full));
    }
}

struct Outcome {
    std::string transcript;
    int status = -1;
};

class Ondaria : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(site.start()); }
    static void TearDownTestSuite() { site.stop(); }

    void SetUp() override {
        char tmpl[] = "/tmp/ondaria-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        home = root + "/home";
        mkdir(home.c_str(), 0777);
        configure("localhost:" + std::to_string(site.port));
        // The family's viewer is replaced by a stand-in that records how it
        // was started and keeps the station list, which the next search removes.
        std::string talora = home + "/drive_c/talora";
        std::string cmd = "mkdir -p '" + talora + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        writeFile(talora + "/redato.exe",
                  "#!/bin/sh\nprintf '%s|' \"$@\" >> '" + root + "/viewer.txt'\necho >> '" + root +
                      "/viewer.txt'\ncat '" + home + "/drive_c/ondaria/temp/radios.txt' >> '" + root +
                      "/stations.txt'\n",
                  0755);
        logStart = site.requests().size();
    }

    void TearDown() override {
        std::string cmd = "rm -rf '" + root + "'";
        std::system(cmd.c_str());
    }

    void configure(const std::string& siteAddress) {
        writeFile(home + "/FALARIS.INI", "[FALARIS]\nTEMPOESPERAPROGVOLTAR=0\n[ONDARIA]\nSITE=" + siteAddress +
                                             "\nDOMINIO=radios.test\n");
    }

    Outcome run(const std::string& keys) {
        std::string keysPath = root + "/keys";
        writeFile(keysPath, keys);
        int outPipe[2];
        EXPECT_EQ(pipe(outPipe), 0);
        pid_t pid = fork();
        if (pid == 0) {
            int in = open(keysPath.c_str(), O_RDONLY);
            dup2(in, 0);
            dup2(outPipe[1], 1);
            close(outPipe[0]);
            if (chdir(root.c_str()) != 0) _exit(126);
            setenv("TALORA_HOME", home.c_str(), 1);
            setenv("SSL_CERT_FILE", site.ca.c_str(), 1);
            execl(ONDARIA_BIN, ONDARIA_BIN, "--console=headless", "--audio=none", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(outPipe[1]);
        Outcome o;
        char buf[4096];
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{outPipe[0], POLLIN, 0};
            if (poll(&p, 1, 1000) <= 0) continue;
            ssize_t n = read(outPipe[0], buf, sizeof buf);
            if (n <= 0) break;
            o.transcript.append(buf, static_cast<size_t>(n));
        }
        close(outPipe[0]);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return o;
    }

    // The requests the site received since the test began: "path?query" lines.
    std::string requests() const {
        std::string all = site.requests().substr(logStart), out;
        std::istringstream in(all);
        for (std::string line; std::getline(in, line);) {
            auto field = [&](const std::string& name) {
                size_t at = line.find("\"" + name + "\": \"");
                if (at == std::string::npos) return std::string();
                at += name.size() + 5;
                return line.substr(at, line.find('"', at) - at);
            };
            out += field("path") + "?" + field("query") + "\n";
        }
        return out;
    }

    // Compares what the run left with the case's files. The report is the last
    // one written.
    void expectFiles(const std::string& name) {
        std::vector<std::string> produced = {
            "== radios.txt (when the report was shown)\n" + readFile(root + "/stations.txt"),
            "== radios.info\n" + readFile(home + "/drive_c/ondaria/temp/radios.info"),
            "== requests\n" + requests(),
            "== viewer\n" + readFile(root + "/viewer.txt"),
        };
        listTree(home + "/drive_c/ondaria/m3u", "m3u/", produced);
        std::string text;
        for (const std::string& p : produced) text += p + "\n";
        replaceAll(text, ":" + std::to_string(site.port) + "/", ":{PORT}/");
        std::string path = std::string(TEST_SOURCE_DIR) + "/app/ondaria_cases/" + name + ".files";
        if (std::getenv("UPDATE_GOLDEN")) {
            writeFile(path, text);
            return;
        }
        bool exists = false;
        std::string expected = readFile(path, &exists);
        ASSERT_TRUE(exists) << path;
        EXPECT_EQ(text, expected) << "files of " << name;
    }

    std::string root, home;
    size_t logStart = 0;
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// 22 results: one page, no "&pg=" request; no playlists; the report shown.
TEST_F(Ondaria, OnePageOfResults) {
    Outcome o = run("vinte e dois\nn\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(contains(o.transcript, "22 resultados encontrados\n"));
    EXPECT_FALSE(contains(o.transcript, "Fim do script"));  // an empty search ends quietly
    EXPECT_TRUE(contains(o.transcript, "At\xC3\xA9 logo."));
    expectFiles("one_page");
}

// 23 results: a second page with "&pg=1"; "S" answers yes like "s".
TEST_F(Ondaria, TwoPagesAndPlaylists) {
    Outcome o = run("rock\nS\n");
    EXPECT_EQ(o.status, 0);
    expectFiles("two_pages");
}

// 50 results: "&pg=1" and "&pg=2"; a key other than s or n asks again.
TEST_F(Ondaria, ThreePagesAndTheQuestionAskedAgain) {
    Outcome o = run("samba\nxn\n");
    EXPECT_EQ(o.status, 0);
    size_t first = o.transcript.find("Deseja gerar m3u");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(o.transcript.find("Deseja gerar m3u", first + 1), std::string::npos);
    expectFiles("three_pages");
}

// Accents and blanks: UTF-8, then URL encoding, then "+" for blanks.
TEST_F(Ondaria, SearchWithAccentsAndBlanks) {
    Outcome o = run("s\xC3\xA3o paulo\ns\n");
    EXPECT_EQ(o.status, 0);
    expectFiles("accents");
}

// No results: the message, then the greeting again.
TEST_F(Ondaria, ZeroResults) {
    Outcome o = run("nada\n\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(contains(o.transcript, "Nenhum resultado foi encontrado.\n"));
    size_t first = o.transcript.find("Ondaria - vers");
    EXPECT_NE(o.transcript.find("Ondaria - vers", first + 1), std::string::npos);
    expectFiles("zero");
}

// Names and cities from the web cannot steer where a playlist is written,
// and a player page that cannot be fetched counts as a stream not found.
TEST_F(Ondaria, HostileNamesAndAnUnreachablePlayerPage) {
    Outcome o = run("perigo\ns\n");
    EXPECT_EQ(o.status, 0);
    expectFiles("hostile");
}

// A 10 KB station name: its playlist's file name is cut to what a file name
// holds on disk (255 bytes of UTF-8, ".m3u" included, no character split),
// and the other playlists and the report's display still follow.
TEST_F(Ondaria, ALongStationNameIsShortenedToAFileName) {
    Outcome o = run("longo\ns\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_FALSE(contains(o.transcript, "Erro")) << o.transcript.substr(0, 2000);
    std::vector<std::string> names;
    if (DIR* d = opendir((home + "/drive_c/ondaria/m3u/longo").c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u);
    const std::string& cut = names[1];
    EXPECT_EQ(cut.rfind("R\xC3\xA1" "dio Ondas M\xC3\xA9" "dias Ondas", 0), 0u) << cut;
    EXPECT_EQ(cut.substr(cut.size() - 4), ".m3u");
    EXPECT_LE(cut.size(), 255u);
    EXPECT_GE(cut.size(), 250u) << "no more is cut than needed";
    EXPECT_EQ(readFile(home + "/drive_c/ondaria/m3u/longo/" + cut), "http://stream.ondaria.test/longo-1/live.mp3\r\n");
    EXPECT_EQ(names[0], "Educadora FM 2 - Bel\xC3\xA9m - PA.m3u");
    EXPECT_EQ(readFile(root + "/viewer.txt"), "/L|c:\\ondaria\\temp\\radios.info|\n");
}

// A run that stops with an error (a search text that cannot name a
// playlist folder) ends with the error report and exit status 1.
TEST_F(Ondaria, ARunStoppedByAnErrorExitsWithOne) {
    Outcome o = run("a/b\ns\n");
    EXPECT_TRUE(contains(o.transcript, "Erro no processamento do diret\xC3\xB3rio a/b\n"));
    EXPECT_TRUE(contains(o.transcript, "Erro de execu\xC3\xA7\xC3\xA3o na linha "));
    EXPECT_EQ(o.status, 1);
}

// An empty search at the first question: a quiet end, nothing fetched.
TEST_F(Ondaria, EmptySearchEndsQuietly) {
    Outcome o = run("\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(contains(o.transcript, "At\xC3\xA9 logo."));
    EXPECT_FALSE(contains(o.transcript, "Fim do script"));
    EXPECT_EQ(requests(), "");
}

// A search that cannot be downloaded: the two error lines and a quiet end.
TEST_F(Ondaria, FailedSearchDownload) {
    configure("127.0.0.1:1");
    Outcome o = run("rock\n");
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(contains(o.transcript, "Erro ao realizar a pesquisa.\nVerifique sua conex\xC3\xA3o com a internet.\n"));
    EXPECT_FALSE(contains(o.transcript, "Fim do script"));
    EXPECT_FALSE(contains(o.transcript, "resultados encontrados"));
}

} // namespace
