// Text helpers shared by every layer.
#include "platform/text.h"

#include <charconv>

std::string trim(std::string_view text) { return std::string(trimView(text)); }

std::string_view trimLeftView(std::string_view text) {
    size_t b = 0;
    while (b < text.size() && isBlankChar(text[b])) ++b;
    return text.substr(b);
}

std::string toUpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upperAscii(c);
    return out;
}

std::string toUpperLatin(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upperLatin(c);
    return out;
}

static int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool convertInteger(std::string_view text, int32_t& value) {
    // Fast path for the usual case, up to 9 plain digits with an optional
    // "-": it cannot overflow, and scripts convert numbers on every line.
    if (!text.empty() && text.size() <= 9) {
        size_t k = text[0] == '-' ? 1 : 0;
        uint32_t v = 0;
        bool plain = k < text.size();
        for (; plain && k < text.size(); ++k) {
            uint32_t d = static_cast<uint32_t>(static_cast<unsigned char>(text[k])) - '0';
            plain = d <= 9;
            v = v * 10 + d;
        }
        if (plain) {
            value = text[0] == '-' ? -static_cast<int32_t>(v) : static_cast<int32_t>(v);
            return true;
        }
    }
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size()) return false;
    // Hexadecimal after "$", "x", "X" or "0x": at most 8 digits, taken as 32 bits.
    size_t hexStart = std::string_view::npos;
    if (text[i] == '$' || text[i] == 'x' || text[i] == 'X') hexStart = i + 1;
    else if (text[i] == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X'))
        hexStart = i + 2;
    if (hexStart != std::string_view::npos) {
        size_t n = text.size() - hexStart;
        if (n == 0 || n > 8) return false;
        uint32_t v = 0;
        for (size_t k = hexStart; k < text.size(); ++k) {
            int d = hexDigit(text[k]);
            if (d < 0) return false;
            v = (v << 4) | static_cast<uint32_t>(d);
        }
        if (negative) v = 0u - v;
        value = static_cast<int32_t>(v);
        return true;
    }
    int64_t v = 0;
    for (size_t k = i; k < text.size(); ++k) {
        if (!isDigitChar(text[k])) return false;
        v = v * 10 + (text[k] - '0');
        if (v > 2147483648LL) return false;
    }
    if (negative) v = -v;
    if (v > 2147483647LL || v < -2147483648LL) return false;
    value = static_cast<int32_t>(v);
    return true;
}

int32_t convertIntegerLenient(std::string_view text) {
    int32_t value = 0;
    if (convertInteger(text, value)) return value;
    // Keep the longest prefix that converts: the digits before the bad character.
    for (size_t n = text.size(); n > 0; --n)
        if (convertInteger(text.substr(0, n), value)) return value;
    return 0;
}

std::string decimal(int64_t value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}
