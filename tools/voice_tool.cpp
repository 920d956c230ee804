// Build-time helper of the diphone voice (not shipped).
//
//   voice_tool plan RULES EXCEPTIONS PLAN
//       writes one line per index name the rules need: the name, the
//       espeak-ng phoneme string that records it and the most samples kept
//       (0: all), separated by tabs.
//   voice_tool pack PLAN RAWDIR INDEX DATA
//       joins RAWDIR/<line>.raw (8-bit unsigned mono 11 025 Hz, one per plan
//       line, line numbers from 1) into the data file and writes the sorted
//       index of 15-byte records.
//   voice_tool translate RULES EXCEPTIONS TEXT...
//       prints the phonetic string of each UTF-8 text (for working on rules).
//   voice_tool speak OUT.wav CUT MINIMUM GAP TEXT
//       says the UTF-8 text with the voice of TALORA_HOME's FALARIS.INI and
//       the given settings into a WAV file (for checking by length or ear);
//       names the voice lacks are listed on standard error.
#include "diphone/diphone_synth.h"
#include "diphone/phonetic_translator.h"
#include "diphone/voice_inventory.h"
#include "platform/encoding.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

int fail(const std::string& message) {
    std::cerr << "voice_tool: " << message << "\n";
    return 1;
}

bool loadTranslator(const char* rules, const char* exceptions) {
    if (!loadPhoneticRules(rules)) return fail(std::string("cannot read ") + rules), false;
    if (!loadPhoneticExceptions(exceptions)) return fail(std::string("cannot read ") + exceptions), false;
    return true;
}

// The espeak-ng phonemes (pt-br) of a vowel of the notation with its mark.
std::string vowelPhoneme(char vowel, const std::string& mark) {
    bool circ = mark == "CIRC", til = mark == "TIL";
    switch (vowel) {
    case 'A': return til ? "&~" : circ ? "&" : "a";
    case 'E': return til ? "e~" : circ ? "e" : "E";
    case 'I': return til ? "i~" : "i";
    case 'O': return til ? "o~" : circ ? "o" : "O";
    case 'U': return til ? "u~" : "u";
    }
    return "";
}

// Consonants of the notation, longest first, with their espeak-ng phonemes.
const std::pair<const char*, const char*> CONSONANTS[] = {
    {"TCH", "tS"}, {"DJ", "dZ"}, {"NH", "n^"}, {"LH", "lj"}, {"RR", "x"}, {"KW", "kw"}, {"GW", "gw"},
    {"NN", "N"},   {"P", "p"},   {"B", "b"},   {"T", "t"},   {"D", "d"},  {"K", "k"},   {"G", "g"},
    {"F", "f"},    {"V", "v"},   {"S", "s"},   {"Z", "z"},   {"X", "S"},  {"J", "Z"},   {"M", "m"},
    {"N", "n"},    {"L", "l"},   {"R", "*"},
};

// The phoneme string that records an index name: consonants, then a
// stressed vowel with its glide; CIRC or TIL at the end marks the vowel.
bool espeakPhonemes(const std::string& name, std::string& phonemes) {
    std::string body = name.substr(1), mark;
    for (const char* m : {"CIRC", "TIL"}) {
        std::string tail = m;
        if (body.size() > tail.size() && body.compare(body.size() - tail.size(), tail.size(), tail) == 0) {
            mark = tail;
            body.resize(body.size() - tail.size());
            break;
        }
    }
    phonemes.clear();
    size_t i = 0;
    while (i < body.size() && std::string("AEIOU").find(body[i]) == std::string::npos) {
        bool found = false;
        for (const auto& [letters, phoneme] : CONSONANTS) {
            std::string l = letters;
            if (body.compare(i, l.size(), l) == 0) {
                phonemes += phoneme;
                i += l.size();
                found = true;
                break;
            }
        }
        if (!found) return false;
    }
    if (i == body.size()) return mark.empty() && !phonemes.empty();
    char vowel = body[i++];
    phonemes += "'" + vowelPhoneme(vowel, mark);
    if (i < body.size()) {
        char glide = body[i++];
        if (glide != 'W' && glide != 'Y') return false;
        if (mark == "TIL") phonemes += glide == 'W' ? "U~" : "j";
        else phonemes += glide == 'W' ? "U" : "I";
    }
    return i == body.size();
}

// Consonants that espeak-ng does not voice on their own (stops, nasals,
// liquids) are recorded before a short i and cut to their first 70 ms.
constexpr int CONSONANT_KEEP = 800;
bool needsVowelToSound(const std::string& name) {
    static const char* const SILENT_ALONE[] = {"$P", "$B",  "$T",  "$D", "$K",  "$G",  "$TCH", "$DJ",
                                               "$M", "$N",  "$NH", "$L", "$LH", "$R",  "$KW",  "$GW"};
    for (const char* n : SILENT_ALONE)
        if (name == n) return true;
    return false;
}

int plan(const char* rules, const char* exceptions, const char* out) {
    if (!loadTranslator(rules, exceptions)) return 1;
    std::ofstream file(out);
    for (const std::string& name : indexNamesOfRules()) {
        std::string phonemes;
        if (!espeakPhonemes(name, phonemes)) return fail("no recording for the name " + name);
        int keep = 0;
        if (needsVowelToSound(name)) {
            phonemes += "y";
            keep = CONSONANT_KEEP;
        }
        file << name << '\t' << phonemes << '\t' << keep << '\n';
    }
    return file.good() ? 0 : fail(std::string("cannot write ") + out);
}

void putLe(std::string& s, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((value >> (8 * i)) & 0xFF);
}

int pack(const char* planPath, const char* rawDir, const char* indexPath, const char* dataPath) {
    std::ifstream planFile(planPath);
    if (!planFile) return fail(std::string("cannot read ") + planPath);
    struct Entry {
        std::string name;
        size_t line;
    };
    std::vector<Entry> entries;
    std::string line;
    while (std::getline(planFile, line))
        if (!line.empty()) entries.push_back({line.substr(0, line.find('\t')), entries.size() + 1});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    std::string index, data;
    for (const Entry& e : entries) {
        std::ifstream raw(std::string(rawDir) + "/" + std::to_string(e.line) + ".raw", std::ios::binary);
        std::stringstream samples;
        samples << raw.rdbuf();
        std::string bytes = samples.str();
        if (!raw || bytes.empty()) return fail("no recording of " + e.name);
        if (bytes.size() > 65535) bytes.resize(65535);
        if (e.name.size() > 8) return fail("name longer than 8 characters: " + e.name);
        index += static_cast<char>(e.name.size());
        index += e.name + std::string(8 - e.name.size(), '\0');
        putLe(index, static_cast<uint32_t>(bytes.size()), 2);
        putLe(index, static_cast<uint32_t>(data.size()), 4);
        data += bytes;
    }
    std::ofstream indexFile(indexPath, std::ios::binary), dataFile(dataPath, std::ios::binary);
    indexFile << index;
    dataFile << data;
    if (!indexFile.good() || !dataFile.good()) return fail("cannot write the database");
    return 0;
}

int translate(const char* rules, const char* exceptions, int count, char** texts) {
    if (!loadTranslator(rules, exceptions)) return 1;
    for (int i = 0; i < count; ++i) std::cout << translateToPhonetic(utf8ToCp1252(texts[i])) << "\n";
    return 0;
}

std::string spoken;
void keepImage(const std::string& image) { spoken += image.substr(44); }
void reportMiss(const std::string& name) { std::cerr << "not recorded: " << name << "\n"; }

int speak(const char* out, int cut, int minimum, int gap, const char* text) {
    setDiphoneImageOutput(keepImage);
    setDiphoneMissHandler(reportMiss);
    setDiphoneParameters(cut, minimum, gap);
    if (int code = startDiphoneSynth()) return fail("the voice does not start: code " + std::to_string(code));
    speakPhonetic(translateToPhonetic(utf8ToCp1252(text)));
    stopDiphoneSynth();
    std::string header = "RIFF";
    putLe(header, static_cast<uint32_t>(spoken.size() + 36), 4);
    header += "WAVEfmt ";
    putLe(header, 16, 4);
    putLe(header, 1, 2);
    putLe(header, 1, 2);
    putLe(header, 11025, 4);
    putLe(header, 11025, 4);
    putLe(header, 1, 2);
    putLe(header, 8, 2);
    header += "data";
    putLe(header, static_cast<uint32_t>(spoken.size()), 4);
    std::ofstream file(out, std::ios::binary);
    file << header << spoken;
    std::cout << spoken.size() * 1000 / 11025 << " ms\n";
    return file.good() ? 0 : fail(std::string("cannot write ") + out);
}

} // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "plan" && argc == 5) return plan(argv[2], argv[3], argv[4]);
    if (command == "pack" && argc == 6) return pack(argv[2], argv[3], argv[4], argv[5]);
    if (command == "translate" && argc >= 4) return translate(argv[2], argv[3], argc - 4, argv + 4);
    if (command == "speak" && argc == 7)
        return speak(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), argv[6]);
    return fail("usage: voice_tool plan RULES EXC PLAN | pack PLAN RAWDIR IND DIF | translate RULES EXC TEXT... | "
                "speak OUT.wav CUT MINIMUM GAP TEXT");
}
