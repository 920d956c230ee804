// Starting programs and asking after them: EXECUTA and EXISTEPROG.
#pragma once

#include <string_view>

bool commandExecuta(std::string_view args);
bool commandExisteprog(std::string_view args);
