// FALARIS.INI, the configuration file the family of talking programs shares.
// readConfig looks the file up in the home folder (the Windows directory of
// the family), then in the start directory, and expands "@" into the family's
// program directory; direct reads look in the home folder only, unexpanded.
#pragma once

#include <string>
#include <string_view>

// An empty section means "FALARIS". At most 255 characters.
std::string readConfig(std::string_view section, std::string_view key);
// The value as it stands in the home folder's FALARIS.INI (at most `maxLength`).
std::string readConfigDirect(std::string_view section, std::string_view key, size_t maxLength = 255);
// A yes/no value: on when non-empty and not starting with N or n.
bool configYes(std::string_view value);
// The program directory that replaces "@": PGMFALARIS, or the start directory.
std::string programDirectory();
