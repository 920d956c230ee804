// Reading profile (INI) files such as FALARIS.INI: "[section]" lines open a
// section, "key=value" lines give values; section and key names match
// without regard to case; a missing file, section or key reads as empty.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The value (Windows-1252, blanks trimmed, at most `maxLength` bytes) of
// `key` in `section` of the file at `posixPath`; `found` tells whether the
// key is there. A file in UTF-8 is converted; any other is taken as
// Windows-1252.
std::string readProfileString(const std::string& posixPath, std::string_view section,
                              std::string_view key, size_t maxLength, bool* found = nullptr);
