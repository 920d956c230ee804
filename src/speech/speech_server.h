// The speech-server dispatch: with [TRADUTOR] SAPI switched on, the facade
// hands whole texts to a speech server of the configured kind, and these
// five operations forward to it:
//   3      the MBROLA-based engine (norela_front);
//   5, 54  speech-dispatcher, the desktop's speech server (speechd_voice);
//   other  eSpeak NG inside our process (espeak_voice).
// A server that cannot be opened makes the open fail silently, and the
// facade goes on with its own voice.
#pragma once

#include <string>
#include <string_view>

// The kind of the last open (4 until the first).
int speechServerKind();
// Opens the server of `kind` with the voice number, rate and pitch (each
// server says how it reads them) and an output file (empty: speech is
// heard). On success waits until the server is silent. False when it cannot
// be had.
bool speechServerOpen(int voice, int rate, int pitch, const std::string& outputFile, int kind);
// Hands the text (Windows-1252) to the server.
void speechServerSpeak(std::string_view text);
// Processes pending messages, then whether the server still speaks. `flag`
// 1 asks the in-process voice only about synthesis, 0 also about its sound.
bool speechServerBusy(int flag);
// Silences the server at once.
void speechServerStop();
// Waits for the end of speech and releases the server.
void speechServerClose();
