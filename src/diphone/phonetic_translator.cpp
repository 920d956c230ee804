// The diphone voice's phonetic translator: text preparation, word reading,
// exceptions, stress marking, spelling and rule matching.
#include "diphone/phonetic_translator.h"

#include "platform/files.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int FIRST_KEY_CHAR = 32;
constexpr int LAST_KEY_CHAR = 95;
constexpr size_t MAX_CONTEXT = 5;
constexpr size_t MAX_KEY = 5;
constexpr size_t MAX_OUTPUT = 11;
constexpr size_t MAX_EXCEPTIONS = 15000;
constexpr size_t MAX_LINE = 255;
constexpr size_t MAX_WORD = 255;
// Stands for a character the translator cannot say; the word it forms is
// spelled, and the synthesizer finds no sound for it.
constexpr char UNKNOWN_CHAR = '\x01';

std::vector<PhoneticRule> ruleLists[LAST_KEY_CHAR - FIRST_KEY_CHAR + 1];
std::vector<std::pair<std::string, std::string>> exceptions;

// What codes 128..255 become: Windows-1252 letters and the older PC code
// page letters share the table; nullptr means "no mapping".
const char* const HIGH_TABLE[128] = {
    /*128*/ "\xE7", "u\"", "e'", "a^", "a~", "a`", "a'", "\xE7",
    /*136*/ "e^", "e\"", "e`", "i\"", "i^", "i`", "a~", "a'",
    /*144*/ "e'", "ae", "-", "o^", "o~", "o`", "u^", "u`",
    /*152*/ "y-", "o~", "u\"", nullptr, nullptr, nullptr, nullptr, nullptr,
    /*160*/ "a'", "i'", "o'", "u'", "nh", "nh", nullptr, "\xA7",
    /*168*/ "?", nullptr, nullptr, "\xAA", nullptr, "!", "\"", "\"",
    /*176*/ nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    /*184*/ nullptr, nullptr, nullptr, "\xBA", nullptr, nullptr, nullptr, "?",
    /*192*/ "a`", "a'", "a^", "a~", "a~", "a", "ae", "\xE7",
    /*200*/ "e`", "e'", "e^", "e\"", "i`", "i'", "i^", "i\"",
    /*208*/ nullptr, "nh", "o`", "o'", "o^", "o~", "o`", "x",
    /*216*/ "0", "u`", "u'", "u^", "u", nullptr, nullptr, nullptr,
    /*224*/ "a`", "a'", "a^", "a~", "a~", "a", "ae", "\xE7",
    /*232*/ "e`", "e'", "e^", "e\"", "i`", "i'", "i^", "i\"",
    /*240*/ nullptr, "nh", "o`", "o'", "o^", "o~", "o`", "x",
    /*248*/ "0", "u`", "u'", "u^", "u", nullptr, nullptr, nullptr,
};

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isVowel(char c) {
    switch (upper(c)) {
    case 'A': case 'E': case 'I': case 'O': case 'U': return true;
    default: return false;
    }
}
bool isConsonant(char c) { return isLetter(c) && !isVowel(c); }
bool isMark(char c) { return c == '"' || c == '\'' || c == '^' || c == '`' || c == '~'; }
bool isWordChar(char c) { return isLetter(c) || isMark(c); }
bool isPauseChar(char c) {
    return c == ' ' || c == '!' || c == ',' || c == '.' || c == ':' || c == ';' || c == '?';
}
bool isBackVowel(char c) { return upper(c) == 'A' || upper(c) == 'O'; }
bool isFrontVowel(char c) { return upper(c) == 'E' || upper(c) == 'I'; }

std::vector<PhoneticRule>* listFor(char first) {
    int code = static_cast<unsigned char>(first);
    if (code < FIRST_KEY_CHAR || code > LAST_KEY_CHAR) return nullptr;
    return &ruleLists[code - FIRST_KEY_CHAR];
}

// Calls `take` with every line of `content` (CR LF or LF ends a line).
template <typename F>
void forEachLine(std::string_view content, F take) {
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string_view::npos) end = content.size();
        std::string_view line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        take(line);
        start = end + 1;
    }
}

std::string cut(std::string_view text, size_t length) { return std::string(text.substr(0, length)); }

// ---- Matching ----

// The word being translated: 1-based positions 1..n, 0 and n+1 outside.
struct WordView {
    const std::string& w;
    int n() const { return static_cast<int>(w.size()); }
    bool inside(int i) const { return i >= 1 && i <= n(); }
    char at(int i) const { return w[static_cast<size_t>(i - 1)]; }
    char up(int i) const { return upper(at(i)); }
};

bool matchLeft(const WordView& word, std::string_view context, int idx) {
    for (size_t j = context.size(); j-- > 0;) {
        char sym = context[j];
        switch (sym) {
        case '#':
            if (!word.inside(idx) || !(isVowel(word.at(idx)) || isMark(word.at(idx)))) return false;
            while (word.inside(idx) && (isVowel(word.at(idx)) || isMark(word.at(idx)))) --idx;
            break;
        case '%':
            if (idx != 0) return false;
            break;
        case ']':
            if (word.inside(idx) && isBackVowel(word.at(idx))) {
                --idx;
            } else if (word.inside(idx - 1) && isMark(word.at(idx)) && isBackVowel(word.at(idx - 1))) {
                idx -= 2;
            } else {
                return false;
            }
            break;
        case '_':
            if (idx == 0) break;
            if (word.inside(idx) && isVowel(word.at(idx))) {
                --idx;
            } else if (word.inside(idx - 1) && isMark(word.at(idx)) && isVowel(word.at(idx - 1))) {
                idx -= 2;
            } else {
                return false;
            }
            break;
        case '|':
            if (!word.inside(idx)) return false;
            if (word.up(idx) != 'N' && word.up(idx) != 'R' && word.up(idx) != 'S') return false;
            --idx;
            break;
        default:
            if (!word.inside(idx) || word.up(idx) != sym) return false;
            --idx;
        }
    }
    return true;
}

bool matchRight(const WordView& word, std::string_view context, int idx) {
    for (char sym : context) {
        switch (sym) {
        case '#':
            if (!word.inside(idx) || !(isVowel(word.at(idx)) || isMark(word.at(idx)))) return false;
            while (word.inside(idx) && (isVowel(word.at(idx)) || isMark(word.at(idx)))) ++idx;
            break;
        case '%':
            if (idx != word.n() + 1) return false;
            break;
        case '&': {
            if (!word.inside(idx)) return false;
            char c = word.up(idx);
            if (c != 'L' && c != 'N' && c != 'M' && c != 'R' && c != 'Z') return false;
            ++idx;
            break;
        }
        case '+':
            if (!word.inside(idx) || !isFrontVowel(word.at(idx))) return false;
            ++idx;
            if (word.inside(idx) && isMark(word.at(idx))) ++idx;
            break;
        case '\\':
            if (word.inside(idx) && word.up(idx) == 'S') ++idx;
            break;
        case '*':
            if (!word.inside(idx) || !isConsonant(word.at(idx))) return false;
            if (word.up(idx) == 'R' || word.up(idx) == 'L') return false;
            break;
        case '[':
            if (word.inside(idx) && (!isConsonant(word.at(idx)) || word.up(idx) == 'H')) return false;
            break;
        default:
            if (!word.inside(idx) || word.up(idx) != sym) return false;
            ++idx;
        }
    }
    return true;
}

bool matchRule(const PhoneticRule& rule, const WordView& word, int pos) {
    int k = static_cast<int>(rule.key.size());
    if (pos + k - 1 > word.n()) return false;
    for (int j = 0; j < k; ++j)
        if (word.up(pos + j) != rule.key[static_cast<size_t>(j)]) return false;
    return matchLeft(word, rule.left, pos - 1) && matchRight(word, rule.right, pos + k);
}

// ---- Words ----

struct Word {
    std::string text;
    int vowels = 0;
    bool marked = false;
};

// Reads the next word of the prepared text from `pos` (0-based); false at the end.
bool nextPhoneticWord(std::string_view text, size_t& pos, Word& word) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos >= text.size()) return false;
    word = Word{};
    char c = lower(text[pos]);
    if (!isLetter(c)) {
        word.text.assign(1, c);
        ++pos;
        return true;
    }
    // A run longer than the word buffer goes on as the next word.
    while (pos < text.size() && isWordChar(text[pos]) && word.text.size() < MAX_WORD) {
        char ch = lower(text[pos]);
        if (isVowel(ch)) ++word.vowels;
        if (isMark(ch) && ch != '"') word.marked = true;
        word.text += ch;
        ++pos;
    }
    return true;
}

const std::string* findException(const std::string& word) {
    auto it = std::lower_bound(exceptions.begin(), exceptions.end(), word,
                               [](const auto& entry, const std::string& w) { return entry.first < w; });
    if (it != exceptions.end() && it->first == word) return &it->second;
    return nullptr;
}

void applyExceptions(std::string& word) {
    if (exceptions.empty()) return;
    std::string stem = word, suffix;
    while (!stem.empty()) {
        if (const std::string* replacement = findException(stem)) {
            word = cut(*replacement + suffix, MAX_WORD);
            return;
        }
        char last = stem.back();
        if (last != 's' && last != 'm') return;
        suffix.insert(suffix.begin(), last);
        stem.pop_back();
    }
}

bool isSpelled(const std::string& word) {
    if (!word.empty() && word[0] == UNKNOWN_CHAR) return true;
    return std::all_of(word.begin(), word.end(), [](char c) { return isConsonant(c) || isPauseChar(c); });
}

void appendSpelled(const std::string& word, std::string& out) {
    for (char c : word) {
        out += "[ /_";
        out += c;
        out += ']';
    }
}

void translatePhoneticWord(const std::string& word, std::string& out) {
    WordView view{word};
    out += '[';
    int pos = 1;
    while (pos <= view.n()) {
        char c = view.up(pos);
        const PhoneticRule* found = nullptr;
        if (const std::vector<PhoneticRule>* list = listFor(c)) {
            for (const PhoneticRule& rule : *list) {
                if (matchRule(rule, view, pos)) {
                    found = &rule;
                    break;
                }
            }
        }
        std::string piece;
        if (found) {
            piece = found->output;
        } else {
            piece = " /_";
            piece += c;
        }
        char original = view.at(pos);
        if (original >= 'A' && original <= 'Z' && isVowel(original)) {
            for (char& p : piece) {
                if (isVowel(p)) {
                    p = upper(p);
                    break;
                }
            }
        }
        out += piece;
        pos += found ? static_cast<int>(found->key.size()) : 1;
        if (pos <= view.n()) out += '/';
    }
    out += ']';
}

} // namespace

void resetPhoneticTranslator() {
    for (auto& list : ruleLists) list.clear();
    exceptions.clear();
}

void releasePhoneticRules() { resetPhoneticTranslator(); }

void loadPhoneticRulesText(std::string_view content) {
    resetPhoneticTranslator();
    forEachLine(content, [](std::string_view line) {
        if (!line.empty() && line[0] == ';') return;
        size_t open = line.find('(');
        if (open == std::string_view::npos) return;
        PhoneticRule rule;
        rule.left = cut(line.substr(0, open), MAX_CONTEXT);
        std::string_view rest = line.substr(open + 1);
        size_t close = rest.find(')');
        rule.key = cut(rest.substr(0, close), MAX_KEY);
        if (close != std::string_view::npos) {
            rest = rest.substr(close + 1);
            size_t equals = rest.find('=');
            rule.right = cut(rest.substr(0, equals), MAX_CONTEXT);
            if (equals != std::string_view::npos) {
                rest = rest.substr(equals + 1);
                rule.output = cut(rest.substr(0, rest.find('|')), MAX_OUTPUT);
            }
        }
        if (rule.key.empty()) return;
        if (std::vector<PhoneticRule>* list = listFor(rule.key[0])) list->push_back(std::move(rule));
    });
}

bool loadPhoneticRules(const std::string& path) {
    std::string content;
    if (!readWholeFile(path, content)) {
        resetPhoneticTranslator();
        return false;
    }
    loadPhoneticRulesText(content);
    return true;
}

void loadPhoneticExceptionsText(std::string_view content) {
    exceptions.clear();
    forEachLine(content, [](std::string_view line) {
        if (exceptions.size() >= MAX_EXCEPTIONS) return;
        line = line.substr(0, MAX_LINE);
        if (line.empty() || line[0] == ';') return;
        std::string text = std::string(line) + "|=|";
        size_t equals = text.find('=');
        size_t bar = text.find('|', equals + 1);
        exceptions.emplace_back(text.substr(0, equals), text.substr(equals + 1, bar - equals - 1));
    });
    std::sort(exceptions.begin(), exceptions.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
}

bool loadPhoneticExceptions(const std::string& path) {
    std::string content;
    if (!readWholeFile(path, content)) {
        exceptions.clear();
        return false;
    }
    loadPhoneticExceptionsText(content);
    return true;
}

std::vector<PhoneticRule> loadedPhoneticRules() {
    std::vector<PhoneticRule> all;
    for (const auto& list : ruleLists) all.insert(all.end(), list.begin(), list.end());
    return all;
}

int phoneticExceptionCount() { return static_cast<int>(exceptions.size()); }

// Windows-1252 typographic punctuation. The character table below also
// serves texts of the old PC code page, where these bytes are accented
// letters; texts here are Windows-1252, so an ellipsis, curly quotes, dashes
// and the no-break space must not be read as letters.
static const char* typographicPunctuation(unsigned char c) {
    switch (c) {
    case 0x85: return ".";                               // ellipsis: a full stop's pause
    case 0x91: case 0x92: case 0x93: case 0x94: return " ";  // curly quotes
    case 0x95: case 0x96: case 0x97: return " ";          // bullet, en and em dash
    case 0xA0: return " ";                                // no-break space
    default: return nullptr;
    }
}

std::string preparePhoneticText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    auto letterAt = [&](size_t i) { return i < text.size() && isLetter(text[i]); };
    auto blankOrEdge = [&](size_t i, bool before) {
        if (before) return i == 0 || text[i - 1] == ' ';
        return i + 1 >= text.size() || text[i + 1] == ' ';
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        bool letterNear = (i > 0 && letterAt(i - 1)) || letterAt(i + 1);
        if ((c == 'W' || c == 'w') && letterNear) {
            c = 'u';
        } else if ((c == 'Y' || c == 'y') && (letterNear || (blankOrEdge(i, true) && blankOrEdge(i, false)))) {
            c = 'i';
        } else if (c == '\'' && i > 0 && (text[i - 1] == 'd' || text[i - 1] == 'D')) {
            continue;
        }
        unsigned char u = static_cast<unsigned char>(c);
        const char* mapped = nullptr;
        char single[2] = {c, 0};
        if (const char* punctuation = typographicPunctuation(u)) {
            out += punctuation;
            continue;
        }
        if (u < 32) {
            mapped = nullptr;
        } else if (u >= 128) {
            mapped = HIGH_TABLE[u - 128];
            if (mapped && mapped[0] == '\xE7') mapped = "ss";
        } else {
            mapped = single;
        }
        if (mapped) {
            out += mapped;
        } else {
            out += ' ';
            out += UNKNOWN_CHAR;
            out += ' ';
        }
    }
    return out;
}

void markPhoneticStress(std::string& word, int vowelCount, bool marked) {
    int n = static_cast<int>(word.size());
    if (marked || n == 0) return;
    if (!(vowelCount >= 2 || (vowelCount == 1 && lower(word.back()) == 'l'))) return;
    enum State { START, FINAL_VOWEL, FINAL_I_U, FINAL_CONSONANT, FINAL_M, FINAL_S, INNER_I_U } state = START;
    auto at = [&](int i) { return (i >= 1 && i <= n) ? lower(word[static_cast<size_t>(i - 1)]) : '\0'; };
    auto mark = [&](int i) {
        if (i >= 1 && i <= n) word[static_cast<size_t>(i - 1)] = upper(word[static_cast<size_t>(i - 1)]);
    };
    // The vowel that the scan marks if it runs past the first character.
    int pending = 0;
    for (int i = n; i >= 1; --i) {
        char c = at(i);
        bool aeo = c == 'a' || c == 'e' || c == 'o';
        bool iu = c == 'i' || c == 'u';
        switch (state) {
        case START:
            if (aeo) state = FINAL_VOWEL, pending = i;
            else if (iu) state = FINAL_I_U, pending = i;
            else if (c == 'l' || c == 'n' || c == 'r' || c == 'x' || c == 'z') state = FINAL_CONSONANT;
            else if (c == 'm') state = FINAL_M;
            else if (c == 's') state = FINAL_S;
            break;
        case FINAL_CONSONANT:
            if (isVowel(c)) return mark(i);
            break;
        case FINAL_M:
            if (c == 'a' || c == 'e') state = FINAL_VOWEL, pending = i;
            else if (iu) state = FINAL_I_U, pending = i;
            else if (c == 'o') return mark(i);
            break;
        case FINAL_S:
            if (aeo) state = FINAL_VOWEL, pending = i;
            else if (iu) state = FINAL_I_U, pending = i;
            break;
        case FINAL_I_U:
            if (isConsonant(c)) return mark(i + 1);
            // A u after g or q is silent, so the stress stays on the i or u after it.
            if ((c == 'u' && (at(i - 1) == 'g' || at(i - 1) == 'q')) ||
                ((at(i - 2) == 'g' || at(i - 2) == 'q') && at(i - 1) == 'u'))
                return mark(i + 1);
            return mark(i);
        case FINAL_VOWEL:
            if (aeo) return mark(i);
            if (iu) state = INNER_I_U, pending = i;
            break;
        case INNER_I_U: {
            if (isConsonant(c)) return mark(i + 1);
            if (c == 'u' && (at(i - 1) == 'g' || at(i - 1) == 'q')) return mark(i + 1);
            char next = at(i + 2), after = at(i + 3);
            if ((next == 'l' || next == 'm' || next == 'n' || next == 'r' || next == 'z') &&
                ((next == 'n' && after == 'h') || (next == 'r' && after == 'r') ||
                 (isConsonant(after) && after != 'h')))
                return mark(i + 1);
            return mark(i);
        }
        }
    }
    if (state == FINAL_I_U || state == INNER_I_U || state == FINAL_VOWEL) mark(pending);
}

std::string translateToPhonetic(std::string_view text) {
    std::string prepared = preparePhoneticText(text);
    std::string out;
    size_t pos = 0;
    Word word;
    while (nextPhoneticWord(prepared, pos, word)) {
        applyExceptions(word.text);
        markPhoneticStress(word.text, word.vowels, word.marked);
        if (isSpelled(word.text)) appendSpelled(word.text, out);
        else translatePhoneticWord(word.text, out);
    }
    return out;
}
