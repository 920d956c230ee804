// Sockets, the NetReader and the TLS session against real local peers: a
// socket pair or loopback connection for the reader, the radio site for TLS.
#include "net/connection.h"
#include "net/tls.h"
#include "net_test_support.h"
#include "platform/sockets.h"

#include <chrono>
#include <thread>

namespace {

nettest::Site site;

const auto* environment = ::testing::AddGlobalTestEnvironment(new nettest::SiteEnvironment(site));

// A connected pair: `near` is read by the code under test, `far` plays the peer.
struct Pair {
    Pair() { EXPECT_TRUE(socketPair(near, far)); }
    ~Pair() {
        socketClose(near);
        socketClose(far);
    }
    void send(std::string_view bytes) const { ASSERT_EQ(socketSend(far, bytes.data(), bytes.size()), int(bytes.size())); }
    int near = -1, far = -1;
};

std::string receiveAll(int socket) {
    std::string got;
    char buf[256];
    while (socketWaitReadable(socket, 200) == 1) {
        int n = socketReceive(socket, buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

TEST(NetReaderGetLine, LineEnds) {
    using namespace std::literals;
    struct Case {
        std::string_view bytes, line;
    } cases[] = {
        {"abc\r\n"sv, "abc"sv},
        {"abc\n"sv, "abc"sv},
        {"abc\r\r\n"sv, "abc\r"sv},
        {"\n"sv, ""sv},
        {"a\0b\xFF\n"sv, "a\0b\xFF"sv},  // any byte but LF belongs to the line
    };
    for (const Case& c : cases) {
        Pair p;
        p.send(c.bytes);
        NetReader* r = readerCreate(p.near);
        std::string line;
        EXPECT_TRUE(readerGetLine(r, line, 5));
        EXPECT_EQ(line, c.line);
        readerFree(r);
    }
}

TEST(NetReaderGetLine, TwoLinesFromOneReceiveAndTheRestAfterward) {
    Pair p;
    p.send("one\r\ntwo\npart");
    NetReader* r = readerCreate(p.near);
    std::string line;
    ASSERT_TRUE(readerGetLine(r, line, 5));
    EXPECT_EQ(line, "one");
    ASSERT_TRUE(readerGetLine(r, line, 5));
    EXPECT_EQ(line, "two");
    EXPECT_TRUE(readerHasData(r));
    p.send("ial\n");
    ASSERT_TRUE(readerGetLine(r, line, 5));
    EXPECT_EQ(line, "partial");
    readerFree(r);
}

TEST(NetReaderGetLine, PeerClosingMidLineKeepsWhatArrived) {
    Pair p;
    p.send("ab");
    socketClose(p.far);
    p.far = -1;
    NetReader* r = readerCreate(p.near);
    std::string line;
    EXPECT_FALSE(readerGetLine(r, line, 5));
    EXPECT_EQ(line, "ab");
    uint8_t byte = 1;
    EXPECT_FALSE(readerGetByte(r, byte));
    EXPECT_EQ(byte, 0);
    readerFree(r);
}

TEST(NetReaderGetLine, SilentPeerTimesOutAfterTheLimitWhileTheConsoleIsServiced) {
    nettest::FastClock clock;
    setClock(&clock);
    int pollsBefore = nettest::consolePolls;

    Pair p;
    p.send("x");  // bytes without a line end do not reset the wait
    NetReader* r = readerCreate(p.near);
    std::string line;
    int64_t start = clock.monotonicMs();
    EXPECT_FALSE(readerGetLine(r, line, 30));
    int64_t waited = clock.monotonicMs() - start;
    EXPECT_GE(waited, 30000);
    EXPECT_LE(waited, 30200);
    EXPECT_EQ(line, "x");
    EXPECT_GE(nettest::consolePolls - pollsBefore, 300);  // the console was serviced all along
    readerFree(r);
    setClock(nullptr);
}

TEST(NetReaderGetLine, LineLongerThanTheLimitFails) {
    Pair p;
    p.send(std::string(100, 'a') + "\n");
    NetReader* r = readerCreate(p.near);
    std::string line;
    EXPECT_FALSE(readerGetLine(r, line, 5, 50));
    readerFree(r);
}

TEST(NetReaderHasData, NullReaderAndEmptyConnection) {
    uint8_t byte = 7;
    EXPECT_FALSE(readerHasData(nullptr));
    EXPECT_FALSE(readerGetByte(nullptr, byte));
    EXPECT_EQ(byte, 0);
    Pair p;
    NetReader* r = readerCreate(p.near);
    EXPECT_FALSE(readerHasData(r));
    p.send("z");
    EXPECT_TRUE(readerHasData(r));
    readerFree(r);
}

TEST(NetSend, EmptyLineIsExactlyCrLfAndTextIsSentAsIs) {
    Pair p;
    EXPECT_TRUE(netSendLine(p.near, ""));
    EXPECT_TRUE(netSendText(p.near, "abc"));
    EXPECT_TRUE(netSendLine(p.near, "d"));
    EXPECT_EQ(receiveAll(p.far), "\r\nabcd\r\n");
    EXPECT_FALSE(netSendText(p.near, ""));  // nothing sent is not a success
}

TEST(NetConnect, ListenAcceptAndAddresses) {
    int listener = netListen(0);
    ASSERT_GE(listener, 0);
    uint32_t address;
    uint16_t port;
    ASSERT_TRUE(socketLocalEnd(listener, address, port));
    int client = netConnect("127.0.0.1", port);
    ASSERT_GE(client, 0);
    int served = netAccept(listener);
    ASSERT_GE(served, 0);
    ASSERT_TRUE(socketPeerEnd(client, address, port));
    EXPECT_EQ(socketAddressText(address), "127.0.0.1");
    netSendLine(client, "ola");
    NetReader* r = readerCreate(served);
    std::string line;
    EXPECT_TRUE(readerGetLine(r, line, 5));
    EXPECT_EQ(line, "ola");
    readerFree(r);
    netClose(served);
    netClose(client);
    netClose(listener);
}

TEST(NetConnect, Failures) {
    EXPECT_EQ(netResolve("127.0.0.1"), socketResolve("127.0.0.1"));
    EXPECT_NE(netResolve("localhost"), 0u);
    EXPECT_EQ(netResolve(""), 0u);
    EXPECT_EQ(netResolve(std::string(200, 'a')), 0u);  // longer than a host name may be
    EXPECT_EQ(netResolve("no-such-host.invalid"), 0u);
    // A port where nobody listens: take a free one and close it again.
    int listener = netListen(0);
    uint32_t address;
    uint16_t port;
    ASSERT_TRUE(socketLocalEnd(listener, address, port));
    netClose(listener);
    EXPECT_EQ(netConnect("127.0.0.1", port), -1);
    EXPECT_EQ(netConnect("no-such-host.invalid", 80), -1);
}

TEST(NetStartCount, BalancedStartsAndStops) {
    int before = netStartCount();
    EXPECT_TRUE(netStartup());
    EXPECT_TRUE(netStartup());
    netCleanup();
    EXPECT_EQ(netStartCount(), before + 1);
    netCleanup();
    netCleanup();  // one stop too many changes nothing
    EXPECT_EQ(netStartCount(), before > 0 ? before - 1 : 0);
}

TEST(NetTls, SessionCarriesTheConnectionAndEndsWithIt) {
    int s = netConnectTls("localhost", static_cast<uint16_t>(site.port));
    ASSERT_GE(s, 0);
    EXPECT_TRUE(tlsSession.active);
    EXPECT_EQ(tlsSession.socket, s);
    ASSERT_TRUE(netSendLine(s, "GET /t/bytes/20000 HTTP/1.0") && netSendLine(s, "Host: localhost") && netSendLine(s, ""));
    NetReader* r = readerCreate(s);
    std::string line;
    ASSERT_TRUE(readerGetLine(r, line, 10));
    EXPECT_EQ(line, "HTTP/1.0 200 OK");
    // Decrypted bytes wait in the session: any socket polls as readable.
    Pair other;
    EXPECT_TRUE(tlsHasPending());
    EXPECT_TRUE(netPoll(other.near));
    readerFree(r);

    netClose(other.near);  // another socket leaves the session alone
    other.near = -1;
    EXPECT_TRUE(tlsSession.active);
    netClose(s);
    EXPECT_FALSE(tlsSession.active);
    EXPECT_EQ(tlsSession.socket, 0);
}

TEST(NetTls, IpAddressIsVerifiedAgainstTheCertificate) {
    int s = netConnectTls("127.0.0.1", static_cast<uint16_t>(site.port));
    EXPECT_GE(s, 0);
    netClose(s);
}

// A plain server that answers anything with a line of text and closes.
TEST(NetTls, HandshakeWithAPlainServerFails) {
    int listener = netListen(0);
    uint32_t address;
    uint16_t port;
    ASSERT_TRUE(socketLocalEnd(listener, address, port));
    std::thread server([listener] {
        int c = socketAccept(listener);
        char buf[512];
        socketReceive(c, buf, sizeof buf);
        const char answer[] = "HTTP/1.0 400 Bad Request\r\n\r\n";
        socketSend(c, answer, sizeof answer - 1);
        socketClose(c);
    });
    EXPECT_EQ(netConnectTls("127.0.0.1", port), -1);
    server.join();
    netClose(listener);
    EXPECT_FALSE(tlsSession.active);
}

// Time runs on the virtual clock: a wait that goes on past its limit ends
// with the limit on that clock, while little real time passes.
class VirtualTime {
public:
    VirtualTime() { setClock(&clock_); }
    ~VirtualTime() { setClock(nullptr); }
    int64_t now() { return clock_.monotonicMs(); }

private:
    nettest::FastClock clock_;
};

TEST(NetTls, TheWholeHandshakeHasOneTimeLimit) {
    nettest::ManualTlsServer server(site.ca);
    // A byte every 20 ms: no single receive waits long, yet the whole
    // handshake would take far longer than its limit on the virtual clock.
    server.serve([](nettest::ManualTlsServer& s) { s.handshake(20); });
    VirtualTime time;
    auto realStart = std::chrono::steady_clock::now();
    EXPECT_EQ(netConnectTls("localhost", server.port), -1);
    EXPECT_GE(time.now(), TLS_HANDSHAKE_SECONDS * 1000);
    EXPECT_LT(time.now(), TLS_HANDSHAKE_SECONDS * 1000 + 1000);
    EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(15));
    EXPECT_FALSE(tlsSession.active);
}

TEST(NetTls, PartOfARecordThenSilenceEndsTheLineAtItsLimit) {
    nettest::ManualTlsServer server(site.ca);
    server.serve([](nettest::ManualTlsServer& s) {
        if (!s.handshake()) return;
        s.send(s.record("HTTP/1.0 200 OK\r\n").substr(0, 3));
        s.waitForClose();
    });
    int socket = netConnectTls("localhost", server.port);
    ASSERT_GE(socket, 0);
    NetReader* r = readerCreate(socket);
    std::string line;
    VirtualTime time;
    EXPECT_FALSE(readerGetLine(r, line, 30));
    EXPECT_GE(time.now(), 30000);
    readerFree(r);
    netClose(socket);
    server.join();
}

TEST(NetTls, CertificateFromAnUntrustedAuthorityFailsTheHandshake) {
    nettest::Site stranger;  // makes its own authority, which is not trusted
    ASSERT_TRUE(stranger.start());
    EXPECT_EQ(netConnectTls("localhost", static_cast<uint16_t>(stranger.port)), -1);
    EXPECT_FALSE(tlsSession.active);
    // The trusted site still works afterwards.
    int s = netConnectTls("localhost", static_cast<uint16_t>(site.port));
    EXPECT_GE(s, 0);
    netClose(s);
}

} // namespace
