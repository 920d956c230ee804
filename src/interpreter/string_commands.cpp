// Commands that change a variable in place: 32-bit arithmetic that wraps
// around, cutting, joining and replacing texts, the encodings (UTF-8, URL,
// quoted escapes, Base64) and Base64 of whole files. Every failure is
// silent except DIVIDE's division by zero.
#include "interpreter/string_commands.h"

#include "console/console.h"
#include "interpreter/mime.h"
#include "interpreter/values.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "speech/speech.h"

#include <algorithm>
#include <charconv>

namespace {

int32_t wrapped(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

// Reads one value that must convert to an integer; COPIA and DELETA trim it
// first.
bool readInteger(std::string_view& args, int32_t& number, bool trimmed = false) {
    std::string scratch;
    std::string_view value;
    return readValueView(args, scratch, value) && convertInteger(trimmed ? trimView(value) : value, number);
}

// Writes `value` in decimal over `text` from `from` on, reusing its storage.
void replaceWithDecimal(std::string& text, size_t from, int32_t value) {
    char buf[16];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    size_t length = static_cast<size_t>(r.ptr - buf);
    text.resize(from + length);
    std::copy(buf, r.ptr, text.begin() + static_cast<std::ptrdiff_t>(from));
}

enum class Arithmetic { Subtract, Multiply, Divide };

// SUBTRAI, MULTIPLICA and DIVIDE: var = var op value. The result is stored
// before extra text after the value fails the command.
bool arithmetic(std::string_view args, Arithmetic op) {
    int target;
    int32_t a, b;
    if (!readVariable(args, target) || args.empty() || !convertInteger(variable(target), a)) return false;
    if (!readInteger(args, b)) return false;
    int32_t result;
    switch (op) {
    case Arithmetic::Subtract: result = wrapped(static_cast<int64_t>(a) - b); break;
    case Arithmetic::Multiply: result = wrapped(static_cast<int64_t>(a) * b); break;
    case Arithmetic::Divide:
        if (b == 0) {
            writeLineSpeak("Divis\xE3o por zero");
            return false;
        }
        result = wrapped(static_cast<int64_t>(a) / b);
        break;
    }
    replaceWithDecimal(variable(target), 0, result);
    return args.empty();
}

// The frame of the in-place conversions: the first token must be a
// variable; its value is converted and stored back. Further tokens are
// ignored.
bool convertInPlace(std::string_view args, std::string (*convert)(std::string_view)) {
    std::string_view valueArgs = args;
    std::string value;
    int target;
    if (!readValue(valueArgs, value) || !readVariable(args, target)) return false;
    // A conversion at most triples its text, so the result is checked once built.
    std::string converted = convert(value);
    if (converted.size() > textLengthLimit()) return false;
    variable(target) = std::move(converted);
    return true;
}

const char HEX[] = "0123456789ABCDEF";

void appendEscaped(std::string& out, char mark, unsigned char byte) {
    out += mark;
    out += HEX[byte >> 4];
    out += HEX[byte & 15];
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A byte from 128 up starts a sequence of two bytes, or of three when its
// bit of value 32 is set; a broken sequence empties the whole result.
// Leads F0..F7 start the four-byte sequences of characters beyond the basic
// plane, which the code page lacks ("?"), so such texts are not lost.
std::string utf8ToAnsi(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead < 128) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        size_t length;
        uint32_t codePoint;
        if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
        } else if (lead & 0x20) {
            length = 3;
            codePoint = lead & 0x0F;
        } else {
            length = 2;
            codePoint = lead & 0x1F;
        }
        if (i + length > text.size()) return {};
        for (size_t k = 1; k < length; ++k) {
            unsigned char c = static_cast<unsigned char>(text[i + k]);
            if (c < 128 || c > 191) return {};
            codePoint = codePoint << 6 | (c & 0x3F);
        }
        int ansi = unicodeToCp1252(codePoint);
        out += ansi < 0 ? '?' : static_cast<char>(ansi);
        i += length;
    }
    return out;
}

std::string urlEncode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (isAsciiLetter(c) || isDigitChar(c) || c == '-' || c == '.' || c == '_' || c == '~') out += c;
        else appendEscaped(out, '%', static_cast<unsigned char>(c));
    }
    return out;
}

std::string addQuoted(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == '=' || u >= 127) appendEscaped(out, '=', u);
        else out += c;
    }
    return out;
}

std::string removeQuoted(std::string_view text) {
    if (!text.empty() && text.back() == '=') text.remove_suffix(1);
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        int high, low;
        if (text[i] == '=' && i + 2 < text.size() && (high = hexValue(text[i + 1])) >= 0 &&
            (low = hexValue(text[i + 2])) >= 0) {
            out += static_cast<char>(high << 4 | low);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The two file names of CODARQBASE64 and DECODARQBASE64, mapped to POSIX
// paths; the source must be an existing file.
bool readFilePair(std::string_view args, std::string& source, std::string& target) {
    std::string sourceName, targetName;
    if (!readValue(args, sourceName) || !readValue(args, targetName)) return false;
    source = mapPath(sourceName);
    target = mapPath(targetName);
    return fileExists(source);
}

// Creates `path` (replacing a file of that name) holding `content`.
bool writeNewFile(const std::string& path, std::string_view content) {
    int handle = openAppendFile(path, true);
    if (handle < 0) return false;
    bool ok = writeBytes(handle, content.data(), content.size()) == content.size();
    return closeByteFile(handle) && ok;
}

} // namespace

bool commandSoma(std::string_view args) {
    int target;
    int32_t n;
    if (!readVariable(args, target) || args.empty() || !readInteger(args, n)) return false;
    // The number is the run of digits at the end of the text, with the "-"
    // just before it; the text before it stays.
    std::string& text = variable(target);
    size_t tail = text.size();
    while (tail > 0 && isDigitChar(text[tail - 1])) --tail;
    if (tail > 0 && text[tail - 1] == '-') --tail;
    std::string_view digits = std::string_view(text).substr(tail);
    int32_t t = 0;
    if (!digits.empty() && digits != "-" && !convertInteger(digits, t)) return false;
    replaceWithDecimal(text, tail, wrapped(static_cast<int64_t>(t) + n));
    return true;
}

bool commandSubtrai(std::string_view args) { return arithmetic(args, Arithmetic::Subtract); }
bool commandMultiplica(std::string_view args) { return arithmetic(args, Arithmetic::Multiply); }
bool commandDivide(std::string_view args) { return arithmetic(args, Arithmetic::Divide); }

bool commandConcatena(std::string_view args) {
    int target;
    std::string value;
    if (!readVariable(args, target) || !readValue(args, value) || !args.empty()) return false;
    return appendWithinLimit(variable(target), value);
}

bool commandCopia(std::string_view args) {
    int target, source;
    int32_t from, to;
    if (!readVariable(args, target) || !readVariable(args, source) || !readInteger(args, from, true) ||
        !readInteger(args, to, true))
        return false;
    // A start below 1 counts as 1 while the length stays to - from + 1.
    int64_t length = static_cast<int64_t>(to) - from + 1;
    int64_t start = std::max<int64_t>(from, 1);
    const std::string& text = variable(source);
    std::string part;
    if (start <= static_cast<int64_t>(text.size()) && length > 0)
        part = text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length));
    variable(target) = std::move(part);
    return true;
}

bool commandDeleta(std::string_view args) {
    int target;
    int32_t position, count;
    if (!readVariable(args, target) || !readInteger(args, position, true) || !readInteger(args, count, true))
        return false;
    std::string& text = variable(target);
    int64_t length = static_cast<int64_t>(text.size());
    if (position < 1 || position > length || count <= 0) return true;
    text.erase(static_cast<size_t>(position - 1),
               static_cast<size_t>(std::min<int64_t>(count, length - position + 1)));
    return true;
}

bool commandSubstitui(std::string_view args) {
    int target;
    std::string oldText, newText;
    if (!readVariable(args, target) || !readValue(args, oldText) || !readValue(args, newText)) return false;
    std::string& text = variable(target);
    const size_t m = oldText.size();
    const size_t limit = textLengthLimit();
    if (text.size() < m) return true;
    // The scan runs from the last possible position to the first, and each
    // window also sees text inserted just before: the text still to scan is
    // text[0, left); the part already scanned is kept reversed in `done`, so
    // moving one character across and replacing at the front are both cheap.
    size_t left = text.size() - m;
    std::string done(text.rbegin(), text.rbegin() + static_cast<std::ptrdiff_t>(m));
    while (true) {
        bool match = done.size() >= m;
        for (size_t k = 0; k < m && match; ++k) match = done[done.size() - 1 - k] == oldText[k];
        if (match) {
            done.resize(done.size() - m);
            // Each replacement may grow the text; the variable keeps its old value then.
            if (done.size() > limit || newText.size() > limit - done.size()) return false;
            done.append(newText.rbegin(), newText.rend());
        }
        if (left == 0) break;
        done += text[--left];
    }
    text.assign(done.rbegin(), done.rend());
    return true;
}

bool commandRandomiza(std::string_view args) {
    if (!args.empty()) return false;
    int hour, minute, second, hundredths;
    currentTime(hour, minute, second, hundredths);
    seedRandom(static_cast<uint32_t>(((hour * 60 + minute) * 60 + second) * 100 + hundredths));
    return true;
}

bool commandAnsiParaUtf8(std::string_view args) { return convertInPlace(args, cp1252ToUtf8); }
bool commandUtf8ParaAnsi(std::string_view args) { return convertInPlace(args, utf8ToAnsi); }
bool commandHttp(std::string_view args) { return convertInPlace(args, urlEncode); }
bool commandRemoveQuoted(std::string_view args) { return convertInPlace(args, removeQuoted); }
bool commandAdQuoted(std::string_view args) { return convertInPlace(args, addQuoted); }
bool commandCodBase64(std::string_view args) { return convertInPlace(args, base64Encode); }
bool commandDecodBase64(std::string_view args) { return convertInPlace(args, base64Decode); }

// A source that cannot be read fails the command without touching the
// target, so no cut-off copy ever looks complete.
bool commandCodArqBase64(std::string_view args) {
    std::string source, target, content;
    if (!readFilePair(args, source, target) || !readWholeFile(source, content)) return false;
    std::string encoded = base64Encode(content);
    std::string lines;
    lines.reserve(encoded.size() + encoded.size() / 32 + 2);
    for (size_t i = 0; i < encoded.size(); i += 64) {
        lines.append(encoded, i, 64);
        lines += "\r\n";
    }
    return writeNewFile(target, lines);
}

bool commandDecodArqBase64(std::string_view args) {
    std::string source, target, content;
    if (!readFilePair(args, source, target) || !readWholeFile(source, content)) return false;
    // The source is a text file: a Ctrl+Z byte ends it.
    std::string_view text = content;
    text = text.substr(0, text.find('\x1A'));
    return writeNewFile(target, base64Decode(text));
}
