// Text helpers shared by every layer: trimming, the two upper-casing rules
// of the language, and the integer conversion used for every numeric
// argument and configuration number. Texts are Windows-1252 byte strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// True for the characters that trimming removes: every byte at or below the space.
inline bool isBlankChar(char c) { return static_cast<unsigned char>(c) <= 32; }

// Inline: the interpreter trims every argument it reads.
inline std::string_view trimView(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && isBlankChar(text[b])) ++b;
    while (e > b && isBlankChar(text[e - 1])) --e;
    return text.substr(b, e - b);
}
std::string trim(std::string_view text);
// Removes blanks from the front only.
std::string_view trimLeftView(std::string_view text);

// a..z become A..Z; every other byte is kept (command words and names).
inline char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
std::string toUpperAscii(std::string_view text);

// a..z become A..Z and every byte from 224 to 255 loses 32 (keywords, conditions, labels).
inline char upperLatin(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || u >= 224) return static_cast<char>(u - 32);
    return c;
}
std::string toUpperLatin(std::string_view text);
// True when `text` starts with `upperPrefix` once upper-cased with toUpperLatin.
inline bool startsWithUpperLatin(std::string_view text, std::string_view upperPrefix) {
    if (text.size() < upperPrefix.size()) return false;
    for (size_t i = 0; i < upperPrefix.size(); ++i)
        if (upperLatin(text[i]) != upperPrefix[i]) return false;
    return true;
}
inline bool equalsUpperLatin(std::string_view text, std::string_view upper) {
    return text.size() == upper.size() && startsWithUpperLatin(text, upper);
}

// The integer conversion: leading spaces skipped, then an optional sign with
// decimal digits that fit 32 bits, or up to 8 hexadecimal digits after "$",
// "x", "X" or "0x"; nothing may follow; the empty text is an error.
bool convertInteger(std::string_view text, int32_t& value);
// The lenient form used by some configuration keys: a bad character ends the
// number and the digits before it count (0 when there are none).
int32_t convertIntegerLenient(std::string_view text);

std::string decimal(int64_t value);

inline bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool isDigitChar(char c) { return c >= '0' && c <= '9'; }
