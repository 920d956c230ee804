// The TLS session on OpenSSL.
#include "net/tls.h"

#include "console/console.h"
#include "net/connection.h"
#include "platform/sockets.h"
#include "platform/text.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <string>

TlsSession tlsSession;

namespace {

SSL_CTX* context = nullptr;
SSL* session = nullptr;

bool isDottedAddress(const char* host) {
    int dots = 0;
    for (const char* p = host; *p; ++p) {
        if (*p == '.') ++dots;
        else if (!isDigitChar(*p)) return false;
    }
    return dots == 3;
}

void releaseSession() {
    if (session) SSL_free(session);
    session = nullptr;
}

} // namespace

bool tlsInitLibrary() {
    if (tlsSession.libraryReady) return true;
    tlsSession.libraryReady = true;
    socketLayerStart();
    OPENSSL_init_ssl(0, nullptr);
    context = SSL_CTX_new(TLS_client_method());
    if (!context) return true;  // every later handshake then fails
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_default_verify_paths(context);
    // Many servers end a response by closing the connection without a TLS
    // close notice; that is the normal end of a transfer here, not an error.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    // Records are taken from the socket many at a time instead of with two
    // receives each (header, then body): large downloads need far fewer
    // system calls.
    SSL_CTX_set_read_ahead(context, 1);
    SSL_CTX_set_default_read_buffer_len(context, 65536);
    return true;
}

bool tlsAttach(int socket, const char* host) {
    releaseSession();
    tlsSession.active = false;
    tlsSession.socket = 0;
    if (!context || !host) return false;
    session = SSL_new(context);
    if (!session) return false;
    bool ready = SSL_set_fd(session, socket) == 1;
    if (isDottedAddress(host)) {
        ready = ready && X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(session), host) == 1;
    } else {
        ready = ready && SSL_set_tlsext_host_name(session, host) == 1 && SSL_set1_host(session, host) == 1;
    }
    int result = 0;
    if (ready && socketSetNonBlocking(socket, true)) {
        int64_t deadline = netDeadline(TLS_HANDSHAKE_SECONDS);
        while (true) {
            ERR_clear_error();
            result = SSL_connect(session);
            if (result > 0) break;
            int e = SSL_get_error(session, result);
            if ((e != TLS_ERROR_WANT_READ && e != TLS_ERROR_WANT_WRITE) ||
                netWaitReady(socket, e == TLS_ERROR_WANT_WRITE, deadline) != NET_READY) {
                result = 0;
                break;
            }
        }
    }
    if (result > 0) {
        tlsSession.socket = socket;
        tlsSession.active = true;
        return true;
    }
    releaseSession();
    return false;
}

void tlsDetach() {
    // No close notice is sent: the socket may already be closed.
    releaseSession();
    tlsSession.socket = 0;
    tlsSession.active = false;
}

int tlsRead(void* buffer, int size, int64_t deadlineMs) {
    if (!session) return -1;
    while (true) {
        ERR_clear_error();
        int n = SSL_read(session, buffer, size);
        int e = SSL_get_error(session, n);
        if (e == TLS_ERROR_NONE) return n;
        // Part of a record, or nothing yet: wait for the socket, as long as
        // the caller allows.
        if (e == TLS_ERROR_WANT_READ || e == TLS_ERROR_WANT_WRITE) {
            if (netWaitReady(tlsSession.socket, e == TLS_ERROR_WANT_WRITE, deadlineMs) != NET_READY)
                return TLS_WAIT_ENDED;
            continue;
        }
        if (e == TLS_ERROR_SYSCALL || e == TLS_ERROR_ZERO_RETURN) return -1;
        writeStandardOutput("Erro SSL: " + decimal(e) + "\r\n");
        return -1;
    }
}

int tlsWrite(const void* bytes, int length) {
    if (!session) return -1;
    int64_t deadline = netDeadline(TLS_WRITE_STALL_SECONDS);
    while (true) {
        ERR_clear_error();
        int n = SSL_write(session, bytes, length);
        int e = SSL_get_error(session, n);
        if (e == TLS_ERROR_NONE) return n;
        if ((e != TLS_ERROR_WANT_READ && e != TLS_ERROR_WANT_WRITE) ||
            netWaitReady(tlsSession.socket, e == TLS_ERROR_WANT_WRITE, deadline) != NET_READY)
            return -1;
    }
}

bool tlsHasPending() { return tlsSession.active && session && SSL_has_pending(session) == 1; }
