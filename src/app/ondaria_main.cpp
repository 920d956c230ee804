// ondaria: the radio-station finder, a Rotalis script carried inside the program.
#include "app/ondaria_script.h"
#include "app/options.h"
#include "app/startup.h"
#include "platform/encoding.h"

int main(int argc, char** argv) {
    Options options;
    int done = parseCommandLine(argc, argv, "ondaria", "ondaria [OPTIONS]\nFinds radio stations by voice.", options);
    if (done >= 0) return done;
    if (int status = preparePlatform(options, "ondaria")) return status;
    std::vector<std::string> parameters;
    for (const std::string& a : options.arguments) parameters.push_back(utf8ToCp1252(a));
    // As for rotalis: 1 when the run stopped with an error.
    return runProgram("ondaria", ondariaScriptLines(configuredOndariaSite(), configuredOndariaDomain()), parameters)
               ? 1
               : 0;
}
