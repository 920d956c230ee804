// Script text to script lines.
#include "app/script_source.h"

#include "interpreter/script.h"
#include "platform/encoding.h"

bool scriptLinesFromText(std::string text, std::vector<std::string>& lines, std::string& error) {
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    if (isValidUtf8(text)) text = utf8ToCp1252(text);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        pos = end + 1;
        if (lines.size() > static_cast<size_t>(MAX_SCRIPT_LINES)) {
            error = "more than " + std::to_string(MAX_SCRIPT_LINES) + " lines";
            return false;
        }
    }
    return true;
}
