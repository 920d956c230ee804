// Variables, argument reading, expressions and SEJA.
#include "interpreter/values.h"

#include "console/console.h"
#include "interpreter/script.h"
#include "platform/text.h"

#include <unordered_map>

namespace {

std::string slots[LAST_SLOT - FIRST_SLOT + 1];
std::vector<std::string> names;
std::unordered_map<std::string, int> nameIndex;
std::vector<std::string> parameters;
uint32_t randSeed = 0;
// Reused for every "$" name read, so reading a name does not allocate.
std::string nameBuffer;

// Reads a "$" name at the front of `text` (after the "$"), letters upper-cased.
// `allowUnderscore` is false inside parentheses.
size_t scanName(std::string_view text, bool allowUnderscore, std::string& name) {
    size_t i = 0;
    name.clear();
    while (i < text.size() && (isAsciiLetter(text[i]) || isDigitChar(text[i]) ||
                               (allowUnderscore && text[i] == '_'))) {
        name += upperAscii(text[i]);
        ++i;
    }
    return i;
}

int slotOfUpperName(const std::string& upper) {
    auto it = nameIndex.find(upper);
    if (it != nameIndex.end()) return FIRST_NAMED_SLOT + it->second;
    if (static_cast<int>(names.size()) >= MAX_NAMES) return -1;
    names.push_back(upper);
    nameIndex.emplace(upper, static_cast<int>(names.size()) - 1);
    return FIRST_NAMED_SLOT + static_cast<int>(names.size()) - 1;
}

// Deeper nesting of parentheses or signs than this fails the expression, so
// a line of thousands of "(" cannot exhaust the stack.
constexpr int MAX_EXPRESSION_DEPTH = 200;

// Expression parser over the text after "(". Blanks (spaces only) are skipped
// before every token. With `syntaxOnly`, variables that hold no number count
// as 0 and a division by zero gives 0: only the shape of the text matters.
class ExpressionParser {
public:
    ExpressionParser(std::string_view t, bool syntaxOnly) : text(t), syntaxOnly(syntaxOnly) {}

    bool expression(int32_t& value) {
        if (!term(value)) return false;
        while (true) {
            size_t opPos = skipSpaces();
            if (opPos >= text.size() || (text[opPos] != '+' && text[opPos] != '-')) return true;
            char op = text[opPos];
            pos = opPos + 1;
            size_t operandPos = pos;
            int32_t rhs;
            if (term(rhs)) {
                value = static_cast<int32_t>(op == '+' ? static_cast<uint32_t>(value) + static_cast<uint32_t>(rhs)
                                                       : static_cast<uint32_t>(value) - static_cast<uint32_t>(rhs));
                continue;
            }
            if (hardError) return false;
            // The operand could not be read: another "+" or "-" in its place is
            // an error; anything else leaves the operator ignored.
            pos = operandPos;
            size_t t = skipSpaces();
            if (t < text.size() && (text[t] == '+' || text[t] == '-')) {
                hardError = true;
                return false;
            }
            return true;
        }
    }

    std::string_view rest() {
        size_t p = skipSpaces();
        return text.substr(p);
    }

    bool hardError = false;

private:
    bool term(int32_t& value) {
        if (!factor(value)) return false;
        while (true) {
            size_t opPos = skipSpaces();
            if (opPos >= text.size() || (text[opPos] != '*' && text[opPos] != '/')) return true;
            char op = text[opPos];
            pos = opPos + 1;
            size_t operandPos = pos;
            int32_t rhs;
            if (factor(rhs)) {
                if (op == '*') {
                    value = static_cast<int32_t>(static_cast<uint32_t>(value) * static_cast<uint32_t>(rhs));
                } else {
                    if (rhs == 0) {
                        if (syntaxOnly) {
                            value = 0;
                            continue;
                        }
                        hardError = true;
                        return false;
                    }
                    value = (value == INT32_MIN && rhs == -1) ? INT32_MIN : value / rhs;
                }
                continue;
            }
            if (hardError) return false;
            pos = operandPos;
            size_t t = skipSpaces();
            if (t < text.size() && (text[t] == '*' || text[t] == '/')) {
                hardError = true;
                return false;
            }
            return true;
        }
    }

    bool factor(int32_t& value) {
        if (depth >= MAX_EXPRESSION_DEPTH) {
            hardError = true;
            return false;
        }
        ++depth;
        bool ok = nestedFactor(value);
        --depth;
        return ok;
    }

    bool numericVariable(int slot, int32_t& value) {
        if (convertInteger(variable(slot), value)) return true;
        value = 0;
        return syntaxOnly;
    }

    bool nestedFactor(int32_t& value) {
        size_t start = skipSpaces();
        if (start >= text.size()) return false;
        char c = text[start];
        if (isDigitChar(c)) {
            uint32_t v = 0;
            size_t i = start;
            while (i < text.size() && isDigitChar(text[i])) v = v * 10 + static_cast<uint32_t>(text[i++] - '0');
            pos = i;
            value = static_cast<int32_t>(v);
            return true;
        }
        if (isAsciiLetter(c)) {
            pos = start + 1;
            return numericVariable(upperAscii(c), value);
        }
        if (c == '$') {
            size_t n = scanName(text.substr(start + 1), false, nameBuffer);
            if (n == 0) return false;
            int slot = slotOfUpperName(nameBuffer);
            if (slot < 0) return false;
            pos = start + 1 + n;
            return numericVariable(slot, value);
        }
        if (c == '(') {
            pos = start + 1;
            if (!expression(value)) return false;
            size_t close = skipSpaces();
            if (close >= text.size() || text[close] != ')') return false;
            pos = close + 1;
            return true;
        }
        if (c == '-') {
            pos = start + 1;
            if (!factor(value)) return false;
            value = static_cast<int32_t>(0u - static_cast<uint32_t>(value));
            return true;
        }
        return false;
    }

    size_t skipSpaces() {
        while (pos < text.size() && text[pos] == ' ') ++pos;
        return pos;
    }

    std::string_view text;
    bool syntaxOnly;
    size_t pos = 0;
    int depth = 0;
};

const char* const WEEKDAYS[7] = {"Domingo", "Segunda", "Ter\xE7" "a", "Quarta", "Quinta", "Sexta", "S\xE1" "bado"};

std::string twoDigits(int v) {
    std::string s = decimal(v);
    return s.size() < 2 ? "0" + s : s;
}

// The value of a SEJA keyword source, or false when `rest` is none.
bool keywordValue(std::string_view rest, std::string& value) {
    if (rest.size() > 6) return false;
    std::string upper = toUpperLatin(rest);
    if (upper == "PARAMS") {
        value = decimal(static_cast<int64_t>(parameters.size()));
        for (const std::string& p : parameters) value += " " + p;
        return true;
    }
    if (upper == "CRLF") {
        value = "\r\n";
        return true;
    }
    if (upper != "DATA" && upper != "HORA" && upper != "DIA" && upper != "TEMPO") return false;
    int year, month, day, weekday, hour, minute, second, hundredths;
    currentDate(year, month, day, weekday);
    currentTime(hour, minute, second, hundredths);
    if (upper == "DATA") value = twoDigits(day) + "/" + twoDigits(month) + "/" + decimal(year);
    else if (upper == "HORA") value = twoDigits(hour) + ":" + twoDigits(minute) + ":" + twoDigits(second);
    else if (upper == "DIA") value = WEEKDAYS[weekday % 7];
    else {
        int d = weekday - runState.startWeekday;
        if (d < 0) d += 7;
        int64_t now = ((((static_cast<int64_t>(hour) + 24 * d) * 60 + minute) * 60 + second) * 100) + hundredths;
        value = decimal(now - runState.startTime);
    }
    return true;
}

bool charFromKeyNotation(std::string_view v, std::string& result) {
    result.clear();
    if (v.size() > 4 && v[3] == '#') {
        for (int i = 0; i < 3; ++i)
            if (v[i] != '0' && v[i] != '1') return true;
        v.remove_prefix(3);
    } else if (v.empty() || v[0] != '#') {
        return true;
    }
    v.remove_prefix(1);
    if (!v.empty() && v[0] == '0') return true;
    int32_t n;
    if (!convertInteger(v, n)) return true;
    result = std::string(1, static_cast<char>(n & 255));
    return true;
}

} // namespace

namespace {
size_t textLimit = MAX_TEXT_LENGTH;
} // namespace

std::string& variable(int slot) { return slots[slot - FIRST_SLOT]; }

size_t textLengthLimit() { return textLimit; }

void setTextLengthLimit(size_t limit) { textLimit = limit; }

bool appendWithinLimit(std::string& text, std::string_view part) {
    if (text.size() > textLimit || part.size() > textLimit - text.size()) return false;
    text += part;
    return true;
}

void resetVariables() {
    for (std::string& s : slots) s.clear();
    names.clear();
    nameIndex.clear();
}

int namedSlot(std::string_view name) {
    std::string upper = toUpperAscii(name);
    return slotOfUpperName(upper);
}

bool readVariable(std::string_view& text, int& slot) {
    text = trimView(text);
    if (text.empty()) return false;
    char c = text[0];
    if (c == '$') {
        size_t n = scanName(text.substr(1), true, nameBuffer);
        if (n == 0) return false;
        int s = slotOfUpperName(nameBuffer);
        if (s < 0) return false;
        slot = s;
        text = trimView(text.substr(1 + n));
        return true;
    }
    if (isAsciiLetter(c)) {
        if (text.size() > 1 && (isAsciiLetter(text[1]) || isDigitChar(text[1]))) return false;
        slot = upperAscii(c);
        text = trimView(text.substr(1));
        return true;
    }
    return false;
}

namespace {

// A string literal at the front of `text` (which starts with a double
// quote): "" inside stands for one quote, and a literal without its closing
// quote runs to the end. Returns the characters used. Kept out of line, like
// the other rare tokens, so the common ones stay cheap.
[[gnu::noinline]] size_t readLiteral(std::string_view text, std::string& scratch, std::string_view& value) {
    size_t q = text.find('"', 1);
    if (q == std::string_view::npos) {
        value = text.substr(1);
        return text.size();
    }
    if (q + 1 >= text.size() || text[q + 1] != '"') {
        // No doubled quote: the literal is a piece of the line itself.
        value = text.substr(1, q - 1);
        return q + 1;
    }
    scratch.clear();
    size_t i = 1;
    while (true) {
        q = text.find('"', i);
        if (q == std::string_view::npos) {
            scratch.append(text.substr(i));
            i = text.size();
            break;
        }
        scratch.append(text.substr(i, q - i));
        i = q + 1;
        if (i < text.size() && text[i] == '"') {
            scratch += '"';
            ++i;
            continue;
        }
        break;
    }
    value = scratch;
    return i;
}

// An expression in parentheses at the front of `text`; `text` keeps what
// follows the closing parenthesis.
[[gnu::noinline]] bool readParenthesised(std::string_view& text, std::string& scratch, std::string_view& value, bool syntaxOnly) {
    ExpressionParser parser(text.substr(1), syntaxOnly);
    int32_t result;
    if (!parser.expression(result)) return false;
    std::string_view rest = trimView(parser.rest());
    if (rest.empty() || rest[0] != ')') return false;
    scratch = decimal(result);
    value = scratch;
    text = trimView(rest.substr(1));
    return true;
}

// The slot of the "$" name at the front of `text`; returns the characters
// used, 0 when there is no name or the table is full.
[[gnu::noinline]] size_t readNamedSlot(std::string_view text, int& slot) {
    size_t n = scanName(text.substr(1), true, nameBuffer);
    if (n == 0) return 0;
    slot = slotOfUpperName(nameBuffer);
    return slot < 0 ? 0 : n + 1;
}

} // namespace

bool readValueView(std::string_view& text, std::string& scratch, std::string_view& value, bool syntaxOnly) {
    text = trimView(text);
    if (text.empty()) return false;
    char c = text[0];
    size_t used = 1;
    if (isAsciiLetter(c)) {
        value = slots[upperAscii(c) - FIRST_SLOT];
    } else if (c == '-' || isDigitChar(c)) {
        while (used < text.size() && isDigitChar(text[used])) ++used;
        value = text.substr(0, used);
    } else if (c == '"') {
        used = readLiteral(text, scratch, value);
    } else if (c == '$') {
        int slot;
        used = readNamedSlot(text, slot);
        if (used == 0) return false;
        value = slots[slot - FIRST_SLOT];
    } else if (c == '(') {
        return readParenthesised(text, scratch, value, syntaxOnly);
    } else {
        return false;
    }
    text = trimView(text.substr(used));
    return true;
}

bool readValue(std::string_view& text, std::string& value) {
    std::string_view view;
    if (!readValueView(text, value, view)) return false;
    if (view.data() != value.data() || view.size() != value.size()) value.assign(view);
    return true;
}

bool evaluateExpression(std::string_view& text, int32_t& result) {
    ExpressionParser parser(text, false);
    if (!parser.expression(result)) return false;
    text = parser.rest();
    return true;
}

void setScriptParameters(std::vector<std::string> p) { parameters = std::move(p); }

void seedRandom(uint32_t seed) { randSeed = seed; }

uint32_t randomBelow(uint32_t limit) {
    randSeed = randSeed * 0x08088405u + 1u;
    return static_cast<uint32_t>((static_cast<uint64_t>(randSeed) * limit) >> 32);
}

bool commandSeja(std::string_view args) {
    int target;
    if (!readVariable(args, target) || args.empty()) return false;
    if (args[0] == '=') {
        args = trimView(args.substr(1));
        if (args.empty()) return false;
    }
    std::string value;
    if (keywordValue(args, value)) {
        variable(target) = std::move(value);
        return true;
    }
    static const char* const FUNCTIONS[] = {"TAMANHO ", "MAIUSC ", "TRIM ", "POS ",
                                            "RAND ",    "PALAVRA ", "CHR ", "ASC "};
    for (const char* fn : FUNCTIONS) {
        std::string_view word(fn);
        if (!startsWithUpperLatin(args, word)) continue;
        std::string_view rest = trimView(args.substr(word.size()));
        std::string a, v;
        bool needsA = word == "POS " || word == "PALAVRA ";
        if (needsA && !readValue(rest, a)) return false;
        if (!readValue(rest, v) || !rest.empty()) return false;
        std::string result;
        if (word == "TAMANHO ") {
            result = decimal(static_cast<int64_t>(v.size()));
        } else if (word == "MAIUSC ") {
            result = toUpperLatin(v);
        } else if (word == "TRIM ") {
            result = trim(v);
        } else if (word == "POS ") {
            size_t p = a.empty() ? std::string::npos : v.find(a);
            result = decimal(p == std::string::npos ? 0 : static_cast<int64_t>(p) + 1);
        } else if (word == "RAND ") {
            int32_t limit;
            // A limit of 0 or below has no number to give.
            if (!convertInteger(v, limit) || limit <= 0) return false;
            result = decimal(randomBelow(static_cast<uint32_t>(limit)));
        } else if (word == "PALAVRA ") {
            int32_t n;
            if (!convertInteger(a, n) || n < 1) return false;
            for (int32_t i = 1; i < n && !v.empty(); ++i) {
                size_t sp = v.find(' ');
                v = sp == std::string::npos ? std::string() : trim(std::string_view(v).substr(sp + 1));
            }
            size_t sp = v.find(' ');
            if (sp != std::string::npos) v.erase(sp);
            result = std::move(v);
        } else if (word == "CHR ") {
            charFromKeyNotation(v, result);
        } else {
            result = v.size() == 1 ? "#" + decimal(static_cast<unsigned char>(v[0])) : std::string();
        }
        variable(target) = std::move(result);
        return true;
    }
    if (!readValue(args, value)) return false;
    variable(target) = std::move(value);
    return args.empty();
}
