// One text may hold at most a limited number of bytes (256 MiB; lowered here
// so the texts stay small): every command that builds a text fails instead
// of building a longer one, and leaves its variable as it was.
#include "console/console.h"
#include "interpreter/script.h"
#include "interpreter/values.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr size_t LIMIT = 1000;

class TextLimit : public ::testing::Test {
protected:
    void SetUp() override {
        resetVariables();
        setTextLengthLimit(LIMIT);
    }
    void TearDown() override { setTextLengthLimit(MAX_TEXT_LENGTH); }
};

TEST_F(TextLimit, ACommandThatWouldBuildALongerTextFails) {
    std::string& a = variable('A');
    a.assign(LIMIT - 1, 'a');
    EXPECT_TRUE(executeLine("concatena a \"b\"", false)) << "up to the limit is allowed";
    ASSERT_EQ(a.size(), LIMIT);
    EXPECT_FALSE(executeLine("concatena a \"c\"", false));
    EXPECT_EQ(a.size(), LIMIT);
    EXPECT_EQ(a.back(), 'b');

    // Half the limit and a little more, of a letter that takes two bytes in
    // UTF-8 and three in URL encoding.
    std::string& b = variable('B');
    b.assign(LIMIT / 2 + 1, '\xE9');
    const std::string before = b;
    for (const char* line : {"ansiparautf8 b", "http b", "adquoted b", "substitui b \"\xE9\" \"xy\"", "escreve b b",
                             "escreve a a", "fala a a", "escreve #1 a a"}) {
        EXPECT_FALSE(executeLine(line, false)) << line;
        EXPECT_EQ(b, before) << line;
    }
    EXPECT_TRUE(executeLine("substitui b \"\xE9\" \"x\"", false)) << "a text that does not grow";
}

// A line read from a file that is longer than a text may be fails LÊ.
TEST_F(TextLimit, ReadingALongerLineFails) {
    char tmpl[] = "/tmp/text-limit-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string dir = tmpl;
    std::ofstream(dir + "/linhas.txt", std::ios::binary) << std::string(LIMIT, 'x') << "\r\n"
                                                          << std::string(LIMIT + 1, 'y') << "\r\n";
    ASSERT_TRUE(executeLine("abre #1 \"" + dir + "/linhas.txt\"", false));
    EXPECT_TRUE(executeLine("l\xEA #1 a", false));
    EXPECT_EQ(variable('A').size(), LIMIT);
    EXPECT_FALSE(executeLine("l\xEA #1 a", false));
    EXPECT_TRUE(executeLine("fecha #1", false));
    std::filesystem::remove_all(dir);
}

} // namespace
