// The HTTP download.
#include "net/http_download.h"

#include "console/console.h"
#include "platform/files.h"
#include "platform/text.h"
#include "speech/speech.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

int httpBodyStallSeconds = HTTP_BODY_STALL_SECONDS;

namespace {

constexpr int BLOCK_SIZE = 4096;
// Bytes received and written at once: large transfers move in large pieces
// while keys are still looked at after every block.
constexpr int CHUNK_SIZE = 65536;
// Stands for the length of a body announced without a Content-Length.
constexpr int64_t UNKNOWN_LENGTH = 999999999;
// While the server is awaited, a tick after this long and then every second.
constexpr int64_t FIRST_WAIT_TICK_MS = 2000;
constexpr int64_t WAIT_TICK_MS = 1000;
constexpr uint8_t ESC = 27;

// The wait for a server's answer (connecting, the handshake, the status and
// header lines): Esc typed meanwhile ends it (keys typed before stay for the
// transfer), and ticks tell that the program is alive.
struct AnswerWait {
    int64_t startMs = 0;
    int64_t nextTickMs = 0;
    int keysBefore = 0;
    bool cancelled = false;
};
AnswerWait answerWait;

bool watchAnswerWait() {
    if (takeQueuedKey(ESC, answerWait.keysBefore)) {
        answerWait.cancelled = true;
        return false;
    }
    int64_t waited = systemClock().monotonicMs() - answerWait.startMs;
    if (waited >= answerWait.nextTickMs) {
        // Speech still playing says enough; no tick is queued behind it.
        if (!soundBusy()) clickSound();
        while (answerWait.nextTickMs <= waited) answerWait.nextTickMs += WAIT_TICK_MS;
    }
    return true;
}

// Watches the network's waits from its making to the end of the scope.
struct WatchedAnswerWait {
    WatchedAnswerWait() {
        answerWait = AnswerWait {};
        answerWait.startMs = systemClock().monotonicMs();
        answerWait.nextTickMs = FIRST_WAIT_TICK_MS;
        answerWait.keysBefore = queuedKeyCount();
        setNetWaitWatcher(watchAnswerWait);
    }
    ~WatchedAnswerWait() { setNetWaitWatcher(nullptr); }
};

// Digits only, at most `maxDigits` of them.
bool readDecimal(std::string_view text, int64_t& value, size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return false;
    value = 0;
    for (char c : text) {
        if (!isDigitChar(c)) return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool hasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// What one connection holds while it lasts; released on every way out.
struct Connection {
    int socket = -1;
    NetReader* reader = nullptr;
    bool started = false;
};

void release(Connection& c) {
    if (c.reader) readerFree(c.reader);
    if (c.socket >= 0) netClose(c.socket);
    if (c.started) netCleanup();
    c = Connection {};
}

bool sendRequest(int socket, const UrlParts& parts, std::string_view userAgent, std::string_view cookie,
                 bool resume, int64_t offset) {
    bool ok = netSendLine(socket, "GET " + parts.path + " HTTP/1.0") &&
              netSendLine(socket, "User-Agent: " + std::string(userAgent)) &&
              netSendLine(socket, "Accept: */*") &&
              netSendLine(socket, "Host: " + parts.host) &&
              netSendLine(socket, "Connection: close");
    if (ok && resume) ok = netSendLine(socket, "Range: bytes=" + decimal(offset) + "-");
    if (ok && !cookie.empty()) ok = netSendLine(socket, "Cookie: " + std::string(cookie));
    return ok && netSendLine(socket, "");
}

// Scheme, host and port name the same server.
bool sameOrigin(const UrlParts& a, uint16_t portA, const UrlParts& b, uint16_t portB) {
    return a.secure == b.secure && portA == portB && toUpperAscii(a.host) == toUpperAscii(b.host);
}

// A Location that names only a path ("/x") stays on the same server.
std::string absoluteLocation(const std::string& location, const UrlParts& from) {
    if (location.empty() || location[0] != '/' || location.rfind("//", 0) == 0) return location;
    std::string url = from.secure ? "https://" : "http://";
    url += from.host;
    if (!from.portText.empty()) url += ":" + from.portText;
    return url + location;
}

// A key between blocks: Enter reports the progress, Space turns the ticks
// on or off, Esc asks whether to stop. True when the user chose to stop.
bool userStops(bool& ticks, int64_t inFile, int64_t announced, int64_t offset, std::string_view fileName) {
    if (!keyAvailable()) return false;
    uint8_t key = readKey();
    if (key == 0) {
        readKey();  // the code of a special key, which means nothing here
    } else if (key == 13) {
        for (const std::string& piece : downloadProgressPieces(inFile, announced, offset, fileName)) speakText(piece);
    } else if (key == 32) {
        ticks = !ticks;
    } else if (key == 27) {
        writeLineSpeak("Deseja parar o download?");
        unsigned char answer = readKeyEcho();
        writeStandardOutput(std::string(answer >= 32 ? 1 : 0, static_cast<char>(answer)) + "\r\n");
        if (upperLatin(static_cast<char>(answer)) == 'S') {
            writeLineSpeak("O download foi interrompido.");
            return true;
        }
    }
    return false;
}

// Connects, sends the request and reads the answer's status line and
// headers, saying what the status calls for (400 and 404 fail at once).
// False when there is no usable answer. The user may end the waits with Esc.
bool askServer(Connection& c, const UrlParts& parts, uint16_t port, std::string_view userAgent,
               std::string_view cookie, bool resume, int64_t offset, HttpAnswer& answer) {
    WatchedAnswerWait watched;
    c.socket = parts.secure ? netConnectTls(parts.host, port) : netConnect(parts.host, port);
    bool answered = c.socket >= 0 && sendRequest(c.socket, parts, userAgent, cookie, resume, offset);
    if (answered) {
        c.reader = readerCreate(c.socket);
        answered = readHttpStatus(c.reader, answer);
    }
    if (answered && (answer.status == 400 || answer.status == 404)) {
        writeLineSpeak(answer.status == 400 ? "Erro http400:Requisi\xE7\xE3o http n\xE3o foi bem formulada."
                                            : "Erro http404: P\xE1gina n\xE3o encontrada.");
        return false;
    }
    // A part of the resource is only of use when it was asked for.
    if (answered && answer.status == 206 && resume) writeLineSpeak("Retomando download");
    answered = answered && readHttpHeaders(c.reader, answer);
    if (answerWait.cancelled) writeLineSpeak("O download foi interrompido.");
    return answered;
}

} // namespace

bool splitUrl(std::string_view url, UrlParts& parts) {
    parts = UrlParts {};
    size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) return false;
    parts.secure = startsWithUpperLatin(url, "HTTPS");
    std::string_view address = url.substr(scheme + 3);
    // The port belongs to the host part only: a colon in the path or the
    // query is part of the resource's name.
    size_t slash = address.find('/');
    std::string_view authority = address.substr(0, slash);
    parts.path = slash == std::string_view::npos ? "/" : std::string(address.substr(slash));
    size_t colon = authority.find(':');
    if (colon != std::string_view::npos) {
        parts.portText = std::string(authority.substr(colon + 1));
        authority = authority.substr(0, colon);
    }
    parts.host = std::string(authority);
    return !parts.host.empty();
}

bool urlPort(const UrlParts& parts, uint16_t& port) {
    if (parts.portText.empty()) {
        port = parts.secure ? 443 : 80;
        return true;
    }
    int64_t value;
    if (!readDecimal(parts.portText, value, 5) || value < 1 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool readHttpStatus(NetReader* reader, HttpAnswer& answer) {
    answer = HttpAnswer {};
    std::string line;
    if (!readerGetLine(reader, line, HTTP_ANSWER_SECONDS, HTTP_MAX_HEADER_LINE)) return false;
    size_t space = line.find(' ');
    std::string_view code = std::string_view(line).substr(space == std::string::npos ? 0 : space + 1);
    int64_t value;
    if (code.size() < 3 || !readDecimal(code.substr(0, 3), value, 3)) return false;
    answer.status = static_cast<int>(value);
    return true;
}

bool readHttpHeaders(NetReader* reader, HttpAnswer& answer) {
    std::string line;
    for (int count = 0; count < HTTP_MAX_HEADER_LINES; ++count) {
        if (!readerGetLine(reader, line, HTTP_ANSWER_SECONDS, HTTP_MAX_HEADER_LINE)) return false;
        if (line.empty()) return true;
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = toUpperAscii(trimView(std::string_view(line).substr(0, colon)));
        std::string_view value = trimView(std::string_view(line).substr(colon + 1));
        if (name == "LOCATION") {
            answer.hasLocation = true;
            answer.location = std::string(value);
        } else if (name == "CONTENT-LENGTH") {
            if (!readDecimal(value, answer.contentLength, 18)) return false;
        } else if (name == "CONTENT-RANGE") {
            // "bytes first-last/total": only the first byte matters here.
            if (!startsWithUpperLatin(value, "BYTES ")) return false;
            std::string_view range = trimView(value.substr(6));
            if (!readDecimal(range.substr(0, range.find('-')), answer.rangeStart, 18)) return false;
            answer.hasContentRange = true;
        }
    }
    return false;
}

std::string generalNumber(double value) {
    if (!std::isfinite(value)) return "0";
    if (value == 0) return "0";
    char text[64];
    std::snprintf(text, sizeof text, "%.2e", value);
    std::string s = text;
    size_t e = s.find('e');
    int exponent = std::atoi(s.c_str() + e + 1);
    std::string result;
    if (exponent >= 3 || std::fabs(value) < 0.00001) {
        std::string mantissa = s.substr(0, e);
        while (mantissa.back() == '0') mantissa.pop_back();
        if (mantissa.back() == '.') mantissa.pop_back();
        result = mantissa + "E" + decimal(exponent);
    } else {
        std::snprintf(text, sizeof text, "%.*f", 2 - exponent, value);
        result = text;
        if (result.find('.') != std::string::npos) {
            while (result.back() == '0') result.pop_back();
            if (result.back() == '.') result.pop_back();
        }
    }
    for (char& c : result) {
        if (c == '.') c = ',';
    }
    return result;
}

std::vector<std::string> downloadProgressPieces(int64_t fileSize, int64_t announced, int64_t offset,
                                                std::string_view fileName) {
    constexpr int64_t GB = 1073741824, MB = 1048576, KB = 1024;
    std::vector<std::string> pieces;
    if (announced == 0) {
        pieces.push_back(decimal(fileSize) + " bytes escritos em disco.");
    } else {
        int64_t total = announced + offset;
        std::string percent = generalNumber(static_cast<double>(fileSize) / static_cast<double>(total) * 100);
        percent = percent.substr(0, percent.find('E'));
        std::string amount = total >= GB ? decimal(total / GB) + "GB."
                           : total >= MB ? decimal(total / MB) + "MB."
                           : total >= KB ? decimal(total / KB) + "KB."
                                         : decimal(total) + "Bytes.";
        pieces.push_back("Recebidos: ");
        pieces.push_back(percent + "% de " + amount);
    }
    double size = static_cast<double>(fileSize);
    pieces.push_back(fileSize >= GB ? generalNumber(size / GB) + " GigaBytes gravados."
                   : fileSize >= MB ? generalNumber(size / MB) + " MegaBytes gravados."
                   : fileSize >= KB ? generalNumber(size / KB) + " KBytes gravados."
                                    : generalNumber(size) + " Bytes gravados.");
    pieces.push_back("Arquivo: " + std::string(fileName));
    pieces.push_back("");
    return pieces;
}

bool httpDownload(std::string_view url, std::string_view fileName, const std::string& outputPath,
                  bool ticks, std::string_view userAgent, std::string_view cookie) {
    if (url.empty() || fileName.empty() || outputPath.empty()) return false;
    // Line breaks would end the request line or a header early.
    if (hasLineBreak(url) || hasLineBreak(userAgent) || hasLineBreak(cookie)) return false;

    Connection c;
    HttpAnswer answer;
    std::string current(url);
    int64_t offset = 0;
    bool resume = false;
    UrlParts first;
    uint16_t firstPort = 0;
    // The cookie goes only to the server it was meant for: once a redirect
    // leads to another scheme, host or port, it is sent no more.
    bool cookieServer = true;
    for (int redirects = 0;; ++redirects) {
        UrlParts parts;
        uint16_t port;
        if (redirects > HTTP_MAX_REDIRECTS || !splitUrl(current, parts) || hasLineBreak(parts.path) ||
            !urlPort(parts, port))
            return false;
        if (redirects == 0) {
            first = parts;
            firstPort = port;
        }
        cookieServer = cookieServer && sameOrigin(parts, port, first, firstPort);
        if (!netStartup()) {
            writeLineSpeak("Erro! provavelmente, n\xE3o haja conex\xE3o com a internet.");
            return false;
        }
        c.started = true;
        resume = fileSize(outputPath, offset);
        if (!resume) offset = 0;
        if (!askServer(c, parts, port, userAgent, cookieServer ? cookie : "", resume, offset, answer)) {
            release(c);
            return false;
        }
        if (!answer.hasLocation) break;
        current = absoluteLocation(answer.location, parts);
        release(c);
    }

    // Only a whole resource (200) or the missing part of the file (206 from
    // where it ends) may touch the file; any other answer leaves it as it was.
    bool whole = answer.status == 200;
    bool rest = answer.status == 206 && resume && (!answer.hasContentRange || answer.rangeStart == offset);
    // A whole resource replacing a file that exists is written beside it and
    // takes its place only once complete: a transfer that fails keeps the
    // old file. A new file is written in place, so that a transfer cut short
    // can be resumed.
    std::string beside;
    int file = whole && resume ? createFileBeside(outputPath, beside)
               : (whole || rest) ? openAppendFile(outputPath, whole)
                                 : -1;
    if (file < 0) {
        release(c);
        return false;
    }
    if (whole) offset = 0;

    bool unknown = answer.contentLength == 0;
    int64_t announced = unknown ? 0 : answer.contentLength;
    int64_t remaining = unknown ? UNKNOWN_LENGTH : answer.contentLength;
    int64_t inFile = offset;
    bool failed = false, stopped = false;
    std::vector<char> chunk(CHUNK_SIZE);
    int blockFill = 0;  // bytes of the current block taken so far
    while (!stopped) {
        int want = (!unknown && remaining < CHUNK_SIZE) ? static_cast<int>(remaining) : CHUNK_SIZE;
        if (want == 0) break;
        bool timedOut;
        int got = readerReceive(c.reader, chunk.data(), want, httpBodyStallSeconds, timedOut);
        if (got == 0) {
            failed = timedOut;
            break;
        }
        // The body counts in blocks of 4096 bytes: after each whole block, and
        // after the last one of a known length, comes the tick and a look at
        // the keyboard.
        int kept = got;
        for (int at = 0; at < got;) {
            int take = std::min(got - at, BLOCK_SIZE - blockFill);
            at += take;
            blockFill += take;
            bool last = !unknown && at == remaining;
            if (blockFill < BLOCK_SIZE && !last) continue;
            blockFill = 0;
            if (ticks) clickSound();
            if (userStops(ticks, inFile + at, announced, offset, fileName)) {
                stopped = true;
                kept = at;
                break;
            }
        }
        if (writeBytes(file, chunk.data(), static_cast<size_t>(kept)) != static_cast<size_t>(kept)) {
            failed = true;
            break;
        }
        inFile += kept;
        if (!unknown) remaining -= kept;
    }
    if (!closeByteFile(file)) failed = true;
    release(c);
    bool done = !failed && !stopped && (unknown || remaining == 0);
    if (!beside.empty() && !(done && replaceFile(beside, outputPath))) {
        removeFile(beside);
        return false;
    }
    return done;
}
