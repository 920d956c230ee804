// Commands that change a variable in place: integer arithmetic, cutting,
// joining and replacing texts, ANSI/UTF-8 conversion, URL and quoted
// encoding, Base64 of texts and files, and the seeding of RAND.
#pragma once

#include <string_view>

bool commandSoma(std::string_view args);
bool commandSubtrai(std::string_view args);
bool commandMultiplica(std::string_view args);
bool commandDivide(std::string_view args);
bool commandConcatena(std::string_view args);
bool commandCopia(std::string_view args);
bool commandDeleta(std::string_view args);
bool commandSubstitui(std::string_view args);
bool commandRandomiza(std::string_view args);
bool commandAnsiParaUtf8(std::string_view args);
bool commandUtf8ParaAnsi(std::string_view args);
bool commandHttp(std::string_view args);
bool commandRemoveQuoted(std::string_view args);
bool commandAdQuoted(std::string_view args);
bool commandCodBase64(std::string_view args);
bool commandDecodBase64(std::string_view args);
bool commandCodArqBase64(std::string_view args);
bool commandDecodArqBase64(std::string_view args);
