// Conversions between the Windows-1252 texts used inside the system and the
// UTF-8 of terminals, transcripts, script files and file names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The Unicode code point of a Windows-1252 byte. The five bytes the code page
// leaves undefined map to the C1 control of the same number.
uint32_t cp1252ToUnicode(uint8_t byte);
// The Windows-1252 byte of a code point, or -1 when the code page lacks it.
int unicodeToCp1252(uint32_t codePoint);

std::string cp1252ToUtf8(std::string_view text);
// Characters the code page lacks become `replacement`, or are dropped when it is 0.
// Invalid UTF-8 bytes are taken as Windows-1252 bytes.
std::string utf8ToCp1252(std::string_view text, char replacement = '?');
bool isValidUtf8(std::string_view text);
// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, uint32_t codePoint);
