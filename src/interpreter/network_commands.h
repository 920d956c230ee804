// The script's own TCP conversations: INTERNET, CONECTA, ATIVASSL, SERVE,
// OBSERVA and IP. A connection lives in one of the numbered file slots
// (interpreter/file_commands.h), where ESCREVE, LÊ and FECHA work on it.
// Owns the interpreter-wide TLS mode and the target of the last CONECTA.
#pragma once

#include <string_view>

// Set by CONECTA with the "SSL " prefix; while it is set every CONECTA
// connects with TLS. FECHA of any network slot clears it.
extern bool tlsMode;
// No TLS mode and no last target (program start).
void resetNetworkCommands();

bool commandInternet(std::string_view args);
bool commandConecta(std::string_view args);
bool commandAtivassl(std::string_view args);
bool commandServe(std::string_view args);
bool commandObserva(std::string_view args);
bool commandIp(std::string_view args);
