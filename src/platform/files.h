// Files and directories on the POSIX side. Paths here are POSIX paths in
// UTF-8 (see paths.h for how script paths are mapped).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// A byte file that receives bytes at its end (downloads); write with
// writeBytes, close with closeByteFile. `truncate` empties it first; a missing
// file is created. The handle, or -1 when it cannot be opened.
int openAppendFile(const std::string& path, bool truncate);
// The size of a regular file; false when there is none.
bool fileSize(const std::string& path, int64_t& size);
// A new, empty, hidden byte file in the folder of `path` (named after it),
// with the permissions of the file at `path`, for a replacement of that file
// that replaceFile puts in its place once it is complete. The handle (write
// with writeBytes, close with closeByteFile) and its path in `created`; -1
// when it cannot be made.
int createFileBeside(const std::string& path, std::string& created);
// Puts the file `from` in the place of `to` in one step; false when it
// cannot be (then both stay as they were).
bool replaceFile(const std::string& from, const std::string& to);

// ---- Text files of the script's file slots ----
// A buffered text file open either for reading from the start or for
// writing at its end. Only regular files are read; writing also accepts
// character devices such as /dev/null. Reading ends a line at CR LF, LF or a lone CR, and a
// Ctrl+Z byte (26) ends the file; written lines end with CR LF. Operations
// answer an I/O result: 0 for success, otherwise the errno of the failure
// (EBADF for an operation the file was not opened for).
constexpr size_t TEXT_FILE_BUFFER = 4096;
enum class TextFileMode { Closed, Reading, Writing };
struct TextFile {
    int fd = -1;
    TextFileMode mode = TextFileMode::Closed;
    std::string buffer;  // reading: bytes not yet taken; writing: bytes not yet written
    size_t position = 0; // reading: next byte of `buffer`
    bool ended = false;  // reading: the end of the file or a Ctrl+Z was reached
};
int textFileOpenRead(TextFile& file, const std::string& path);
// Opens an existing file for writing at its end. A Ctrl+Z in the last 128
// bytes cuts the file there, so appended lines stay readable.
int textFileOpenAppend(TextFile& file, const std::string& path);
// Creates the file, replacing any file of that name, for writing.
int textFileCreate(TextFile& file, const std::string& path);
// True when nothing is left to read (also for a file not open for reading).
bool textFileAtEnd(TextFile& file);
// One line without its line end. A line longer than `maxLength` is not
// taken: EFBIG, with `line` empty.
int textFileReadLine(TextFile& file, std::string& line, size_t maxLength = SIZE_MAX);
// Writes `text` (buffered); with `lineEnd` a CR LF follows.
int textFileWrite(TextFile& file, std::string_view text, bool lineEnd);
int textFileFlush(TextFile& file);
// Writes what is buffered and closes; the file is closed even on an error.
int textFileClose(TextFile& file);

// ---- Byte files, whole files and directories (errno-style results) ----
// A regular file opened for reading its bytes; -1 when it cannot be.
int openByteFileForReading(const std::string& path);
// Creates a file (or opens a character device) for writing bytes, replacing
// a file of that name; -1 when it cannot.
int createByteFile(const std::string& path);
// Bytes read into `buffer` (0 at the end), or -1 on a read error.
long readBytes(int handle, char* buffer, size_t size);
// Reads up to `size` bytes at `offset` without moving the file position;
// the count read (short at the end of the file, 0 past it or on an error).
size_t readBytesAt(int handle, int64_t offset, char* buffer, size_t size);
// The number of bytes written (fewer than `size` on an error).
size_t writeBytes(int handle, const char* bytes, size_t size);
// Writes at `offset` without moving the file position (a header brought up
// to date once the data after it is known); the count written.
size_t writeBytesAt(int handle, int64_t offset, const char* bytes, size_t size);
// False when the file could not be completed (or there was none).
bool closeByteFile(int handle);
// True when both paths name one existing file.
bool sameFile(const std::string& a, const std::string& b);

// Deletes a file (not a directory).
bool removeFile(const std::string& path);
// Renames a file or directory; never replaces an existing target.
bool renamePath(const std::string& from, const std::string& to);
// Creates one directory level.
bool createDirectory(const std::string& path);
// Removes an empty directory.
bool removeDirectory(const std::string& path);
bool changeDirectory(const std::string& path);
// The absolute current directory (UTF-8), empty when it cannot be known.
std::string currentDirectory();
// The entries of `folder` whose names match the wildcard `pattern`,
// ignoring case: directories when `directories`, otherwise files. Names are
// converted to Windows-1252 and ordered ignoring case; hidden entries
// (names starting with ".") are never listed.
std::vector<std::string> listDirectory(const std::string& folder, std::string_view pattern, bool directories);
