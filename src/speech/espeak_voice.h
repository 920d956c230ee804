// The platform voice of the speech-server kinds other than 3, 5 and 54:
// eSpeak NG inside our process. It synthesizes synchronously and hands its
// samples, block by block, to the wave player, so it plays through whatever
// audio sink the program uses (device, capture, none) and a waiting key cuts
// it short within one block. The engine is initialised once per process and
// kept; opening chooses the voice, rate and pitch, or an output file that
// receives the speech as a WAV file instead of the player.
#pragma once

#include <string>
#include <string_view>

// Voice n (0 counts as 1) of the engine's Portuguese voices, Brazilian ones
// first; `rate` in words per minute (0: the engine's normal rate, others
// kept within 80..450); `pitch` on the engine's 0..100 scale (0: normal 50).
// With `outputFile` (a script path) the speech is written there. False when
// the engine cannot start, there is no such voice or the file cannot be made.
bool espeakVoiceOpen(int voice, int rate, int pitch, const std::string& outputFile);
// Speaks the text (Windows-1252), trimmed of blanks and control characters;
// a single digit is said as a number. Returns once the last block is queued,
// or at once when a key is waiting or the voice is not open.
void espeakVoiceSpeak(std::string_view text);
// flag 1: whether synthesis is under way (never between calls, as it is
// synchronous); flag 0: also while its sound still plays.
bool espeakVoiceBusy(int flag);
// Silences what it still plays.
void espeakVoiceStop();
// Completes the output file, if any; the engine stays loaded for the next open.
void espeakVoiceClose();
