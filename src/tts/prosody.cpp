// Tokens, intonation codes, durations, pitch points and diphone bridging.
#include "tts/prosody.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "platform/encoding.h"
#include "platform/text.h"
#include "tts/engine_files.h"
#include "tts/text_normalizer.h"

namespace {

struct Duration {
    std::string phoneme; // at most 2 characters
    int ms;
};
struct TChave {
    std::string word, wordClass;
};
struct TProsodia {
    std::string previous, current, next; // classes, at most 3 characters; empty = any
    std::string code;
};

std::vector<Duration> durations;
std::vector<TChave> keywords; // sorted by word
std::vector<TProsodia> patterns;
int pitchBase = 230;
std::array<int, 10> levels{}; // never cleared: a file without levels keeps the previous ones
std::string message;
std::vector<std::string> diphones; // sorted ignoring case

bool lessIgnoringCase(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return upperLatin(x) < upperLatin(y);
    });
}

void showMessage(const std::string& text) {
    message = text;
    // Speech starts before the console exists, and a failed prosody file
    // means the engine does not start: the reason goes to standard error.
    std::fprintf(stderr, "%s\n", cp1252ToUtf8(text).c_str());
}

bool isDiphoneNameChar(char c) {
    return isEngineLetter(static_cast<unsigned char>(c)) || c == '@' || c == '2' || c == '_';
}

// The lines of one section: from the line after its header to the next line
// that starts with "[", without blank and "*" or ";" lines. False when the
// header is missing.
bool sectionLines(const std::vector<std::string>& lines, std::string_view header,
                  std::vector<std::string>& out) {
    out.clear();
    size_t i = 0;
    while (i < lines.size() && trimView(lines[i]) != header) ++i;
    if (i == lines.size()) return false;
    for (++i; i < lines.size(); ++i) {
        std::string line = trim(lines[i]);
        if (line.starts_with("[")) break;
        if (line.empty() || line[0] == '*' || line[0] == ';') continue;
        out.push_back(line);
    }
    return true;
}

// A three-character code: longer ones are cut, shorter ones filled with the
// middle level, so every token header keeps its layout.
std::string threeCharacters(std::string code) {
    code.resize(3, '5');
    return code;
}

// floor(value), kept within 0..1 000 000 000 whatever the factors are.
int64_t wholeNumber(double value) {
    if (!(value > 0)) return 0;
    return value >= 1e9 ? 1000000000 : static_cast<int64_t>(std::floor(value));
}

} // namespace

const std::string& lastProsodyMessage() {
    return message;
}
int basePitch() {
    return pitchBase;
}
int pitchLevel(int digit) {
    return digit >= 0 && digit <= 9 ? levels[digit] : 0;
}

bool loadProsody(const std::string& path) {
    durations.clear();
    keywords.clear();
    patterns.clear();
    pitchBase = 230;
    message.clear();
    std::vector<std::string> lines, section;
    if (!readEngineFile(path, lines)) {
        showMessage(cp1252("Configuração da prosódia não foi achada"));
        return false;
    }

    if (!sectionLines(lines, cp1252("[DURAÇÃO]"), section)) {
        showMessage(cp1252("Duração dos difones errada ou ausente"));
        return false;
    }
    for (const std::string& line : section) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            showMessage(cp1252("Configuração da prosódia: fonema errado: ") + line);
            return false;
        }
        int32_t ms;
        if (!convertInteger(trim(line.substr(equals + 1)), ms)) {
            showMessage(cp1252("Configuração da prosódia: fonema errado: ") + line);
            ms = 100;
        }
        if (static_cast<int>(durations.size()) < MAX_DURATIONS)
            durations.push_back({trim(line.substr(0, equals)).substr(0, 2), ms});
    }

    if (!sectionLines(lines, "[CHAVES]", section)) {
        showMessage(cp1252("Prosódia: palavras chaves ausentes"));
        return false;
    }
    for (const std::string& line : section) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) {
            showMessage(cp1252("Configuração da prosódia: chave errada: ") + line);
            return false;
        }
        if (static_cast<int>(keywords.size()) < MAX_KEYWORDS)
            keywords.push_back({toUpperLatin(trim(line.substr(0, equals))),
                                toUpperLatin(trim(line.substr(equals + 1))).substr(0, 2)});
    }
    std::stable_sort(keywords.begin(), keywords.end(),
                     [](const TChave& a, const TChave& b) { return a.word < b.word; });

    if (!sectionLines(lines, cp1252("[PROSÓDIA]"), section)) {
        showMessage(cp1252("Prosódia: especificações ausentes"));
        return false;
    }
    for (const std::string& raw : section) {
        std::string line = toUpperLatin(raw);
        // A value that does not convert fails the load (the engine then does
        // not start) instead of leaving a half-read configuration.
        auto badValue = [&] {
            showMessage(cp1252("Configuração da prosódia: chave errada: ") + raw);
            return false;
        };
        if (line.starts_with("HERTZ=")) {
            int32_t hz;
            if (!convertInteger(trim(line.substr(6)), hz)) return badValue();
            pitchBase = hz;
        } else if (line.starts_with("TABHERTZ=")) {
            std::array<int, 10> values{};
            std::string_view rest = std::string_view(line).substr(9);
            for (int d = 0; d < 10; ++d) {
                size_t comma = rest.find(',');
                if (comma == std::string_view::npos && d < 9) return badValue();
                int32_t v;
                if (!convertInteger(trim(rest.substr(0, comma)), v)) return badValue();
                values[d] = v;
                rest =
                    comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
            }
            levels = values;
        } else {
            size_t equals = line.find('=');
            if (equals == std::string::npos) {
                showMessage(cp1252("Configuração da prosódia: chave errada: ") + raw);
                return false;
            }
            std::string context = trim(line.substr(0, equals));
            TProsodia pattern;
            std::string* fields[3] = {&pattern.previous, &pattern.current, &pattern.next};
            size_t start = 0;
            for (int f = 0; f < 3 && start <= context.size(); ++f) {
                size_t bar = context.find('|', start);
                size_t end = bar == std::string::npos ? context.size() : bar;
                *fields[f] = context.substr(start, std::min<size_t>(end - start, 3));
                if (bar == std::string::npos) break;
                start = bar + 1;
            }
            pattern.code = threeCharacters(trim(line.substr(equals + 1)));
            if (static_cast<int>(patterns.size()) < MAX_PATTERNS)
                patterns.push_back(std::move(pattern));
        }
    }
    return true;
}

bool loadDiphoneList(const std::string& path) {
    diphones.clear();
    std::vector<std::string> lines;
    if (!readEngineFile(path, lines)) return false;
    for (const std::string& raw : lines) {
        std::string line = trim(raw);
        if (line.empty() || line[0] == '!' || line[0] == '*' || line[0] == ';') continue;
        size_t i = 0;
        while (i < line.size() && isDiphoneNameChar(line[i])) ++i;
        std::string pair = line.substr(0, i) + "-";
        ++i;
        while (i < line.size() && !isDiphoneNameChar(line[i])) ++i;
        while (i < line.size() && isDiphoneNameChar(line[i])) pair += line[i++];
        diphones.push_back(std::move(pair));
    }
    std::sort(diphones.begin(), diphones.end(), lessIgnoringCase);
    return true;
}

void releaseDiphoneList() {
    diphones.clear();
}

bool hasDiphone(std::string_view first, std::string_view second) {
    std::string pair = std::string(first) + "-" + std::string(second);
    auto it = std::lower_bound(diphones.begin(), diphones.end(), pair, lessIgnoringCase);
    return it != diphones.end() && !lessIgnoringCase(pair, *it);
}

int durationOf(std::string_view phoneme) {
    for (const Duration& d : durations)
        if (d.phoneme == phoneme) return d.ms;
    return 100;
}

std::string keywordClass(std::string_view word) {
    std::string key = toUpperLatin(word);
    auto it = std::lower_bound(keywords.begin(), keywords.end(), key,
                               [](const TChave& k, const std::string& w) { return k.word < w; });
    return it != keywords.end() && it->word == key ? it->wordClass : std::string();
}

std::string nextToken(std::string_view text, size_t& pos, bool& punctuation) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    punctuation = true;
    if (pos + 1 < text.size() && text[pos] == '.' && text[pos + 1] == '.') {
        while (pos < text.size() && text[pos] == '.') ++pos;
        return ".-";
    }
    if (pos < text.size() && !isEngineLetter(static_cast<unsigned char>(text[pos]))) {
        std::string token(2, text[pos]);
        ++pos;
        return token;
    }
    punctuation = false;
    size_t start = pos;
    while (pos < text.size() && isEngineLetter(static_cast<unsigned char>(text[pos]))) ++pos;
    return std::string(text.substr(start, pos - start));
}

std::vector<std::string> tokenize(std::string_view text) {
    std::vector<std::string> list{"[--]"};
    size_t pos = 0;
    while (pos < text.size()) {
        bool punctuation;
        std::string token = nextToken(text, pos, punctuation);
        if (token.empty()) break;
        std::string wordClass;
        if (punctuation) {
            wordClass = token;
            token.resize(1);
        } else {
            wordClass = keywordClass(token);
            if (wordClass.empty()) wordClass = "XX";
        }
        list.push_back("[" + wordClass + "]" + token);
        if (token[0] == '!' || token[0] == '.' || token[0] == '?') list.push_back("[--]");
    }
    return list;
}

std::vector<std::string> assignIntonation(const std::vector<std::string>& tokens,
                                          bool usePatterns) {
    std::vector<std::string> out;
    std::string prev, cur, next;
    char lastLevel = '5';
    auto classOf = [](const std::string& item) {
        return item.size() > 1 ? item.substr(1, 2) : std::string();
    };
    for (size_t position = 0; position <= tokens.size(); ++position) {
        prev = std::move(cur);
        cur = std::move(next);
        next = position < tokens.size() ? tokens[position] : std::string();
        if (cur.empty()) continue;
        std::string p = classOf(prev), c = classOf(cur), n = classOf(next);
        std::string code;
        if (usePatterns)
            for (const TProsodia& pattern : patterns)
                if ((pattern.previous.empty() || pattern.previous == p) &&
                    (pattern.current.empty() || pattern.current == c) &&
                    (pattern.next.empty() || pattern.next == n)) {
                    code = pattern.code;
                    break;
                }
        if (code.empty()) code = "555";
        if (code[0] == '?') code[0] = lastLevel;
        lastLevel = code[2];
        out.push_back(code + "|" + (cur.size() > 4 ? cur.substr(4) : std::string()));
    }
    return out;
}

std::vector<std::string> buildMbrolaLines(const std::vector<std::string>& phonemes,
                                          double durationFactor, double pitchFactor) {
    std::vector<std::string> out;
    int stressPercent = 100;
    std::string code = "555";
    int stage = 0;
    size_t tokenLength = 0;
    // Each utterance starts from silence. Only phoneme lines take part in
    // the pairs: token comments and word ends are not sounds.
    std::string prevPhoneme = "_", curPhoneme;
    for (size_t i = 0; i < phonemes.size(); ++i) {
        std::string line = phonemes[i];
        bool last = i + 1 == phonemes.size() || phonemes[i + 1].empty();
        bool phonemeLine = false;
        if (line.empty()) {
            stressPercent = 100;
        } else if (line[0] == ';' && line.size() >= 5 && line[4] == '|') {
            code = line.substr(1, 3);
            line.erase(1, 4);
            tokenLength = line.size();
            stage = 0;
        } else {
            if (line[0] == '>') {
                stressPercent = 145;
                line.erase(0, 1);
                if (line.starts_with("\xA8")) line.erase(0, 1);
                stage = 2;
            } else if (line[0] == '\xA8') {
                line.erase(0, 1);
                stressPercent = 100;
            }
            int64_t d;
            if (line.starts_with("_")) {
                if (line == "_")
                    d = 100;
                else if (line[1] == ' ')
                    d = convertIntegerLenient(trimView(std::string_view(line).substr(2)));
                else
                    d = durationOf(line);
                line = "_";
            } else {
                d = durationOf(line);
                if (stage < 2) {
                    if (tokenLength > 13)
                        d = d * 80 / 100;
                    else if (tokenLength > 9)
                        d = d * 90 / 100;
                }
            }
            curPhoneme = line;
            phonemeLine = true;
            int64_t ms = wholeNumber(std::floor(d * stressPercent * durationFactor) / 100);
            line = curPhoneme + " " + std::to_string(ms);
            char level = 0;
            int position = 50;
            if (stage == 0) {
                level = code[0];
                stage = 1;
            } else if (stage == 2) {
                level = code[1];
                position = 80;
                stage = 3;
            } else if (stage == 3 && last) {
                level = code[2];
            }
            if (isDigitChar(level) && levels[level - '0'] != 0) {
                int64_t pitch =
                    wholeNumber(std::floor(levels[level - '0'] * pitchFactor * pitchBase) / 100);
                line += " " + std::to_string(position) + " " + std::to_string(pitch);
            }
        }
        if (phonemeLine) {
            if (!hasDiphone(prevPhoneme, curPhoneme)) {
                if (prevPhoneme == "r2" && hasDiphone("r2", "_"))
                    out.push_back("_ 50");
                else if (hasDiphone(prevPhoneme, "y"))
                    out.push_back("y 50");
                else
                    out.push_back("_ 50");
            }
            prevPhoneme = curPhoneme;
        }
        out.push_back(std::move(line));
    }
    return out;
}
