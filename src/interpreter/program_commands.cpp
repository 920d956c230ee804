// EXECUTA and EXISTEPROG: the argument reading; the launching and the
// process list are the desktop's program execution.
#include "interpreter/program_commands.h"

#include "desktop/program_execution.h"
#include "interpreter/values.h"
#include "platform/text.h"

bool commandExecuta(std::string_view args) {
    // Each trailing "&" is one mark; blanks between marks do not count.
    int marks = 0;
    while (!args.empty() && args.back() == '&') {
        args = trimView(args.substr(0, args.size() - 1));
        ++marks;
    }
    std::string value;
    if (!readValue(args, value) || !args.empty()) return false;
    return executeCommandLine(value, marks);
}

bool commandExisteprog(std::string_view args) {
    std::string name;
    int target;
    if (!readValue(args, name) || !readVariable(args, target)) return false;
    variable(target).assign(1, isProgramRunning(name) ? '1' : '0');
    return true;
}
