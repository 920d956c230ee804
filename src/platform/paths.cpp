// Path mapping between the scripts' Windows paths and the Linux file system,
// and the optional confinement of every mapped path to one folder.
#include "platform/paths.h"

#include "platform/encoding.h"
#include "platform/files.h"

#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <vector>

namespace {

std::string homeCache;
std::string startDir;
std::string pathRoot;  // empty: no confinement

bool exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::string canonical(const std::string& path) {
    char buf[PATH_MAX];
    return realpath(path.c_str(), buf) ? std::string(buf) : path;
}

// Upper case in Windows-1252 for name comparison.
unsigned char foldByte(unsigned char c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c >= 0xE0 && c != 0xF7 && c != 0xFF) return c - 32;
    if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 16;
    if (c == 0xFF) return 0x9F;
    return c;
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

// The entry of `dir` whose name equals `component` ignoring case, or the
// component itself when there is none (a new name keeps its case).
std::string matchComponent(const std::string& dir, const std::string& componentUtf8,
                           std::string_view componentCp) {
    if (exists(joinPath(dir, componentUtf8))) return componentUtf8;
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return componentUtf8;
    std::string found;
    while (dirent* e = readdir(d)) {
        if (sameNameIgnoringCase(utf8ToCp1252(e->d_name), componentCp)) {
            found = e->d_name;
            break;
        }
    }
    closedir(d);
    return found.empty() ? componentUtf8 : found;
}

// The components of `path` below `root`; false when `path` is not inside it.
bool componentsBelow(const std::string& root, const std::string& path, std::vector<std::string>& out) {
    out.clear();
    if (path.compare(0, root.size(), root) != 0) return false;
    if (path.size() > root.size() && path[root.size()] != '/' && root != "/") return false;
    size_t start = root.size();
    while (start < path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        if (slash > start) {
            std::string part = path.substr(start, slash - start);
            if (part == "..") {
                if (out.empty()) return false;
                out.pop_back();
            } else if (part != ".") {
                out.push_back(std::move(part));
            }
        }
        start = slash + 1;
    }
    return true;
}

// The home folder as given and as the kernel names it, for recognising
// drive folders in paths such as getcwd() gives.
std::vector<std::string> homeForms() {
    std::vector<std::string> forms{talorahome()};
    std::string real = canonical(talorahome());
    if (real != forms[0]) forms.push_back(real);
    return forms;
}

// "C:\rest" for a path inside a drive folder of the home folder.
bool unmapDrive(std::string_view posixPath, std::string& out) {
    for (const std::string& home : homeForms()) {
        std::string prefix = home + "/drive_";
        if (posixPath.size() < prefix.size() + 1 || posixPath.substr(0, prefix.size()) != prefix) continue;
        char drive = posixPath[prefix.size()];
        std::string_view tail = posixPath.substr(prefix.size() + 1);
        if (!(drive >= 'a' && drive <= 'z') || !(tail.empty() || tail[0] == '/')) continue;
        out.assign(1, static_cast<char>(drive - 32));
        out += ":";
        std::string t = utf8ToCp1252(tail);
        for (char& c : t)
            if (c == '/') c = '\\';
        out += t.empty() ? "\\" : t;
        return true;
    }
    return false;
}

// The drive folder of a home folder (in one of `homes`) that holds `dir`,
// and the components of `dir` below it; false when `dir` is in none.
bool driveFolderOf(const std::string& dir, const std::vector<std::string>& homes, std::string& driveFolder,
                   std::vector<std::string>& below) {
    for (const std::string& home : homes) {
        if (!componentsBelow(home, dir, below) || below.empty()) continue;
        const std::string& first = below.front();
        if (first.size() != 7 || first.compare(0, 6, "drive_") != 0 || first[6] < 'a' || first[6] > 'z') continue;
        driveFolder = joinPath(home, first);
        below.erase(below.begin());
        return true;
    }
    below.clear();
    return false;
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
    startDir = currentDirectory();
    if (startDir.empty()) startDir = ".";
}

const std::string& startDirectory() {
    if (startDir.empty()) recordStartDirectory();
    return startDir;
}

void setPathRoot(const std::string& folder) { pathRoot = folder.empty() ? std::string() : canonical(folder); }

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldByte(static_cast<unsigned char>(a[i])) != foldByte(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool nameLessIgnoringCase(std::string_view a, std::string_view b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        unsigned char x = foldByte(static_cast<unsigned char>(a[i]));
        unsigned char y = foldByte(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

static bool globMatch(std::string_view pattern, std::string_view name) {
    // Iterative matcher with backtracking to the last "*".
    size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] != '*' &&
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
    return p == pattern.size();
}

bool wildcardMatch(std::string_view pattern, std::string_view name) {
    if (globMatch(pattern, name)) return true;
    // Windows lets "name.*" and "name." stand for a name without extension.
    if (name.find('.') != std::string_view::npos) return false;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
        return globMatch(pattern.substr(0, pattern.size() - 2), name);
    if (pattern.size() >= 2 && pattern.back() == '.') return globMatch(pattern.substr(0, pattern.size() - 1), name);
    return false;
}

std::string mapPath(std::string_view path) {
    path = path.substr(0, path.find('\0'));
    if (path.empty()) return std::string();
    enum class Start { Relative, Drive, Posix } start = Start::Relative;
    char drive = 'c';
    std::string_view rest = path;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'))) {
        start = Start::Drive;
        drive = static_cast<char>(path[0] | 0x20);
        rest = path.substr(2);
    } else if (path[0] == '\\') {
        start = Start::Drive;
    } else if (path[0] == '/') {
        start = Start::Posix;
    }

    // Split on either separator; empty components are dropped.
    std::vector<std::string_view> parts;
    bool climbs = false;
    size_t from = 0;
    for (size_t i = 0; i <= rest.size(); ++i) {
        if (i == rest.size() || rest[i] == '\\' || rest[i] == '/') {
            if (i > from) {
                parts.push_back(rest.substr(from, i - from));
                climbs = climbs || parts.back() == "..";
            }
            from = i + 1;
        }
    }

    // ".." is resolved here, by name, wherever it could leave a folder it
    // must not: a drive folder (as on Windows, ".." at a drive's root stays
    // there) and the confinement's root. `top` is that folder and `below`
    // the components of the start folder under it.
    std::string top;
    std::vector<std::string> below;
    if (pathRoot.empty()) {
        if (start == Start::Drive) {
            top = talorahome() + "/drive_" + drive;
        } else if (start == Start::Relative && climbs) {
            driveFolderOf(currentDirectory(), homeForms(), top, below);
        }
        if (top.empty()) {
            // A POSIX path, or a relative one outside every drive folder: the
            // file system resolves it as it stands.
            std::string result = start == Start::Posix ? "/" : "";
            for (std::string_view part : parts) {
                std::string utf8 = cp1252ToUtf8(part);
                if (part != "." && part != "..") utf8 = matchComponent(result, utf8, part);
                result = joinPath(result, utf8);
            }
            return result.empty() ? "." : result;
        }
    } else {
        // The home folder as seen inside the root: a home outside it moves to the root.
        std::vector<std::string> homeBelow;
        if (!componentsBelow(pathRoot, canonical(talorahome()), homeBelow)) homeBelow.clear();
        std::string home = pathRoot;
        for (const std::string& c : homeBelow) home = joinPath(home, c);
        top = pathRoot;
        if (start == Start::Drive) {
            top = home + "/drive_" + drive;
        } else if (start == Start::Relative) {
            std::string cwd = currentDirectory();
            if (!driveFolderOf(cwd, {home}, top, below)) {
                top = pathRoot;
                if (!componentsBelow(pathRoot, cwd, below)) below.clear();
            }
        }
    }

    std::string result = top;
    for (const std::string& c : below) result = joinPath(result, c);
    for (std::string_view part : parts) {
        if (part == ".") continue;
        if (part == "..") {
            if (!below.empty()) below.pop_back();
            result = top;
            for (const std::string& c : below) result = joinPath(result, c);
            continue;
        }
        below.push_back(matchComponent(result, cp1252ToUtf8(part), part));
        result = joinPath(result, below.back());
    }
    return result;
}

std::string unmapPath(std::string_view posixPath) {
    std::string out;
    if (unmapDrive(posixPath, out)) return out;
    std::vector<std::string> below;
    if (!pathRoot.empty() && componentsBelow(pathRoot, std::string(posixPath), below)) {
        for (const std::string& c : below) out += "/" + c;
        return utf8ToCp1252(out.empty() ? "/" : out);
    }
    return utf8ToCp1252(posixPath);
}

std::string homeFile(std::string_view name) {
    return joinPath(talorahome(), matchComponent(talorahome(), cp1252ToUtf8(name), name));
}

void splitSearchPattern(std::string_view pattern, std::string& folder, std::string& namePattern) {
    pattern = pattern.substr(0, pattern.find('\0'));
    size_t cut = pattern.find_last_of("\\/");
    if (cut == std::string_view::npos && pattern.size() >= 2 && pattern[1] == ':') cut = 1;
    if (cut == std::string_view::npos) {
        folder = mapPath(".");
        namePattern.assign(pattern);
        return;
    }
    folder = mapPath(pattern.substr(0, cut + 1));
    namePattern.assign(pattern.substr(cut + 1));
}

std::string withTrailingSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
    return folder;
}
