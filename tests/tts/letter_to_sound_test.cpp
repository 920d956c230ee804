// Letter-to-sound rules, exceptions, stress and the phoneme list.
#include "tts/letter_to_sound.h"

#include "tts_test_support.h"

#include <gtest/gtest.h>

namespace {

using ttstest::cp;

std::vector<std::string> phonemesOf(std::string_view word, int stress) {
    std::vector<std::string> list;
    translateWord(word, stress, list);
    return list;
}

class LetterToSoundTest : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = ttstest::testFolder("lts"); }
    void TearDown() override { releaseRules(); }
    bool rules(const std::string& text) {
        return loadRules(ttstest::writeFile(dir_ + "/r.nrl", text));
    }
    bool exceptions(const std::string& text) {
        return loadExceptions(ttstest::writeFile(dir_ + "/r.exc", text));
    }
    std::string dir_;
};

TEST(Stress, Positions) {
    const std::pair<const char*, int> cases[] = {
        {"casa", 2},   {"casas", 2}, {"amor", 3},   {"café", 4},  {"falam", 2},  {"homem", 2},
        {"jardim", 5}, {"pai", 2},   {"fui", 2},    {"qui", 3},   {"pegue", 2},  {"rua", 2},
        {"psst", 0},   {"CASA", 2},  {"ÁRVORE", 1}, {"urubu", 5}, {"saguão", 5}, {"aguei", 4},
    };
    for (const auto& [word, position] : cases)
        EXPECT_EQ(findStressedVowel(cp(word)), position) << word;
}

TEST(Stress, UnstressedWords) {
    for (const char* w : {"A", "DE", "POR", "DAS", "DOS", "COM", "NÃO", "SIM"})
        EXPECT_TRUE(isUnstressedWord(cp(w))) << w;
    for (const char* w : {"MAR", "NAO", "CASA"}) EXPECT_FALSE(isUnstressedWord(cp(w))) << w;
}

TEST_F(LetterToSoundTest, RuleFileFormat) {
    ASSERT_TRUE(rules("; comment (X)=no\n"
                      "(X)=k&s|a comment\n"
                      "ABCDEFG(HIJKLMN)OPQRSTU=0123456789012345678901234\n"
                      "no parenthesis=x\n"
                      "()=empty key\n"
                      "\n"
                      "(Q\n"
                      "(X)=second\n"));
    ASSERT_EQ(rulesFor('X').size(), 2u);
    EXPECT_EQ(rulesFor('X')[0].output, "k&s");
    EXPECT_EQ(rulesFor('X')[1].output, "second");
    ASSERT_EQ(rulesFor('H').size(), 1u);
    const TRegra& cut = rulesFor('H')[0];
    EXPECT_EQ(cut.left, "ABCDE");
    EXPECT_EQ(cut.key, "HIJKL");
    EXPECT_EQ(cut.right, "OPQRS");
    EXPECT_EQ(cut.output, "01234567890123456789");
    // A missing ")" leaves the rest empty, but the key stands.
    ASSERT_EQ(rulesFor('Q').size(), 1u);
    EXPECT_EQ(rulesFor('Q')[0].output, "");
    EXPECT_FALSE(loadRules(dir_ + "/missing.nrl"));
    EXPECT_TRUE(rulesFor('X').empty());
}

TEST_F(LetterToSoundTest, StressMarkGoesOnTheFirstPhonemeOfTheStressedLetter) {
    ASSERT_TRUE(rules("(T)=t\n(A)=a\n(X)=k&s\n(H)=\n"));
    EXPECT_EQ(phonemesOf("TAXA", 3), (std::vector<std::string>{"t", "a", ">k", "s", "a", ""}));
    EXPECT_EQ(phonemesOf("TAXA", 0), (std::vector<std::string>{"t", "a", "k", "s", "a", ""}));
    // A silent stressed letter hands the mark on to the next phoneme.
    EXPECT_EQ(phonemesOf("THA", 2), (std::vector<std::string>{"t", ">a", ""}));
    // Letters without rules are silent.
    EXPECT_EQ(phonemesOf("T?A", 1), (std::vector<std::string>{">t", "a", ""}));
}

TEST_F(LetterToSoundTest, ContextSymbols) {
    // Each rule says "y" when its context matches, else the letter falls
    // through to the plain rule.
    struct Case {
        const char* rule;
        const char* word;
        int position; // 1-based position of the X
        bool matches;
    };
    const Case cases[] = {
        {"#(X)=y", "AX", 2, true},  {"#(X)=y", "TX", 2, false},   {"#(X)=y", "X", 1, false},
        {"](X)=y", "OX", 2, true},  {"](X)=y", "EX", 2, false},   {"_(X)=y", "X", 1, true},
        {"_(X)=y", "EX", 2, true},  {"_(X)=y", "TX", 2, false},   {"|(X)=y", "NX", 2, true},
        {"|(X)=y", "TX", 2, false}, {"%(X)=y", "X", 1, true},     {"%(X)=y", "AX", 2, false},
        {"%T(X)=y", "TX", 2, true}, {"(X)#=y", "XA", 1, true},    {"(X)#=y", "X", 1, false},
        {"(X)+=y", "XÉ", 1, true},  {"(X)+=y", "XA", 1, false},   {"(X)&=y", "XZ", 1, true},
        {"(X)&=y", "XT", 1, false}, {"(X)\\A=y", "XSA", 1, true}, {"(X)\\A=y", "XA", 1, true},
        {"(X)\\=y", "X", 1, true},  {"(X)*=y", "XT", 1, true},    {"(X)*=y", "XL", 1, false},
        {"(X)*=y", "X", 1, false},  {"(X)*T=y", "XT", 1, true},   {"(X)[=y", "XT", 1, true},
        {"(X)[=y", "X", 1, true},   {"(X)[=y", "XH", 1, false},   {"(X)[=y", "XA", 1, false},
        {"(X)%=y", "X", 1, true},   {"(X)%=y", "XA", 1, false},   {"(X)A=y", "XA", 1, true},
        {"(X)A=y", "XE", 1, false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(rules(std::string(c.rule) +
                          "\n(X)=x\n(A)=a\n(E)=e\n(T)=t\n(L)=l\n(N)=n\n(O)=o\n"
                          "(S)=s\n(Z)=z\n(H)=h\n" +
                          cp("(É)=e\n")));
        std::vector<std::string> out = phonemesOf(cp(c.word), 0);
        ASSERT_GE(out.size(), static_cast<size_t>(c.position)) << c.rule << " " << c.word;
        // The phoneme of the X: each letter before it gives one.
        EXPECT_EQ(out[c.position - 1], c.matches ? "y" : "x") << c.rule << " on " << c.word;
    }
}

TEST_F(LetterToSoundTest, ExceptionsWithTheirEndings) {
    ASSERT_TRUE(exceptions("casa=kaza\n"
                           "\n"
                           "ovo=Óvo|open o\n"
                           "sem igual\n"));
    EXPECT_EQ(exceptionCount(), 3);
    EXPECT_EQ(lookupException("CASAS"), "KAZAS");
    EXPECT_EQ(lookupException("CASA"), "KAZA");
    EXPECT_EQ(lookupException("OVOSM"), cp("ÓVOSM"));
    EXPECT_EQ(lookupException("ANDAM"), "ANDAM");
    EXPECT_EQ(lookupException("SSS"), "SSS");
    EXPECT_EQ(lookupException("SEM IGUAL"), "SEM IGUAL");

    std::string many;
    for (int i = 0; i < 20000; ++i)
        many += "W" + std::to_string(i) + "=R" + std::to_string(i) + "\n";
    ASSERT_TRUE(exceptions(many));
    EXPECT_EQ(exceptionCount(), MAX_EXCEPTIONS);
    EXPECT_EQ(lookupException("W14999"), "R14999");
    EXPECT_EQ(lookupException("W15000"), "W15000");
    EXPECT_FALSE(loadExceptions(dir_ + "/missing.exc"));
}

TEST_F(LetterToSoundTest, PhonemeListOfAnUtterance) {
    ASSERT_TRUE(rules("(M)=m\n(A)=a\n(R)=r2\n(I)=i\n(G)=g\n(O)=o\n(S)=s2\n(E)=e\n(V)=v\n"));
    ASSERT_TRUE(exceptions("MIGO=AMIGO\n"));
    std::vector<std::string> list =
        buildPhonemeList({"555|", "555|mar", "555|migo", "555|,", "555|mar", "555|ovo", "555|mares",
                          "455|e", "555|."});
    std::vector<std::string>
        expected = {";555|",     "__", "",         ";555|mar", "m",  ">a",
                    "r",         "", // liaison: an unstressed vowel follows
                    ";555|migo", "a",  "m",        ">i",       "g",  "o",
                    "", // the exception's respelling
                    ";555|,",    "_,", ";555|mar", "m",        ">a", "r2",
                    "", // a stressed vowel follows: no liaison
                    ";555|ovo",  ">o", "v",        "o",        "",   ";555|mares",
                    "m",         ">a", "r2",       "e",        "z",  "",
                    ";455|e",    "e",  "",         ";555|.",   "_.", "__"};
    EXPECT_EQ(list, expected);
}

TEST(PunctuationPause, Marks) {
    std::vector<std::string> list;
    for (char c : std::string("!(),.:;? -\"")) punctuationPause(c, list);
    EXPECT_EQ(list, (std::vector<std::string>{"_!", "_(", "_)", "_,", "_.", "_:", "_;", "_?"}));
}

} // namespace
