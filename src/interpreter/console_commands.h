// The script's voice and ears: ESCREVE, LÊ, FALA, SOLETRA, FALAHORA, BIPA,
// ALARME, ESPERA, TELA, COR, FUNDO, TÍTULO, MENSAGEM, TOCA, MCI and MIDI.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Back to the state of program start: MIDI closed, no media device open.
void resetConsoleCommands();
// The key notation of a single key read from the console: a printable key
// is itself, a control key "#" and its code, a special key "#0#" and its
// second code.
std::string readKeyNotation(bool echo, bool withModifiers);
// The notation of `key` (0 for a special key, whose code is `code`).
std::string keyNotation(uint8_t key, uint8_t code);

bool commandEscreve(std::string_view args);
bool commandLe(std::string_view args);
bool commandFala(std::string_view args);
bool commandSoletra(std::string_view args);
bool commandFalahora(std::string_view args);
bool commandBipa(std::string_view args);
bool commandAlarme(std::string_view args);
bool commandEspera(std::string_view args);
bool commandTela(std::string_view args);
bool commandCor(std::string_view args);
bool commandFundo(std::string_view args);
bool commandTitulo(std::string_view args);
bool commandMensagem(std::string_view args);
bool commandToca(std::string_view args);
bool commandMci(std::string_view args);
bool commandMidi(std::string_view args);
