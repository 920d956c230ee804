// Control flow (not built yet).
#include "interpreter/control_flow.h"

#include "interpreter/commands.h"

bool commandSe(std::string_view args) { return commandNotAvailable(args); }
bool commandSenao(std::string_view args) { return commandNotAvailable(args); }
bool commandEnquanto(std::string_view args) { return commandNotAvailable(args); }
bool commandRepete(std::string_view args) { return commandNotAvailable(args); }
bool commandFim(std::string_view args) { return commandNotAvailable(args); }
bool commandDesvia(std::string_view args) { return commandNotAvailable(args); }
bool commandChama(std::string_view args) { return commandNotAvailable(args); }
bool commandRetorna(std::string_view args) { return commandNotAvailable(args); }
bool commandTermina(std::string_view args) { return commandNotAvailable(args); }
bool evaluateCondition(std::string_view&, bool&) { return false; }
std::string padNumber(std::string_view text) { return std::string(text); }
bool findLabel(std::string_view) { return false; }
