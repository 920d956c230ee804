// Integer conversion and upper-casing rules shared by every layer.
#include "platform/encoding.h"
#include "platform/text.h"

#include <gtest/gtest.h>

TEST(IntegerConversion, AcceptsAndRejects) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {
        {"42", true, 42},          {"  -7", true, -7},        {"+5", true, 5},
        {"2147483647", true, 2147483647}, {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0},  {"", false, 0},            {" ", false, 0},
        {"12a", false, 0},         {"12 ", false, 0},         {"$FF", true, 255},
        {"0x10", true, 16},        {"x1f", true, 31},         {"$FFFFFFFF", true, -1},
        {"$123456789", false, 0},  {"$", false, 0},           {"-", false, 0},
        {"\t5", false, 0},
    };
    for (const Case& c : cases) {
        int32_t v = 0;
        EXPECT_EQ(convertInteger(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
    EXPECT_EQ(convertIntegerLenient("12abc"), 12);
    EXPECT_EQ(convertIntegerLenient("abc"), 0);
}

TEST(UpperCasing, LatinRuleTouchesEveryByteFrom224) {
    EXPECT_EQ(toUpperLatin("a\xE7\xE3o"), "A\xC7\xC3O");  // ação
    EXPECT_EQ(toUpperLatin("\xF7\xFF"), "\xD7\xDF");      // ÷ and ÿ follow the rule too
    EXPECT_EQ(toUpperAscii("s\xE3o"), "S\xE3O");          // accented letters keep their case
}

TEST(Encoding, RoundTripsWindows1252) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    std::string utf8 = cp1252ToUtf8(all);
    EXPECT_TRUE(isValidUtf8(utf8));
    EXPECT_EQ(utf8ToCp1252(utf8), all);
    EXPECT_EQ(cp1252ToUtf8("\x80"), "\xE2\x82\xAC");       // euro sign
    EXPECT_EQ(utf8ToCp1252("\xE4\xB8\xAD"), "?");          // a character the code page lacks
    EXPECT_FALSE(isValidUtf8("\xE7" "a"));
}
