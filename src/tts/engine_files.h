// Reading the text-to-speech engine's data files (abbreviations, rules,
// exceptions, prosody, diphone list): plain text, one entry a line. Files are
// written in UTF-8 or in Windows-1252; the engine works on Windows-1252.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The file's lines in Windows-1252, without their line ends (LF, CR LF or a
// lone CR). A file that is valid UTF-8 is converted (characters Windows-1252
// lacks become "?"). False when the file cannot be read.
bool readEngineFile(const std::string& path, std::vector<std::string>& lines);

// Windows-1252 form of a UTF-8 literal, for the engine's fixed word tables.
std::string cp1252(std::string_view utf8);
