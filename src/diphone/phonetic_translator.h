// The phonetic translator of the diphone voice: turns a run of text into the
// phonetic string the diphone synthesizer reads. It owns the translator's
// rule lists (one per key start character 32..95, in file order) and its
// sorted exception table, both loaded when the synthesizer starts.
//
// Output notation: one block per word, "[" piece "/" piece ... "]", whose
// pieces are rule outputs; a word that is spelled gives one block
// "[ /_" character "]" per character. Accented letters are written as the
// base letter followed by a mark (' ^ ` ~ "), and the stressed vowel of a
// word is upper case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct PhoneticRule {
    std::string left;   // at most 5 characters
    std::string key;    // 1..5 characters, upper case
    std::string right;  // at most 5 characters
    std::string output; // at most 11 characters
};

// Empties the rule lists and the exception table.
void resetPhoneticTranslator();
// Loads the rule file (POSIX path); false when it cannot be read.
bool loadPhoneticRules(const std::string& path);
// Loads the exception file (POSIX path); false when it cannot be read.
bool loadPhoneticExceptions(const std::string& path);
// The same from file contents already in memory (the fuzzer, the tools).
void loadPhoneticRulesText(std::string_view content);
void loadPhoneticExceptionsText(std::string_view content);
void releasePhoneticRules();

std::string translateToPhonetic(std::string_view text);

// Pieces of the translation, exposed for tests and the voice tools.
// Text preparation: W/Y next to letters, the character table, "ç" as "ss".
std::string preparePhoneticText(std::string_view text);
// Upper-cases the stressed vowel of a lower-case word (vowelCount and
// marked describe the word as it was read).
void markPhoneticStress(std::string& word, int vowelCount, bool marked);
// Every loaded rule, list after list.
std::vector<PhoneticRule> loadedPhoneticRules();
int phoneticExceptionCount();
