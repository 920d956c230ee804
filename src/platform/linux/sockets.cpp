// POSIX sockets behind platform/sockets.h.
#include "platform/sockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in ipv4Address(uint32_t address, uint16_t port) {
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = address;
    return a;
}

bool endOf(int socket, bool peer, uint32_t& address, uint16_t& port) {
    sockaddr_in a {};
    socklen_t length = sizeof a;
    int r = peer ? getpeername(socket, reinterpret_cast<sockaddr*>(&a), &length)
                 : getsockname(socket, reinterpret_cast<sockaddr*>(&a), &length);
    if (r != 0 || a.sin_family != AF_INET) return false;
    address = a.sin_addr.s_addr;
    port = ntohs(a.sin_port);
    return true;
}

} // namespace

void socketLayerStart() {
    // OpenSSL writes to its socket with plain write(), which would raise
    // SIGPIPE on a connection the peer has closed.
    static bool done = false;
    if (!done) {
        std::signal(SIGPIPE, SIG_IGN);
        done = true;
    }
}

uint32_t socketResolve(const std::string& host) {
    if (host.empty()) return 0;
    in_addr dotted {};
    if (inet_pton(AF_INET, host.c_str(), &dotted) == 1) return dotted.s_addr;
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list) return 0;
    uint32_t address = 0;
    for (addrinfo* p = list; p && address == 0; p = p->ai_next) {
        if (p->ai_family == AF_INET) address = reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
    }
    freeaddrinfo(list);
    return address;
}

std::string socketAddressText(uint32_t address) {
    in_addr a {};
    a.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &a, text, sizeof text)) return "0.0.0.0";
    return text;
}

int socketOpenTcp() {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    return s < 0 ? NO_SOCKET : s;
}

bool socketBind(int socket, uint16_t port) {
    sockaddr_in a = ipv4Address(htonl(INADDR_ANY), port);
    return bind(socket, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

bool socketConnect(int socket, uint32_t address, uint16_t port) {
    sockaddr_in a = ipv4Address(address, port);
    if (connect(socket, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return true;
    if (errno != EINTR) return false;
    // An interrupted connect goes on in the background; wait for its outcome.
    pollfd p {socket, POLLOUT, 0};
    while (poll(&p, 1, -1) < 0) {
        if (errno != EINTR) return false;
    }
    int error = 0;
    socklen_t length = sizeof error;
    return getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

int socketConnectStart(int socket, uint32_t address, uint16_t port) {
    sockaddr_in a = ipv4Address(address, port);
    if (connect(socket, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return 1;
    // An interrupted connect goes on in the background, like one under way.
    return errno == EINPROGRESS || errno == EINTR ? 0 : -1;
}

bool socketConnectResult(int socket) {
    int error = 0;
    socklen_t length = sizeof error;
    return getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool socketSetNonBlocking(int socket, bool nonBlocking) {
    int flags = fcntl(socket, F_GETFL);
    if (flags < 0) return false;
    flags = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return fcntl(socket, F_SETFL, flags) == 0;
}

bool socketListen(int socket, int backlog) { return listen(socket, backlog) == 0; }

int socketAccept(int socket) {
    while (true) {
        int s = accept4(socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (s >= 0) return s;
        if (errno != EINTR && errno != ECONNABORTED) return NO_SOCKET;
    }
}

void socketClose(int socket) {
    if (socket >= 0) close(socket);
}

int socketReceive(int socket, void* buffer, size_t size) {
    while (true) {
        ssize_t n = recv(socket, buffer, size, 0);
        if (n >= 0 || errno != EINTR) return static_cast<int>(n);
    }
}

int socketSend(int socket, const void* bytes, size_t size) {
    while (true) {
        ssize_t n = send(socket, bytes, size, MSG_NOSIGNAL);
        if (n >= 0 || errno != EINTR) return static_cast<int>(n);
    }
}

int socketWaitReadable(int socket, int timeoutMs) { return socketWaitReady(socket, false, timeoutMs); }

int socketWaitReady(int socket, bool forWrite, int timeoutMs) {
    if (socket < 0) return -1;
    pollfd p {socket, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    int r;
    while ((r = poll(&p, 1, timeoutMs)) < 0) {
        if (errno != EINTR) return -1;
    }
    if (r == 0) return 0;
    // A closed or failed connection counts as ready: the receive or send
    // then reports it at once.
    return (p.revents & (POLLIN | POLLOUT | POLLHUP | POLLERR)) ? 1 : -1;
}

bool socketLocalEnd(int socket, uint32_t& address, uint16_t& port) { return endOf(socket, false, address, port); }
bool socketPeerEnd(int socket, uint32_t& address, uint16_t& port) { return endOf(socket, true, address, port); }

bool socketPair(int& first, int& second) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return false;
    first = fds[0];
    second = fds[1];
    return true;
}

void socketShutdownSend(int socket) {
    if (socket >= 0) shutdown(socket, SHUT_WR);
}
