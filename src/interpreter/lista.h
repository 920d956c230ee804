// Named lists of texts (at most 20 at once) and the LISTA command.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Releases every list (program start).
void resetLists();
// The items of the list with exactly this name, or nullptr.
const std::vector<std::string>* findList(std::string_view name);

bool commandLista(std::string_view args);
