// The engine's own data files (data/tts) and the real mbrola program with
// the br4 voice: every phoneme the rules produce is one the voice has, the
// files load, and a Portuguese paragraph is spoken at 16 kHz with a
// plausible length, without silence and without clipping.
#include "tts/engine_files.h"
#include "tts/letter_to_sound.h"
#include "tts/mbrola_driver.h"
#include "tts/prosody.h"
#include "tts/text_normalizer.h"

#include "../sound/fake_console.h"
#include "tts_test_support.h"

#include "console/console.h"
#include "platform/audio_sink.h"
#include "platform/clock.h"
#include "sound/wave_player.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace {

const std::string ENGINE_DIR = std::string(DATA_HOME) + "/drive_c/talora/norelatts/";
const std::string RULES = ENGINE_DIR + "portug.nrl", EXCEPTIONS = ENGINE_DIR + "portug.exc",
                  ABBREVIATIONS = ENGINE_DIR + "portug.abr", PROSODY = ENGINE_DIR + "portug.pro",
                  DIPHONES = ENGINE_DIR + "portug.dfn";

const char* const PARAGRAPH =
    "Bom dia! O Sr. Silva chegou às 10 horas ao 2º andar do prédio, com três amigos. "
    "Eles queriam saber quanto custa a passagem para São Paulo; a resposta foi R$ 1.500,00. "
    "Você acha que amanhã vai chover?";

std::set<std::string> voicePhonemes() {
    std::set<std::string> names;
    std::vector<std::string> lines;
    EXPECT_TRUE(readEngineFile(DIPHONES, lines));
    for (const std::string& line : lines)
        if (!line.empty() && line[0] != ';') names.insert(line.substr(0, line.find('-')));
    return names;
}

TEST(EngineData, EveryRuleOutputIsAPhonemeOfTheVoice) {
    std::set<std::string> voice = voicePhonemes();
    ASSERT_GT(voice.size(), 30u);
    ASSERT_TRUE(loadRules(RULES));
    int rules = 0;
    for (int c = 32; c < 256; ++c)
        for (const TRegra& rule : rulesFor(static_cast<unsigned char>(c))) {
            ++rules;
            std::string output = rule.output;
            size_t start = 0;
            while (start <= output.size() && !output.empty()) {
                size_t end = output.find('&', start);
                std::string phoneme = output.substr(
                    start, end == std::string::npos ? std::string::npos : end - start);
                if (phoneme.starts_with("\xA8")) phoneme.erase(0, 1);
                EXPECT_TRUE(voice.count(phoneme))
                    << "rule for " << ttstest::utf8(rule.key) << ": " << phoneme;
                if (end == std::string::npos) break;
                start = end + 1;
            }
        }
    EXPECT_GT(rules, 80);
    releaseRules();
}

TEST(EngineData, FilesLoadAndGiveThePipelineItsWords) {
    ASSERT_TRUE(loadRules(RULES));
    ASSERT_TRUE(loadExceptions(EXCEPTIONS));
    ASSERT_TRUE(loadAbbreviations(ABBREVIATIONS));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(loadProsody(PROSODY));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(loadDiphoneList(DIPHONES));
    EXPECT_EQ(ttstest::utf8(normalizeText("Sr. Silva")), "senhor Silva");
    EXPECT_EQ(keywordClass("de"), "PR");
    // casa: k a z a, stressed on its first a; the final a unstressed.
    std::vector<std::string> phonemes = buildPhonemeList({"555|casa"});
    EXPECT_EQ(phonemes, (std::vector<std::string>{";555|casa", "k", ">a", "z",
                                                  "\xA8"
                                                  "a",
                                                  "", "__"}));
    // Bridges stay rare in running Portuguese.
    std::vector<std::string> lines = textToMbrolaLines(ttstest::cp(PARAGRAPH), 0.8, 1.0);
    int bridges = 0, phonemeLines = 0;
    for (const std::string& line : lines) {
        if (line.empty() || line[0] == ';') continue;
        ++phonemeLines;
        bridges += line == "_ 50" || line == "y 50";
    }
    EXPECT_GT(phonemeLines, 150);
    EXPECT_LT(bridges * 20, phonemeLines) << bridges << " bridges";
    releaseRules();
    releaseDiphoneList();
}

class RealMbrolaTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setClock(virtualClock());
        resetConsole();
        setConsoleBackend(std::make_unique<soundtest::FakeConsole>());
        resetWavePlayer();
        CaptureOptions options;
        options.keepBlocks = true;
        setAudioSink(makeCaptureSink(options));
    }
    void TearDown() override {
        closeEngine();
        resetWavePlayer();
        setAudioSink(nullptr);
        resetConsole();
        setConsoleBackend(nullptr);
        setClock(nullptr);
    }
};

TEST_F(RealMbrolaTest, SpeaksAPortugueseParagraph) {
    testing::internal::CaptureStderr();
    bool started = initEngine("br4", RULES, EXCEPTIONS, ABBREVIATIONS, PROSODY, DIPHONES);
    std::string messages = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(started) << "mbrola and mbrola-br4 are installed by tools/setup-debian " << messages
                         << ttstest::utf8(engineErrorText());
    setSpeechFactors(0.8, 1.0);
    ASSERT_TRUE(speak(ttstest::cp(PARAGRAPH)));
    for (int i = 0; i < 100000 && isSpeaking(); ++i) waitForMessage(10);

    std::string samples;
    for (const CaptureEvent& e : audioSink().captureLog()->events)
        if (e.kind == CaptureEvent::Block) {
            EXPECT_EQ(e.format, (AudioFormat{16000, 16, 1}));
            samples += e.data;
        }
    double seconds = samples.size() / 2 / 16000.0;
    // About 45 words: some 10 to 25 seconds of speech.
    EXPECT_GT(seconds, 10.0);
    EXPECT_LT(seconds, 25.0);
    // Most tenths of a second carry sound, and nothing is clipped.
    size_t window = 1600, loud = 0, windows = 0, clipped = 0;
    for (size_t w = 0; (w + 1) * window * 2 <= samples.size(); ++w, ++windows) {
        int peak = 0;
        for (size_t i = w * window; i < (w + 1) * window; ++i) {
            int v = static_cast<int16_t>(static_cast<uint8_t>(samples[2 * i]) |
                                         static_cast<uint8_t>(samples[2 * i + 1]) << 8);
            peak = std::max(peak, std::abs(v));
            clipped += std::abs(v) >= 32767;
        }
        loud += peak > 1000;
    }
    EXPECT_GT(loud * 10, windows * 6) << loud << " of " << windows;
    EXPECT_LT(clipped, samples.size() / 2 / 10000);
}

} // namespace
