// Profile (INI) file reader.
#include "platform/profile.h"

#include "platform/encoding.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <cstdio>

namespace {

bool readFile(const std::string& path, std::string& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buf[8192];
    size_t n;
    // Profile files are small; refuse absurd sizes instead of reading them whole.
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && out.size() < (1u << 22)) out.append(buf, n);
    std::fclose(f);
    return true;
}

} // namespace

std::string readProfileString(const std::string& posixPath, std::string_view section,
                              std::string_view key, size_t maxLength, bool* found) {
    if (found) *found = false;
    std::string content;
    if (!readFile(posixPath, content)) return {};
    if (content.size() >= 3 && content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);
    if (isValidUtf8(content)) content = utf8ToCp1252(content);
    bool inSection = false;
    size_t pos = 0;
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        if (end == std::string::npos) end = content.size();
        std::string_view line = trimView(std::string_view(content).substr(pos, end - pos));
        pos = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            std::string_view name = trimView(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            inSection = sameNameIgnoringCase(name, section);
            continue;
        }
        if (!inSection) continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        if (!sameNameIgnoringCase(trimView(line.substr(0, eq)), key)) continue;
        std::string_view value = trimView(line.substr(eq + 1));
        // A value in double quotes loses them, as the profile service does.
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (found) *found = true;
        return std::string(value.substr(0, maxLength));
    }
    return {};
}
