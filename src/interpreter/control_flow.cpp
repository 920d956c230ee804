// Control flow: conditions, SE blocks, ENQUANTO and REPETE loops, labels,
// calls and TERMINA. There is no compiled structure: blocks and labels are
// found by scanning the script lines each time a command needs them, and
// every command only moves the current line of the run state. These scans
// and the condition run for every loop iteration, so they compare in place
// and never build temporary texts.
#include "interpreter/control_flow.h"

#include "interpreter/lista.h"
#include "interpreter/script.h"
#include "interpreter/values.h"
#include "platform/text.h"
#include "speech/speech.h"

#include <algorithm>

namespace {

// Digit-only values shorter than this are padded with zeros to this width,
// so that numbers compare by value.
constexpr size_t PAD_WIDTH = 21;

bool isDigitOnly(std::string_view text) {
    for (char c : text)
        if (!isDigitChar(c)) return false;
    return true;
}

// One comparison operand as padNumber(toUpperLatin(text)) would give it,
// read in place: `zeros` leading "0" characters, then the text upper-cased.
struct PaddedText {
    std::string_view text;
    size_t zeros;

    size_t size() const { return zeros + text.size(); }
    unsigned char at(size_t i) const {
        return static_cast<unsigned char>(i < zeros ? '0' : upperLatin(text[i - zeros]));
    }
};

// Pads digit-only operands to a common width: the usual 21, or the length of
// the longer one, so values longer than 21 digits still compare by value.
// The empty text gets one zero less than the width, which keeps it below
// "0".
void padOperands(PaddedText& a, PaddedText& b) {
    bool aDigits = isDigitOnly(a.text), bDigits = isDigitOnly(b.text);
    size_t width = PAD_WIDTH;
    if (aDigits) width = std::max(width, a.text.size());
    if (bDigits) width = std::max(width, b.text.size());
    auto zerosFor = [width](std::string_view t) { return t.empty() ? width - 1 : width - t.size(); };
    a.zeros = aDigits ? zerosFor(a.text) : 0;
    b.zeros = bDigits ? zerosFor(b.text) : 0;
}

// Byte-by-byte comparison of the two padded, upper-cased operands; a proper
// prefix is smaller.
int compareOperands(std::string_view aText, std::string_view bText) {
    if (isDigitOnly(aText) && isDigitOnly(bText)) {
        // Padded to one width, two numbers compare by value; the empty
        // text, one zero short, is below every number.
        if (aText.empty() || bText.empty()) return aText.empty() == bText.empty() ? 0 : (aText.empty() ? -1 : 1);
        size_t a = 0, b = 0;
        while (a + 1 < aText.size() && aText[a] == '0') ++a;
        while (b + 1 < bText.size() && bText[b] == '0') ++b;
        size_t aLength = aText.size() - a, bLength = bText.size() - b;
        if (aLength != bLength) return aLength < bLength ? -1 : 1;
        for (; a < aText.size(); ++a, ++b)
            if (aText[a] != bText[b]) return aText[a] < bText[b] ? -1 : 1;
        return 0;
    }
    PaddedText a{aText, 0}, b{bText, 0};
    padOperands(a, b);
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = a.at(i), y = b.at(i);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

enum class Operator { GreaterEqual, LessEqual, Exact, Different, Contains, StartsWith, EndsWith, In, Equal, Less, Greater };

// Recognises the operator at the front of `text` and its length. Longer
// operators win over their prefixes: ">=", "<=", "==", "<>", "*=*", "=*",
// "*=", "EM", "=", "<", ">".
bool readOperator(std::string_view text, Operator& op, size_t& length) {
    auto next = [&text](size_t i) { return i < text.size() ? text[i] : '\0'; };
    length = 2;
    switch (text[0]) {
    case '>':
        if (next(1) == '=') op = Operator::GreaterEqual;
        else op = Operator::Greater, length = 1;
        return true;
    case '<':
        if (next(1) == '=') op = Operator::LessEqual;
        else if (next(1) == '>') op = Operator::Different;
        else op = Operator::Less, length = 1;
        return true;
    case '=':
        if (next(1) == '=') op = Operator::Exact;
        else if (next(1) == '*') op = Operator::StartsWith;
        else op = Operator::Equal, length = 1;
        return true;
    case '*':
        if (next(1) != '=') return false;
        if (next(2) == '*') op = Operator::Contains, length = 3;
        else op = Operator::EndsWith;
        return true;
    case 'E':
    case 'e':
        op = Operator::In;
        return upperLatin(next(1)) == 'M';
    default:
        return false;
    }
}

// Texts of the two operands; reused so conditions in loops do not allocate.
std::string scratchA, scratchB;

// The condition reader behind evaluateCondition. With `syntaxOnly` (the
// scans for nested blocks) the values of the operands do not matter: a list
// that does not exist and an expression over variables without numbers are
// accepted, so only the shape of the line decides whether it opens a block.
bool parseCondition(std::string_view& text, bool& truth, bool syntaxOnly) {
    text = trimView(text);
    bool negate = false;
    if (startsWithUpperLatin(text, "N\xC3O") || startsWithUpperLatin(text, "NAO")) {  // NÃO
        negate = true;
        text = trimView(text.substr(3));
        if (text.empty()) return false;
    }
    std::string_view a;
    if (!readValueView(text, scratchA, a, syntaxOnly) || text.empty()) return false;
    Operator op;
    size_t length;
    if (!readOperator(text, op, length)) return false;
    text = trimView(text.substr(length));
    if (text.empty()) return false;

    if (op == Operator::In) {
        std::string_view name;
        if (!readListName(text, name)) return false;
        const std::vector<std::string>* items = findList(name);
        if (!items) {
            truth = false;
            return syntaxOnly;
        }
        truth = false;
        for (const std::string& item : *items) {
            if ((compareOperands(item, a) == 0) != negate) {
                truth = true;
                break;
            }
        }
        return true;
    }

    std::string_view b;
    if (!readValueView(text, scratchB, b, syntaxOnly)) return false;
    switch (op) {
    case Operator::GreaterEqual: truth = compareOperands(a, b) >= 0; break;
    case Operator::LessEqual: truth = compareOperands(a, b) <= 0; break;
    case Operator::Equal: truth = compareOperands(a, b) == 0; break;
    case Operator::Different: truth = compareOperands(a, b) != 0; break;
    case Operator::Less: truth = compareOperands(a, b) < 0; break;
    case Operator::Greater: truth = compareOperands(a, b) > 0; break;
    case Operator::Exact: truth = a == b; break;
    case Operator::Contains: truth = !b.empty() && a.find(b) != std::string_view::npos; break;
    case Operator::StartsWith: truth = !b.empty() && a.find(b) == 0; break;
    case Operator::EndsWith:
        truth = !b.empty() && b.size() <= a.size() && a.find(b) == a.size() - b.size();
        break;
    case Operator::In: break;
    }
    if (negate) truth = !truth;
    return true;
}

// True when the normalised form of `line` (trimmed, upper-cased with
// toUpperLatin, every run of spaces inside reduced to one) equals `target`,
// which is given upper-cased with single spaces.
bool normalisedEquals(std::string_view line, std::string_view target) {
    line = trimView(line);
    size_t j = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ' ' && i > 0 && line[i - 1] == ' ') continue;
        if (j >= target.size() || upperLatin(line[i]) != target[j]) return false;
        ++j;
    }
    return j == target.size();
}

// The normalised form of a line, built in a reused buffer.
std::string normalisedLine;

void normalise(std::string_view line) {
    line = trimView(line);
    normalisedLine.clear();
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == ' ' && i > 0 && line[i - 1] == ' ') continue;
        normalisedLine += upperLatin(line[i]);
    }
}

// True when the first word of `line` (trimmed, up to its first space, which
// must exist) is `upperWord` once upper-cased. Every FIM ENQUANTO scans with
// it, so most lines are rejected by their first character.
bool firstWordIs(std::string_view line, std::string_view upperWord) {
    size_t start = 0;
    while (start < line.size() && isBlankChar(line[start])) ++start;
    line.remove_prefix(start);
    return line.size() > upperWord.size() && startsWithUpperLatin(line, upperWord) &&
           line[upperWord.size()] == ' ' && !trimView(line.substr(upperWord.size())).empty();
}

// Sets the current line to the nearest line above it whose first word is
// `upperWord`; false when there is none.
bool findOpeningLine(std::string_view upperWord) {
    for (int n = runState.currentLine - 1; n >= 1; --n) {
        if (firstWordIs(scriptLine(n), upperWord)) {
            runState.currentLine = n;
            return true;
        }
    }
    return false;
}

// After a false block SE: moves to the SENÃO or FIM SE that closes the
// block, counting nested block SEs.
void skipFalseBlock() {
    int depth = 1;
    for (int n = runState.currentLine + 1; n <= lineCount(); ++n) {
        const std::string& line = scriptLine(n);
        std::string_view trimmed = trimView(line);
        if (startsWithUpperLatin(trimmed, "SE ")) {
            normalise(trimmed);
            std::string_view condition = std::string_view(normalisedLine).substr(3);
            bool truth;
            if (parseCondition(condition, truth, true) && condition.empty()) ++depth;
        } else if (normalisedEquals(trimmed, "FIM SE")) {
            if (--depth == 0) {
                runState.currentLine = n;
                return;
            }
        } else if (depth == 1 && (normalisedEquals(trimmed, "SENAO") || normalisedEquals(trimmed, "SEN\xC3O"))) {
            runState.currentLine = n;
            return;
        }
    }
    runState.currentLine = lineCount() + 1;
}

// Moves to the first line below the current one that reads "FIM " + word;
// nesting is not counted.
void skipToEnd(std::string_view fimWord) {
    for (int n = runState.currentLine + 1; n <= lineCount(); ++n) {
        if (normalisedEquals(scriptLine(n), fimWord)) {
            runState.currentLine = n;
            return;
        }
    }
    runState.currentLine = lineCount() + 1;
}

// REPETE "counter limit": reads both; the limit must be a number.
bool readRepeat(std::string_view& args, int& counter, int32_t& limit) {
    std::string_view value;
    return readVariable(args, counter) && !args.empty() && readValueView(args, scratchA, value) &&
           convertInteger(value, limit);
}

// The continue form of REPETE, run by FIM REPETE on the REPETE line's text.
bool continueRepeat(std::string_view args) {
    int counter;
    if (!readVariable(args, counter)) return false;
    int32_t v;
    if (!convertInteger(variable(counter), v)) return false;
    std::string_view value;
    int32_t limit;
    if (!readValueView(args, scratchA, value) || !convertInteger(value, limit)) return false;
    int64_t next = static_cast<int64_t>(v) + 1;
    variable(counter) = decimal(next);
    if (limit < next) skipToEnd("FIM REPETE");
    return true;
}

// The label name of DESVIA and CHAMA: "@name", or one value naming it.
bool readLabelName(std::string_view args, std::string& name) {
    if (!args.empty() && args[0] == '@') {
        args.remove_prefix(1);
        if (args.find(' ') != std::string_view::npos) return false;
        name.assign(args);
        return true;
    }
    return readValue(args, name) && args.empty();
}

} // namespace

bool evaluateCondition(std::string_view& text, bool& truth) { return parseCondition(text, truth, false); }

std::string padNumber(std::string_view text) {
    if (!isDigitOnly(text) || text.size() >= PAD_WIDTH) return std::string(text);
    std::string key(text.empty() ? PAD_WIDTH - 1 : PAD_WIDTH - text.size(), '0');
    key += text;
    return key;
}

bool findLabel(std::string_view name) {
    for (int n = 1; n <= lineCount(); ++n) {
        const std::string& line = scriptLine(n);
        if (line.empty() || line[0] != '@') continue;
        std::string_view label = std::string_view(line).substr(1);
        if (label.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < name.size() && same; ++i) same = upperLatin(label[i]) == upperLatin(name[i]);
        if (same) {
            runState.currentLine = n;
            return true;
        }
    }
    return false;
}

bool commandSe(std::string_view args) {
    bool truth;
    if (!evaluateCondition(args, truth)) return false;
    if (!args.empty()) return truth ? executeLine(args, true) : true;
    if (!truth) skipFalseBlock();
    return true;
}

bool commandSenao(std::string_view args) {
    if (!args.empty()) return false;
    skipToEnd("FIM SE");
    return true;
}

bool commandEnquanto(std::string_view args) {
    bool truth;
    if (!evaluateCondition(args, truth)) return false;
    if (!truth) skipToEnd("FIM ENQUANTO");
    return true;
}

bool commandRepete(std::string_view args) {
    int counter;
    int32_t limit;
    if (!readRepeat(args, counter, limit)) return false;
    variable(counter) = "1";
    if (limit < 1) skipToEnd("FIM REPETE");
    return true;
}

bool commandFim(std::string_view args) {
    if (args.empty()) return false;
    if (equalsUpperLatin(args, "ENQUANTO")) {
        if (!findOpeningLine("ENQUANTO")) return false;
        // The ENQUANTO line runs next and tests its condition again.
        --runState.currentLine;
        return true;
    }
    if (equalsUpperLatin(args, "REPETE")) {
        if (!findOpeningLine("REPETE")) return false;
        std::string_view line = trimView(scriptLine(runState.currentLine));
        return continueRepeat(line.substr(line.find(' ') + 1));
    }
    // FIM SE closes a block whose true branch ran; other words do nothing.
    return true;
}

bool commandDesvia(std::string_view args) {
    std::string name;
    return readLabelName(args, name) && findLabel(name);
}

bool commandChama(std::string_view args) {
    std::string name;
    if (!readLabelName(args, name)) return false;
    if (runState.callDepth >= MAX_CALL_DEPTH) {
        writeLineSpeak("Muitas chamadas sem retorno");
        return false;
    }
    runState.callStack[runState.callDepth++] = runState.currentLine;
    return findLabel(name);
}

bool commandRetorna(std::string_view args) {
    if (!args.empty()) return false;
    if (runState.callDepth == 0) {
        writeLineSpeak("Retorno sem chamada");
        return false;
    }
    runState.currentLine = runState.callStack[--runState.callDepth];
    return true;
}

bool commandTermina(std::string_view args) {
    runState.stopFlag = true;
    runState.quietEnd = equalsUpperLatin(args, "MUDO");
    return true;
}
