// FALARIS.INI location, reading and "@" expansion.
#include "speech/config.h"

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace {

std::string configFile() {
    std::string home = homeFile("FALARIS.INI");
    if (fileExists(home)) return home;
    return startDirectory() + "/FALARIS.INI";
}

std::string readRaw(std::string_view section, std::string_view key) {
    return readProfileString(configFile(), section.empty() ? "FALARIS" : section, key, 255);
}

std::string startDirectoryForScripts() { return unmapPath(startDirectory()); }

} // namespace

std::string programDirectory() {
    std::string dir = readRaw("FALARIS", "PGMFALARIS");
    if (dir.empty() || dir[0] == '@') dir = startDirectoryForScripts();
    return dir;
}

std::string readConfig(std::string_view section, std::string_view key) {
    std::string value = readRaw(section, key);
    if (value.find('@') == std::string::npos) return value;
    std::string dir = programDirectory();
    // Each round replaces one "@"; the inserted directory is never expanded again.
    size_t from = 0;
    while (true) {
        if (from == 0 && !value.empty() && value[0] == '@') {
            value = dir + value.substr(1);
            from = dir.size();
            continue;
        }
        size_t at = value.find("@\\", from);
        if (at == std::string::npos) break;
        value = value.substr(0, at) + dir + value.substr(at + 1);
        from = at + dir.size();
    }
    return value;
}

std::string readConfigDirect(std::string_view section, std::string_view key, size_t maxLength) {
    return readProfileString(homeFile("FALARIS.INI"), section, key, maxLength);
}

bool configYes(std::string_view value) { return !value.empty() && value[0] != 'N' && value[0] != 'n'; }
