// Conditions and comparison keys, read directly where scripts would need one
// run per malformed case.
#include "interpreter/control_flow.h"
#include "interpreter/lista.h"
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
