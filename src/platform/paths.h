// Where Windows-style paths of scripts land on Linux. TALORA_HOME (default
// ~/.talora) plays the Windows directory; drive letters are folders in it
// ("c:\ondaria\x.txt" is $TALORA_HOME/drive_c/ondaria/x.txt); a path that
// starts with "\" is on drive C; "/..." is a POSIX path and passes as it is;
// anything else is relative to the current directory. Both "\" and "/"
// separate. A component that does not exist with the given case is matched
// case-insensitively against the folder's entries, as Windows does.
#pragma once

#include <string>
#include <string_view>

// The home folder (UTF-8, no trailing slash). Read from the environment the
// first time and kept.
const std::string& talorahome();
// Forgets the home folder so the next call reads the environment again (tests).
void resetTalorahome();
// The current directory when the program started (UTF-8), recorded by
// recordStartDirectory().
const std::string& startDirectory();
void recordStartDirectory();

// Maps a script path (Windows-1252) to a POSIX path (UTF-8).
std::string mapPath(std::string_view cp1252Path);
// The script's view of a POSIX path: "c:\..." inside a drive folder, else the
// POSIX path itself, in Windows-1252.
std::string unmapPath(std::string_view posixPath);
// The POSIX path of a file in the home folder ("FALARIS.INI" looked up with
// any case).
std::string homeFile(std::string_view name);

// Case-insensitive comparison of two Windows-1252 names, as the file system
// of the scripts' origin does it.
bool sameNameIgnoringCase(std::string_view a, std::string_view b);
// True when `name` matches the wildcard `pattern` ("*" any run, "?" one
// character), ignoring case.
bool wildcardMatch(std::string_view pattern, std::string_view name);
