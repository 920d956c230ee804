// The one process-wide TLS session, on OpenSSL. The library and its client
// context are set up once and never shut down; at most one session exists
// at a time, on one connected socket. Servers are verified against the
// system's trust store (SSL_CERT_FILE and SSL_CERT_DIR are honoured), by
// host name or IPv4 address; a certificate that fails verification fails
// the handshake. The socket of a session is non-blocking: every wait of the
// session (handshake, reads, writes) is a watched wait for the socket with a
// time limit (net/connection.h), so a server that stops in the middle of a
// TLS record cannot hold the program.
#pragma once

#include <cstdint>

struct TlsSession {
    bool libraryReady = false;  // library and client context set up
    bool active = false;        // a session is established
    int socket = 0;             // the socket carrying it; meaningful only while active
};

extern TlsSession tlsSession;

// The OpenSSL error classes tlsRead and tlsWrite act on.
constexpr int TLS_ERROR_NONE = 0;
constexpr int TLS_ERROR_WANT_READ = 2;
constexpr int TLS_ERROR_WANT_WRITE = 3;
constexpr int TLS_ERROR_SYSCALL = 5;
constexpr int TLS_ERROR_ZERO_RETURN = 6;

// Sets up the library once; always true.
bool tlsInitLibrary();
// Starts a session for `host` on a connected socket, replacing any current
// one; true when the handshake succeeded. The whole handshake must be done
// within TLS_HANDSHAKE_SECONDS.
bool tlsAttach(int socket, const char* host);
constexpr int TLS_HANDSHAKE_SECONDS = 30;
// A write that can make no progress for this long fails.
constexpr int TLS_WRITE_STALL_SECONDS = 30;
// Ends and releases the current session (the socket is not touched).
void tlsDetach();
// Bytes read into `buffer`, or -1 (the session failed or ended), or
// TLS_WAIT_ENDED when no bytes came before `deadlineMs` (NET_NO_DEADLINE:
// none) or the wait was cancelled. Error classes other than 5 and 6 are
// written to the console as "Erro SSL: " and the class.
int tlsRead(void* buffer, int size, int64_t deadlineMs = -1);
constexpr int TLS_WAIT_ENDED = -2;
// Bytes written, or -1.
int tlsWrite(const void* bytes, int length);
// True when the active session holds bytes not yet read: decrypted, or
// received and not yet decrypted (a read then takes them without the socket).
bool tlsHasPending();
