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
