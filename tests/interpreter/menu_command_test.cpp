// MENU's forms and what fails them; the selection itself is tested with
// the line input and in the golden scripts.
#include "interpreter/menu_command.h"

#include "console/console.h"
#include "line_input/selection_menu.h"
#include "platform/headless/headless_console.h"

#include <gtest/gtest.h>

TEST(MenuCommand, FormsAndWhatFailsThem) {
    resetConsole();
    setConsoleBackend(makeHeadlessConsole(HeadlessOptions{-1, -1, 0}));
    struct Case {
        const char* args;
        bool succeeds;
        int items;  // the menu's items afterwards; -1 for no menu
    };
    const Case cases[] = {
        {"ADICIONA \"a\"", false, -1},  // no menu yet
        {"EXECUTA p k t", false, -1},
        {"TERMINA", false, -1},
        {"CRIA 10 5 9 8", false, -1},   // no width
        {"CRIA 10 5 20 4", false, -1},  // no height
        {"CRIA 81 5 90 8", false, -1},  // off the screen
        {"CRIA 10 5 20", false, -1},
        {"CRIA 10 5 20 x", false, -1},
        {"CRIA 1 2 3 4 5", false, 0},   // made, but text is left over
        {"adiciona \"a\"", true, 1},
        {"ADICIONA", false, 1},
        {"ADICIONA \"b\" \"c\"", false, 2},  // "b" is added
        {"MOSTRA", false, 2},
        {"", false, 2},
        {"EXECUTA p k", false, 2},
        {"EXECUTA p k \"t\"", false, 2},
        {"CRIA 1 1 10 3", true, 0},  // a new, empty menu
        {"TERMINA agora", false, -1},  // ended, but text is left over
        {"ADICIONA \"a\"", false, -1},
        {"CRIA10 5 20 8", true, 0},  // no blank needed after the word
        {"TERMINA", true, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(commandMenu(c.args), c.succeeds) << c.args;
        EXPECT_EQ(menuExists() ? menuItemCount() : -1, c.items) << c.args;
    }
    resetConsole();
    setConsoleBackend(nullptr);
}
