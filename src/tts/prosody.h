// Prosody: splits the normalised text into tokens with word classes, picks
// a three-level intonation code per token from its neighbours' classes, and
// writes the phonemes as MBROLA phoneme lines with durations and pitch
// points, bridging phoneme pairs the voice has no diphone for. Owns the
// prosody configuration (durations, keywords, intonation patterns, base
// pitch, pitch levels) and the voice's diphone list. Texts are Windows-1252.
#pragma once

#include <string>
#include <string_view>
#include <vector>

constexpr int MAX_DURATIONS = 100, MAX_KEYWORDS = 1000, MAX_PATTERNS = 300;

// Reads the prosody file (sections "[DURAÇÃO]", "[CHAVES]", "[PROSÓDIA]").
// On a failure its message is shown (one line on standard error) and kept
// for lastProsodyMessage(); the pitch levels keep their previous values.
bool loadProsody(const std::string& path);
// The last message a load showed ("" when it showed none).
const std::string& lastProsodyMessage();
// Reads the diphone list ("a-b" pairs; "!", "*" and ";" start comments).
bool loadDiphoneList(const std::string& path);
void releaseDiphoneList();
bool hasDiphone(std::string_view first, std::string_view second);

int durationOf(std::string_view phoneme);
// The class of a listed keyword (upper-cased for the search), or "".
std::string keywordClass(std::string_view word);
int basePitch();
int pitchLevel(int digit);

// The next token from `pos` (0-based, advanced): a word (a run of letters)
// or a punctuation token (the character written twice; ".-" for a run of
// periods). An empty word at the end of the text.
std::string nextToken(std::string_view text, size_t& pos, bool& punctuation);
// "[CL]token" items; "[--]" marks the utterance's and each sentence's start.
std::vector<std::string> tokenize(std::string_view text);
// "CCC|token" items.
std::vector<std::string> assignIntonation(const std::vector<std::string>& tokens, bool usePatterns);
// MBROLA phoneme lines ("name ms [position pitch]", ";token" comments and
// empty lines between words).
std::vector<std::string> buildMbrolaLines(const std::vector<std::string>& phonemes,
                                          double durationFactor, double pitchFactor);
