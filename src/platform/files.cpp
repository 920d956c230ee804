// POSIX files and directories.
#include "platform/files.h"

#include <cstdio>
#include <cerrno>
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

bool appendToFile(int handle, const char* bytes, size_t size) {
    while (size > 0) {
        ssize_t n = write(handle, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool closeAppendFile(int handle) { return handle >= 0 && close(handle) == 0; }

bool fileSize(const std::string& path, int64_t& size) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = st.st_size;
    return true;
}
