// The speech-server dispatch: with [TRADUTOR] SAPI switched on, the facade
// hands whole texts to a speech server of the configured kind (3 the
// MBROLA-based engine, 5 and 54 the two voice-object classes, anything else
// the older voice interface). This build has no speech server: opening any
// kind fails, so the facade keeps speaking with the built-in diphone voice.
// The other operations are safe to call and do nothing.
#pragma once

#include <string>
#include <string_view>

// Opens the server of `kind`; false when it cannot be had (always here).
bool speechServerOpen(int voice, int rate, int pitch, const std::string& outputFile, int kind);
void speechServerSpeak(std::string_view text);
// Processes pending messages, then whether the server still speaks.
bool speechServerBusy(int flag);
void speechServerStop();
void speechServerClose();
