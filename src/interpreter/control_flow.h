// Conditions, SE blocks with SENÃO, ENQUANTO and REPETE loops, labels with
// DESVIA, CHAMA and RETORNA, and TERMINA. Blocks and labels are found by
// scanning the script lines when a command needs them; every command moves
// the current line and the run loop's increment completes the move.
#pragma once

#include <string>
#include <string_view>

// Reads "[NÃO] a operator b" (or "a EM [list]") from the front of `text`,
// leaving the rest, trimmed, for the caller.
bool evaluateCondition(std::string_view& text, bool& truth);
// The comparison key of a value: a digit-only text shorter than 21
// characters is padded with leading zeros to 21 (the empty text to 20), so
// numbers compare by value; other texts are returned unchanged. Conditions
// pad longer digit-only values to a common width instead of cutting them.
std::string padNumber(std::string_view text);
// Makes the first label line "@name" (name compared upper-cased) the
// current line; false when there is none.
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
