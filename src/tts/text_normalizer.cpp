// Portuguese text normalisation: numbers, abbreviations, spelled words and
// symbol names.
#include "tts/text_normalizer.h"

#include <array>
#include <vector>

#include "platform/text.h"
#include "tts/engine_files.h"

namespace {

struct Abbreviation {
    std::string key; // upper case; empty for a line without "=" (never matches)
    std::string expansion;
};
std::vector<Abbreviation> abbreviations;

constexpr size_t MAX_EXPANSION = 999;

// The fixed word tables, converted once from their UTF-8 spelling here.
struct Words {
    std::vector<std::string> units, teens, tens, hundreds, scaleOne, scaleMany;
    std::vector<std::string> ordinalUnits, ordinalTens, ordinalHundreds;
    std::string ordinalThousand;
    std::array<std::string, 256> symbols;
};

std::vector<std::string> table(std::initializer_list<const char*> utf8) {
    std::vector<std::string> out;
    for (const char* w : utf8) out.push_back(cp1252(w));
    return out;
}

Words makeWords() {
    Words w;
    w.units =
        table({"zero", "um", "dois", "três", "quatro", "cinco", "seis", "sete", "oito", "nove"});
    w.teens = table({"dez", "onze", "doze", "treze", "quatorze", "quinze", "dezesseis", "dezessete",
                     "dezoito", "dezenove"});
    w.tens = table({"", "", "vinte", "trinta", "quarenta", "cinqüenta", "sessenta", "setenta",
                    "oitenta", "noventa"});
    w.hundreds = table({"", "cento", "duzentos", "trezentos", "quatrocentos", "quinhentos",
                        "seiscentos", "setecentos", "oitocentos", "novecentos"});
    w.scaleOne = table({"trilhão ", "bilhão ", "milhão ", "mil "});
    w.scaleMany = table({"trilhões ", "bilhões ", "milhões ", "mil "});
    w.ordinalUnits = table({"", "primeiro", "segundo", "terceiro", "quarto", "quinto", "sexto",
                            "sétimo", "oitavo", "nono"});
    w.ordinalTens = table({"", "décimo", "vigésimo", "trigésimo", "quadragésimo", "quinquagésimo",
                           "sexagésimo", "septuagésimo", "octagésimo", "nonagésimo"});
    w.ordinalHundreds =
        table({"", "centésimo", "ducentésimo", "tricentésimo", "quadrigentésimo", "quingentésimo",
               "seiscentésimo", "septigentésimo", "octigentésimo", "nongentésimo"});
    w.ordinalThousand = cp1252("milésimo");

    // Names by code from the blank on; a..z are named like A..Z below.
    static const char* const fromBlank[] = {"espaço",
                                            "exclamação",
                                            "aspas",
                                            "sustenido",
                                            "cifrão",
                                            "porcento",
                                            "é comercial",
                                            "apóstrofo",
                                            "abre parênteses",
                                            "fecha parênteses",
                                            "asterisco",
                                            "mais",
                                            "vírgula",
                                            "traço",
                                            "ponto",
                                            "barra",
                                            "zéro",
                                            "um",
                                            "dois",
                                            "três",
                                            "quatro",
                                            "cinco",
                                            "seis",
                                            "séte",
                                            "oito",
                                            "nóve",
                                            "dois pontos",
                                            "ponto e vírgula",
                                            "menor que",
                                            "igual",
                                            "maior que",
                                            "interrogação",
                                            "arrôba",
                                            "a",
                                            "bê",
                                            " sê",
                                            " dê",
                                            "é",
                                            "éfe",
                                            "jê",
                                            "agá",
                                            "i",
                                            "jóta",
                                            "cá",
                                            "éle",
                                            "ême",
                                            "êne",
                                            "ó",
                                            "pê",
                                            "quê",
                                            "érre",
                                            "ésse",
                                            "tê",
                                            "u",
                                            "vê",
                                            "dábliu",
                                            "xis",
                                            "ípsilon",
                                            "zê",
                                            "abre colchete",
                                            "barra invertida",
                                            "fecha colchete",
                                            "circunflexo",
                                            "sublinhado",
                                            "crase"};
    for (size_t i = 0; i < std::size(fromBlank); ++i) w.symbols[32 + i] = cp1252(fromBlank[i]);
    for (int c = 'a'; c <= 'z'; ++c) w.symbols[c] = w.symbols[c - 32];
    w.symbols['j'] = cp1252("jota");
    w.symbols['n'] = cp1252("ene");
    static const char* const braces[] = {"abre chave", "barra vertical", "fecha chave", "til"};
    for (size_t i = 0; i < std::size(braces); ++i) w.symbols[123 + i] = cp1252(braces[i]);
    static const char* const fromInvertedExclamation[] = {"exclamação reversa",
                                                          "centavos de dólar",
                                                          "libras",
                                                          "símbolo de moeda",
                                                          "iene",
                                                          "barra interrompida",
                                                          "parágrafo",
                                                          "trema",
                                                          "copyright",
                                                          "ordinal feminino",
                                                          "Aspas esquerdas",
                                                          "negação",
                                                          "hífen",
                                                          "Marca registrada",
                                                          "mácron",
                                                          "grau",
                                                          "mais ou menos",
                                                          "elevado ao quadrado",
                                                          "elevado ao cubo",
                                                          "acento agudo",
                                                          "mi",
                                                          "pi",
                                                          "ponto no meio",
                                                          "cedilha",
                                                          "expoente um",
                                                          "ordinal masculino",
                                                          "aspas direitas",
                                                          "um quarto",
                                                          "um meio",
                                                          "três quartos",
                                                          "interrogação reversa",
                                                          "A grave",
                                                          "A agudo",
                                                          "A circunflexo",
                                                          "A com til",
                                                          "A com trema",
                                                          "A bola",
                                                          "A É",
                                                          "Cê cedilha",
                                                          "É grave",
                                                          "É agudo",
                                                          "É circunflexo",
                                                          "É com trema",
                                                          "I grave",
                                                          "I agudo",
                                                          "I circunflexo",
                                                          "I com trema",
                                                          "Dê cortado",
                                                          "N com til",
                                                          "Ó grave",
                                                          "Ó agudo",
                                                          "Ó circunflexo",
                                                          "Ó com til",
                                                          "Ó tremado",
                                                          "vezes",
                                                          "Ó cortado",
                                                          "U grave",
                                                          "U agudo",
                                                          "U circunflexo",
                                                          "U com trema"};
    for (size_t i = 0; i < std::size(fromInvertedExclamation); ++i)
        w.symbols[161 + i] = cp1252(fromInvertedExclamation[i]);
    // 224..255 are named like the code 32 lower; 221..223 have no name.
    for (int c = 224; c <= 255; ++c) w.symbols[c] = w.symbols[c - 32];
    return w;
}

const Words& words() {
    static const Words w = makeWords();
    return w;
}

bool isDigitAt(std::string_view text, size_t pos) {
    return pos < text.size() && isDigitChar(text[pos]);
}

bool startsAt(std::string_view text, size_t pos, std::string_view what) {
    return pos <= text.size() && text.substr(pos).starts_with(what);
}

bool isKeptPunctuation(char c) {
    return std::string_view(" !(),.:;?").find(c) != std::string_view::npos;
}

} // namespace

bool isEngineLetter(unsigned char c) {
    if (isAsciiLetter(static_cast<char>(c))) return true;
    switch (c | 0x20) { // the accented letters of both cases
    case 0xE0:
    case 0xE1:
    case 0xE2:
    case 0xE3:
    case 0xE7:
    case 0xE9:
    case 0xEA:
    case 0xEC:
    case 0xED:
    case 0xF1:
    case 0xF3:
    case 0xF4:
    case 0xF5:
    case 0xF9:
    case 0xFA:
    case 0xFC:
        return c >= 0xC0;
    default:
        return false;
    }
}

bool isEngineConsonant(unsigned char c) {
    if (c == 0xC7 || c == 0xD1 || c == 0xE7 || c == 0xF1) return true; // Ç Ñ ç ñ
    if (!isAsciiLetter(static_cast<char>(c))) return false;
    char u = upperAscii(static_cast<char>(c));
    return u != 'A' && u != 'E' && u != 'I' && u != 'O' && u != 'U';
}

std::string symbolName(unsigned char c) {
    return words().symbols[c];
}

bool loadAbbreviations(const std::string& path) {
    abbreviations.clear();
    std::vector<std::string> lines;
    if (!readEngineFile(path, lines)) return false;
    for (const std::string& raw : lines) {
        if (static_cast<int>(abbreviations.size()) >= MAX_ABBREVIATIONS) break;
        std::string line = trim(raw);
        if (line.empty() || line[0] == ';') continue;
        size_t equals = line.find('=');
        Abbreviation entry;
        if (equals == std::string::npos) {
            entry.expansion = line.substr(0, MAX_EXPANSION);
        } else {
            entry.key = toUpperLatin(trim(std::string_view(line).substr(0, equals)));
            entry.expansion = trim(std::string_view(line).substr(equals + 1, MAX_EXPANSION));
        }
        abbreviations.push_back(std::move(entry));
    }
    return true;
}

std::string lookupAbbreviation(std::string_view word) {
    std::string key = toUpperLatin(word);
    if (key.empty()) return {};
    for (const Abbreviation& a : abbreviations)
        if (a.key == key) return a.expansion;
    return {};
}

int abbreviationCount() {
    return static_cast<int>(abbreviations.size());
}

std::string groupWords(std::string_view digits) {
    const Words& w = words();
    int h = digits[0] - '0', t = digits[1] - '0', u = digits[2] - '0';
    if (h == 0 && t == 0 && u == 0) return {};
    if (h == 1 && t == 0 && u == 0) return "cem";
    std::string out;
    if (h != 0) {
        out = w.hundreds[h];
        if (t == 0 && u == 0) return out;
        out += " e ";
    }
    if (t == 1) return out + w.teens[u];
    if (t >= 2) {
        out += w.tens[t];
        if (u == 0) return out;
        out += " e ";
    }
    if (u >= 1) out += w.units[u];
    return out;
}

std::string cardinalWords(uint64_t value) {
    const Words& w = words();
    if (value == 0) return w.units[0];
    std::string digits = std::to_string(value);
    if (digits.size() < 15) digits.insert(0, 15 - digits.size(), '0');
    digits = digits.substr(digits.size() - 15);
    std::string part[5];
    int last = -1;
    for (int g = 0; g < 5; ++g) {
        std::string_view group = std::string_view(digits).substr(g * 3, 3);
        part[g] = groupWords(group);
        if (g < 4 && group != "000")
            part[g] += " " + (group == "001" ? w.scaleOne[g] : w.scaleMany[g]);
        if (!part[g].empty()) last = g;
    }
    std::string result;
    for (int g = 0; g < last; ++g) result += part[g];
    if (!result.empty()) result += "e ";
    result += part[last];
    if (result.starts_with("um mil") && !result.starts_with("um milh")) result.erase(0, 3);
    return result;
}

std::string ordinalWords(uint64_t value, bool feminine) {
    const Words& w = words();
    if (value >= 2000) return cardinalWords(value);
    if (value == 0) return w.units[0];
    int digit[4] = {static_cast<int>(value % 10), static_cast<int>(value / 10 % 10),
                    static_cast<int>(value / 100 % 10), static_cast<int>(value / 1000)};
    std::string text;
    for (int place = 0; place < 4; ++place) {
        if (digit[place] == 0) continue;
        std::string word = place == 0   ? w.ordinalUnits[digit[0]]
                           : place == 1 ? w.ordinalTens[digit[1]]
                           : place == 2 ? w.ordinalHundreds[digit[2]]
                                        : w.ordinalThousand;
        if (feminine) word.back() = 'a';
        text = word + " " + text;
    }
    return trim(text);
}

std::string readNumber(std::string_view text, size_t& pos) {
    const Words& w = words();
    // A run of digits with a dash in it is read digit by digit.
    size_t end = pos;
    bool dash = false;
    while (end < text.size() && (isDigitChar(text[end]) || text[end] == '-'))
        dash |= text[end++] == '-';
    if (dash) {
        std::string out;
        for (; pos < end; ++pos)
            out += " " + (text[pos] == '-' ? w.symbols['-'] : w.units[text[pos] - '0']);
        return out;
    }
    std::string prefix;
    while (pos < text.size() && text[pos] == '0' && isDigitAt(text, pos + 1)) {
        prefix += w.units[0] + " ";
        ++pos;
    }
    uint64_t value = 0;
    int digits = 0;
    while (pos < text.size()) {
        char c = text[pos];
        if (isDigitChar(c)) {
            if (digits == 15) break; // the following digits form the next number
            value = value * 10 + static_cast<uint64_t>(c - '0');
            ++digits;
            ++pos;
        } else if (c == '.' && isDigitAt(text, pos + 1) && isDigitAt(text, pos + 2) &&
                   isDigitAt(text, pos + 3) && !isDigitAt(text, pos + 4)) {
            ++pos; // a thousands separator
        } else {
            break;
        }
    }
    if (pos >= text.size() || text[pos] == ' ') return prefix + cardinalWords(value);
    std::string_view rest = text.substr(pos);
    if (rest[0] == '\xBA') {
        pos += 1;
        return ordinalWords(value, false);
    }
    if (rest[0] == '\xAA') {
        pos += 1;
        return ordinalWords(value, true);
    }
    if (rest.starts_with("o.")) {
        pos += 2;
        return ordinalWords(value, false);
    }
    if (rest.starts_with("a.")) {
        pos += 2;
        return ordinalWords(value, true);
    }
    if (rest.starts_with("os.")) {
        pos += 3;
        return ordinalWords(value, false) + "s";
    }
    if (rest.starts_with("as.")) {
        pos += 3;
        return ordinalWords(value, true) + "s";
    }
    return prefix + cardinalWords(value);
}

std::string scanWord(std::string_view text, size_t& pos) {
    size_t start = pos;
    bool allConsonants = true;
    while (pos < text.size() && isEngineLetter(static_cast<unsigned char>(text[pos]))) {
        allConsonants &= isEngineConsonant(static_cast<unsigned char>(text[pos]));
        ++pos;
        if (pos < text.size() && text[pos] == '-') ++pos;
    }
    std::string word(text.substr(start, pos - start));
    if (!allConsonants) return word;
    if (pos < text.size() && text[pos] == '.' && !lookupAbbreviation(word).empty()) return word;
    std::string spelled;
    for (char c : word) spelled += symbolName(static_cast<unsigned char>(c));
    return spelled;
}

std::string normalizeText(std::string_view input) {
    std::string single;
    if (input.size() == 1) {
        single = symbolName(static_cast<unsigned char>(input[0]));
        input = single;
    }
    std::string_view text = input;
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        char c = text[pos];
        size_t from = pos == 0 ? 0 : pos - 1;
        if (startsAt(text, from, " - ")) {
            out += ",";
            pos += 1;
        } else if (c == '-' && isDigitAt(text, pos + 1)) {
            out += "menos ";
            pos += 1;
        } else if (isDigitChar(c)) {
            out += readNumber(text, pos) + " ";
            while (pos + 1 < text.size() && (text[pos] == ',' || text[pos] == '.') &&
                   isDigitChar(text[pos + 1])) {
                out += text[pos] == ',' ? cp1252("vírgula ") : "ponto ";
                pos += 1;
                out += readNumber(text, pos) + " ";
            }
        } else if (isEngineLetter(static_cast<unsigned char>(c))) {
            std::string word = scanWord(text, pos);
            std::string expansion;
            if (startsAt(text, pos, ". ") && !(expansion = lookupAbbreviation(word)).empty()) {
                out += expansion;
                pos += 1;
            } else {
                out += word;
            }
        } else if (startsAt(text, pos, "...")) {
            out += "... ";
            pos += 3;
        } else if (c == '.' && pos + 1 < text.size() && text[pos + 1] != ' ') {
            out += " ponto ";
            pos += 1;
        } else {
            if (isKeptPunctuation(c))
                out += c;
            else if (c != '\t' && c != '\n' && c != '\r')
                out += " " + symbolName(static_cast<unsigned char>(c)) + " ";
            pos += 1;
        }
    }
    return out;
}
