// rotalis: runs a Rotalis script file.
#include "app/options.h"
#include "app/script_source.h"
#include "app/startup.h"
#include "platform/encoding.h"
#include "platform/files.h"

#include <cstdio>

namespace {

const char* const SYNOPSIS = "rotalis [OPTIONS] SCRIPT [PARAM...]\nRuns a Rotalis script in the talking console.";

bool loadScript(const std::string& path, std::vector<std::string>& lines, std::string& error) {
    std::string content;
    if (!readWholeFile(path, content)) {
        error = "cannot read " + path;
        return false;
    }
    if (!scriptLinesFromText(std::move(content), lines, error)) {
        error = path + " has " + error;
        return false;
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
    int done = parseCommandLine(argc, argv, "rotalis", SYNOPSIS, options);
    if (done >= 0) return done;
    if (options.arguments.empty()) {
        std::fputs(usageText(SYNOPSIS).c_str(), stderr);
        return 2;
    }
    std::string error;
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
