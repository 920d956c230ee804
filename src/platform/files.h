// Files and directories on the POSIX side. Paths here are POSIX paths in
// UTF-8 (see paths.h for how script paths are mapped).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

bool readWholeFile(const std::string& path, std::string& content);
bool fileExists(const std::string& path);
bool directoryExists(const std::string& path);
// Creates the directory and its missing parents.
bool makeDirectories(const std::string& path);
// Copies every file of the tree `from` into `to` that `to` lacks; files that
// exist in `to` are never touched.
void copyMissingTree(const std::string& from, const std::string& to);
// The folder holding the running executable.
std::string executableDirectory();

// A file that receives bytes at its end (downloads). `truncate` empties it
// first; a missing file is created. The handle, or -1 when it cannot be opened.
int openAppendFile(const std::string& path, bool truncate);
// Writes every byte or answers false.
bool appendToFile(int handle, const char* bytes, size_t size);
// False when the file could not be completed.
bool closeAppendFile(int handle);
// The size of a regular file; false when there is none.
bool fileSize(const std::string& path, int64_t& size);
