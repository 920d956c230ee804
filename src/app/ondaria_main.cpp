// ondaria: the radio-station finder, a Rotalis script carried inside the program.
#include "app/ondaria_script.h"
#include "app/options.h"
#include "app/startup.h"
#include "platform/encoding.h"

#include <cstdio>

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "ondaria: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::printf("usage: ondaria [OPTIONS]\nFinds radio stations by voice.\n\n%s", optionsHelp().c_str());
        return 0;
    }
    if (options.version) {
        std::printf("ondaria %s\n", ONDARIA_VERSION);
        return 0;
    }
    if (int status = preparePlatform(options, "ondaria")) return status;
    std::vector<std::string> parameters;
    for (const std::string& a : options.arguments) parameters.push_back(utf8ToCp1252(a));
    runProgram("ondaria", ondariaScriptLines(configuredOndariaSite(), configuredOndariaDomain()), parameters);
    return 0;
}
