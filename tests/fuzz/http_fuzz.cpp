// Fuzzes the reading of HTTP answers: the input's first line is split as a
// URL; the rest is what a server sends, written into one end of a local
// socket pair (then closed for sending) and read back through a NetReader by
// the status and header readers of the download. Time is virtual, so the
// readers' waits pass at once.
#include "console/console.h"
#include "net/connection.h"
#include "net/http_download.h"
#include "platform/clock.h"
#include "platform/headless/headless_console.h"
#include "platform/sockets.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

// Stays below what a socket pair buffers, so the whole answer fits before
// it is read.
constexpr size_t MAX_ANSWER = 65536;

void prepare() {
    setClock(virtualClock());
    HeadlessOptions options;
    options.inputFd = -1;
    options.transcriptFd = -1;
    setConsoleBackend(makeHeadlessConsole(options));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (prepare(), true);
    (void)ready;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t newline = input.find('\n');
    std::string_view url = input.substr(0, newline);
    std::string_view answer = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
    if (answer.size() > MAX_ANSWER) return 0;

    UrlParts parts;
    uint16_t port;
    if (splitUrl(url, parts)) urlPort(parts, port);

    int near, far;
    if (!socketPair(near, far)) std::abort();
    if (!answer.empty() && socketSend(far, answer.data(), answer.size()) != static_cast<int>(answer.size())) std::abort();
    socketShutdownSend(far);
    NetReader* reader = readerCreate(near);
    HttpAnswer parsed;
    if (readHttpStatus(reader, parsed)) readHttpHeaders(reader, parsed);
    readerFree(reader);
    socketClose(near);
    socketClose(far);
    return 0;
}
