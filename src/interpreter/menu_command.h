// MENU: the script's talking selection menu (CRIA, ADICIONA, EXECUTA,
// TERMINA); the menu itself is line_input's selection menu. Owns the item
// where the next selection starts.
#pragma once

#include <string_view>

bool commandMenu(std::string_view args);
