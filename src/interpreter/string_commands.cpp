// String commands (not built yet).
#include "interpreter/string_commands.h"

#include "interpreter/commands.h"

bool commandSoma(std::string_view args) { return commandNotAvailable(args); }
bool commandSubtrai(std::string_view args) { return commandNotAvailable(args); }
bool commandMultiplica(std::string_view args) { return commandNotAvailable(args); }
bool commandDivide(std::string_view args) { return commandNotAvailable(args); }
bool commandConcatena(std::string_view args) { return commandNotAvailable(args); }
bool commandCopia(std::string_view args) { return commandNotAvailable(args); }
bool commandDeleta(std::string_view args) { return commandNotAvailable(args); }
bool commandSubstitui(std::string_view args) { return commandNotAvailable(args); }
bool commandRandomiza(std::string_view args) { return commandNotAvailable(args); }
bool commandAnsiParaUtf8(std::string_view args) { return commandNotAvailable(args); }
bool commandUtf8ParaAnsi(std::string_view args) { return commandNotAvailable(args); }
bool commandHttp(std::string_view args) { return commandNotAvailable(args); }
bool commandRemoveQuoted(std::string_view args) { return commandNotAvailable(args); }
bool commandAdQuoted(std::string_view args) { return commandNotAvailable(args); }
bool commandCodBase64(std::string_view args) { return commandNotAvailable(args); }
bool commandDecodBase64(std::string_view args) { return commandNotAvailable(args); }
bool commandCodArqBase64(std::string_view args) { return commandNotAvailable(args); }
bool commandDecodArqBase64(std::string_view args) { return commandNotAvailable(args); }
