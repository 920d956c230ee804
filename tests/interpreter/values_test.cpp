// The argument readers and the integer expressions, as tables of texts.
#include "interpreter/values.h"

#include <gtest/gtest.h>

TEST(EvaluateExpression, ArithmeticAndWhereItStops) {
    resetVariables();
    variable('A') = "12";
    variable('X') = "abc";
    variable(namedSlot("N")) = "-3";
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
        const char* rest;
    } cases[] = {
        {"1+2)", true, 3, ")"},
        {"2*3+4)", true, 10, ")"},
        {"2*(3+4))", true, 14, ")"},
        {"7/2", true, 3, ""},
        {"-7/2", true, -3, ""},
        {"- - 5", true, 5, ""},
        {" a * 2 ) x", true, 24, ") x"},
        {"$n*$N", true, 9, ""},
        {"$n_x", true, -3, "_x"},  // "_" ends a name inside parentheses
        {"2147483647+1", true, INT32_MIN, ""},
        {"4294967297", true, 1, ""},  // literals wrap too
        {"-2147483647-1", true, INT32_MIN, ""},
        {"(0-2147483647-1)/-1", true, INT32_MIN, ""},
        // An operator without its operand is ignored, unless another operator
        // of its level stands there.
        {"5 +)", true, 5, ")"},
        {"5 * )", true, 5, ")"},
        {"5 * + 2", true, 7, ""},
        {"5 + + 3", false, 0, ""},
        {"5 * / 2", false, 0, ""},
        {"1/0", false, 0, ""},
        {"1/(2-2)", false, 0, ""},
        {"x+1", false, 0, ""},
        {"(1+2", false, 0, ""},
        {")", false, 0, ""},
        {"", false, 0, ""},
        {"\"1\"", false, 0, ""},
    };
    for (const Case& c : cases) {
        std::string_view text = c.text;
        int32_t value = 0;
        bool ok = evaluateExpression(text, value);
        EXPECT_EQ(ok, c.ok) << c.text;
        if (ok && c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
            EXPECT_EQ(text, c.rest) << c.text;
        }
    }
}

TEST(EvaluateExpression, DeepNestingFailsInsteadOfOverflowingTheStack) {
    std::string shallow = std::string(100, '(') + "1" + std::string(100, ')');
    std::string_view text = shallow;
    int32_t value = 0;
    EXPECT_TRUE(evaluateExpression(text, value));
    EXPECT_EQ(value, 1);
    std::string deep = std::string(100000, '(') + "1";
    text = deep;
    EXPECT_FALSE(evaluateExpression(text, value));
    std::string signs = std::string(100000, '-') + "1";
    text = signs;
    EXPECT_FALSE(evaluateExpression(text, value));
}

TEST(ReadValue, TokensAndWhatIsLeft) {
    resetVariables();
    variable('A') = "va";
    variable('B') = "vb";
    struct Case {
        const char* text;
        bool ok;
        const char* value;
        const char* rest;
    } cases[] = {
        {"  -12abc", true, "-12", "abc"},
        {"- 1", true, "-", "1"},
        {"ab", true, "va", "b"},
        {"\"x\"\"y\" z", true, "x\"y", "z"},
        {"\"\"\"\"", true, "\"", ""},
        {"\"open  end", true, "open  end", ""},
        {"\"\"", true, "", ""},
        {"$novo_1 x", true, "", "x"},
        {"(2 * 3 ) rest", true, "6", "rest"},
        {"(2 * 3", false, "", ""},
        {"$", false, "", ""},
        {"$-", false, "", ""},
        {"#1", false, "", ""},
        {"", false, "", ""},
    };
    for (const Case& c : cases) {
        std::string_view text = c.text;
        std::string value = "unchanged";
        bool ok = readValue(text, value);
        EXPECT_EQ(ok, c.ok) << c.text;
        if (ok && c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
            EXPECT_EQ(text, c.rest) << c.text;
        }
    }
}

TEST(ReadVariable, LettersAndNames) {
    resetVariables();
    struct Case {
        const char* text;
        bool ok;
        int slot;
    } cases[] = {
        {" a ", true, 'A'}, {"Z=1", true, 'Z'}, {"a1", false, 0}, {"ab", false, 0},
        {"$", false, 0},    {"1", false, 0},    {"\"a\"", false, 0},
    };
    for (const Case& c : cases) {
        std::string_view text = c.text;
        int slot = 0;
        EXPECT_EQ(readVariable(text, slot), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(slot, c.slot) << c.text;
        }
    }
    std::string_view first = "$Total_1 resto", again = "$TOTAL_1";
    int s1 = 0, s2 = 0;
    ASSERT_TRUE(readVariable(first, s1));
    EXPECT_EQ(first, "resto");
    ASSERT_TRUE(readVariable(again, s2));
    EXPECT_EQ(s1, s2);
    EXPECT_EQ(s1, FIRST_NAMED_SLOT);
}

TEST(ReadVariable, The102ndNameFails) {
    resetVariables();
    for (int i = 0; i < MAX_NAMES; ++i) ASSERT_GE(namedSlot("V" + std::to_string(i)), FIRST_NAMED_SLOT);
    std::string_view known = "$v100", fresh = "$v101";
    int slot;
    EXPECT_TRUE(readVariable(known, slot));
    EXPECT_EQ(slot, LAST_SLOT);
    EXPECT_FALSE(readVariable(fresh, slot));
    std::string value;
    fresh = "$v101";
    EXPECT_FALSE(readValue(fresh, value));
    resetVariables();
}
