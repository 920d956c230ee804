// The command table: every command word of the language and its handler.
// A handler takes the argument text and returns success or failure.
#pragma once

#include <string_view>

using CommandHandler = bool (*)(std::string_view args);

// The handler of an upper-cased command word, or nullptr for an unknown word.
CommandHandler findCommand(std::string_view upperWord);
