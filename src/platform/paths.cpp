// Path mapping between the scripts' Windows paths and the Linux file system.
#include "platform/paths.h"

#include "platform/encoding.h"

#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string homeCache;
std::string startDir;

bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// Upper case in Windows-1252 for name comparison.
unsigned char foldByte(unsigned char c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c != 0xF7 && c != 0xFF) return c - 32;
    if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 16;
    if (c == 0xFF) return 0x9F;
    return c;
}

// The entry of `dir` whose name equals `component` ignoring case, or the
// component itself when there is none.
std::string matchComponent(const std::string& dir, const std::string& componentUtf8,
                           std::string_view componentCp) {
    std::string full = dir.empty() ? componentUtf8 : (dir == "/" ? "/" : dir + "/") + componentUtf8;
    if (exists(full)) return componentUtf8;
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return componentUtf8;
    std::string found;
    while (dirent* e = readdir(d)) {
        std::string entryCp = utf8ToCp1252(e->d_name);
        if (sameNameIgnoringCase(entryCp, componentCp)) {
            found = e->d_name;
            break;
        }
    }
    closedir(d);
    return found.empty() ? componentUtf8 : found;
}

} // namespace

const std::string& talorahome() {
    if (homeCache.empty()) {
        const char* env = std::getenv("TALORA_HOME");
        if (env && *env) {
            homeCache = env;
        } else {
            const char* home = std::getenv("HOME");
            homeCache = std::string(home && *home ? home : ".") + "/.talora";
        }
        while (homeCache.size() > 1 && homeCache.back() == '/') homeCache.pop_back();
    }
    return homeCache;
}

void resetTalorahome() { homeCache.clear(); }

void recordStartDirectory() {
    char buf[4096];
    startDir = getcwd(buf, sizeof buf) ? buf : ".";
}

const std::string& startDirectory() {
    if (startDir.empty()) recordStartDirectory();
    return startDir;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldByte(static_cast<unsigned char>(a[i])) != foldByte(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    // Iterative matcher with backtracking to the last "*".
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || foldByte(static_cast<unsigned char>(pattern[p])) ==
                                      foldByte(static_cast<unsigned char>(name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    // "*.*" also matches names without a dot, as on Windows.
    if (p + 2 == pattern.size() && pattern.substr(p) == ".*") return true;
    return p == pattern.size();
}

std::string mapPath(std::string_view path) {
    std::string base;
    std::string_view rest = path;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'))) {
        char drive = static_cast<char>(path[0] | 0x20);
        base = talorahome() + "/drive_" + drive;
        rest = path.substr(2);
    } else if (!path.empty() && path[0] == '\\') {
        base = talorahome() + "/drive_c";
    } else if (!path.empty() && path[0] == '/') {
        base = "/";
    }
    // Split on either separator; empty components are dropped.
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || rest[i] == '\\' || rest[i] == '/') {
            if (i > start) parts.push_back(rest.substr(start, i - start));
            start = i + 1;
        }
    }
    std::string result = base;
    for (std::string_view part : parts) {
        std::string utf8 = cp1252ToUtf8(part);
        if (part != "." && part != "..") utf8 = matchComponent(result, utf8, part);
        if (result.empty()) result = utf8;
        else if (result == "/") result += utf8;
        else result += "/" + utf8;
    }
    if (result.empty()) result = ".";
    return result;
}

std::string unmapPath(std::string_view posixPath) {
    const std::string& home = talorahome();
    std::string prefix = home + "/drive_";
    if (posixPath.size() >= prefix.size() + 1 && posixPath.substr(0, prefix.size()) == prefix) {
        char drive = posixPath[prefix.size()];
        std::string_view tail = posixPath.substr(prefix.size() + 1);
        if (tail.empty() || tail[0] == '/') {
            std::string out;
            out += static_cast<char>(drive >= 'a' && drive <= 'z' ? drive - 32 : drive);
            out += ":";
            std::string t = utf8ToCp1252(tail);
            for (char& c : t)
                if (c == '/') c = '\\';
            out += t.empty() ? "\\" : t;
            return out;
        }
    }
    return utf8ToCp1252(posixPath);
}

std::string homeFile(std::string_view name) {
    return matchComponent(talorahome(), cp1252ToUtf8(name), name).insert(0, talorahome() + "/");
}
