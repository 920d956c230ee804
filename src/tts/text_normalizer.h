// Portuguese text normalisation, the first stage of the text-to-speech
// engine: numbers become words (cardinals of up to fifteen digits, ordinals,
// negatives, decimals, digit runs with dashes), abbreviations of the
// user-editable dictionary are expanded, words without a vowel are spelled
// and symbols are named, so that only pronounceable words and the
// punctuation the prosody uses remain. Owns the abbreviation table. Texts
// are Windows-1252.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

constexpr int MAX_ABBREVIATIONS = 2000;

// Reads the abbreviation file (KEY=expansion lines; ";" starts a comment).
// False when it cannot be read; the table is then empty.
bool loadAbbreviations(const std::string& path);
// The expansion of `word` (compared upper-cased), or "".
std::string lookupAbbreviation(std::string_view word);
int abbreviationCount();

std::string normalizeText(std::string_view text);

// Helpers. Positions are 0-based indexes into `text` and are advanced past
// what was read.
std::string scanWord(std::string_view text, size_t& pos);
std::string readNumber(std::string_view text, size_t& pos);
std::string cardinalWords(uint64_t value);
std::string ordinalWords(uint64_t value, bool feminine);
// Three digit characters.
std::string groupWords(std::string_view digits);
std::string symbolName(unsigned char c);

// Character classes of the engine (Windows-1252).
bool isEngineLetter(unsigned char c);
bool isEngineConsonant(unsigned char c);
