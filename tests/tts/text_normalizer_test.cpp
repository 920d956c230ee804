// Portuguese text normalisation: numbers, ordinals, abbreviations, spelled
// words and symbol names.
#include "tts/text_normalizer.h"

#include "tts_test_support.h"

#include <gtest/gtest.h>

namespace {

using ttstest::cp;
using ttstest::utf8;

class NormalizerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string dir = ttstest::testFolder("normalizer");
        path_ = ttstest::writeFile(dir + "/portug.abr",
                                   "; comment line\n"
                                   "  Sr = senhor  \n"
                                   "dra=doutora\n"
                                   "\n"
                                   "p\xC7"
                                   "A=pra\xE7"
                                   "a\n" // Windows-1252 file
                                   "sem sinal de igual\n");
        ASSERT_TRUE(loadAbbreviations(path_));
    }
    std::string path_;
};

struct Case {
    const char* input;
    const char* expected; // both UTF-8 here
};

TEST_F(NormalizerTest, Texts) {
    const Case cases[] = {
        {"Sr. Silva", "senhor Silva"},
        {"Sr.Silva", "Sr ponto Silva"}, // not expanded, and not spelled either
        {"a Dra. Ana", "a doutora Ana"},
        {"praça", "praça"},
        {"CPF", " sêpêéfe"},
        {"WWW", "dábliudábliudábliu"},
        {"-5", "menos cinco "},
        {"5-3", " cinco traço três "},
        {"3,14", "três vírgula quatorze "},
        {"2.5", "dois ponto cinco "},
        {"1.000", "mil  "},
        {"1.000.000", "um milhão  "},
        {"1001", "mil e um "},
        {"1500000", "um milhão e quinhentos mil  "},
        {"007", "zero zero sete "},
        {"2º", "segundo "},
        {"2o.", "segundo "},
        {"2a.", "segunda "},
        {"1os.", "primeiros "},
        {"2000º", "dois mil  "},
        {"21ª", "vigésima primeira "},
        {"70ª", "septuagésima "},
        {"?", "interrogação"},
        {"à", "A grave"},
        {"ca\tsa", "casa"},
        {"ca\r\nsa", "casa"},
        // Sixteen digits: a fifteen-digit number, then a one-digit one.
        {"1234567890123456",
         "cento e vinte e três trilhões quatrocentos e cinqüenta e seis bilhões "
         "setecentos e oitenta e nove milhões doze mil e trezentos e quarenta e cinco "
         "seis "},
        {"a - b", "a , bê"},
        {"fim...", "fim... "},
        {"x@y", "xis arrôba ípsilon"},
        {"guarda-chuva", "guarda-chuva"},
        {"100", "cem "},
        {"115", "cento e quinze "},
    };
    for (const Case& c : cases) EXPECT_EQ(utf8(normalizeText(cp(c.input))), c.expected) << c.input;
}

TEST_F(NormalizerTest, NumberWords) {
    const std::pair<uint64_t, const char*> cases[] = {
        {0, "zero"},
        {17, "dezessete"},
        {20, "vinte"},
        {99, "noventa e nove"},
        {101, "cento e um"},
        {200, "duzentos"},
        {1000, "mil "},
        {2001, "dois mil e um"},
        {1000000000, "um bilhão "},
        {2000000000000, "dois trilhões "},
    };
    for (const auto& [value, words] : cases) EXPECT_EQ(utf8(cardinalWords(value)), words) << value;
    EXPECT_EQ(utf8(ordinalWords(1999, false)), "milésimo nongentésimo nonagésimo nono");
    EXPECT_EQ(utf8(ordinalWords(300, true)), "tricentésima");
    EXPECT_EQ(utf8(ordinalWords(0, false)), "zero");
}

TEST_F(NormalizerTest, ReadNumberStopsAtTheSuffixItTakes) {
    std::string text = "12a. vez";
    size_t pos = 0;
    EXPECT_EQ(utf8(readNumber(text, pos)), "décima segunda");
    EXPECT_EQ(text.substr(pos), " vez");
    // Case matters: "12A." is a number followed by a word.
    text = "12A.";
    pos = 0;
    EXPECT_EQ(readNumber(text, pos), "doze");
    EXPECT_EQ(pos, 2u);
}

TEST_F(NormalizerTest, SymbolNames) {
    EXPECT_EQ(utf8(symbolName('C')), " sê");
    EXPECT_EQ(utf8(symbolName('c')), " sê");
    EXPECT_EQ(utf8(symbolName('j')), "jota");
    EXPECT_EQ(utf8(symbolName('J')), "jóta");
    EXPECT_EQ(utf8(symbolName('n')), "ene");
    EXPECT_EQ(utf8(symbolName(0xE7)), "Cê cedilha");
    EXPECT_EQ(utf8(symbolName(0xDC)), "U com trema");
    EXPECT_EQ(utf8(symbolName(0xD7)), "vezes");
    for (int c : {0, 9, 31, 127, 128, 160, 221, 222, 223, 253, 254, 255})
        EXPECT_EQ(symbolName(c), "") << c;
    // A character without a name is still set apart from its neighbours.
    EXPECT_EQ(normalizeText("a\x01"
                            "e"),
              "a  e");
}

TEST_F(NormalizerTest, AbbreviationFile) {
    EXPECT_EQ(abbreviationCount(), 4);
    EXPECT_EQ(lookupAbbreviation("sr"), "senhor");
    EXPECT_EQ(utf8(lookupAbbreviation(cp("Pça"))), "praça");
    EXPECT_EQ(lookupAbbreviation("sem sinal de igual"), ""); // a line without "=" never matches
    EXPECT_EQ(lookupAbbreviation("x"), "");

    std::string dir = ttstest::testFolder("normalizer");
    std::string many;
    for (int i = 0; i < 2100; ++i)
        many += "K" + std::to_string(i) + "=v" + std::to_string(i) + "\n";
    ASSERT_TRUE(loadAbbreviations(ttstest::writeFile(dir + "/many.abr", many)));
    EXPECT_EQ(abbreviationCount(), MAX_ABBREVIATIONS);
    EXPECT_EQ(lookupAbbreviation("k1999"), "v1999");
    EXPECT_EQ(lookupAbbreviation("k2000"), "");

    EXPECT_FALSE(loadAbbreviations(dir + "/missing.abr"));
    EXPECT_EQ(abbreviationCount(), 0);
}

} // namespace
