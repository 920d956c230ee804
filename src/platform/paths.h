// Where Windows-style paths of scripts land on Linux. TALORA_HOME (default
// ~/.talora) plays the Windows directory; drive letters are folders in it
// ("c:\ondaria\x.txt" is $TALORA_HOME/drive_c/ondaria/x.txt); a path that
// starts with "\" is on drive C; "/..." is a POSIX path and passes as it is;
// anything else is relative to the current directory. Both "\" and "/"
// separate. A component that does not exist with the given case is matched
// case-insensitively against the folder's entries, as Windows does; a new
// name keeps the case it was given.
//
// A confinement (setPathRoot) makes every mapped path stay inside one
// folder, whatever the script asks for; the fuzzer runs scripts under it.
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

// Confines every path mapPath gives to `folder` (an existing directory):
// absolute POSIX paths are taken as relative to it, ".." stops at it, and
// drive folders or a current directory outside it are replaced by it. An
// empty folder lifts the confinement.
void setPathRoot(const std::string& folder);

// Maps a script path (Windows-1252) to a POSIX path (UTF-8). A path is cut
// at its first NUL byte, as the system it comes from would. The empty path
// maps to the empty path, which no file operation accepts.
std::string mapPath(std::string_view cp1252Path);
// The script's view of a POSIX path: "C:\..." inside a drive folder, else the
// POSIX path itself (relative to the root under a confinement), in
// Windows-1252.
std::string unmapPath(std::string_view posixPath);
// The POSIX path of a file in the home folder ("FALARIS.INI" looked up with
// any case).
std::string homeFile(std::string_view name);
// Splits a search pattern such as "c:\ondaria\m3u\*.m3u" into the mapped
// folder ("." when the pattern names none) and the last component, which
// keeps its wildcards (Windows-1252).
void splitSearchPattern(std::string_view cp1252Pattern, std::string& folder, std::string& namePattern);

// A folder of a script path ending in a separator ("\\" added unless it
// already ends in "\\" or "/"); the empty text stays empty.
std::string withTrailingSeparator(std::string folder);

// Case-insensitive comparison of two Windows-1252 names, as the file system
// of the scripts' origin does it.
bool sameNameIgnoringCase(std::string_view a, std::string_view b);
// True when `name` matches the wildcard `pattern` ("*" any run, "?" one
// character), ignoring case. As on Windows, a trailing ".*" or "." also
// matches a name without an extension, so "*.*" matches every name.
bool wildcardMatch(std::string_view pattern, std::string_view name);
// Orders two Windows-1252 names ignoring case (directory listings).
bool nameLessIgnoringCase(std::string_view a, std::string_view b);
