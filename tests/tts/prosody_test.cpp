// Prosody: the configuration loader and its messages, tokens, intonation
// codes, durations, pitch points and the bridging of missing diphones.
#include "tts/prosody.h"

#include "tts_test_support.h"

#include <gtest/gtest.h>

namespace {

using ttstest::cp;
using ttstest::utf8;

const char* const GOOD_PROSODY = "; comment\n"
                                 "[DURAÇÃO]\n"
                                 "* another comment\n"
                                 "  a = 80\n"
                                 "kk=70\n"
                                 "_,=200\n"
                                 "\n"
                                 "[CHAVES]\n"
                                 "de=pr\n"
                                 "olá=interjeição\n"
                                 "[PROSÓDIA]\n"
                                 "hertz=200\n"
                                 "TABHERTZ=0,10,20,30,40,100,60,70,80,90,99\n"
                                 "|xx|..=?31\n"
                                 "|pr|=452 \n"
                                 "--|XX|=666\n"
                                 "[FIM]\n"
                                 "ignored line without equals\n";

class ProsodyTest : public ::testing::Test {
  protected:
    void SetUp() override { dir_ = ttstest::testFolder("prosody"); }
    void TearDown() override { releaseDiphoneList(); }
    std::string file(const std::string& name, const std::string& utf8Text) {
        return ttstest::writeFile(dir_ + "/" + name, utf8Text);
    }
    bool loadText(const std::string& utf8Text) {
        testing::internal::CaptureStderr();
        bool ok = loadProsody(file("p.pro", utf8Text));
        stderr_ = testing::internal::GetCapturedStderr();
        return ok;
    }
    void diphones(const std::string& text) { ASSERT_TRUE(loadDiphoneList(file("d.dfn", text))); }
    std::string dir_, stderr_;
};

TEST_F(ProsodyTest, LoadsTheThreeSections) {
    ASSERT_TRUE(loadText(GOOD_PROSODY)) << stderr_;
    EXPECT_EQ(lastProsodyMessage(), "");
    EXPECT_EQ(durationOf("a"), 80);
    EXPECT_EQ(durationOf("kk"), 70);
    EXPECT_EQ(durationOf("_,"), 200);
    EXPECT_EQ(durationOf("zz"), 100);
    EXPECT_EQ(keywordClass("De"), "PR");
    EXPECT_EQ(keywordClass(cp("OLÁ")), "IN");
    EXPECT_EQ(keywordClass("para"), "");
    EXPECT_EQ(basePitch(), 200);
    EXPECT_EQ(pitchLevel(0), 0);
    EXPECT_EQ(pitchLevel(9), 90); // values after the tenth are ignored
}

TEST_F(ProsodyTest, LoaderMessagesAndFailures) {
    struct Case {
        const char* text;
        const char* message;
        bool ok;
    };
    const Case cases[] = {
        {"[CHAVES]\n[PROSÓDIA]\n", "Duração dos difones errada ou ausente", false},
        {"[DURAÇÃO]\na=1\n[PROSÓDIA]\n", "Prosódia: palavras chaves ausentes", false},
        {"[DURAÇÃO]\n[CHAVES]\n", "Prosódia: especificações ausentes", false},
        {"[DURAÇÃO]\nsem igual\n[CHAVES]\n[PROSÓDIA]\n",
         "Configuração da prosódia: fonema errado: sem igual", false},
        {"[DURAÇÃO]\n[CHAVES]\nsem igual\n[PROSÓDIA]\n",
         "Configuração da prosódia: chave errada: sem igual", false},
        {"[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nsem igual\n",
         "Configuração da prosódia: chave errada: sem igual", false},
        // A duration that is no number is reported and taken as 100.
        {"[DURAÇÃO]\nb=x\n[CHAVES]\n[PROSÓDIA]\n", "Configuração da prosódia: fonema errado: b=x",
         true},
        {"[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nHERTZ=alto\n",
         "Configuração da prosódia: chave errada: HERTZ=alto", false},
        {"[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nTABHERTZ=1,2,3\n",
         "Configuração da prosódia: chave errada: TABHERTZ=1,2,3", false},
        // Headers are matched exactly, after trimming.
        {"  [DURAÇÃO]  \n[chaves]\n[PROSÓDIA]\n", "Prosódia: palavras chaves ausentes", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(loadText(c.text), c.ok) << c.text;
        EXPECT_EQ(utf8(lastProsodyMessage()), c.message) << c.text;
        EXPECT_EQ(stderr_, std::string(c.message) + "\n") << c.text;
    }
    ASSERT_TRUE(loadText("[DURAÇÃO]\nb=x\nc=7\n[CHAVES]\n[PROSÓDIA]\n"));
    EXPECT_EQ(durationOf("b"), 100);
    EXPECT_EQ(durationOf("c"), 7);
    EXPECT_FALSE(loadProsody(dir_ + "/missing.pro"));
    EXPECT_EQ(utf8(lastProsodyMessage()), "Configuração da prosódia não foi achada");
}

TEST_F(ProsodyTest, PitchLevelsSurviveAFileWithoutThem) {
    ASSERT_TRUE(loadText(GOOD_PROSODY));
    ASSERT_TRUE(loadText("[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\n"));
    EXPECT_EQ(pitchLevel(5), 100);
    EXPECT_EQ(basePitch(), 230);
}

TEST_F(ProsodyTest, Tokens) {
    ASSERT_TRUE(loadText(GOOD_PROSODY));
    EXPECT_EQ(
        tokenize(cp("Olá, mundo.")),
        (std::vector<std::string>{"[--]", cp("[IN]Olá"), "[,,],", "[XX]mundo", "[..].", "[--]"}));
    EXPECT_EQ(tokenize("sim... de novo? "),
              (std::vector<std::string>{"[--]", "[XX]sim", "[.-].", "[--]", "[PR]de", "[XX]novo",
                                        "[??]?", "[--]"}));
    EXPECT_EQ(tokenize("   "), (std::vector<std::string>{"[--]"}));
    EXPECT_EQ(tokenize(""), (std::vector<std::string>{"[--]"}));
}

TEST_F(ProsodyTest, IntonationCodes) {
    ASSERT_TRUE(loadText(GOOD_PROSODY));
    // de: 452 (class PR); casa before a full stop: ?31 continues at 2.
    std::vector<std::string> tokens = {"[--]", "[XX]Era", "[PR]de", "[XX]casa", "[..].", "[--]"};
    EXPECT_EQ(assignIntonation(tokens, true),
              (std::vector<std::string>{"555|", "666|Era", "452|de", "231|casa", "555|.", "555|"}));
    EXPECT_EQ(assignIntonation(tokens, false),
              (std::vector<std::string>{"555|", "555|Era", "555|de", "555|casa", "555|.", "555|"}));
    EXPECT_TRUE(assignIntonation({}, true).empty());
}

TEST_F(ProsodyTest, DiphoneListFormat) {
    diphones("; comment\n! other\n* third\n\n"
             "a-b\n"
             "  R2 _  \n"
             "@:2_x\n"
             "nh\n");
    EXPECT_TRUE(hasDiphone("a", "b"));
    EXPECT_TRUE(hasDiphone("A", "B")); // letter case does not matter
    EXPECT_TRUE(hasDiphone("r2", "_"));
    EXPECT_TRUE(hasDiphone("@", "2_x"));
    EXPECT_TRUE(hasDiphone("nh", ""));
    EXPECT_FALSE(hasDiphone("b", "a"));
    EXPECT_FALSE(loadDiphoneList(dir_ + "/missing.dfn"));
    EXPECT_FALSE(hasDiphone("a", "b"));
}

// A configuration without pitch levels (they outlive a load otherwise).
const char* const NO_PITCH = "[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nTABHERTZ=0,0,0,0,0,0,0,0,0,0\n";

// The phonemes k >a z a of a five-letter word with code 555.
const std::vector<std::string> CASA = {";555|", "__", "",  ";555|casa", "k",
                                       ">a",    "z",  "a", "",          "__"};

TEST_F(ProsodyTest, DurationsAndPitchPoints) {
    ASSERT_TRUE(loadText("[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nTABHERTZ=0,0,0,0,0,100,0,0,0,0\n"));
    diphones("_-_\n_-k\nk-a\na-z\nz-a\na-_\n");
    EXPECT_EQ(
        buildMbrolaLines(CASA, 1.0, 1.0),
        (std::vector<std::string>{";", "_ 100 50 230", "", ";casa", "k 100 50 230", "a 145 80 230",
                                  "z 145", "a 145 50 230", "", "_ 100 50 230"}));
    // The factors scale durations and pitch; levels without a value give no point.
    std::vector<std::string> lines = buildMbrolaLines({";595|abc", "k", ">a", "z", ""}, 0.8, 2.0);
    EXPECT_EQ(lines,
              (std::vector<std::string>{";abc", "k 80 50 460", "a 116", "z 116 50 460", ""}));
}

TEST_F(ProsodyTest, PauseDurations) {
    ASSERT_TRUE(
        loadText("[DURAÇÃO]\n_,=300\n[CHAVES]\n[PROSÓDIA]\nTABHERTZ=0,0,0,0,0,0,0,0,0,0\n"));
    diphones("_-_\n");
    std::vector<std::string> lines = buildMbrolaLines({"_", "_ 40", "_,", "__"}, 0.8, 1.0);
    EXPECT_EQ(lines, (std::vector<std::string>{"_ 80", "_ 32", "_ 240", "_ 80"}));
}

TEST_F(ProsodyTest, LongWordsAreSaidFasterBeforeTheirStress) {
    ASSERT_TRUE(loadText(NO_PITCH));
    diphones("_-_\n_-t\nt-t\n");
    auto firstDuration = [](const std::string& word) {
        return buildMbrolaLines({";555|" + word, "t", ">t", "t", ""}, 1.0, 1.0)[1];
    };
    EXPECT_EQ(firstDuration("abcdefgh"), "t 100");     // 9 with the ";"
    EXPECT_EQ(firstDuration("abcdefghi"), "t 90");     // 10
    EXPECT_EQ(firstDuration("abcdefghijkl"), "t 90");  // 13
    EXPECT_EQ(firstDuration("abcdefghijklm"), "t 80"); // 14
    EXPECT_EQ(buildMbrolaLines({";555|abcdefghijklm", "t", ">t", "t", ""}, 1.0, 1.0)[3], "t 145");
}

TEST_F(ProsodyTest, MissingDiphonesAreBridged) {
    ASSERT_TRUE(loadText(NO_PITCH));
    diphones("_-_\n_-a\na-_\nr2-_\nb-y\n_-b\n_-r2\n");
    // a-b missing, with no a-y: silence. b-a missing, b-y listed: y.
    // r2-a missing, r2-_ listed: silence.
    std::vector<std::string> lines = buildMbrolaLines({"a", "b", "a", "r2", "a", ""}, 1.0, 1.0);
    EXPECT_EQ(lines, (std::vector<std::string>{"a 100", "_ 50", "b 100", "y 50", "a 100", "_ 50",
                                               "r2 100", "_ 50", "a 100", ""}));
}

TEST_F(ProsodyTest, StressMarkersAndTheStartOfAnUtterance) {
    ASSERT_TRUE(loadText(NO_PITCH));
    diphones("_-_\n_-a\na-a\na-_\n");
    // "¨" ends the stress lengthening; after ">" it is dropped.
    std::vector<std::string> lines = buildMbrolaLines({"a",
                                                       ">\xA8"
                                                       "a",
                                                       "a",
                                                       "\xA8"
                                                       "a",
                                                       ""},
                                                      1.0, 1.0);
    EXPECT_EQ(lines, (std::vector<std::string>{"a 100", "a 145", "a 145", "a 100", ""}));
    // Every utterance starts after silence; token comments and word ends
    // are no phonemes of a pair.
    diphones("_-_\nx-y\ny-x\nx-_\n");
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(
            buildMbrolaLines({";555|x", "x", "", ";555|y", "y", "x", ""}, 1.0, 1.0),
            (std::vector<std::string>{";x", "_ 50", "x 100", "", ";y", "y 100", "x 100", ""}));
}

} // namespace
