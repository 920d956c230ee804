// Conditions, SE blocks with SENÃO, ENQUANTO and REPETE loops, labels with
// DESVIA, CHAMA and RETORNA, and TERMINA. Blocks and labels are found by
// scanning the script lines when a command needs them; every command moves
// the current line and the run loop's increment completes the move.
#pragma once

#include <string>
#include <string_view>

bool evaluateCondition(std::string_view& text, bool& truth);
std::string padNumber(std::string_view text);
bool findLabel(std::string_view name);

bool commandSe(std::string_view args);
bool commandSenao(std::string_view args);
bool commandEnquanto(std::string_view args);
bool commandRepete(std::string_view args);
bool commandFim(std::string_view args);
bool commandDesvia(std::string_view args);
bool commandChama(std::string_view args);
bool commandRetorna(std::string_view args);
bool commandTermina(std::string_view args);
