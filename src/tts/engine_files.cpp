// The engine's data files as lines of Windows-1252 text.
#include "tts/engine_files.h"

#include "platform/encoding.h"
#include "platform/files.h"

bool readEngineFile(const std::string& path, std::vector<std::string>& lines) {
    lines.clear();
    std::string content;
    if (path.empty() || !readWholeFile(path, content)) return false;
    if (isValidUtf8(content)) {
        if (content.starts_with("\xEF\xBB\xBF")) content.erase(0, 3);
        content = utf8ToCp1252(content);
    }
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find_first_of("\r\n", start);
        if (end == std::string::npos) end = content.size();
        lines.emplace_back(content, start, end - start);
        if (end + 1 < content.size() && content[end] == '\r' && content[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return true;
}

std::string cp1252(std::string_view utf8) {
    return utf8ToCp1252(utf8);
}
