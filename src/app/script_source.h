// Turning the text of a script into the lines the interpreter stores:
// UTF-8 text (what editors write today) becomes Windows-1252, anything else
// is taken as Windows-1252 already; lines end at LF with an optional CR.
#pragma once

#include <string>
#include <vector>

// False (with `error`) when the text has more lines than the script store holds.
bool scriptLinesFromText(std::string text, std::vector<std::string>& lines, std::string& error);
