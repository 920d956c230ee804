// rotalis: runs a Rotalis script file.
#include "app/options.h"
#include "app/startup.h"
#include "interpreter/script.h"
#include "platform/encoding.h"
#include "platform/files.h"

#include <cstdio>

namespace {

void usage(FILE* out) {
    std::fprintf(out, "usage: rotalis [OPTIONS] SCRIPT [PARAM...]\n"
                      "Runs a Rotalis script in the talking console.\n\n%s",
                 optionsHelp().c_str());
}

// Script files are UTF-8 when they are valid UTF-8, else Windows-1252.
bool loadScript(const std::string& path, std::vector<std::string>& lines, std::string& error) {
    std::string content;
    if (!readWholeFile(path, content)) {
        error = "cannot read " + path;
        return false;
    }
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) content.erase(0, 3);
    if (isValidUtf8(content)) content = utf8ToCp1252(content);
    size_t pos = 0;
    while (pos < content.size()) {
        size_t end = content.find('\n', pos);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        pos = end + 1;
        if (lines.size() > static_cast<size_t>(MAX_SCRIPT_LINES)) {
            error = path + " has more than " + std::to_string(MAX_SCRIPT_LINES) + " lines";
            return false;
        }
    }
    return true;
}

std::string scriptName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) base.erase(dot);
    return utf8ToCp1252(base);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "rotalis: %s\n", error.c_str());
        usage(stderr);
        return 2;
    }
    if (options.help) {
        usage(stdout);
        return 0;
    }
    if (options.version) {
        std::printf("rotalis %s\n", ONDARIA_VERSION);
        return 0;
    }
    if (options.arguments.empty()) {
        usage(stderr);
        return 2;
    }
    std::string path = options.arguments[0];
    std::vector<std::string> lines;
    if (!loadScript(path, lines, error)) {
        std::fprintf(stderr, "rotalis: %s\n", error.c_str());
        return 2;
    }
    if (int status = preparePlatform(options, "rotalis")) return status;
    std::vector<std::string> parameters;
    for (size_t i = 1; i < options.arguments.size(); ++i) parameters.push_back(utf8ToCp1252(options.arguments[i]));
    return runProgram(scriptName(path), lines, parameters) ? 1 : 0;
}
