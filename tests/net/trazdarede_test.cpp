// TRAZDAREDE in scripts run by rotalis on the headless console, against the
// local radio site: arguments, the result variable, messages, path mapping.
#include "net_test_support.h"

#include <fcntl.h>

namespace {

nettest::Site site;

class Environment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(site.start()); }
    void TearDown() override { site.stop(); }
};
const auto* environment = ::testing::AddGlobalTestEnvironment(new Environment);

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Outcome {
    std::string out;
    int status = -1;
};

class Trazdarede : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/net-trazdarede-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root = tmpl;
        home = root + "/home";
        work = root + "/work";
        std::string cmd = "mkdir -p '" + home + "/drive_c/ondaria/temp' '" + work + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        site.clearRequests();
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + root + "'";
        std::system(cmd.c_str());
    }

    // Runs the script text (with PORT replaced by the site's port).
    Outcome run(std::string script) {
        for (size_t at; (at = script.find("PORT")) != std::string::npos;) script.replace(at, 4, std::to_string(site.port));
        std::string scriptPath = root + "/caso.rot";
        std::ofstream(scriptPath, std::ios::binary) << script;
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        pid_t pid = fork();
        if (pid == 0) {
            int in = open("/dev/null", O_RDONLY);
            dup2(in, 0);
            dup2(out[1], 1);
            close(out[0]);
            if (chdir(work.c_str()) != 0) _exit(126);
            setenv("TALORA_HOME", home.c_str(), 1);
            setenv("SSL_CERT_FILE", site.ca.c_str(), 1);
            std::string rotalis = std::string(TEST_BINARY_DIR) + "/bin/rotalis";
            execl(rotalis.c_str(), rotalis.c_str(), "--console=headless", "--audio=none", scriptPath.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        Outcome r;
        char buf[4096];
        for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) r.out.append(buf, static_cast<size_t>(n));
        close(out[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return r;
    }

    std::string root, home, work;
};

TEST_F(Trazdarede, ResultVariableMessagesAndPaths) {
    Outcome r = run("TRAZDAREDE \"https://localhost:PORT/busca?q=rock&qfilter=completo\" "
                "\"c:\\ondaria\\temp\\radios.html\" 0 \"navelo\" \"\" x\n"
                "ESCREVE x\n"
                "SEJA $url \"http://127.0.0.1:PORT/t/status/404\"\n"
                "TRAZDAREDE $url \"pagina.txt\" 1 \"\" \"\" $resultado\n"
                "ESCREVE $resultado\n"
                "TRAZDAREDE \"http://127.0.0.1:PORT/t/bytes/10\" \"dez.bin\" 0 \"navelo\" \"k=v\" x\n"
                "ESCREVE x\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0\nErro http404: P\xC3\xA1gina n\xC3\xA3o encontrada.\n1\n0\nFim do script\n");
    EXPECT_NE(readFile(home + "/drive_c/ondaria/temp/radios.html").find(">Mostrando 1 - 22 de 23 resultados<"),
              std::string::npos);
    EXPECT_EQ(readFile(work + "/dez.bin").size(), 10u);
    EXPECT_NE(site.requests().find("\"cookie\": \"k=v\""), std::string::npos);
}

TEST_F(Trazdarede, BadArgumentsStopTheRunBeforeAnyRequest) {
    const char* scripts[] = {
        "TRAZDAREDE \"http://127.0.0.1:PORT/t/bytes/10\" \"f\" 2 \"navelo\" \"\" x\n",  // mode
        "TRAZDAREDE \"http://127.0.0.1:PORT/t/bytes/10\" \"f\" 0 \"navelo\" x\n",       // no cookie
        "TRAZDAREDE \"http://127.0.0.1:PORT/t/bytes/10\" \"f\" 0\n",
        "TRAZDAREDE\n",
    };
    for (const char* script : scripts) {
        Outcome r = run(script);
        EXPECT_EQ(r.status, 1) << script;
        EXPECT_EQ(r.out, "Erro de execu\xC3\xA7\xC3\xA3o na linha 1\n") << script;
    }
    EXPECT_EQ(site.requests(), "");
}

} // namespace
