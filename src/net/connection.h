// Connections: the network library's start count, plain and TLS client
// connections, listening and accepting, sending, and the NetReader that
// hands out received bytes one at a time or as lines. Every call blocks the
// interpreter thread; waits of its own go in 100 ms steps through waitMs so
// the console keeps processing its messages. A connection carried by the
// TLS session (net/tls.h) is read and written through it.
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

// Counts starts; each is balanced by one netCleanup. Always true here.
bool netStartup();
void netCleanup();
// Starts not yet balanced by a stop (tests).
int netStartCount();

// First IPv4 address (network byte order) of a name or dotted address; 0
// when there is none.
uint32_t netResolve(std::string_view host);
// A connected socket, or -1.
int netConnect(std::string_view host, uint16_t port);
// A connected socket with an established TLS session, or -1.
int netConnectTls(std::string_view host, uint16_t port);
// A socket listening on `port` with a backlog of 3, or -1.
int netListen(uint16_t port);
// Waits for one client, with no time limit; its socket or -1.
int netAccept(int listeningSocket);
// Closes the socket; ends the TLS session when it carries it.
void netClose(int socket);
// True when data can be read without waiting (also when the TLS session
// holds decrypted bytes, whatever socket is asked about).
bool netPoll(int socket);
// Bytes received (0 or less: closed or failed).
int netRecv(int socket, void* buffer, int size);
// Bytes sent, or a negative value.
int netSend(int socket, const void* bytes, int length);
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
// One line without its LF (and a CR before it). Waits in 100 ms steps while
// nothing comes; `seconds` (0 = none) limits the silence within one line.
// False on a time-out or a closed connection, with what arrived in `line`.
// `maxLength` (0 = none) makes a longer line fail as well.
bool readerGetLine(NetReader* reader, std::string& line, int seconds, size_t maxLength = 0);
// Hands out what the buffer holds, up to `max` bytes; when it is empty,
// receives once straight into `dest` (so large transfers move in large
// receives). Gives up when the connection stays silent for `seconds` (then
// `timedOut` is set); like a receive, it blocks without servicing the
// console. The number of bytes, 0 when the connection ended or timed out.
int readerReceive(NetReader* reader, char* dest, int max, int seconds, bool& timedOut);
