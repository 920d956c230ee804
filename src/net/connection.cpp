// Connections and the NetReader.
#include "net/connection.h"

#include "console/console.h"
#include "net/tls.h"
#include "platform/clock.h"
#include "platform/sockets.h"

#include <cstring>

namespace {

// The longest a wait for a socket goes without asking the watcher.
constexpr int WAIT_TURN_MS = 100;

int startCount = 0;
NetWaitWatcher waitWatcher = nullptr;

bool carriesTls(int socket) { return tlsSession.active && socket == tlsSession.socket; }

// Receives into `buffer` once something is there: the byte count, 0 when
// the connection ended or failed, -1 when the deadline passed or the wait
// was cancelled first.
int receiveBefore(int socket, void* buffer, int size, int64_t deadlineMs) {
    if (carriesTls(socket)) {
        int n = tlsRead(buffer, size, deadlineMs);
        return n == TLS_WAIT_ENDED ? -1 : (n > 0 ? n : 0);
    }
    if (netWaitReady(socket, false, deadlineMs) != NET_READY) return -1;
    int n = socketReceive(socket, buffer, static_cast<size_t>(size));
    return n > 0 ? n : 0;
}

// Makes sure the reader has a byte to hand out; false when none came.
bool fillReader(NetReader* reader, int64_t deadlineMs) {
    if (reader->position < reader->fill) return true;
    reader->position = 0;
    reader->fill = receiveBefore(reader->socket, reader->buffer, NET_READER_BUFFER, deadlineMs);
    if (reader->fill > 0) return true;
    reader->fill = 0;
    return false;
}

} // namespace

int64_t netDeadline(int seconds) {
    return seconds == 0 ? NET_NO_DEADLINE : systemClock().monotonicMs() + int64_t(seconds) * 1000;
}

NetWait netWaitReady(int socket, bool forWrite, int64_t deadlineMs) {
    Clock& clock = systemClock();
    while (true) {
        int64_t turn = WAIT_TURN_MS;
        if (deadlineMs != NET_NO_DEADLINE) {
            int64_t left = deadlineMs - clock.monotonicMs();
            turn = left < 0 ? 0 : (left < turn ? left : turn);
        }
        if (waitForReady(socket, forWrite, static_cast<int>(turn))) return NET_READY;
        if (waitWatcher && !waitWatcher()) return NET_CANCELLED;
        if (deadlineMs != NET_NO_DEADLINE && clock.monotonicMs() >= deadlineMs) return NET_TIMED_OUT;
    }
}

void setNetWaitWatcher(NetWaitWatcher watcher) { waitWatcher = watcher; }

bool netStartup() {
    socketLayerStart();
    ++startCount;
    return true;
}

void netCleanup() {
    if (startCount > 0) --startCount;
}

int netStartCount() { return startCount; }

uint32_t netResolve(std::string_view host) {
    if (host.empty() || host.size() > NET_MAX_HOST) return 0;
#ifdef ONDARIA_FUZZING
    // Fuzzed scripts reach TRAZDAREDE and CONECTA: nothing may leave the
    // machine, not even a name lookup.
    if (host != "localhost" && host.rfind("127.", 0) != 0) return 0;
#endif
    return socketResolve(std::string(host));
}

int netConnect(std::string_view host, uint16_t port) {
    int s = socketOpenTcp();
    if (s < 0) return -1;
    uint32_t address = 0;
    bool connected = socketBind(s, 0) && (address = netResolve(host)) != 0 && socketSetNonBlocking(s, true);
    if (connected) {
        // Connecting without blocking lets the wait be watched; the system's
        // own time-out still decides when an unanswered attempt fails.
        int started = socketConnectStart(s, address, port);
        connected = started == 1 ||
                    (started == 0 && netWaitReady(s, true, NET_NO_DEADLINE) == NET_READY && socketConnectResult(s));
    }
    if (!connected || !socketSetNonBlocking(s, false)) {
        socketClose(s);
        return -1;
    }
    return s;
}

int netConnectTls(std::string_view host, uint16_t port) {
    tlsInitLibrary();
    int s = netConnect(host, port);
    if (s >= 0 && !tlsAttach(s, std::string(host).c_str())) {
        socketClose(s);
        return -1;
    }
    return s;
}

int netListen(uint16_t port) {
#ifdef ONDARIA_FUZZING
    // A fuzzed script must not wait for clients.
    (void)port;
    return -1;
#else
    int s = socketOpenTcp();
    if (s < 0) return -1;
    if (!socketBind(s, port) || !socketListen(s, 3)) {
        socketClose(s);
        return -1;
    }
    return s;
#endif
}

int netAccept(int listeningSocket) {
    if (netWaitReady(listeningSocket, false, NET_NO_DEADLINE) != NET_READY) return -1;
    return socketAccept(listeningSocket);
}

void netClose(int socket) {
    bool tls = carriesTls(socket);
    if (socket >= 0) socketClose(socket);
    if (tls) tlsDetach();
}

bool netPoll(int socket) {
    bool ready = tlsHasPending() || socketWaitReadable(socket, 0) == 1;
    keyAvailable();
    return ready;
}

int netRecv(int socket, void* buffer, int size) {
    if (carriesTls(socket)) return tlsRead(buffer, size);
    return receiveBefore(socket, buffer, size, NET_NO_DEADLINE);
}

int netSend(int socket, const void* bytes, int length) {
    if (carriesTls(socket)) return tlsWrite(bytes, length);
    return socketSend(socket, bytes, static_cast<size_t>(length));
}

bool netEndAddress(int socket, bool remote, std::string& dotted) {
    uint32_t address;
    uint16_t port;
    if (socket < 0 || !(remote ? socketPeerEnd(socket, address, port) : socketLocalEnd(socket, address, port)))
        return false;
    dotted = socketAddressText(address);
    return true;
}

bool netSendText(int socket, std::string_view text) {
    return netSend(socket, text.data(), static_cast<int>(text.size())) > 0;
}

bool netSendLine(int socket, std::string_view text) {
    std::string line(text);
    line += "\r\n";
    return netSendText(socket, line);
}

NetReader* readerCreate(int socket) {
    NetReader* reader = new NetReader;
    reader->socket = socket;
    return reader;
}

void readerFree(NetReader* reader) { delete reader; }

bool readerHasData(NetReader* reader) {
    if (!reader) return false;
    if (reader->position < reader->fill) return true;
    return netPoll(reader->socket);
}

bool readerGetByte(NetReader* reader, uint8_t& byte) {
    byte = 0;
    if (!reader || !fillReader(reader, NET_NO_DEADLINE)) return false;
    byte = static_cast<uint8_t>(reader->buffer[reader->position++]);
    return true;
}

bool readerGetLine(NetReader* reader, std::string& line, int seconds, size_t maxLength) {
    line.clear();
    if (!reader) return false;
    int64_t deadline = netDeadline(seconds);
    while (true) {
        if (!fillReader(reader, deadline)) return false;
        // The rest of the line, as far as the buffer holds it.
        const char* from = reader->buffer + reader->position;
        size_t count = static_cast<size_t>(reader->fill - reader->position);
        const void* lf = std::memchr(from, '\n', count);
        size_t take = lf ? static_cast<size_t>(static_cast<const char*>(lf) - from) : count;
        if (maxLength != 0 && line.size() + take > maxLength) return false;
        line.append(from, take);
        reader->position += static_cast<int32_t>(lf ? take + 1 : take);
        if (lf) break;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

int readerReceive(NetReader* reader, char* dest, int max, int seconds, bool& timedOut) {
    timedOut = false;
    if (!reader || max <= 0) return 0;
    if (reader->position < reader->fill) {
        int n = reader->fill - reader->position;
        if (n > max) n = max;
        std::memcpy(dest, reader->buffer + reader->position, static_cast<size_t>(n));
        reader->position += n;
        return n;
    }
    int n = receiveBefore(reader->socket, dest, max, netDeadline(seconds));
    timedOut = n < 0;
    return n > 0 ? n : 0;
}
