// Headless console backend.
#include "platform/headless/headless_console.h"

#include "platform/clock.h"
#include "platform/encoding.h"

#include <cerrno>
#include <unistd.h>

namespace {

class HeadlessConsole : public ConsoleBackend {
public:
    explicit HeadlessConsole(const HeadlessOptions& o) : options_(o), decoder_(false) {}
    ~HeadlessConsole() override { close(); }

    bool open() override { return true; }
    void close() override {
        if (pendingCr_) emit("\r");
        pendingCr_ = false;
    }

    void written(std::string_view bytes) override {
        if (options_.transcriptFd < 0) return;
        std::string out;
        out.reserve(bytes.size() + 8);
        for (char c : bytes) {
            if (pendingCr_) {
                pendingCr_ = false;
                if (c == '\n') {
                    out += '\n';
                    continue;
                }
                out += '\r';
            }
            if (c == '\r') {
                pendingCr_ = true;
                continue;
            }
            unsigned char u = static_cast<unsigned char>(c);
            if (u < 0x80) out += c;
            else appendUtf8(out, cp1252ToUnicode(u));
        }
        emit(out);
    }

    void drawRange(int, int, int, const uint8_t*, const uint8_t*) override {}
    void drawAll(const uint8_t*, const uint8_t*) override {}
    void setCursor(int, int, bool) override {}

    void pollInput(std::vector<InputEvent>& events, int timeoutMs, bool keyAwaited) override {
        if (!keyAwaited) {
            systemClock().sleepMs(timeoutMs);
            return;
        }
        while (true) {
            size_t before = events.size();
            decoder_.take(events, ended_, 1);
            if (events.size() > before) {
                // The modifiers held are those of the key just taken.
                shift_ = events.back().shift;
                ctrl_ = events.back().ctrl;
                alt_ = events.back().alt;
                return;
            }
            if (ended_) {
                InputEvent e;
                if (options_.endlessKey) e.ch = options_.endlessKey;
                else e.kind = InputEvent::Closed;
                events.push_back(e);
                return;
            }
            readMore();
        }
    }

    // Keys are read only while one is awaited, so the wait is the
    // descriptor's alone. On the virtual clock nothing waits in real time.
    bool pollInputOrReady(std::vector<InputEvent>&, int timeoutMs, int fd, bool forWrite) override {
        if (&systemClock() != virtualClock()) return socketWaitReady(fd, forWrite, timeoutMs) != 0;
        if (socketWaitReady(fd, forWrite, 0) != 0) return true;
        systemClock().sleepMs(timeoutMs);
        return false;
    }

    void modifiers(bool& shift, bool& ctrl, bool& alt) override {
        shift = shift_;
        ctrl = ctrl_;
        alt = alt_;
    }

private:
    void readMore() {
        if (options_.inputFd < 0) {
            ended_ = true;
            return;
        }
        char buf[256];
        ssize_t n = read(options_.inputFd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) return;
        if (n <= 0) ended_ = true;
        else decoder_.feed(std::string_view(buf, static_cast<size_t>(n)));
    }

    void emit(std::string_view s) {
        size_t done = 0;
        while (done < s.size()) {
            ssize_t n = write(options_.transcriptFd, s.data() + done, s.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            done += static_cast<size_t>(n);
        }
    }

    HeadlessOptions options_;
    KeyDecoder decoder_;
    bool ended_ = false;
    bool pendingCr_ = false;
    bool shift_ = false, ctrl_ = false, alt_ = false;
};

} // namespace

std::unique_ptr<ConsoleBackend> makeHeadlessConsole(const HeadlessOptions& options) {
    return std::make_unique<HeadlessConsole>(options);
}
