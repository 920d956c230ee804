// SUBSTITUI against a plain rendering of its rule, and the Base64 file
// commands on real files.
#include "interpreter/mime.h"
#include "interpreter/string_commands.h"
#include "interpreter/values.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

namespace {

// The rule as written: from the last possible position down to the first,
// replace a match and look again one position before it, over the changed
// text.
std::string substituteByRule(std::string text, const std::string& oldText, const std::string& newText) {
    for (long p = static_cast<long>(text.size()) - static_cast<long>(oldText.size()); p >= 0; --p) {
        if (text.compare(static_cast<size_t>(p), oldText.size(), oldText) == 0) {
            text.erase(static_cast<size_t>(p), oldText.size());
            text.insert(static_cast<size_t>(p), newText);
        }
    }
    return text;
}

std::string inQuotes(const std::string& text) { return "\"" + text + "\""; }

class Base64Files : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/strcmd-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }
    std::string path(const char* name) const { return dir + "/" + name; }
    static void write(const std::string& path, const std::string& content) {
        std::ofstream(path, std::ios::binary) << content;
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string dir;
};

} // namespace

TEST(Substitui, MatchesTheRuleOnRandomTexts) {
    std::mt19937 random(7);
    auto text = [&random](int maxLength) {
        std::string s(random() % (maxLength + 1), ' ');
        for (char& c : s) c = "ab"[random() % 2];
        return s;
    };
    for (int i = 0; i < 3000; ++i) {
        std::string subject = text(12), oldText = text(3), newText = text(3);
        resetVariables();
        variable('S') = subject;
        ASSERT_TRUE(commandSubstitui("s " + inQuotes(oldText) + " " + inQuotes(newText)));
        EXPECT_EQ(variable('S'), substituteByRule(subject, oldText, newText))
            << subject << " / " << oldText << " / " << newText;
    }
}

TEST(Arithmetic, ExtraTextFailsAfterTheResultIsStored) {
    resetVariables();
    variable('A') = "10";
    EXPECT_FALSE(commandSubtrai("a 3 4"));
    EXPECT_EQ(variable('A'), "7");
    EXPECT_FALSE(commandMultiplica("a \"x\""));
    EXPECT_EQ(variable('A'), "7");
    variable('B') = "abc99999999999";
    EXPECT_FALSE(commandSoma("b 1"));  // a tail beyond 32 bits is no number
    EXPECT_EQ(variable('B'), "abc99999999999");
    EXPECT_FALSE(commandConcatena("b \"x\" \"y\""));
    EXPECT_EQ(variable('B'), "abc99999999999");
    EXPECT_FALSE(commandHttp("\"literal\""));  // the target must be a variable
}

TEST(Base64, EncodesAndDecodesEveryLength) {
    std::string bytes;
    for (int n = 0; n < 10; ++n) {
        std::string encoded = base64Encode(bytes);
        EXPECT_EQ(encoded.size() % 4, 0u);
        EXPECT_EQ(base64Decode(encoded), bytes);
        bytes += static_cast<char>(250 + n);
    }
    EXPECT_EQ(base64Encode("abc"), "YWJj");
    EXPECT_EQ(base64Decode("Y W\r\nJ*j"), "abc");
    EXPECT_EQ(base64Decode("YWJ"), "ab");
    EXPECT_EQ(base64Decode("Y"), "");
}

TEST_F(Base64Files, RoundTripInLinesOf64) {
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    write(path("src.bin"), all);
    write(path("b64.txt"), "old content that must go");
    ASSERT_TRUE(commandCodArqBase64(inQuotes(path("src.bin")) + " " + inQuotes(path("b64.txt"))));
    std::string text = read(path("b64.txt"));
    std::string encoded = base64Encode(all);
    std::string expected;
    for (size_t i = 0; i < encoded.size(); i += 64) expected += encoded.substr(i, 64) + "\r\n";
    EXPECT_EQ(text, expected);

    ASSERT_TRUE(commandDecodArqBase64(inQuotes(path("b64.txt")) + " " + inQuotes(path("back.bin"))));
    EXPECT_EQ(read(path("back.bin")), all);
}

TEST_F(Base64Files, EdgeCases) {
    write(path("empty"), "");
    ASSERT_TRUE(commandCodArqBase64(inQuotes(path("empty")) + " " + inQuotes(path("empty.b64"))));
    EXPECT_EQ(read(path("empty.b64")), "");
    // A Ctrl+Z ends the text of the source.
    write(path("z.b64"), "YWJj\r\n\x1AYWJj");
    ASSERT_TRUE(commandDecodArqBase64(inQuotes(path("z.b64")) + " " + inQuotes(path("z.bin"))));
    EXPECT_EQ(read(path("z.bin")), "abc");
    // Missing sources, directories and targets that cannot be created fail.
    EXPECT_FALSE(commandCodArqBase64(inQuotes(path("missing")) + " " + inQuotes(path("x"))));
    EXPECT_FALSE(commandDecodArqBase64(inQuotes(dir) + " " + inQuotes(path("x"))));
    EXPECT_FALSE(commandCodArqBase64(inQuotes(path("empty")) + " " + inQuotes(path("no/such/dir"))));
    EXPECT_FALSE(commandCodArqBase64(inQuotes(path("empty"))));
}
