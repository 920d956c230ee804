// The unit inventory of the diphone voice: which units the loaded rules can
// produce, and which index names those units need. The recording tool builds
// the database from this list and the completeness test checks a built
// database against it.
#pragma once

#include <string>
#include <vector>

// Every unit the loaded rules can form, sorted and without repeats. A unit
// is a rule piece that starts with a blank followed by the pieces that join
// it: an onset alone, or [onset] nucleus [glide] [final consonant].
std::vector<std::string> phoneticUnitsOfRules();
// The index names ("$...", upper case, at most 8 characters) those units
// look up, plus "$NN", which nasal vowels fall back on; sorted, no repeats.
std::vector<std::string> indexNamesOfRules();
