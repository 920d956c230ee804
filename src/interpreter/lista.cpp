// Lists (not built yet).
#include "interpreter/lista.h"

#include "interpreter/commands.h"

bool commandLista(std::string_view args) { return commandNotAvailable(args); }
void resetLists() {}
const std::vector<std::string>* findList(std::string_view) { return nullptr; }
