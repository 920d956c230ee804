// Named lists of texts (at most 20 at once) and the LISTA command.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Releases every list (program start).
void resetLists();
// The items of the list with exactly this name, or nullptr.
const std::vector<std::string>* findList(std::string_view name);

// Reads "[name]" from the front of `text`: the name is every character up to
// the first "]" that follows at least one character of it; the rest is
// trimmed. False when the text does not start with "[" or has no such "]".
bool readListName(std::string_view& text, std::string_view& name);

bool commandLista(std::string_view args);
