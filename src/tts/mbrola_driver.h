// The built-in Portuguese text-to-speech engine: binds MBROLA, loads the
// engine's five data files, and speaks a text by running normalisation,
// letter-to-sound rules and prosody, feeding the phoneme lines to MBROLA and
// handing its 16 kHz 16-bit mono samples to the wave player in blocks of
// about half a second while synthesis goes on, or writing them to a WAV
// file. One engine per process; owns the MBROLA binding, the output file and
// the speech factors.
#pragma once

#include <string>
#include <string_view>
#include <vector>

constexpr int MBROLA_SAMPLE_RATE = 16000;
constexpr int MBROLA_READ_SAMPLES = 16000;
constexpr int MBROLA_BLOCK_BYTES = 16000; // half a second
constexpr int MBROLA_SHORTEST_BLOCK = 256;

// The WAV file the next initEngine writes to; empty: play.
void setOutputFile(const std::string& fileName);
// Empty arguments take "br4", "portug.nrl", "portug.exc", "portug.abr",
// "portug.pro" and "portug.dfn". File names are paths of the scripts
// (mapped); the database is an installed voice's name or a path.
bool initEngine(const std::string& database, const std::string& rulesFile,
                const std::string& exceptionsFile, const std::string& abbreviationsFile,
                const std::string& prosodyFile, const std::string& diphoneFile);
// Why the last initEngine failed (Portuguese), when it says.
const std::string& engineErrorText();
void setSpeechFactors(double durationFactor, double pitchFactor);
// False when MBROLA reported an error or the output file could not be
// written; the audio is queued or written when it returns.
bool speak(std::string_view text);
void stopSpeaking();
bool isSpeaking();
void closeEngine();

// The whole text pipeline, as speak() runs it: the MBROLA lines of `text`
// with the loaded data files (no MBROLA needed).
std::vector<std::string> textToMbrolaLines(std::string_view text, double durationFactor,
                                           double pitchFactor);
