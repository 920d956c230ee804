// Where the script's values live and how arguments are read: 26 letter
// variables and up to 101 named "$" variables, all texts; readVariable and
// readValue take tokens from the front of a command's argument text;
// evaluateExpression does the integer arithmetic inside parentheses; SEJA
// assigns, with its built-in functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int FIRST_SLOT = 65;       // A
constexpr int FIRST_NAMED_SLOT = 91; // the first "$" name
constexpr int LAST_SLOT = 191;
constexpr int MAX_NAMES = 101;

// The longest text a command may build: one that would grow past it fails
// (the run stops with the error report) long before memory runs out.
constexpr size_t MAX_TEXT_LENGTH = size_t{256} << 20;
// The limit in force: MAX_TEXT_LENGTH, unless a test has set another.
size_t textLengthLimit();
void setTextLengthLimit(size_t limit);
// Appends `part` to `text`; false, with `text` unchanged, when the result
// would be longer than the limit.
bool appendWithinLimit(std::string& text, std::string_view part);

// The text in a variable slot (65..191).
std::string& variable(int slot);
// Empties every variable and the name table.
void resetVariables();
// The slot of a "$" name (without the "$"), appending it when new; -1 when
// the table is full.
int namedSlot(std::string_view name);

bool readVariable(std::string_view& text, int& slot);
bool readValue(std::string_view& text, std::string& value);
// readValue without copying: `value` views the variable's slot or the
// argument text itself (valid until either changes); only literals with
// doubled quotes and expressions are built, in `scratch`. With `syntaxOnly`,
// expressions accept variables that hold no number and divisions by zero,
// so a scan can tell where a value ends whatever the variables hold.
bool readValueView(std::string_view& text, std::string& scratch, std::string_view& value,
                   bool syntaxOnly = false);
// Reads the expression after "(", leaving `text` at the token that ended it.
bool evaluateExpression(std::string_view& text, int32_t& result);

// The command-line parameters SEJA ... PARAMS reports.
void setScriptParameters(std::vector<std::string> parameters);
// The pseudo-random generator of RAND, seeded by RANDOMIZA.
void seedRandom(uint32_t seed);
uint32_t randomBelow(uint32_t limit);

bool commandSeja(std::string_view args);
