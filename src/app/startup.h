// The start sequence shared by the executables: platform choices from the
// options, the home folder, the interpreter, speech, the console window and
// its titles, then the run of the script and its end report.
#pragma once

#include "app/options.h"

#include <string>
#include <vector>

// Sets up the console backend, the audio sink, the screen dump and the home
// folder. Returns 0 when ready, or the exit status to end with (2).
int preparePlatform(const Options& options, const char* program);
// Runs `lines` as the script named `name` with its parameters and returns
// whether the run failed.
bool runProgram(const std::string& name, const std::vector<std::string>& lines,
                const std::vector<std::string>& parameters);
