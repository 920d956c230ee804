// The HTTP/1.0 download behind TRAZDAREDE: one web resource, over a plain
// or a TLS connection, into a local file. Follows redirects, resumes a file
// that already exists with a byte range, and reports progress by voice when
// Enter is pressed during the transfer (Space toggles the ticks, Esc offers
// to stop). While it waits for a server's answer, Esc ends it and ticks
// tell the user it is alive. A failed download never damages the output
// file: the file is touched only once the status and headers of a 200
// (rewrite) or 206 (append) answer have been read, and a file that existed
// is rewritten beside itself and replaced only when the transfer succeeded.
#pragma once

#include "net/connection.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Waits of the download: for the status line and for each header line, and
// for the next bytes of a stalled body.
constexpr int HTTP_ANSWER_SECONDS = 30;
constexpr int HTTP_BODY_STALL_SECONDS = 60;
// The stall limit in force (tests shorten it).
extern int httpBodyStallSeconds;
// Redirects followed before the download is given up.
constexpr int HTTP_MAX_REDIRECTS = 10;
// Limits on the header lines, so that a faulty server cannot fill memory.
constexpr size_t HTTP_MAX_HEADER_LINE = 16384;
constexpr int HTTP_MAX_HEADER_LINES = 256;

struct UrlParts {
    bool secure = false;
    std::string host;
    std::string portText;  // as written in the URL; empty when none
    std::string path;      // starts with "/"
};

// Splits an absolute URL ("http" or "https", "://", host, optional ":" and
// port, path). False without "://" or without a host.
bool splitUrl(std::string_view url, UrlParts& parts);
// The port of the parts: the written one, or 443 / 80. False when the
// written port is not a number from 1 to 65535.
bool urlPort(const UrlParts& parts, uint16_t& port);

struct HttpAnswer {
    int status = 0;
    bool hasLocation = false;
    std::string location;
    int64_t contentLength = 0;  // 0 when absent
    bool hasContentRange = false;
    int64_t rangeStart = 0;     // first byte of a "Content-Range: bytes a-b/c"
};

// Reads the status line and takes its code: the three characters after the
// first space (the first three when there is none). False when they are not
// a number.
bool readHttpStatus(NetReader* reader, HttpAnswer& answer);
// Reads header lines up to the empty line that ends them. False when the
// connection ends or stays silent before that, a line or the whole header is
// too long, or a Content-Length or Content-Range is not a number.
bool readHttpHeaders(NetReader* reader, HttpAnswer& answer);

// The pieces spoken when Enter is pressed during a transfer: `fileSize` bytes
// are in the file, `announced` is the Content-Length (0 when unknown) and
// `offset` the size the file had before a resumed transfer.
std::vector<std::string> downloadProgressPieces(int64_t fileSize, int64_t announced, int64_t offset,
                                                std::string_view fileName);
// A number in the general format with 3 significant digits and a decimal
// comma: "50", "1,46", "1,01E3".
std::string generalNumber(double value);

// Downloads `url` into the file at `outputPath` (POSIX); `fileName` is the
// name as the script gave it, for the progress report. True when the whole
// resource arrived (or, with no Content-Length, until the server closed).
bool httpDownload(std::string_view url, std::string_view fileName, const std::string& outputPath,
                  bool ticks, std::string_view userAgent, std::string_view cookie);
