// The diphone synthesizer: the system's own concatenative voice. It reads the
// phonetic string of the translator, cuts it into units, splits each unit
// into names of recorded units, copies their samples (8-bit unsigned mono,
// 11 025 Hz) into one 64 000-byte wave image and hands full images to the
// speech facade. It owns the diphone index (in memory), the open data file,
// the output image and the translator's rules while it is started.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int DIPHONE_IMAGE_SIZE = 64000;
constexpr int DIPHONE_INDEX_RECORD = 15;

// Start results.
constexpr int DIPHONE_READY = 0;
constexpr int DIPHONE_NO_DATABASE = 1; // a directory, the index or the data file is missing
constexpr int DIPHONE_NO_RULES = 2;    // the translator's rule or exception file is missing

// Reads [TRADUTOR] DIRLETRAS and DIRDIFONES of FALARIS.INI, opens the index
// and data files named by the base name and loads the translator's files.
int startDiphoneSynth();
// Frees everything the start took; safe after a failed start or twice.
void stopDiphoneSynth();
void setDiphoneParameters(int cutLength, int minimumLength, int wordGap);
// The database base name (at most 8 characters; empty keeps "DIFONES2"),
// read by the next start.
void setDiphoneBaseName(std::string_view name);
const std::string& diphoneBaseName();

// Synthesizes the phonetic text and plays it; returns when it has been played.
void speakPhonetic(std::string_view phonetic);

// Where finished images go: the speech facade installs its playWaveBuffer,
// which returns once the image has been played; tests and benchmarks collect
// or discard them. With none installed (nullptr) images are dropped.
using DiphoneImageOutput = void (*)(const std::string& waveImage);
void setDiphoneImageOutput(DiphoneImageOutput output);

// The index from bytes in the file format (records of 15 bytes; a trailing
// partial record is ignored). Returns the number of entries.
int parseDiphoneIndex(std::string_view bytes);

// The names a unit looks up in the index (those starting with "$", upper
// case, at most 8 characters) and the letter sounds it plays ("_" + code),
// in order, when every lookup succeeds; names longer than 8 characters are
// followed into the shorter names they split into. Used by the voice tools
// and the completeness test.
std::vector<std::string> diphoneNamesOfUnit(std::string_view unit);
// Calls `report` for every index name the last speakPhonetic looked up but
// did not find (nullptr: no reporting).
void setDiphoneMissHandler(void (*report)(const std::string& name));
