// Derives the unit inventory from the rule outputs.
#include "diphone/voice_inventory.h"

#include "diphone/diphone_synth.h"
#include "diphone/phonetic_translator.h"

#include <algorithm>
#include <set>

namespace {

bool hasVowel(const std::string& s) {
    return s.find_first_of("AEIOUaeiou") != std::string::npos;
}

bool isGlidePiece(const std::string& s) { return s == "w" || s == "y"; }

bool endsInGlide(const std::string& s) { return !s.empty() && (s.back() == 'w' || s.back() == 'y'); }

// Letter pieces ("/_x") are played from letter files, not from the index.
bool isLetterPiece(const std::string& s) { return s.find('_') != std::string::npos; }

} // namespace

std::vector<std::string> phoneticUnitsOfRules() {
    // Pieces split at blanks: the part before the first blank joins the
    // unit before it; every later part starts a unit.
    std::set<std::string> onsets, startNuclei, joinedNuclei, glides, finals;
    for (const PhoneticRule& rule : loadedPhoneticRules()) {
        const std::string& out = rule.output;
        size_t start = 0;
        bool first = true;
        while (start <= out.size()) {
            size_t blank = out.find(' ', start);
            if (blank == std::string::npos) blank = out.size();
            std::string part = out.substr(start, blank - start);
            part.erase(std::remove(part.begin(), part.end(), '/'), part.end());
            if (!part.empty() && !isLetterPiece(part)) {
                if (first) {
                    if (hasVowel(part)) joinedNuclei.insert(part);
                    else if (isGlidePiece(part)) glides.insert(part);
                    else finals.insert(part);
                } else {
                    if (hasVowel(part)) startNuclei.insert(part);
                    else onsets.insert(part);
                }
            }
            first = false;
            start = blank + 1;
        }
    }
    std::set<std::string> units;
    auto addWithTails = [&](const std::string& head) {
        std::vector<std::string> withGlide{head};
        if (!endsInGlide(head))
            for (const std::string& g : glides) withGlide.push_back(head + g);
        for (const std::string& u : withGlide) {
            units.insert(u);
            for (const std::string& f : finals) units.insert(u + f);
        }
    };
    for (const std::string& onset : onsets) {
        units.insert(onset);
        for (const std::string& f : finals) units.insert(onset + f);
        for (const std::string& nucleus : joinedNuclei) addWithTails(onset + nucleus);
    }
    for (const std::string& nucleus : startNuclei) addWithTails(nucleus);
    for (const std::string& nucleus : joinedNuclei) addWithTails(nucleus);
    return {units.begin(), units.end()};
}

std::vector<std::string> indexNamesOfRules() {
    std::set<std::string> names{"$NN"};
    for (const std::string& unit : phoneticUnitsOfRules())
        for (const std::string& name : diphoneNamesOfUnit(unit))
            if (name[0] == '$') names.insert(name);
    return {names.begin(), names.end()};
}
