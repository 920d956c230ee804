// The front of the built-in Norela text-to-speech engine, as the speech
// dispatch drives it for speech-server kind 3: where the engine's files are
// ([NORELATTS] MBROLA_DB, DIR and BASE of FALARIS.INI), how the user's rate
// and pitch become the engine's duration and pitch factors, and how stopping
// and polling it cooperate with the console's key queue.
#pragma once

#include <string>
#include <string_view>

// Starts the engine (play mode when `outputFile` is empty); the factors
// 0.8 - rate / 15 and (pitch + 11) / 11 are set whatever the result.
bool norelaOpen(int rate, int pitch, const std::string& outputFile);
// Speaks the text; returns when its audio is queued.
void norelaSpeak(std::string_view text);
// Whether it still speaks; a key waiting in the console's queue stops it
// (the key stays queued) and the answer is false.
bool norelaBusy();
void norelaStop();
// Waits for the end of speech, then stops and closes the engine.
void norelaClose();

// The engine files as the next norelaOpen will use them: the voice
// database's name and the five data files (paths of the scripts).
struct NorelaFiles {
    std::string database, rules, exceptions, abbreviations, prosody, diphones;
};
NorelaFiles norelaFiles();
