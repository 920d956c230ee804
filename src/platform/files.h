// Files and directories on the POSIX side. Paths here are POSIX paths in
// UTF-8 (see paths.h for how script paths are mapped).
#pragma once

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
