// Connections: the network library's start count, plain and TLS client
// connections, listening and accepting, sending, and the NetReader that
// hands out received bytes one at a time or as lines. Every call blocks the
// interpreter thread, but every wait for a socket (connecting, accepting,
// receiving, the TLS handshake) waits on the socket and the console's input
// together, so the console keeps processing its messages and a wait watcher
// can end the wait at the user's request. A connection carried by the TLS
// session (net/tls.h) is read and written through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr int NET_READER_BUFFER = 4096;
// Host names longer than this cannot be resolved.
constexpr size_t NET_MAX_HOST = 128;

struct NetReader {
    int socket;
    char buffer[NET_READER_BUFFER];
    int32_t position = NET_READER_BUFFER;  // next byte to hand out
    int32_t fill = 0;                      // valid bytes after the last receive
};

// How a wait for a socket ended.
enum NetWait { NET_READY, NET_TIMED_OUT, NET_CANCELLED };
// No time limit, for netWaitReady.
constexpr int64_t NET_NO_DEADLINE = -1;
// The moment `seconds` from now on the system clock (0: NET_NO_DEADLINE).
int64_t netDeadline(int seconds);
// Waits until `socket` can be read (or written, with `forWrite`) without
// blocking, its end and errors included, or until `deadlineMs` passes. The
// console is serviced meanwhile, and the wait watcher is asked on every turn.
NetWait netWaitReady(int socket, bool forWrite, int64_t deadlineMs);
// Asked about ten times a second during every wait for a socket, and at once
// when input comes; answering false ends the wait as NET_CANCELLED. Null:
// none. The download installs one for Esc and its waiting ticks.
using NetWaitWatcher = bool (*)();
void setNetWaitWatcher(NetWaitWatcher watcher);

// Counts starts; each is balanced by one netCleanup. Always true here.
bool netStartup();
void netCleanup();
// Starts not yet balanced by a stop (tests).
int netStartCount();

// First IPv4 address (network byte order) of a name or dotted address; 0
// when there is none.
uint32_t netResolve(std::string_view host);
// A connected socket, or -1. The system's own connection time-out applies.
int netConnect(std::string_view host, uint16_t port);
// A connected socket with an established TLS session, or -1.
int netConnectTls(std::string_view host, uint16_t port);
// A socket listening on `port` with a backlog of 3, or -1.
int netListen(uint16_t port);
// Waits for one client, with no time limit but the wait watcher's; its
// socket or -1.
int netAccept(int listeningSocket);
// Closes the socket; ends the TLS session when it carries it.
void netClose(int socket);
// True when data can be read without waiting (also when the TLS session
// holds decrypted bytes, whatever socket is asked about).
bool netPoll(int socket);
// Bytes received (0 or less: closed or failed); waits for them as long as
// it takes.
int netRecv(int socket, void* buffer, int size);
// Bytes sent, or a negative value.
int netSend(int socket, const void* bytes, int length);
// The dotted IPv4 address of the local (or, with `remote`, the peer's) end
// of a connection; false when the socket has none.
bool netEndAddress(int socket, bool remote, std::string& dotted);
// One send of the whole text; true when more than 0 bytes went out.
bool netSendText(int socket, std::string_view text);
// The text followed by CR LF.
bool netSendLine(int socket, std::string_view text);

NetReader* readerCreate(int socket);
// Releases the reader; the socket is not touched.
void readerFree(NetReader* reader);
bool readerHasData(NetReader* reader);
// True and the next byte, or false and 0; receives when the buffer is spent.
bool readerGetByte(NetReader* reader, uint8_t& byte);
// One line without its LF (and a CR before it). `seconds` (0 = none) limits
// the whole wait for the line. False on a time-out, a cancelled wait or a
// closed connection, with what arrived in `line`. `maxLength` (0 = none)
// makes a longer line fail as well.
bool readerGetLine(NetReader* reader, std::string& line, int seconds, size_t maxLength = 0);
// Hands out what the buffer holds, up to `max` bytes; when it is empty,
// receives once straight into `dest` (so large transfers move in large
// receives). Gives up when the connection stays silent for `seconds` or the
// wait is cancelled (then `timedOut` is set). The number of bytes, 0 when
// the connection ended or the wait gave up.
int readerReceive(NetReader* reader, char* dest, int max, int seconds, bool& timedOut);
