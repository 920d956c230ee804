// Command-line options shared by the executables.
#pragma once

#include <string>
#include <vector>

struct Options {
    std::string console;      // window | terminal | headless | "" (default)
    std::string audio;        // device | none | capture:FILE | "" (default)
    std::string screenDump;   // file for the screen at exit
    bool help = false;
    bool version = false;
    // What follows the options: the script and its parameters for rotalis.
    std::vector<std::string> arguments;
};

// Options come first; the first argument that is not an option ends them
// ("--" ends them too). False with `error` set for an unknown option.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
std::string optionsHelp();
// The usage text: "usage: " and the synopsis (the program's own lines,
// the first one naming it), then the options.
std::string usageText(const char* synopsis);
// Parses the options and answers --help and --version (and an unknown option)
// itself. Returns -1 when the program goes on, else the status to exit with.
int parseCommandLine(int argc, char** argv, const char* program, const char* synopsis, Options& options);
