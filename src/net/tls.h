// The one process-wide TLS session, on OpenSSL. The library and its client
// context are set up once and never shut down; at most one session exists
// at a time, on one connected socket. Servers are verified against the
// system's trust store (SSL_CERT_FILE and SSL_CERT_DIR are honoured), by
// host name or IPv4 address; a certificate that fails verification fails
// the handshake.
#pragma once

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
// one; true when the handshake succeeded. A server that stays silent during
// the handshake is given up after TLS_HANDSHAKE_SECONDS.
bool tlsAttach(int socket, const char* host);
constexpr int TLS_HANDSHAKE_SECONDS = 30;
// Ends and releases the current session (the socket is not touched).
void tlsDetach();
// Bytes read into `buffer`, or -1. Error classes other than 5 and 6 are
// written to the console as "Erro SSL: " and the class.
int tlsRead(void* buffer, int size);
// Bytes written, or -1.
int tlsWrite(const void* bytes, int length);
// True when the active session holds decrypted bytes not yet read.
bool tlsHasPending();
