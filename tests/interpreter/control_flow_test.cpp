// Conditions, comparison keys and the ends of runs, checked directly where
// scripts would need one run per case.
#include "interpreter/control_flow.h"
#include "interpreter/lista.h"
#include "interpreter/script.h"
#include "interpreter/values.h"

#include <gtest/gtest.h>

TEST(PadNumber, PadsDigitOnlyTexts) {
    EXPECT_EQ(padNumber(""), std::string(20, '0'));
    EXPECT_EQ(padNumber("7"), std::string(20, '0') + "7");
    EXPECT_EQ(padNumber("010"), std::string(18, '0') + "010");
    EXPECT_EQ(padNumber("123456789012345678901"), "123456789012345678901");
    // Longer numbers are kept whole rather than cut to their last digits.
    EXPECT_EQ(padNumber("9123456789012345678901"), "9123456789012345678901");
    EXPECT_EQ(padNumber("-5"), "-5");
    EXPECT_EQ(padNumber("12a"), "12a");
    EXPECT_EQ(padNumber(" 1"), " 1");
}

TEST(EvaluateCondition, OperatorsAndWhatIsLeft) {
    resetVariables();
    resetLists();
    variable('A') = "Casa";
    variable('B') = "42";
    ASSERT_TRUE(commandLista("[L] cria"));
    ASSERT_TRUE(commandLista("[L] adiciona \"x\""));
    ASSERT_TRUE(commandLista("[L] adiciona \"007\""));
    struct Case {
        const char* text;
        bool ok;
        bool truth;
        const char* rest;
    } cases[] = {
        {"a = \"CASA\"", true, true, ""},
        {"a == \"CASA\"", true, false, ""},
        {"N\xC3O a == \"CASA\"", true, true, ""},  // NÃO
        {"nao a = \"casa\"", true, false, ""},
        {"b > 5", true, true, ""},
        {"b >= 42", true, true, ""},
        {"b <= 041", true, false, ""},
        {"b<>42 escreve 1", true, false, "escreve 1"},
        {"a=*\"Ca\" desvia @x", true, true, "desvia @x"},
        {"a *=* \"as\"", true, true, ""},
        {"a *= \"sa\"", true, true, ""},
        {"7 em [L] escreve \"sim\"", true, true, "escreve \"sim\""},
        {"x EM [L]", true, false, ""},  // X is empty, and no item is
        {"\"X\" em [L]", true, true, ""},
        {"n\xE3o \"x\" em [L]", true, true, ""},  // não: "007" differs from "x"
        // Malformed conditions.
        {"", false, false, ""},
        {"nao", false, false, ""},
        {"a", false, false, ""},
        {"a =", false, false, ""},
        {"a ! b", false, false, ""},
        {"a = )", false, false, ""},
        {"a em L", false, false, ""},
        {"a em [", false, false, ""},
        {"a em [L", false, false, ""},
        {"a em [Nada]", false, false, ""},
        {"a em [l]", false, false, ""},  // list names keep their case
        {"(1/0) = 1", false, false, ""},
    };
    for (const Case& c : cases) {
        std::string_view text = c.text;
        bool truth = !c.truth;
        bool ok = evaluateCondition(text, truth);
        EXPECT_EQ(ok, c.ok) << c.text;
        if (ok && c.ok) {
            EXPECT_EQ(truth, c.truth) << c.text;
            EXPECT_EQ(text, c.rest) << c.text;
        }
    }
    resetLists();
}

// Runs `script` (lines separated by LF) and returns where and how it ended.
static RunResult runLines(std::string_view script) {
    int n = 0;
    while (!script.empty()) {
        size_t end = script.find('\n');
        storeLine(script.substr(0, end), ++n);
        script = end == std::string_view::npos ? std::string_view() : script.substr(end + 1);
    }
    return runScript();
}

TEST(ControlFlow, WhereRunsEnd) {
    struct Case {
        const char* script;
        bool failed;
        int line;
    } cases[] = {
        // Block words are refused after a one-line SE, compared ASCII-upper-
        // cased: a lower-case ã slips through and runs as SENÃO.
        {"se 1 = 1 SEN\xC3O", true, 1},
        {"se 1 = 1 senao", true, 1},
        {"se 1 = 1 enquanto 1 = 2", true, 1},
        {"se 1 = 1 sen\xE3o\nseja a 1\nfim se\nseja b 2", false, 5},
        {"repete r x", true, 1},
        // FIM REPETE goes back to the REPETE line, which then fails.
        {"repete r 2\nseja r \"abc\"\nfim repete", true, 1},
        {"seja a 1\nfim repete", true, 2},
        {"repete r 3\nfim repete\nse r = 4 termina\nfoo", false, 3},
        {"fim", true, 1},
        {"fim qualquer", false, 2},
        {"sen\xE3o x", true, 1},
        {"retorna x", true, 1},
        {"desvia @a b\n@a b", true, 1},
        {"desvia \"a\" x\n@a", true, 1},
        {"desvia \"a b\"\nfoo\n@a b", false, 4},
        {"chama @nada", true, 1},
        {"termina\nfoo", false, 1},
        {"enquanto 1 = 2 anything\nfoo\nfim enquanto", false, 4},
        {"se 1 = 2\nse 2 = 2\nfoo\nsen\xE3o\nfoo\nfim se\nfoo\nfim se", false, 9},
    };
    for (const Case& c : cases) {
        resetInterpreter();
        RunResult r = runLines(c.script);
        EXPECT_EQ(r.failed, c.failed) << c.script;
        EXPECT_EQ(r.line, c.line) << c.script;
    }
}
