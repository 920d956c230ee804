// TCP over IPv4: the only place that talks to the operating system's
// sockets. Sockets are file descriptors, blocking unless made otherwise
// (socketSetNonBlocking); -1 stands for no socket.
// Addresses are IPv4 in network byte order, ports in host order. Every call
// retries on an interrupted system call, and no call raises SIGPIPE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr int NO_SOCKET = -1;

// Makes the process ready for sockets (a write to a closed connection must
// fail, not end the program). Safe to call any number of times.
void socketLayerStart();

// The first IPv4 address of a host name or dotted address, 0 when it has none.
uint32_t socketResolve(const std::string& host);
// The dotted form of an address ("127.0.0.1").
std::string socketAddressText(uint32_t address);

// A new TCP socket, or NO_SOCKET.
int socketOpenTcp();
// Binds to the wildcard address and `port` (0: any free port).
bool socketBind(int socket, uint16_t port);
// Connects to `address`:`port`, with the system's own time-out.
bool socketConnect(int socket, uint32_t address, uint16_t port);
// Starts connecting a non-blocking socket: 1 connected, 0 under way (the
// socket becomes writable when it is decided; then ask socketConnectResult),
// -1 failed.
int socketConnectStart(int socket, uint32_t address, uint16_t port);
// True when the connection started by socketConnectStart was made.
bool socketConnectResult(int socket);
// Non-blocking sockets answer a receive or send that would wait with a
// failure instead of waiting.
bool socketSetNonBlocking(int socket, bool nonBlocking);
bool socketListen(int socket, int backlog);
// Waits for one client; its socket or NO_SOCKET.
int socketAccept(int socket);
void socketClose(int socket);

// Bytes received into `buffer` (at most `size`): more than 0, 0 when the
// peer closed, below 0 on failure. Blocks until something comes.
int socketReceive(int socket, void* buffer, size_t size);
// Bytes sent (at most `size`, possibly fewer), below 0 on failure.
int socketSend(int socket, const void* bytes, size_t size);
// Waits at most `timeoutMs` (0: just look) until the socket can be read
// without blocking (data, or the peer's close): 1 readable, 0 not yet, -1 error.
int socketWaitReadable(int socket, int timeoutMs);
// The same for reading (`forWrite` false) or writing; any descriptor will do.
// A closed or failed connection counts as ready (the next call reports it).
int socketWaitReady(int socket, bool forWrite, int timeoutMs);

// The local and the remote end of a connected socket.
bool socketLocalEnd(int socket, uint32_t& address, uint16_t& port);
bool socketPeerEnd(int socket, uint32_t& address, uint16_t& port);

// Two connected sockets of a local stream pair (fuzzing and tests feed one
// end and read the other).
bool socketPair(int& first, int& second);
// No more sends on `socket`: the peer then reads the end of the stream.
void socketShutdownSend(int socket);
