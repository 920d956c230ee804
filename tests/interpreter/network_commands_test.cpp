// The network commands and ESCREVE, LÊ and FECHA on network slots, in short
// scripts run line by line against local peers: small servers in threads
// and the radio site (TLS with the test authority). Waits run on the
// virtual clock where a time limit is the point.
#include "../net/net_test_support.h"
#include "interpreter/script.h"
#include "net/connection.h"
#include "net/tls.h"
#include "platform/paths.h"

#include <atomic>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

nettest::Site site;

const auto* environment = ::testing::AddGlobalTestEnvironment(new nettest::SiteEnvironment(site));

// A port of 127.0.0.1 where nobody listens.
uint16_t closedPort() {
    uint16_t port = 0;
    socketClose(nettest::listenLocal(port));
    return port;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

class NetworkCommands : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/net-commands-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        setenv("TALORA_HOME", (dir + "/home").c_str(), 1);
        resetTalorahome();
        ASSERT_EQ(chdir(dir.c_str()), 0);
        std::ofstream(dir + "/dados.txt") << "um\r\n";
        discardKeys();
        nettest::typedKeys.clear();
    }
    void TearDown() override {
        setClock(nullptr);   // a case's clock is gone by now
        resetInterpreter();  // closes what the case left open
        EXPECT_FALSE(tlsSession.active);
        [[maybe_unused]] int ignored = chdir("/");
        fs::remove_all(dir);
    }

    // Runs the lines (separated by LF, with SITE standing for the radio
    // site's port and CLOSED for a port where nobody listens) until one
    // fails; true when all succeeded.
    bool run(std::string lines) {
        replaceAll(lines, "SITE", std::to_string(site.port));
        replaceAll(lines, "CLOSED", std::to_string(closedPort()));
        nettest::transcript.clear();
        std::istringstream in(lines);
        for (std::string line; std::getline(in, line);)
            if (!executeLine(line, false)) return false;
        return true;
    }

    std::string dir;
};

TEST_F(NetworkCommands, MessagesStatusCodesAndSilentFailures) {
    struct Case {
        const char* lines;
        bool ok;
        const char* transcript;
    } cases[] = {
        // CONECTA, quiet and not
        {"conecta #1 \"127.0.0.1\" CLOSED &\ncheca s\nescreve s", true, "1\r\n"},
        {"conecta #1 \"127.0.0.1\" CLOSED", false, "Erro de conexao\r\n"},
        {"conecta #1 \"no-such-host.invalid\" 80", false, "Erro de conexao\r\n"},
        {"conecta #1 \"127.0.0.1\" \"porta\" &\ncheca s\nescreve s", true, "2\r\n"},
        {"conecta #1 \"127.0.0.1\" \"porta\"", false, "Erro na porta TCP/IP\r\n"},
        {"conecta #1 \"127.0.0.1\" &\ncheca s\nescreve s", true, "1\r\n"},
        {"conecta #1", false, "Erro de conexao\r\n"},
        {"conecta #x \"127.0.0.1\" 80", false, "Erro de conexao\r\n"},
        // INTERNET
        {"internet inicia\ninternet TERMINA", true, ""},
        {"internet outra", false, ""},
        {"internet", false, ""},
        // SERVE
        {"serve #1 \"porta\"", false, "Erro na porta TCP/IP\r\n"},
        {"serve #1", false, "Erro de conexao\r\n"},
        {"serve #x 80", false, "Erro de conexao\r\n"},
        // ATIVASSL, OBSERVA and IP need a live connection or a well-formed slot
        {"ativassl #1", false, ""},
        {"ativassl #x", false, ""},
        {"observa #5 x\nescreve x", true, "0\r\n"},
        {"abre #5 \"dados.txt\"\nobserva #5 x\nescreve x", true, "0\r\n"},
        {"observa #5", false, ""},
        {"observa #5 x y", false, ""},
        {"observa teclado x\nescreve x", true, "0\r\n"},
        {"observa teclado", false, ""},
        {"ip local #1 x", false, ""},
        {"ip remoto #1", false, ""},
        {"ip outro #1 x", false, ""},
        {"abre #5 \"dados.txt\"\nip local #5 x", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        resetInterpreter();
        EXPECT_EQ(run(c.lines), c.ok);
        EXPECT_EQ(nettest::transcript, c.transcript);
    }
    EXPECT_EQ(netStartCount(), 0);
}

// A peer that answers the first line, sends part of a second and then
// stays silent; it keeps what it received.
TEST_F(NetworkCommands, AConversationWithItsStatusCodesAndTimeLimit) {
    uint16_t port;
    int listener = nettest::listenLocal(port);
    ASSERT_GE(listener, 0);
    std::string received;
    // Peers in threads use the sockets alone: the console is the script's.
    std::thread peer([&] {
        int c = socketAccept(listener);
        char buffer[64];
        bool answered = false;
        while (socketWaitReadable(c, 20000) == 1) {
            int n = socketReceive(c, buffer, sizeof buffer);
            if (n <= 0) break;
            received.append(buffer, static_cast<size_t>(n));
            if (!answered && received.find("\r\n") != std::string::npos) {
                socketSend(c, "oi\r\nsem fim", 11);
                answered = true;
            }
        }
        socketClose(c);
    });
    nettest::FastClock clock;
    setClock(&clock);
    EXPECT_TRUE(run("internet inicia\n"
                    "conecta #1 \"127.0.0.1\" " + std::to_string(port) + "\n"
                    "escreve #1 \"ola\"\ncheca s\n"
                    "le #1 x\ncheca t\nescreve s \" \" t \" \" x\n"
                    "observa #1 o\nescreve o\n"
                    "ip remoto #1 r\nip local #1 l\nescreve r \" \" l\n"
                    "le #1 y\ncheca u\nescreve u \" \" y\n"
                    "escreve #1 \"fim\" &\ncheca s\nescreve s\n"
                    "fecha #1\ninternet termina"));
    peer.join();
    socketClose(listener);
    EXPECT_EQ(nettest::transcript, "1 0 oi\r\n1\r\n127.0.0.1 127.0.0.1\r\n1 sem fim\r\n1\r\n");
    EXPECT_EQ(received, "ola\r\nfim");
    EXPECT_GE(clock.monotonicMs(), 30000);  // the silent peer is given up after 30 s
    EXPECT_LT(clock.monotonicMs(), 31000);
    // A closed slot is closed for LÊ, IP and ESCREVE.
    EXPECT_FALSE(run("le #1 x"));
    EXPECT_EQ(nettest::transcript, "Erro no processamento de arquivo\r\n");
    EXPECT_FALSE(run("ip remoto #1 x"));
    EXPECT_FALSE(run("escreve #1 \"x\""));
    EXPECT_EQ(netStartCount(), 0);
}

// The radio site answers TLS and plain HTTP on one port and logs which.
TEST_F(NetworkCommands, TheSslPrefixSticksUntilFechaAndAtivasslSwitchesToTls) {
    site.clearRequests();
    EXPECT_TRUE(run("conecta ssl #2 \"localhost\" SITE\n"
                    "conecta #3 \"localhost\" SITE\n"
                    "escreve #3 \"GET /t/bytes/5 HTTP/1.0\"\nescreve #3 \"\"\nle #3 x\nescreve x\n"
                    "fecha #2\n"
                    "conecta #4 \"localhost\" SITE\n"
                    "escreve #4 \"GET /t/bytes/6 HTTP/1.0\"\nescreve #4 \"\"\nle #4 y\nescreve y\n"
                    "ativassl #4\n"
                    "escreve #4 \"GET /t/bytes/7 HTTP/1.0\"\nescreve #4 \"\"\nle #4 z\nescreve z\n"
                    "fecha #3\nfecha #4"));
    EXPECT_EQ(nettest::transcript, "HTTP/1.0 200 OK\r\nHTTP/1.0 200 OK\r\nHTTP/1.0 200 OK\r\n");
    std::string log = site.requests();
    for (auto [path, tls] : {std::pair {"/t/bytes/5", true}, {"/t/bytes/6", false}, {"/t/bytes/7", true}}) {
        size_t at = log.find(path);
        ASSERT_NE(at, std::string::npos) << path;
        std::string entry = log.substr(at, log.find('\n', at) - at);
        EXPECT_NE(entry.find(tls ? "\"tls\": true" : "\"tls\": false"), std::string::npos) << entry;
    }
}

TEST_F(NetworkCommands, ALostTlsConnectionFailsEverySendAndRead) {
    // A plain peer that takes connections and closes them at once.
    uint16_t port;
    int listener = nettest::listenLocal(port);
    std::atomic<bool> done = false;
    std::thread peer([&] {
        while (!done) {
            if (socketWaitReadable(listener, 50) == 1) socketClose(socketAccept(listener));
        }
    });
    EXPECT_TRUE(run("conecta #1 \"127.0.0.1\" " + std::to_string(port) + "\nativassl #1\n"
                    "escreve #1 \"x\"\ncheca s\nle #1 l\ncheca t\nescreve s \" \" t \"[\" l \"]\"\n"
                    "ip local #1 i"
                    ) == false);
    done = true;
    peer.join();
    socketClose(listener);
    EXPECT_EQ(nettest::transcript, "0 1[]\r\n");
}

TEST_F(NetworkCommands, ServeTakesAClientThatComesLater) {
    uint16_t port = closedPort();
    std::thread client([port] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        for (int i = 0; i < 100; ++i) {
            int s = socketOpenTcp();
            if (socketConnect(s, socketResolve("127.0.0.1"), port)) {
                socketSend(s, "oi\r\n", 4);
                socketWaitReadable(s, 10000);  // until the script closes
                socketClose(s);
                return;
            }
            socketClose(s);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    EXPECT_TRUE(run("serve #1 " + std::to_string(port) + "\nle #1 x\nip remoto #1 r\nescreve x \" \" r\nfecha #1"));
    client.join();
    EXPECT_EQ(nettest::transcript, "oi 127.0.0.1\r\n");
}

TEST_F(NetworkCommands, EscEndsServeAndOtherKeysStay) {
    nettest::FastClock clock;
    setClock(&clock);
    queueKey('a');
    nettest::typedKeys = {{3000, 27}};
    EXPECT_FALSE(run("serve #1 " + std::to_string(closedPort())));
    EXPECT_EQ(nettest::transcript, "Erro de conexao\r\n");
    EXPECT_GE(clock.monotonicMs(), 3000);
    EXPECT_EQ(readKey(), 'a');
    EXPECT_FALSE(keyAvailable());
    // A port that is taken cannot be served.
    uint16_t port;
    int taken = nettest::listenLocal(port);
    EXPECT_FALSE(run("serve #1 " + std::to_string(port)));
    EXPECT_EQ(nettest::transcript, "Erro de conexao\r\n");
    socketClose(taken);
}

TEST_F(NetworkCommands, ObservaTecladoLeavesTheKeyAndConectaClosesWhatTheSlotHeld) {
    queueKey('k');
    EXPECT_TRUE(run("observa teclado x\nescreve x"));
    EXPECT_EQ(nettest::transcript, "1\r\n");
    EXPECT_EQ(readKey(), 'k');

    EXPECT_TRUE(run("abre #1 \"b.txt\" &\nescreve #1 \"linha\"\nconecta #1 \"127.0.0.1\" CLOSED &\nescreve #1 \"x\""
                    ) == false);
    EXPECT_EQ(nettest::readFile(dir + "/b.txt"), "linha\r\n");
    EXPECT_EQ(nettest::transcript, "Erro no processamento de arquivo\r\n");
}

} // namespace
