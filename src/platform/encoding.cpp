// Windows-1252 <-> UTF-8.
#include "platform/encoding.h"

static const uint16_t HIGH_C1[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

uint32_t cp1252ToUnicode(uint8_t byte) {
    if (byte >= 0x80 && byte < 0xA0) return HIGH_C1[byte - 0x80];
    return byte;
}

int unicodeToCp1252(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (HIGH_C1[i] == cp) return 0x80 + i;
    return -1;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string cp1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x80) out += c;
        else appendUtf8(out, cp1252ToUnicode(u));
    }
    return out;
}

// Decodes one UTF-8 sequence at text[i]; returns its length, or 0 when it is invalid.
static size_t decodeUtf8(std::string_view text, size_t i, uint32_t& cp) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    size_t len;
    uint32_t min;
    if (b < 0x80) { cp = b; return 1; }
    if ((b & 0xE0) == 0xC0) { len = 2; cp = b & 0x1F; min = 0x80; }
    else if ((b & 0xF0) == 0xE0) { len = 3; cp = b & 0x0F; min = 0x800; }
    else if ((b & 0xF8) == 0xF0) { len = 4; cp = b & 0x07; min = 0x10000; }
    else return 0;
    if (i + len > text.size()) return 0;
    for (size_t k = 1; k < len; ++k) {
        unsigned char c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

bool isValidUtf8(std::string_view text) {
    uint32_t cp;
    for (size_t i = 0; i < text.size();) {
        size_t n = decodeUtf8(text, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string utf8ToCp1252(std::string_view text, char replacement) {
    std::string out;
    out.reserve(text.size());
    uint32_t cp;
    for (size_t i = 0; i < text.size();) {
        size_t n = decodeUtf8(text, i, cp);
        if (n == 0) {
            out += text[i];
            ++i;
            continue;
        }
        i += n;
        int b = unicodeToCp1252(cp);
        if (b >= 0) out += static_cast<char>(b);
        else if (replacement) out += replacement;
    }
    return out;
}
