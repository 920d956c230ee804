// Letter-to-sound rules, exceptions and stress placement.
#include "tts/letter_to_sound.h"

#include <algorithm>

#include "platform/text.h"
#include "tts/engine_files.h"

namespace {

std::array<std::vector<TRegra>, 256> ruleLists;

struct WordAlias {
    std::string word, replacement;
};
std::vector<WordAlias> exceptions; // sorted by word

constexpr size_t MAX_CONTEXT = 5, MAX_OUTPUT = 20, MAX_EXCEPTION_LINE = 255, OUTPUT_USED = 11;

unsigned char upperOf(char c) {
    return static_cast<unsigned char>(upperLatin(c));
}

bool isVowel(char c) {
    switch (upperOf(c)) {
    case 'A':
    case 'E':
    case 'I':
    case 'O':
    case 'U':
    case 0xC0:
    case 0xC1:
    case 0xC2:
    case 0xC3:
    case 0xC9:
    case 0xCA:
    case 0xCC:
    case 0xCD:
    case 0xD3:
    case 0xD4:
    case 0xD5:
    case 0xD9:
    case 0xDA:
    case 0xDC:
        return true;
    default:
        return false;
    }
}

bool isConsonant(char c) {
    unsigned char u = upperOf(c);
    if (u == 0xC7 || u == 0xD1) return true;
    return u >= 'B' && u <= 'Z' && u != 'E' && u != 'I' && u != 'O' && u != 'U';
}

bool isBackVowel(char c) {
    unsigned char u = upperOf(c);
    return u == 'A' || u == 'O' || u == 0xC1 || u == 0xC2 || u == 0xD3 || u == 0xD4;
}

bool isFrontVowel(char c) {
    unsigned char u = upperOf(c);
    return u == 'E' || u == 'I' || u == 0xC9 || u == 0xCD;
}

bool isOneOf(char c, std::string_view set) {
    return set.find(upperLatin(c)) != std::string_view::npos;
}

// Left context, matched from its last symbol leftwards; `idx` is the 1-based
// position of the letter before the key (0 at the word's start).
bool leftMatches(std::string_view context, std::string_view word, size_t idx) {
    for (size_t k = context.size(); k-- > 0;) {
        char symbol = context[k];
        if (idx == 0) {
            if (symbol == '_' || symbol == '%') continue;
            return false;
        }
        char c = word[idx - 1];
        bool ok;
        switch (symbol) {
        case '#':
            ok = isVowel(c);
            break;
        case ']':
            ok = isBackVowel(c);
            break;
        case '_':
            ok = isVowel(c);
            break;
        case '|':
            ok = isOneOf(c, "NRS");
            break;
        case '%':
            ok = false;
            break;
        default:
            ok = c == symbol;
            break;
        }
        if (!ok) return false;
        --idx;
    }
    return true;
}

// Right context, matched from its first symbol rightwards; `idx` is the
// 0-based index of the letter after the key.
bool rightMatches(std::string_view context, std::string_view word, size_t idx) {
    for (char symbol : context) {
        bool atEnd = idx >= word.size();
        switch (symbol) {
        case '\\':
            if (!atEnd && upperLatin(word[idx]) == 'S') ++idx;
            continue;
        case '[':
            if (atEnd || (isConsonant(word[idx]) && upperLatin(word[idx]) != 'H')) continue;
            return false;
        case '%':
            if (atEnd) continue;
            return false;
        case '*':
            if (!atEnd && isConsonant(word[idx]) && !isOneOf(word[idx], "LR")) continue;
            return false;
        default:
            break;
        }
        if (atEnd) return false;
        char c = word[idx];
        bool ok;
        switch (symbol) {
        case '#':
            ok = isVowel(c);
            break;
        case '+':
            ok = isFrontVowel(c);
            break;
        case '&':
            ok = isOneOf(c, "LMNRZ");
            break;
        default:
            ok = c == symbol;
            break;
        }
        if (!ok) return false;
        ++idx;
    }
    return true;
}

// Whether `rule` applies at the 0-based position `pos`.
bool ruleMatches(const TRegra& rule, std::string_view word, size_t pos) {
    if (word.substr(pos, rule.key.size()) != rule.key) return false;
    return leftMatches(rule.left, word, pos) &&
           rightMatches(rule.right, word, pos + rule.key.size());
}

char lowerOf(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != 0xD7))
        return static_cast<char>(u + 32);
    return c;
}

} // namespace

void releaseRules() {
    for (auto& list : ruleLists) list.clear();
    exceptions.clear();
}

const std::vector<TRegra>& rulesFor(unsigned char first) {
    return ruleLists[first];
}
int exceptionCount() {
    return static_cast<int>(exceptions.size());
}

bool loadRules(const std::string& path) {
    for (auto& list : ruleLists) list.clear();
    std::vector<std::string> lines;
    if (!readEngineFile(path, lines)) return false;
    for (const std::string& text : lines) {
        std::string_view line = text;
        if (line.starts_with(";")) continue;
        size_t open = line.find('(');
        if (open == std::string_view::npos) continue;
        TRegra rule;
        rule.left = line.substr(0, std::min(open, MAX_CONTEXT));
        std::string_view rest = line.substr(open + 1);
        size_t close = rest.find(')');
        rule.key = rest.substr(0, std::min(close, MAX_CONTEXT));
        if (close != std::string_view::npos) {
            rest = rest.substr(close + 1);
            size_t equals = rest.find('=');
            rule.right = rest.substr(0, std::min(equals, MAX_CONTEXT));
            if (equals != std::string_view::npos) {
                rest = rest.substr(equals + 1);
                rule.output = rest.substr(0, std::min(rest.find('|'), MAX_OUTPUT));
            }
        }
        if (rule.key.empty()) continue;
        ruleLists[static_cast<unsigned char>(rule.key[0])].push_back(std::move(rule));
    }
    return true;
}

bool loadExceptions(const std::string& path) {
    exceptions.clear();
    std::vector<std::string> lines;
    if (!readEngineFile(path, lines)) return false;
    for (const std::string& raw : lines) {
        if (static_cast<int>(exceptions.size()) >= MAX_EXCEPTIONS) break;
        if (raw.empty()) continue;
        std::string line =
            toUpperLatin(std::string_view(raw).substr(0, MAX_EXCEPTION_LINE)) + "|=|";
        size_t equals = line.find('=');
        size_t bar = line.find('|', equals + 1);
        exceptions.push_back({line.substr(0, equals), line.substr(equals + 1, bar - equals - 1)});
    }
    std::sort(exceptions.begin(), exceptions.end(),
              [](const WordAlias& a, const WordAlias& b) { return a.word < b.word; });
    return true;
}

std::string lookupException(const std::string& word) {
    std::string stem = word, suffix;
    while (true) {
        auto it =
            std::lower_bound(exceptions.begin(), exceptions.end(), stem,
                             [](const WordAlias& a, const std::string& w) { return a.word < w; });
        if (it != exceptions.end() && it->word == stem) return it->replacement + suffix;
        if (stem.empty() || (stem.back() != 'S' && stem.back() != 'M')) break;
        suffix.insert(suffix.begin(), stem.back());
        stem.pop_back();
        if (stem.empty()) break;
    }
    return word;
}

bool isUnstressedWord(std::string_view word) {
    if (word.size() <= 2) return true;
    for (const char* w : {"POR", "DAS", "DOS", "COM", "N\xC3O", "SIM"})
        if (word == w) return true;
    return false;
}

int findStressedVowel(std::string_view word) {
    std::string lower;
    for (char c : word) lower += lowerOf(c);
    const std::string_view accented = "\xE0\xE1\xE2\xE3\xE9\xEA\xED\xF3\xF4\xF5\xFA";
    const std::string_view vowelLetters = "aeiouwy\xFC";
    bool anyVowel = false;
    for (size_t i = lower.size(); i-- > 0;) {
        if (accented.find(lower[i]) != std::string_view::npos) return static_cast<int>(i + 1);
        anyVowel |= vowelLetters.find(lower[i]) != std::string_view::npos;
    }
    if (!anyVowel) return 0;

    enum State {
        START,
        FINAL_VOWEL,
        SEEK_VOWEL,
        AFTER_I_U,
        VOWEL_AFTER_U,
        I_U_AFTER_U,
        FINAL_U,
        FINAL_I,
        FINAL_I_AFTER_U,
        FINAL_CONSONANT,
        FINAL_M
    };
    State state = START;
    int result = 0;
    auto isAEO = [](char c) { return c == 'a' || c == 'e' || c == 'o'; };
    auto isVowelLetter = [&](char c) { return vowelLetters.find(c) != std::string_view::npos; };
    for (int here = static_cast<int>(lower.size()); here >= 1; --here) {
        char c = lower[here - 1];
        bool stop = false;
        switch (state) {
        case START:
            if (isAEO(c))
                result = here, state = FINAL_VOWEL;
            else if (c == 'i')
                result = here, state = FINAL_I;
            else if (c == 'u')
                result = here, state = FINAL_U;
            else if (c == 'm')
                state = FINAL_M;
            else if (c != 's')
                state = FINAL_CONSONANT;
            break;
        case FINAL_VOWEL:
            if (c == 'u')
                state = VOWEL_AFTER_U;
            else if (isVowelLetter(c))
                result = here, stop = true;
            else
                state = SEEK_VOWEL;
            break;
        case SEEK_VOWEL:
            if (isAEO(c))
                result = here, stop = true;
            else if (c == 'i' || c == 'u')
                result = here, state = AFTER_I_U;
            break;
        case AFTER_I_U:
            if (isAEO(c))
                result = here, stop = true;
            else if (c == 'u')
                state = I_U_AFTER_U;
            else
                stop = true;
            break;
        case VOWEL_AFTER_U:
            if (c == 'g' || c == 'q')
                result = here + 2, state = SEEK_VOWEL;
            else
                result = here + 1, stop = true;
            break;
        case I_U_AFTER_U:
        case FINAL_I_AFTER_U:
            result = (c == 'g' || c == 'q') ? here + 2 : here + 1;
            stop = true;
            break;
        case FINAL_U:
            if (isAEO(c) || c == 'i') result = here;
            stop = true;
            break;
        case FINAL_I:
            if (isAEO(c))
                result = here;
            else if (c == 'u')
                state = FINAL_I_AFTER_U;
            else
                stop = true;
            break;
        case FINAL_CONSONANT:
            if (isVowelLetter(c)) result = here, stop = true;
            break;
        case FINAL_M:
            if (c == 'i' || c == 'o' || c == 'u')
                result = here, stop = true;
            else if (c == 'a' || c == 'e')
                result = here, state = FINAL_VOWEL;
            else
                state = START;
            break;
        }
        if (stop) break;
    }
    return result;
}

void translateWord(std::string_view word, int stress, std::vector<std::string>& phonemes) {
    size_t s = stress < 1 ? 9999 : static_cast<size_t>(stress);
    std::string pending;
    size_t pos = 1; // 1-based, as the stress position
    while (pos <= word.size()) {
        unsigned char first = static_cast<unsigned char>(word[pos - 1]);
        const TRegra* applied = nullptr;
        if (first >= 32)
            for (const TRegra& rule : ruleLists[first])
                if (ruleMatches(rule, word, pos - 1)) {
                    applied = &rule;
                    break;
                }
        if (!applied) {
            ++pos; // a letter no rule knows is silent
            continue;
        }
        std::string_view output = std::string_view(applied->output).substr(0, OUTPUT_USED);
        for (char c : output) {
            if (pos >= s) {
                pending += '>';
                s = 255;
            }
            if (c == '&') {
                phonemes.push_back(pending);
                pending.clear();
            } else {
                pending += c;
            }
        }
        if (!output.empty()) {
            phonemes.push_back(pending);
            pending.clear();
        }
        pos += applied->key.size();
    }
    phonemes.push_back(pending);
}

void punctuationPause(char c, std::vector<std::string>& phonemes) {
    if (std::string_view("!(),.:;?").find(c) != std::string_view::npos)
        phonemes.push_back(std::string("_") + c);
}

std::vector<std::string> buildPhonemeList(const std::vector<std::string>& intonation) {
    std::vector<std::string> list;
    for (const std::string& item : intonation) {
        list.push_back(";" + item);
        std::string word =
            item.size() > 4 ? toUpperLatin(std::string_view(item).substr(4)) : std::string();
        if (word.empty()) {
            list.push_back("__");
            list.push_back("");
        } else if (std::string_view(" !(),.:;?").find(word[0]) != std::string_view::npos) {
            punctuationPause(word[0], list);
        } else {
            word = lookupException(word);
            translateWord(word, isUnstressedWord(word) ? 0 : findStressedVowel(word), list);
        }
    }
    list.push_back("__");

    // Liaison: a final r or s before a word that starts with an unstressed
    // vowel is said as the linking r or z.
    for (size_t i = 3; i + 1 < list.size();) {
        if (!list[i].starts_with(";")) {
            ++i;
            continue;
        }
        std::string_view next = list[i + 1];
        if (next.starts_with("\xA8")) next.remove_prefix(1);
        if (!next.empty() && std::string_view("aeiouwy").find(next[0]) != std::string_view::npos) {
            std::string& last = list[i - 2];
            if (last == "r2")
                last = "r";
            else if (last == "s2")
                last = "z";
        }
        i += 2;
    }
    return list;
}
