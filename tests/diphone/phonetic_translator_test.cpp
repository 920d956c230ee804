// The phonetic translator: text preparation, word reading, exceptions,
// stress marking, spelling and rule matching with every context symbol.
#include "diphone/phonetic_translator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// Rules that write each letter as it is, so the translated text shows the
// word the rules saw (stress as upper case).
std::string echoRules() {
    std::string rules;
    for (char c = 'A'; c <= 'Z'; ++c) rules += std::string("(") + c + ")=" + char(c + 32) + "|\n";
    rules += "(')='|\n(^)=^|\n(\")=\"|\n";
    return rules;
}

struct EchoTranslator : ::testing::Test {
    void SetUp() override { loadPhoneticRulesText(echoRules()); }
    void TearDown() override { releasePhoneticRules(); }
};

} // namespace

TEST_F(EchoTranslator, WordsSpellingAndPreparation) {
    struct Case {
        const char* text;
        const char* phonetic;
    } cases[] = {
        {"", ""},
        {"   ", ""},
        {"cpf", "[ /_c][ /_p][ /_f]"},                  // consonants only: spelled
        {",", "[ /_,]"},                                // punctuation is a spelled word
        {"a, b", "[a][ /_,][ /_b]"},
        {"tatu", "[t/a/t/U]"},                          // final u stressed
        {"ele", "[E/l/e]"},                             // stress on the first vowel
        {"\xE1gua", "[a/'/g/u/a]"},                     // marked: no stress marking
        {"Wagner", "[u/a/g/n/E/r]"},                    // W next to letters is u
        {"y", "[i]"},                                   // a lone y is i
        {"y!", "[ /_y][ /_!]"},                         // y beside punctuation stays y
        {"d'\xE1gua", "[d/a/'/g/u/a]"},                 // apostrophe after d dropped
        {"ca\xE7" "a", "[c/A/s/s/a]"},                  // c-cedilla is ss
        {"\x80", "[ /_s][ /_s]"},                        // older code page c-cedilla
        {"ni\xF1o", "[n/I/n/h/o]"},                     // n-tilde is nh
        {"a\x01" "b", "[a][ /_\x01][ /_b]"},           // unmappable: spelled code 1
        {"\x7F", "[ /_\x7F]"},                          // DEL has no rule: letter sound
        {"\xA4", "[ /_n][ /_h]"},                        // 164 maps to nh (a word)
        {"\xD7", "[ /_x]"},                             // times sign: x, spelled
        {"42", "[ /_4][ /_2]"},                         // digits: default pieces
        {"\xAB" "a", "[ /_\xAA][a]"},                   // 171 maps to the feminine ordinal
        {"ABC", "[a/b/c]"},                             // one vowel: no stress
        {"sol", "[s/O/l]"},                             // one vowel ending in l: stressed
        {"ol\xE1\x85", "[o/l/a/'][ /_.]"},              // ellipsis: a full stop, not a letter
        {"\x93sol\x94\xA0\x96" "a", "[s/O/l][a]"},      // curly quotes, nbsp, dash: blanks
    };
    for (const Case& c : cases) EXPECT_EQ(translateToPhonetic(c.text), c.phonetic) << c.text;
}

TEST_F(EchoTranslator, ExceptionsWithStrippedEndings) {
    loadPhoneticExceptionsText("casa=kaza\nandar=ANDAR|a comment\n;casas=nope\nbem=\n");
    EXPECT_EQ(phoneticExceptionCount(), 3);
    EXPECT_EQ(translateToPhonetic("casas"), "[k/A/z/a/s]");  // casa found, s kept
    EXPECT_EQ(translateToPhonetic("casam"), "[k/A/z/a/m]");
    EXPECT_EQ(translateToPhonetic("casasm"), "[k/A/z/a/s/m]");
    EXPECT_EQ(translateToPhonetic("andam"), "[A/n/d/a/m]");  // not found: unchanged
    EXPECT_EQ(translateToPhonetic("bem"), "");               // empty replacement says nothing
    EXPECT_EQ(translateToPhonetic("s"), "[ /_s]");           // stripping stops at the empty word
}

TEST(PhoneticExceptions, SortedAndLimited) {
    std::string file;
    for (int i = 20000; i-- > 0;) file += "w" + std::to_string(i) + "=x\n";
    file += std::string(300, 'a') + "=b\n";  // past the limit anyway
    loadPhoneticExceptionsText(file);
    EXPECT_EQ(phoneticExceptionCount(), 15000);
    loadPhoneticExceptionsText("zeta=z\nalfa=a\n" + std::string(300, 'q') + "=r\n");
    EXPECT_EQ(phoneticExceptionCount(), 3);
    releasePhoneticRules();
    EXPECT_EQ(phoneticExceptionCount(), 0);
}

TEST(PhoneticStress, MarksTheStressedVowel) {
    struct Case {
        const char* word;
        int vowels;
        bool marked;
        const char* expected;
    } cases[] = {
        {"casa", 2, false, "cAsa"},     {"casas", 2, false, "cAsas"},   {"amor", 2, false, "amOr"},
        {"falam", 2, false, "fAlam"},   {"homem", 2, false, "hOmem"},   {"jardim", 2, false, "jardIm"},
        {"bombom", 2, false, "bombOm"}, {"tatu", 2, false, "tatU"},     {"pai", 2, false, "pAi"},
        {"fui", 2, false, "fUi"},       {"aqui", 3, false, "aquI"},     {"paraguai", 4, false, "paraguaI"},
        {"rio", 2, false, "rIo"},       {"saia", 3, false, "sAia"},     {"rainha", 3, false, "raInha"},
        {"saindo", 3, false, "saIndo"}, {"muito", 3, false, "mUito"},   {"sairro", 3, false, "saIrro"},
        {"ia", 2, false, "Ia"},         {"sol", 1, false, "sOl"},       {"mar", 1, false, "mar"},
        {"ele", 2, false, "Ele"},       {"a'gua", 3, true, "a'gua"},    {"xyz", 0, false, "xyz"},
        {"animais", 3, false, "animAis"}, {"juiz", 2, false, "juIz"},   {"", 0, false, ""},
    };
    for (const Case& c : cases) {
        std::string word = c.word;
        markPhoneticStress(word, c.vowels, c.marked);
        EXPECT_EQ(word, c.expected) << c.word;
    }
}

TEST(PhoneticRules, ContextSymbols) {
    // Rule "<left>(B)<right>=Q" before the plain echo of B: the output shows
    // whether the contexts matched at the b of the word.
    struct Case {
        const char* left;
        const char* right;
        const char* word;
        bool matches;
    } cases[] = {
        {"#", "", "aab", true},      {"#", "", "a'b", true},     {"#", "", "cba", false},
        {"#", "", "ba", false},      {"C#", "", "caeb", true},   {"C#", "", "ceb", true},
        {"%", "", "bo", true},       {"%", "", "ab", false},     {"", "%", "ab", true},
        {"", "%", "ba", false},      {"]", "", "ab", true},      {"]", "", "o'b", true},
        {"]", "", "eb", false},      {"_", "", "bo", true},      {"_", "", "ob", true},
        {"_", "", "e^b", true},      {"_", "", "acb", false},    {"|", "", "anb", true},
        {"|", "", "arb", true},      {"|", "", "atb", false},    {"", "&", "abl", true},
        {"", "&", "abz", true},      {"", "&", "abt", false},    {"", "&", "ab", false},
        {"", "+", "be", true},       {"", "+E", "bi'e", true},   {"", "+", "ba", false},
        {"", "\\%", "ab", true},     {"", "\\%", "abs", true},   {"", "\\%", "abss", false},
        {"", "*", "abt", true},      {"", "*", "abr", false},    {"", "*", "abl", false},
        {"", "*", "ab", false},      {"", "*T", "abt", true},    {"", "*", "aba", false},
        {"", "[", "ab", true},       {"", "[", "abt", true},     {"", "[", "abh", false},
        {"", "[", "ba", false},      {"", "#", "bae", true},     {"", "#C", "baec", true},
        {"", "#", "ab", false},      {"A", "", "ab", true},      {"A", "", "eb", false},
        {"AC", "", "cab", false},    {"CA", "", "cab", true},    {"", "AC", "bac", true},
    };
    for (const Case& c : cases) {
        loadPhoneticRulesText(std::string(c.left) + "(B)" + c.right + "=Q|\n(B)=b|\n");
        std::string out = translateToPhonetic(c.word);
        EXPECT_EQ(out.find('Q') != std::string::npos, c.matches)
            << c.left << "(B)" << c.right << " on " << c.word << " gave " << out;
    }
    releasePhoneticRules();
}

TEST(PhoneticRules, FileFormat) {
    loadPhoneticRulesText(
        "; a comment (A)=x\n"
        "\n"
        "no parenthesis here\n"
        "LEFTXX(KEYSXX)RIGHTX=OUTPUT67890123|comment\r\n"
        "(~)=never|key outside 32..95\n"
        "()=empty key\n"
        "(A)= piece with blank|\n"
        "(E\n"
        "(I)\n");
    std::vector<PhoneticRule> rules = loadedPhoneticRules();
    ASSERT_EQ(rules.size(), 4u);
    EXPECT_EQ(rules[0].key, "A");
    EXPECT_EQ(rules[0].output, " piece with");  // cut to 11
    EXPECT_EQ(rules[1].key, "E");
    EXPECT_EQ(rules[2].key, "I");
    EXPECT_EQ(rules[3].left, "LEFTX");
    EXPECT_EQ(rules[3].key, "KEYSX");
    EXPECT_EQ(rules[3].right, "RIGHT");
    EXPECT_EQ(rules[3].output, "OUTPUT67890");
    // A key longer than the rest of the word never matches; the first
    // matching rule wins; a stressed vowel upper-cases the piece's first vowel.
    loadPhoneticRulesText("(CAS)=kkk|\n(CA)=ka|\n(C)=k|\n(A)=xa|\n(S)=s|\n");
    EXPECT_EQ(translateToPhonetic("ca"), "[ka]");
    EXPECT_EQ(translateToPhonetic("casa"), "[kkk/xa]");  // the stressed a went into the key
    EXPECT_EQ(translateToPhonetic("saca"), "[s/xA/ka]");
    EXPECT_EQ(translateToPhonetic("cas"), "[kkk]");
    EXPECT_TRUE(loadPhoneticRules("/nonexistent/regras.rgr") == false);
    EXPECT_TRUE(loadedPhoneticRules().empty());
    EXPECT_FALSE(loadPhoneticExceptions("/nonexistent/portug.exc"));
}

TEST(PhoneticWords, VeryLongRunsAreSplit) {
    loadPhoneticRulesText(echoRules());
    std::string out = translateToPhonetic(std::string(600, 'b') + "a");
    // 255 + 255 + 91 characters: three words, the last one translated.
    EXPECT_EQ(std::count(out.begin(), out.end(), '['), 255 + 255 + 1);
    releasePhoneticRules();
}
