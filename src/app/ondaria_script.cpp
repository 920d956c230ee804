// The embedded radio finder script and its site.
#include "app/ondaria_script.h"

#include "app/script_source.h"
#include "speech/config.h"

#include <cstddef>

// Generated at build time from ondaria.rot.
extern const unsigned char ONDARIA_SCRIPT_TEXT[];
extern const size_t ONDARIA_SCRIPT_SIZE;

namespace {

std::string hostCharacters(const std::string& value, const char* fallback) {
    std::string kept;
    for (char c : value) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                  c == '-' || c == ':' || c == '_';
        if (ok) kept += c;
    }
    return kept.empty() ? std::string(fallback) : kept;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

std::vector<std::string> ondariaScriptLines(const std::string& site, const std::string& domain) {
    std::string text(reinterpret_cast<const char*>(ONDARIA_SCRIPT_TEXT), ONDARIA_SCRIPT_SIZE);
    std::vector<std::string> lines;
    std::string error;
    scriptLinesFromText(text, lines, error);
    for (std::string& line : lines) {
        replaceAll(line, "{{SITE}}", site);
        replaceAll(line, "{{DOMINIO}}", domain);
    }
    return lines;
}

std::string configuredOndariaSite() { return hostCharacters(readConfig("ONDARIA", "SITE"), DEFAULT_ONDARIA_SITE); }

std::string configuredOndariaDomain() {
    return hostCharacters(readConfig("ONDARIA", "DOMINIO"), DEFAULT_ONDARIA_DOMAIN);
}
