// MENU and its four forms; each fails when text is left after its
// arguments (what it did stays done), and every form but CRIA fails while
// there is no menu.
#include "interpreter/menu_command.h"

#include "interpreter/console_commands.h"
#include "interpreter/values.h"
#include "line_input/selection_menu.h"
#include "platform/text.h"

#include <string>

namespace {

// The item (1-based) a selection starts at when the script's position
// variable holds no number.
int menuStartIndex = 1;

bool readNumber(std::string_view& args, int32_t& number) {
    std::string value;
    return readValue(args, value) && convertInteger(value, number);
}

bool create(std::string_view args) {
    int32_t x1, y1, x2, y2;
    if (!readNumber(args, x1) || !readNumber(args, y1) || !readNumber(args, x2) || !readNumber(args, y2))
        return false;
    if (!menuCreate(x1, y1, x2, y2)) return false;
    menuStartIndex = 1;
    return trimView(args).empty();
}

bool add(std::string_view args) {
    std::string text;
    if (!menuExists() || !readValue(args, text)) return false;
    menuAdd(text);
    return trimView(args).empty();
}

// Runs the menu until it ends with a key or F1..F12 (Ctrl with an F-key
// starts it again), then gives the item number, the key in the notation of
// LÊ and the item's text.
bool execute(std::string_view args) {
    int position, key, text;
    if (!menuExists() || !readVariable(args, position) || !readVariable(args, key) || !readVariable(args, text))
        return false;
    MenuChoice choice;
    do {
        int32_t start;
        if (convertInteger(trimView(variable(position)), start)) menuStartIndex = start <= 0 ? 1 : start;
        choice = menuSelect(menuStartIndex, true);
    } while (choice.key == 0 && !(choice.code >= 59 && choice.code <= 70));
    variable(position) = decimal(choice.index);
    variable(key) = keyNotation(choice.key, choice.code);
    variable(text) = menuItemText(choice.index - 1);
    return trimView(args).empty();
}

bool terminate(std::string_view args) {
    if (!menuExists()) return false;
    menuClear();
    return trimView(args).empty();
}

} // namespace

bool commandMenu(std::string_view args) {
    args = trimView(args);
    struct Form {
        std::string_view word;
        bool (*run)(std::string_view);
    };
    static const Form FORMS[] = {{"CRIA", create}, {"ADICIONA", add}, {"EXECUTA", execute}, {"TERMINA", terminate}};
    for (const Form& form : FORMS)
        if (startsWithUpperLatin(args, form.word)) return form.run(args.substr(form.word.size()));
    return false;
}
