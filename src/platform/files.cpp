// POSIX files and directories: whole files, the append files of downloads,
// the buffered text files of the script's file slots, byte files, and
// directory operations and listings.
#include "platform/files.h"

#include "platform/encoding.h"
#include "platform/paths.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool readWholeFile(const std::string& path, std::string& content) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    content.clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) content.append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool directoryExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeDirectories(const std::string& path) {
    if (path.empty() || directoryExists(path)) return true;
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeDirectories(path.substr(0, slash))) return false;
    return mkdir(path.c_str(), 0777) == 0 || directoryExists(path);
}

static bool copyFile(const std::string& from, const std::string& to) {
    std::string content;
    if (!readWholeFile(from, content)) return false;
    std::string temp = to + ".part";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
    ok = std::fclose(f) == 0 && ok;
    // Rename into place so a half-copied file never stands under the real name.
    if (!ok || std::rename(temp.c_str(), to.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

void copyMissingTree(const std::string& from, const std::string& to) {
    DIR* d = opendir(from.c_str());
    if (!d) return;
    makeDirectories(to);
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        std::string src = from + "/" + name, dst = to + "/" + name;
        struct stat st {};
        if (stat(src.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            copyMissingTree(src, dst);
        } else {
            struct stat existing {};
            if (lstat(dst.c_str(), &existing) != 0) copyFile(src, dst);
        }
    }
    closedir(d);
}

std::string executableDirectory() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, static_cast<size_t>(n));
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

int openAppendFile(const std::string& path, bool truncate) {
    int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (truncate ? O_TRUNC : 0);
    int fd = open(path.c_str(), flags, 0666);
    return fd < 0 ? -1 : fd;
}

int createFileBeside(const std::string& path, std::string& created) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    // Long names are shortened, so the hidden name still fits the folder.
    std::string pattern = folder + "." + name.substr(0, 200) + ".XXXXXX";
    int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) fchmod(fd, st.st_mode & 07777);
    created = pattern;
    return fd;
}

bool replaceFile(const std::string& from, const std::string& to) {
    return !from.empty() && !to.empty() && std::rename(from.c_str(), to.c_str()) == 0;
}

bool fileSize(const std::string& path, int64_t& size) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = st.st_size;
    return true;
}

// ---- Text files of the script's file slots ----

namespace {

constexpr char CTRL_Z = 26;

// Opens `path` with `flags`. Only regular files are read, so a device that
// never ends (/dev/zero) or a pipe cannot hang a read; writing also accepts
// character devices (/dev/null). A pipe without a reader is refused at once
// instead of blocking. 0 or the errno.
int openPath(const std::string& path, int flags, int& fd) {
    fd = -1;
    if (path.empty()) return ENOENT;
    do fd = open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno;
    struct stat st {};
    int error = 0;
    if (fstat(fd, &st) != 0) error = errno;
    else if (S_ISDIR(st.st_mode)) error = EISDIR;
    else if (!S_ISREG(st.st_mode) && ((flags & O_ACCMODE) == O_RDONLY || !S_ISCHR(st.st_mode))) error = EINVAL;
    else if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) error = errno;
    if (error != 0) {
        close(fd);
        fd = -1;
    }
    return error;
}

int writeAll(int fd, const char* bytes, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

// Reads the next block into the buffer. 0 also at the end of the file,
// which sets `ended`.
int refill(TextFile& file) {
    file.buffer.resize(TEXT_FILE_BUFFER);
    file.position = 0;
    ssize_t n;
    do n = read(file.fd, file.buffer.data(), TEXT_FILE_BUFFER);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        int error = errno;
        file.buffer.clear();
        return error;
    }
    file.buffer.resize(static_cast<size_t>(n));
    if (n == 0) file.ended = true;
    return 0;
}

int startTextFile(TextFile& file, int fd, TextFileMode mode) {
    file.fd = fd;
    file.mode = mode;
    file.buffer.clear();
    file.position = 0;
    file.ended = false;
    return 0;
}

} // namespace

int textFileOpenRead(TextFile& file, const std::string& path) {
    int fd;
    if (int error = openPath(path, O_RDONLY, fd)) return error;
    return startTextFile(file, fd, TextFileMode::Reading);
}

int textFileOpenAppend(TextFile& file, const std::string& path) {
    int fd;
    if (int error = openPath(path, O_WRONLY | O_APPEND, fd)) return error;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        int reader;
        if (openPath(path, O_RDONLY, reader) == 0) {
            char tail[128];
            off_t from = st.st_size > 128 ? st.st_size - 128 : 0;
            ssize_t n = pread(reader, tail, sizeof tail, from);
            close(reader);
            for (ssize_t i = 0; i < n; ++i) {
                if (tail[i] == CTRL_Z) {
                    if (ftruncate(fd, from + i) != 0) {
                        int error = errno;
                        close(fd);
                        return error;
                    }
                    break;
                }
            }
        }
    }
    return startTextFile(file, fd, TextFileMode::Writing);
}

int textFileCreate(TextFile& file, const std::string& path) {
    int fd;
    if (int error = openPath(path, O_WRONLY | O_CREAT | O_TRUNC, fd)) return error;
    return startTextFile(file, fd, TextFileMode::Writing);
}

bool textFileAtEnd(TextFile& file) {
    if (file.mode != TextFileMode::Reading || file.ended) return true;
    if (file.position >= file.buffer.size() && refill(file) != 0) return false;  // the read reports it
    if (file.ended) return true;
    if (file.buffer[file.position] == CTRL_Z) file.ended = true;
    return file.ended;
}

int textFileReadLine(TextFile& file, std::string& line, size_t maxLength) {
    line.clear();
    if (file.mode != TextFileMode::Reading) return EBADF;
    while (!file.ended) {
        if (file.position >= file.buffer.size()) {
            if (int error = refill(file)) return error;
            continue;
        }
        std::string_view rest(file.buffer.data() + file.position, file.buffer.size() - file.position);
        size_t stop = rest.find_first_of(std::string_view("\r\n\x1a", 3));
        if ((stop == std::string_view::npos ? rest.size() : stop) > maxLength - line.size()) {
            line.clear();
            return EFBIG;
        }
        if (stop == std::string_view::npos) {
            line.append(rest);
            file.position = file.buffer.size();
            continue;
        }
        line.append(rest.substr(0, stop));
        file.position += stop;
        char c = file.buffer[file.position];
        if (c == CTRL_Z) {
            file.ended = true;
            break;
        }
        ++file.position;
        if (c == '\r') {
            // CR LF is one line end; a read error here shows at the next read.
            if (file.position >= file.buffer.size() && refill(file) != 0) break;
            if (!file.ended && file.buffer[file.position] == '\n') ++file.position;
        }
        break;
    }
    return 0;
}

int textFileWrite(TextFile& file, std::string_view text, bool lineEnd) {
    if (file.mode != TextFileMode::Writing) return EBADF;
    file.buffer.append(text);
    if (lineEnd) file.buffer.append("\r\n");
    return file.buffer.size() >= TEXT_FILE_BUFFER ? textFileFlush(file) : 0;
}

int textFileFlush(TextFile& file) {
    if (file.mode != TextFileMode::Writing) return file.mode == TextFileMode::Reading ? 0 : EBADF;
    int error = writeAll(file.fd, file.buffer.data(), file.buffer.size());
    // Bytes that could not be written are dropped, so one failure is reported once.
    file.buffer.clear();
    return error;
}

int textFileClose(TextFile& file) {
    if (file.mode == TextFileMode::Closed) return 0;
    int error = file.mode == TextFileMode::Writing ? textFileFlush(file) : 0;
    if (close(file.fd) != 0 && error == 0) error = errno;
    file = TextFile{};
    return error;
}

// ---- Byte files, whole files and directories ----

int openByteFileForReading(const std::string& path) {
    int fd;
    return openPath(path, O_RDONLY, fd) == 0 ? fd : -1;
}

int createByteFile(const std::string& path) {
    int fd;
    return openPath(path, O_WRONLY | O_CREAT | O_TRUNC, fd) == 0 ? fd : -1;
}

long readBytes(int handle, char* buffer, size_t size) {
    ssize_t n;
    do n = read(handle, buffer, size);
    while (n < 0 && errno == EINTR);
    return n < 0 ? -1 : static_cast<long>(n);
}

size_t readBytesAt(int handle, int64_t offset, char* buffer, size_t size) {
    size_t done = 0;
    while (done < size && offset >= 0) {
        ssize_t n = pread(handle, buffer + done, size - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t writeBytes(int handle, const char* bytes, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(handle, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t writeBytesAt(int handle, int64_t offset, const char* bytes, size_t size) {
    size_t done = 0;
    while (done < size && offset >= 0) {
        ssize_t n = pwrite(handle, bytes + done, size - done, static_cast<off_t>(offset + static_cast<int64_t>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

bool closeByteFile(int handle) { return handle >= 0 && close(handle) == 0; }

bool sameFile(const std::string& a, const std::string& b) {
    struct stat x {}, y {};
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool removeFile(const std::string& path) { return !path.empty() && unlink(path.c_str()) == 0; }

bool renamePath(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) return false;
    struct stat st {};
    if (from == to) return lstat(from.c_str(), &st) == 0;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the no-replace flag: check, then rename.
    if (lstat(to.c_str(), &st) == 0) return false;
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool createDirectory(const std::string& path) { return !path.empty() && mkdir(path.c_str(), 0777) == 0; }
bool removeDirectory(const std::string& path) { return !path.empty() && rmdir(path.c_str()) == 0; }
bool changeDirectory(const std::string& path) { return !path.empty() && chdir(path.c_str()) == 0; }

std::string currentDirectory() {
    char buf[PATH_MAX];
    return getcwd(buf, sizeof buf) ? std::string(buf) : std::string();
}

std::vector<std::string> listDirectory(const std::string& folder, std::string_view pattern, bool directories) {
    std::vector<std::string> names;
    DIR* d = opendir(folder.empty() ? "." : folder.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::string name = utf8ToCp1252(e->d_name);
        if (!wildcardMatch(pattern, name)) continue;
        std::string full = (folder.empty() ? std::string(".") : folder) + "/" + e->d_name;
        struct stat st {};
        bool isDirectory = stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        if (isDirectory == directories) names.push_back(std::move(name));
    }
    closedir(d);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        if (sameNameIgnoringCase(a, b)) return a < b;
        return nameLessIgnoringCase(a, b);
    });
    return names;
}
