// Shared by the network tests: the local radio-directory site
// (tests/fixtures/radio_site.py) run as a child process on 127.0.0.1, a
// console backend that records what is written, advances time on its waits
// and types keys at set moments, a clock whose sleeps pass at once in
// virtual time (with a short real pause, so that local servers keep up with
// the polls), and a TLS server driven by hand for servers that misbehave.
#pragma once

#include "console/console.h"
#include "platform/clock.h"
#include "platform/console_backend.h"
#include "platform/sockets.h"

#include <gtest/gtest.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace nettest {

// The whole content of a file ("" when it cannot be read; `exists` tells).
inline std::string readFile(const std::string& path, bool* exists = nullptr) {
    std::ifstream in(path, std::ios::binary);
    if (exists) *exists = static_cast<bool>(in);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// One running instance of the radio site.
class Site {
public:
    bool start() {
        int toChild[2], fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0) return false;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(toChild[0], 0);
            dup2(fromChild[1], 1);
            close(toChild[1]);
            close(fromChild[0]);
            std::string script = std::string(TEST_SOURCE_DIR) + "/fixtures/radio_site.py";
            execlp("python3", "python3", script.c_str(), "--stop-with-stdin", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        stdin_ = toChild[1];
        FILE* out = fdopen(fromChild[0], "r");
        char line[4096];
        while (out && std::fgets(line, sizeof line, out)) {
            std::string l(line);
            if (!l.empty() && l.back() == '\n') l.pop_back();
            if (l.rfind("port=", 0) == 0) port = std::atoi(l.c_str() + 5);
            else if (l.rfind("ca=", 0) == 0) ca = l.substr(3);
            else if (l.rfind("log=", 0) == 0) log = l.substr(4);
            else if (l == "ready") break;
        }
        if (out) std::fclose(out);
        return port > 0 && !ca.empty();
    }

    // Closing its input ends the site, which then removes its folder.
    void stop() {
        if (pid_ <= 0) return;
        close(stdin_);
        for (int i = 0; i < 100 && waitpid(pid_, nullptr, WNOHANG) == 0; ++i) usleep(50000);
        if (kill(pid_, SIGKILL) == 0) waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

    ~Site() { stop(); }

    std::string http(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
    std::string https(const std::string& path) const { return "https://localhost:" + std::to_string(port) + path; }

    // The request log: one JSON object per line, in order of arrival.
    std::string requests() const {
        std::ifstream in(log);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void clearRequests() const { std::ofstream(log, std::ios::trunc); }

    int port = 0;
    std::string ca, log;

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
};

// What the console received, and how often it was asked for input.
inline std::string transcript;
inline int consolePolls = 0;
// Keys the user types: each comes once the clock has reached its moment (ms).
inline std::vector<std::pair<int64_t, uint8_t>> typedKeys;

// Records every byte written to the console; waits pass on the clock.
class RecordingConsole : public ConsoleBackend {
public:
    bool open() override { return true; }
    void close() override {}
    void written(std::string_view bytes) override { transcript.append(bytes); }
    void drawRange(int, int, int, const uint8_t*, const uint8_t*) override {}
    void drawAll(const uint8_t*, const uint8_t*) override {}
    void setCursor(int, int, bool) override {}
    void pollInput(std::vector<InputEvent>& events, int timeoutMs, bool) override {
        ++consolePolls;
        systemClock().sleepMs(timeoutMs);
        int64_t now = systemClock().monotonicMs();
        while (!typedKeys.empty() && typedKeys.front().first <= now) {
            InputEvent e;
            e.ch = typedKeys.front().second;
            events.push_back(e);
            typedKeys.erase(typedKeys.begin());
        }
    }
};

// Puts the recording console in place for the whole test program.
inline void recordConsole() {
    setConsoleBackend(std::make_unique<RecordingConsole>());
    openConsole();
}

// Virtual time: each sleep adds its length at once and pauses 0.2 ms really.
class FastClock : public Clock {
public:
    int64_t monotonicMs() override { return now_; }
    void sleepMs(int ms) override {
        if (ms <= 0) return;
        now_ += ms;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    LocalTime localTime() override { return LocalTime {2024, 1, 1, 1, 12, 0, 0, 0}; }

private:
    int64_t now_ = 0;
};

// Runs `site` for a whole test program, trusted through SSL_CERT_FILE (read
// once, when the TLS context is made), with the recording console in place.
class SiteEnvironment : public ::testing::Environment {
public:
    explicit SiteEnvironment(Site& site) : site_(site) {}
    void SetUp() override {
        ASSERT_TRUE(site_.start());
        setenv("SSL_CERT_FILE", site_.ca.c_str(), 1);
        recordConsole();
    }
    void TearDown() override { site_.stop(); }

private:
    Site& site_;
};

// A socket listening on a free port of 127.0.0.1 (all addresses, in fact),
// with room for `backlog` clients not yet accepted.
inline int listenLocal(uint16_t& port, int backlog = 8) {
    int s = socketOpenTcp();
    uint32_t address;
    if (s < 0 || !socketBind(s, 0) || !socketListen(s, backlog) || !socketLocalEnd(s, address, port)) return -1;
    return s;
}

// A TLS server for one client, driven by hand: the TLS bytes pass through
// memory, so a test decides what reaches the socket and when. It serves
// with the radio site's certificate (the files beside its authority).
class ManualTlsServer {
public:
    using Scenario = std::function<void(ManualTlsServer&)>;

    explicit ManualTlsServer(const std::string& caPath) {
        std::string folder = caPath.substr(0, caPath.rfind('/') + 1);
        context_ = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate_chain_file(context_, (folder + "server.pem").c_str());
        SSL_CTX_use_PrivateKey_file(context_, (folder + "server.key").c_str(), SSL_FILETYPE_PEM);
        listener_ = listenLocal(port);
    }
    ~ManualTlsServer() {
        join();
        if (ssl_) SSL_free(ssl_);
        socketClose(client_);
        socketClose(listener_);
        SSL_CTX_free(context_);
    }

    // Accepts one client in a thread of its own and plays the scenario.
    void serve(Scenario scenario) {
        thread_ = std::thread([this, scenario] {
            if (socketWaitReadable(listener_, 10000) != 1) return;
            client_ = socketAccept(listener_);
            if (client_ < 0) return;
            ssl_ = SSL_new(context_);
            in_ = BIO_new(BIO_s_mem());
            out_ = BIO_new(BIO_s_mem());
            SSL_set_bio(ssl_, in_, out_);
            SSL_set_accept_state(ssl_);
            scenario(*this);
        });
    }
    void join() {
        if (thread_.joinable()) thread_.join();
    }

    // The server's side of the handshake; its bytes go out one at a time,
    // `dripMs` apart, when that is not 0. False when the client went away.
    bool handshake(int dripMs = 0) {
        while (true) {
            int r = SSL_do_handshake(ssl_);
            if (!send(pending(), dripMs)) return false;
            if (r == 1) return true;
            if (SSL_get_error(ssl_, r) != SSL_ERROR_WANT_READ || !receive()) return false;
        }
    }
    // The request's text, up to the empty line that ends it.
    std::string request() {
        std::string text;
        char buffer[4096];
        while (text.find("\r\n\r\n") == std::string::npos) {
            int n = SSL_read(ssl_, buffer, sizeof buffer);
            if (n > 0) text.append(buffer, static_cast<size_t>(n));
            else if (SSL_get_error(ssl_, n) != SSL_ERROR_WANT_READ || !receive()) break;
        }
        return text;
    }
    // The TLS record that carries `plain`, not yet sent.
    std::string record(const std::string& plain) {
        SSL_write(ssl_, plain.data(), static_cast<int>(plain.size()));
        return pending();
    }
    bool send(const std::string& bytes, int dripMs = 0) {
        for (size_t at = 0; at < bytes.size();) {
            size_t n = dripMs ? 1 : bytes.size() - at;
            if (socketSend(client_, bytes.data() + at, n) != static_cast<int>(n)) return false;
            at += n;
            if (dripMs) std::this_thread::sleep_for(std::chrono::milliseconds(dripMs));
        }
        return true;
    }
    // Stays silent until the client closes (at most `maxMs`).
    void waitForClose(int maxMs = 20000) {
        char buffer[4096];
        while (socketWaitReadable(client_, maxMs) == 1 && socketReceive(client_, buffer, sizeof buffer) > 0) {
        }
    }

    uint16_t port = 0;

private:
    std::string pending() {
        std::string bytes;
        char buffer[4096];
        for (int n; (n = BIO_read(out_, buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<size_t>(n));
        return bytes;
    }
    bool receive() {
        char buffer[4096];
        if (socketWaitReadable(client_, 10000) != 1) return false;
        int n = socketReceive(client_, buffer, sizeof buffer);
        return n > 0 && BIO_write(in_, buffer, n) == n;
    }

    SSL_CTX* context_ = nullptr;
    SSL* ssl_ = nullptr;
    BIO *in_ = nullptr, *out_ = nullptr;
    int listener_ = -1, client_ = -1;
    std::thread thread_;
};

} // namespace nettest
