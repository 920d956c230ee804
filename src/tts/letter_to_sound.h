// Letter-to-sound rules and word stress: turns the word tokens of an
// utterance into phoneme names of the MBROLA voice, marks the stressed
// phoneme with ">", and turns punctuation tokens into pause markers. Owns
// the rule table (context-sensitive rewrite rules left(KEY)right=output,
// one list per first key character, in file order) and the exception table
// (whole-word respellings, sorted). Texts are Windows-1252.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

struct TRegra {
    std::string left;   // left context, at most 5 characters
    std::string key;    // the letters consumed, at most 5
    std::string right;  // right context, at most 5
    std::string output; // phonemes separated by "&", at most 20 characters
};

constexpr int MAX_EXCEPTIONS = 15000;

bool loadRules(const std::string& path);
bool loadExceptions(const std::string& path);
// Frees every rule (and the exceptions).
void releaseRules();
const std::vector<TRegra>& rulesFor(unsigned char first);
int exceptionCount();

// The replacement of an upper-case word, with the final S and M letters that
// had to be stripped to find it put back; the word itself when none is found.
std::string lookupException(const std::string& word);
bool isUnstressedWord(std::string_view word);
// 1-based position of the stressed vowel, 0 when the word has no vowel.
int findStressedVowel(std::string_view word);
// Appends the phonemes of an upper-case word and the empty string that ends
// it; the first phoneme produced at or after position `stress` gets ">".
void translateWord(std::string_view word, int stress, std::vector<std::string>& phonemes);
void punctuationPause(char c, std::vector<std::string>& phonemes);
// The phoneme list of an intonation list (items "CCC|token").
std::vector<std::string> buildPhonemeList(const std::vector<std::string>& intonation);
