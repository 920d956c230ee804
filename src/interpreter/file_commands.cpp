// File commands (not built yet).
#include "interpreter/file_commands.h"

#include "interpreter/commands.h"

bool commandAbre(std::string_view args) { return commandNotAvailable(args); }
bool commandFecha(std::string_view args) { return commandNotAvailable(args); }
bool commandChecha(std::string_view args) { return commandNotAvailable(args); }
bool commandRemove(std::string_view args) { return commandNotAvailable(args); }
bool commandRenomeia(std::string_view args) { return commandNotAvailable(args); }
bool commandReplica(std::string_view args) { return commandNotAvailable(args); }
bool commandTamarq(std::string_view args) { return commandNotAvailable(args); }
bool commandDir(std::string_view args) { return commandNotAvailable(args); }
bool commandBusca(std::string_view args) { return commandNotAvailable(args); }
void closeAllFileSlots() {}
bool writeToSlot(std::string_view, bool) { return false; }
bool readFromSlot(std::string_view) { return false; }
