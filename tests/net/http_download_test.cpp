// The HTTP download against the local radio site (tests/fixtures/radio_site.py):
// request lines, status handling, redirects, resume, lengths, keys, and what
// becomes of the output file when the download fails.
#include "net/http_download.h"
#include "net/tls.h"
#include "net_test_support.h"
#include "platform/audio_sink.h"

#include <cstdio>
#include <filesystem>

namespace {

using nettest::readFile;

nettest::Site site;
std::string folder;

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(site.start());
        setenv("SSL_CERT_FILE", site.ca.c_str(), 1);
        char tmpl[] = "/tmp/net-download-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        folder = tmpl;
        setenv("TALORA_HOME", folder.c_str(), 1);
        nettest::recordConsole();
    }
    void TearDown() override {
        site.stop();
        std::string cmd = "rm -rf '" + folder + "'";
        std::system(cmd.c_str());
    }
};
const auto* environment = ::testing::AddGlobalTestEnvironment(new Environment);

// Bytes start..end-1 of the site's test pattern.
std::string pattern(size_t start, size_t end) {
    std::string s;
    for (size_t i = start; i < end; ++i) s += static_cast<char>(i % 251);
    return s;
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

class HttpDownload : public ::testing::Test {
protected:
    void SetUp() override {
        name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        path = folder + "/" + name;
        std::remove(path.c_str());
        site.clearRequests();
        nettest::transcript.clear();
        discardKeys();
    }
    void TearDown() override {
        // Every way out releases the library start and the TLS session.
        EXPECT_EQ(netStartCount(), 0);
        EXPECT_FALSE(tlsSession.active);
        setClock(nullptr);
        setAudioSink(nullptr);
    }
    bool get(const std::string& url, std::string_view cookie = "") {
        return httpDownload(url, "saida.bin", path, false, "navelo", cookie);
    }
    // Files of the folder that the download made beside its output file.
    int filesBeside() {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().rfind("." + name, 0) == 0) ++count;
        return count;
    }
    std::string name, path;
};

// Sounds played on a capture sink: the download's ticks.
int ticksPlayed() {
    int count = 0;
    for (const CaptureEvent& e : audioSink().captureLog()->events) count += e.kind == CaptureEvent::Block;
    return count;
}

TEST(HttpSplitUrl, Components) {
    struct Case {
        const char* url;
        bool ok, secure;
        const char *host, *port, *path;
    } cases[] = {
        {"http://radios.test", true, false, "radios.test", "", "/"},
        {"https://radios.test:8443/busca?q=a&pg=2", true, true, "radios.test", "8443", "/busca?q=a&pg=2"},
        {"HTTPS://Radios.Test/x", true, true, "Radios.Test", "", "/x"},
        // A colon in the query is part of the resource, not a port.
        {"http://radios.test/hora?t=:80", true, false, "radios.test", "", "/hora?t=:80"},
        {"http://radios.test:81/a:81", true, false, "radios.test", "81", "/a:81"},
        {"ftp://radios.test/", true, false, "radios.test", "", "/"},
        {"radios.test/x", false, false, "", "", ""},
        {"http://:80/x", false, false, "", "", ""},
        {"http:///x", false, false, "", "", ""},
    };
    for (const Case& c : cases) {
        UrlParts p;
        ASSERT_EQ(splitUrl(c.url, p), c.ok) << c.url;
        if (!c.ok) continue;
        EXPECT_EQ(p.secure, c.secure) << c.url;
        EXPECT_EQ(p.host, c.host) << c.url;
        EXPECT_EQ(p.portText, c.port) << c.url;
        EXPECT_EQ(p.path, c.path) << c.url;
    }
}

TEST(HttpSplitUrl, Ports) {
    struct Case {
        const char* url;
        bool ok;
        int port;
    } cases[] = {
        {"http://h/", true, 80},     {"https://h/", true, 443},   {"http://h:8080/", true, 8080},
        {"https://h:/", true, 443},  {"http://h:0/", false, 0},    {"http://h:65536/", false, 0},
        {"http://h:8o/", false, 0},  {"http://h:-1/", false, 0},
    };
    for (const Case& c : cases) {
        UrlParts p;
        ASSERT_TRUE(splitUrl(c.url, p)) << c.url;
        uint16_t port = 0;
        EXPECT_EQ(urlPort(p, port), c.ok) << c.url;
        if (c.ok) {
            EXPECT_EQ(port, c.port) << c.url;
        }
    }
}

TEST(HttpProgress, PiecesAndNumberFormat) {
    using Pieces = std::vector<std::string>;
    EXPECT_EQ(downloadProgressPieces(1500, 3000, 0, "a.bin"),
              (Pieces {"Recebidos: ", "50% de 2KB.", "1,46 KBytes gravados.", "Arquivo: a.bin", ""}));
    EXPECT_EQ(downloadProgressPieces(777, 0, 0, "b"),
              (Pieces {"777 bytes escritos em disco.", "777 Bytes gravados.", "Arquivo: b", ""}));
    // A resumed file counts what it had: 3 MB of 4 MB.
    EXPECT_EQ(downloadProgressPieces(3 << 20, 1 << 20, 3 << 20, "c")[1], "75% de 4MB.");
    EXPECT_EQ(downloadProgressPieces(3 << 20, 1 << 20, 3 << 20, "c")[2], "3 MegaBytes gravados.");
    EXPECT_EQ(downloadProgressPieces(int64_t(3) << 30, int64_t(4) << 30, 0, "d")[2], "3 GigaBytes gravados.");
    EXPECT_EQ(downloadProgressPieces(1010, 100, 0, "e")[1], "1,01% de 100Bytes.");  // 1,01E3 cut at the exponent
    EXPECT_EQ(downloadProgressPieces(1010, 100, 0, "e")[2], "1,01E3 Bytes gravados.");

    struct Case {
        double value;
        const char* text;
    } cases[] = {{0, "0"}, {50, "50"}, {1.4648, "1,46"}, {0.5, "0,5"}, {99.96, "100"},
                 {999.6, "1E3"}, {1010, "1,01E3"}, {123456, "1,23E5"}, {0.000001, "1E-6"}};
    for (const Case& c : cases) EXPECT_EQ(generalNumber(c.value), c.text) << c.value;
}

TEST_F(HttpDownload, RequestLinesAndBody) {
    ASSERT_TRUE(get(site.http("/t/bytes/100"), "sessao=1"));
    EXPECT_EQ(readFile(path), pattern(0, 100));
    std::string log = site.requests();
    EXPECT_NE(log.find("\"path\": \"/t/bytes/100\""), std::string::npos) << log;
    EXPECT_NE(log.find("\"user-agent\": \"navelo\""), std::string::npos) << log;
    EXPECT_NE(log.find("\"accept\": \"*/*\""), std::string::npos) << log;
    EXPECT_NE(log.find("\"host\": \"127.0.0.1\""), std::string::npos) << log;  // without the port
    EXPECT_NE(log.find("\"connection\": \"close\""), std::string::npos) << log;
    EXPECT_NE(log.find("\"cookie\": \"sessao=1\""), std::string::npos) << log;
    EXPECT_EQ(log.find("\"range\""), std::string::npos) << log;
}

TEST_F(HttpDownload, SecureUrlWithPathAndQuery) {
    ASSERT_TRUE(get(site.https("/busca?q=s%C3%A3o+paulo&qfilter=completo")));
    std::string log = site.requests();
    EXPECT_NE(log.find("\"query\": \"q=s%C3%A3o+paulo&qfilter=completo\""), std::string::npos) << log;
    EXPECT_NE(log.find("\"tls\": true"), std::string::npos) << log;
    EXPECT_EQ(log.find("\"cookie\""), std::string::npos) << log;  // no cookie given: no header
    EXPECT_NE(readFile(path).find("Mostrando 1 - 3 de 3 resultados"), std::string::npos);
}

TEST_F(HttpDownload, ResumeWith206AppendsAfterTheExistingBytes) {
    writeFile(path, pattern(0, 1000));
    ASSERT_TRUE(get(site.http("/t/bytes/3000")));
    EXPECT_NE(site.requests().find("\"range\": \"bytes=1000-\""), std::string::npos);
    EXPECT_NE(nettest::transcript.find("Retomando download\r\n"), std::string::npos);
    EXPECT_EQ(readFile(path), pattern(0, 3000));
}

TEST_F(HttpDownload, A200AnswerToARangeRewritesTheFile) {
    writeFile(path, std::string(1000, 'x'));
    ASSERT_TRUE(get(site.http("/t/norange/3000")));
    EXPECT_NE(site.requests().find("\"range\": \"bytes=1000-\""), std::string::npos);
    EXPECT_EQ(readFile(path), pattern(0, 3000));
}

TEST_F(HttpDownload, AnswersThatAreNotTheResourceLeaveTheFileAsItWas) {
    const std::string before = pattern(0, 3000);
    for (const std::string target : {"/t/bytes/3000" /* 416: already complete */, "/t/status/500",
                                     "/t/status/403", "/t/wrongrange/3000", "/t/garbage", "/t/close",
                                     "/t/long-header"}) {
        writeFile(path, before);
        EXPECT_FALSE(get(site.http(target))) << target;
        EXPECT_EQ(readFile(path), before) << target;
    }
}

TEST_F(HttpDownload, FailedAnswersCreateNoFile) {
    for (const char* target : {"/t/status/500", "/t/status/302", "/t/garbage", "/t/close"}) {
        EXPECT_FALSE(get(site.http(target))) << target;
        bool exists = true;
        readFile(path, &exists);
        EXPECT_FALSE(exists) << target;
    }
}

TEST_F(HttpDownload, NotFoundAndBadRequestAreReported) {
    EXPECT_FALSE(get(site.http("/t/status/404")));
    EXPECT_FALSE(get(site.http("/t/status/400")));
    EXPECT_EQ(nettest::transcript, "Erro http404: P\xE1gina n\xE3o encontrada.\r\n"
                                   "Erro http400:Requisi\xE7\xE3o http n\xE3o foi bem formulada.\r\n");
}

TEST_F(HttpDownload, Redirects) {
    ASSERT_TRUE(get(site.http("/t/redirect/3")));
    EXPECT_EQ(readFile(path), "chegou");
    std::remove(path.c_str());
    ASSERT_TRUE(get(site.http("/t/relative/bytes/20")));
    EXPECT_EQ(readFile(path), pattern(0, 20));
    // A Location header redirects whatever the status; the first body is not kept.
    std::remove(path.c_str());
    ASSERT_TRUE(get(site.http("/t/location-on-200/bytes/30")));
    EXPECT_EQ(readFile(path), pattern(0, 30));
}

TEST_F(HttpDownload, PlainRedirectToHttps) {
    ASSERT_TRUE(httpDownload("http://localhost:" + std::to_string(site.port) + "/t/to-https/bytes/5000",
                             "x", path, false, "navelo", ""));
    EXPECT_EQ(readFile(path), pattern(0, 5000));
    std::string log = site.requests();
    size_t second = log.find("/t/bytes/5000");
    ASSERT_NE(second, std::string::npos) << log;
    EXPECT_NE(log.find("\"tls\": true", second), std::string::npos) << log;
}

TEST_F(HttpDownload, TheCookieGoesOnlyToTheServerOfTheFirstRequest) {
    struct Case {
        std::string url;
        bool cookieAfterRedirect;
    } cases[] = {
        {site.http("/t/relative/bytes/10"), true},
        {site.http("/t/redirect/1"), true},                  // absolute, same scheme, host and port
        {site.http("/t/to-host/localhost/bytes/10"), false},  // another host
        {site.https("/t/to-http/bytes/10"), false},           // down to plain http
        {site.http("/t/to-https/bytes/10"), false},           // another scheme
    };
    for (const Case& c : cases) {
        std::remove(path.c_str());
        site.clearRequests();
        ASSERT_TRUE(get(c.url, "sessao=1")) << c.url;
        std::istringstream log(site.requests());
        std::string first, second;
        std::getline(log, first);
        std::getline(log, second);
        const std::string cookie = "\"cookie\": \"sessao=1\"";
        EXPECT_NE(first.find(cookie), std::string::npos) << c.url;
        EXPECT_EQ(second.find(cookie) != std::string::npos, c.cookieAfterRedirect) << c.url << "\n" << second;
    }
}

TEST_F(HttpDownload, TenRedirectsAreFollowedAndNoMore) {
    EXPECT_TRUE(get(site.http("/t/redirect/10")));
    std::remove(path.c_str());
    EXPECT_FALSE(get(site.http("/t/redirect/11")));
    site.clearRequests();
    EXPECT_FALSE(get(site.http("/t/loop")));
    std::string log = site.requests();
    size_t requests = 0;
    for (size_t at = 0; (at = log.find('\n', at)) != std::string::npos; ++at) ++requests;
    EXPECT_EQ(requests, 11u);
}

// A 200 answer for a file that exists is written beside it and takes its
// place only when complete.
TEST_F(HttpDownload, AFailedTransferOfAWholeResourceKeepsTheFileThatWasThere) {
    const std::string before = "o arquivo de antes\n";
    auto tlsStallInTheBody = [] {
        auto server = std::make_unique<nettest::ManualTlsServer>(site.ca);
        server->serve([](nettest::ManualTlsServer& s) {
            if (!s.handshake()) return;
            s.request();
            s.send(s.record("HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\n"));
            s.send(s.record(std::string(5000, 'b')).substr(0, 3));
            s.waitForClose();
        });
        return server;
    };
    struct Case {
        const char* what;
        std::function<std::string()> url;
        std::vector<uint8_t> keys;
    } cases[] = {
        {"closed early", [] { return site.http("/t/early/10000/5000"); }, {}},
        {"stalled", [] { return site.http("/t/stall/100000/5000"); }, {}},
        {"stopped by the user", [] { return site.http("/t/norange/50000"); }, {27, 'S'}},
    };
    nettest::FastClock clock;
    setClock(&clock);
    for (const Case& c : cases) {
        writeFile(path, before);
        for (uint8_t k : c.keys) queueKey(k);
        EXPECT_FALSE(get(c.url())) << c.what;
        EXPECT_EQ(readFile(path), before) << c.what;
        EXPECT_EQ(filesBeside(), 0) << c.what;
    }
    writeFile(path, before);
    auto server = tlsStallInTheBody();
    EXPECT_FALSE(get("https://localhost:" + std::to_string(server->port) + "/x"));
    EXPECT_EQ(readFile(path), before);
    EXPECT_EQ(filesBeside(), 0);
    server->join();

    // A complete one replaces it.
    ASSERT_TRUE(get(site.http("/t/norange/3000")));
    EXPECT_EQ(readFile(path), pattern(0, 3000));
    EXPECT_EQ(filesBeside(), 0);
}

TEST_F(HttpDownload, PartOfATlsRecordThenSilenceIsGivenUpAtTheLimits) {
    nettest::FastClock clock;
    setClock(&clock);
    for (bool inBody : {false, true}) {
        nettest::ManualTlsServer server(site.ca);
        server.serve([inBody](nettest::ManualTlsServer& s) {
            if (!s.handshake()) return;
            s.request();
            std::string head = "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n";
            if (inBody) s.send(s.record(head));
            s.send(s.record(inBody ? std::string(100, 'b') : head).substr(0, 3));
            s.waitForClose();
        });
        int64_t start = clock.monotonicMs();
        EXPECT_FALSE(get("https://localhost:" + std::to_string(server.port) + "/x")) << inBody;
        int64_t limit = (inBody ? HTTP_BODY_STALL_SECONDS : HTTP_ANSWER_SECONDS) * 1000;
        EXPECT_GE(clock.monotonicMs() - start, limit) << inBody;
        EXPECT_LT(clock.monotonicMs() - start, limit + 5000) << inBody;
        server.join();
        std::remove(path.c_str());
    }
}

TEST_F(HttpDownload, EscEndsTheWaitForAnAnswerAndTicksTellTheWait) {
    setAudioSink(makeCaptureSink(CaptureOptions {}));
    nettest::FastClock clock;
    setClock(&clock);
    // A server that accepts and never answers.
    nettest::typedKeys = {{5500, 27}};
    EXPECT_FALSE(get(site.http("/t/silent")));
    EXPECT_GE(clock.monotonicMs(), 5500);
    EXPECT_LT(clock.monotonicMs(), 6000);
    EXPECT_EQ(ticksPlayed(), 4);  // after 2, 3, 4 and 5 seconds
    EXPECT_EQ(nettest::transcript, "O download foi interrompido.\r\n");
    EXPECT_FALSE(keyAvailable());

    // A connection that is never accepted: the listener's queue is full.
    uint16_t port;
    int listener = nettest::listenLocal(port, 0);
    ASSERT_GE(listener, 0);
    int queued = netConnect("127.0.0.1", port);
    ASSERT_GE(queued, 0);
    // Keys other than Esc stay in the queue, in order.
    queueKey('a');
    queueKey(13);
    nettest::typedKeys = {{clock.monotonicMs() + 1000, 27}};
    int64_t start = clock.monotonicMs();
    EXPECT_FALSE(get("http://127.0.0.1:" + std::to_string(port) + "/x"));
    EXPECT_LT(clock.monotonicMs() - start, 1500);
    EXPECT_EQ(readKey(), 'a');
    EXPECT_EQ(readKey(), 13);
    EXPECT_FALSE(keyAvailable());
    netClose(queued);
    netClose(listener);
}

TEST_F(HttpDownload, ServerClosingBeforeTheAnnouncedLengthFails) {
    EXPECT_FALSE(get(site.http("/t/early/10000/5000")));
    EXPECT_EQ(readFile(path), pattern(0, 5000));  // what came is kept for a later resume
}

TEST_F(HttpDownload, OneByteShortIsStillAFailure) {
    EXPECT_FALSE(get(site.http("/t/early/5000/4999")));
}

TEST_F(HttpDownload, WithoutContentLengthTheBodyEndsWhenTheServerCloses) {
    ASSERT_TRUE(get(site.http("/t/nolength/10000")));
    EXPECT_EQ(readFile(path), pattern(0, 10000));
}

TEST_F(HttpDownload, ExactlyTwoBlocks) {
    ASSERT_TRUE(get(site.http("/t/bytes/8192")));
    EXPECT_EQ(readFile(path), pattern(0, 8192));
}

TEST_F(HttpDownload, SilentServersAreGivenUp) {
    nettest::FastClock clock;
    setClock(&clock);
    EXPECT_FALSE(get(site.http("/t/silent")));
    EXPECT_GE(clock.monotonicMs(), HTTP_ANSWER_SECONDS * 1000);
    setClock(nullptr);
    httpBodyStallSeconds = 1;
    EXPECT_FALSE(get(site.http("/t/stall/100000/10")));
    EXPECT_EQ(readFile(path), pattern(0, 10));
    httpBodyStallSeconds = HTTP_BODY_STALL_SECONDS;
}

TEST_F(HttpDownload, ConnectionFailuresAndBadArguments) {
    EXPECT_FALSE(get("http://127.0.0.1:1/x"));
    EXPECT_FALSE(get("https://no-such-host.invalid/x"));
    EXPECT_FALSE(get(site.http("/t/bytes/10\r\nX-Injected: 1")));
    EXPECT_FALSE(get(""));
    EXPECT_FALSE(httpDownload(site.http("/t/bytes/10"), "", path, false, "navelo", ""));
    EXPECT_FALSE(httpDownload(site.http("/t/bytes/10"), "x", path, false, "navelo\r\nX-Injected: 1", ""));
    EXPECT_FALSE(httpDownload(site.http("/t/bytes/10"), "x", folder + "/no/such/dir/f", false, "", ""));
    EXPECT_EQ(site.requests().find("X-Injected"), std::string::npos);
    EXPECT_EQ(nettest::transcript, "");
}

TEST_F(HttpDownload, EscThenSStopsAfterTheCurrentBlock) {
    queueKey(27);
    queueKey('S');
    EXPECT_FALSE(get(site.http("/t/bytes/20000")));
    EXPECT_EQ(nettest::transcript, "Deseja parar o download?\r\nS\r\nO download foi interrompido.\r\n");
    EXPECT_EQ(readFile(path), pattern(0, 4096));
}

TEST_F(HttpDownload, OtherKeysLetTheTransferGoOn) {
    for (int key : {27, int('n'), 13, 32, 32, int('x'), 0, 59}) queueKey(static_cast<uint8_t>(key));
    ASSERT_TRUE(get(site.http("/t/bytes/50000")));
    EXPECT_EQ(nettest::transcript, "Deseja parar o download?\r\nn\r\n");
    EXPECT_EQ(readFile(path), pattern(0, 50000));
    EXPECT_FALSE(keyAvailable());
}

} // namespace
