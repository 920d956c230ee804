// Connections and the NetReader.
#include "net/connection.h"

#include "console/console.h"
#include "net/tls.h"
#include "platform/sockets.h"

#include <cstring>

namespace {

int startCount = 0;

bool carriesTls(int socket) { return tlsSession.active && socket == tlsSession.socket; }

// Data (or the connection's end) can be taken without blocking.
bool readable(int socket) {
    if (carriesTls(socket) && tlsHasPending()) return true;
    return socketWaitReadable(socket, 0) != 0;
}

// One wait step of `ms`, cut short once the socket can be read, so that an
// answer is taken as soon as it comes. The console is serviced throughout.
void waitStep(int socket, int ms) {
    for (int waited = 0; waited < ms && !readable(socket); waited += 10) waitMs(10);
}

} // namespace

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
    // Fuzzed scripts reach TRAZDAREDE: nothing may leave the machine, not
    // even a name lookup.
    if (host != "localhost" && host.rfind("127.", 0) != 0) return 0;
#endif
    return socketResolve(std::string(host));
}

int netConnect(std::string_view host, uint16_t port) {
    int s = socketOpenTcp();
    if (s < 0) return -1;
    uint32_t address = 0;
    if (!socketBind(s, 0) || (address = netResolve(host)) == 0 || !socketConnect(s, address, port)) {
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
    int s = socketOpenTcp();
    if (s < 0) return -1;
    if (!socketBind(s, port) || !socketListen(s, 3)) {
        socketClose(s);
        return -1;
    }
    return s;
}

int netAccept(int listeningSocket) { return socketAccept(listeningSocket); }

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
    return socketReceive(socket, buffer, static_cast<size_t>(size));
}

int netSend(int socket, const void* bytes, int length) {
    if (carriesTls(socket)) return tlsWrite(bytes, length);
    return socketSend(socket, bytes, static_cast<size_t>(length));
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
    if (!reader) return false;
    if (reader->position >= reader->fill) {
        reader->position = 0;
        reader->fill = netRecv(reader->socket, reader->buffer, NET_READER_BUFFER);
        if (reader->fill <= 0) return false;
    }
    byte = static_cast<uint8_t>(reader->buffer[reader->position++]);
    return true;
}

bool readerGetLine(NetReader* reader, std::string& line, int seconds, size_t maxLength) {
    line.clear();
    if (!reader) return false;
    int waits = 0;
    while (true) {
        while (!readerHasData(reader)) {
            waitStep(reader->socket, 100);
            ++waits;
            if (seconds != 0 && waits > seconds * 10) return false;
        }
        uint8_t byte;
        if (!readerGetByte(reader, byte)) return false;
        if (byte == '\n') break;
        if (maxLength != 0 && line.size() >= maxLength) return false;
        line += static_cast<char>(byte);
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
    bool pending = carriesTls(reader->socket) && tlsHasPending();
    if (!pending && socketWaitReadable(reader->socket, seconds * 1000) == 0) {
        timedOut = true;
        return 0;
    }
    int n = netRecv(reader->socket, dest, max);
    return n > 0 ? n : 0;
}
