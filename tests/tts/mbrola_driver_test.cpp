// The MBROLA driver over a stand-in mbrola program: the blocks handed to the
// wave player, the file mode, errors while speaking, and a system without
// MBROLA or with broken engine files.
#include "tts/mbrola_driver.h"

#include "../sound/fake_console.h"
#include "tts_test_support.h"

#include "console/console.h"
#include "platform/audio_sink.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "sound/wave_player.h"
#include "tts/mbrola.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

using soundtest::FakeConsole;

uint32_t le32At(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(bytes[at + i]);
    return v;
}

class MbrolaDriverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        setenv("PATH", (std::string(FAKE_MBROLA_DIR) + ":" + savedPath_).c_str(), 1);
        setClock(virtualClock());
        resetConsole();
        auto backend = std::make_unique<FakeConsole>();
        console_ = backend.get();
        setConsoleBackend(std::move(backend));
        resetWavePlayer();
        CaptureOptions options;
        options.keepBlocks = true;
        setAudioSink(makeCaptureSink(options));

        dir_ = ttstest::testFolder("driver");
        rules_ = ttstest::writeFile(dir_ + "/t.nrl", "(A)=a\n(B)=b\n(F)=FAIL\n");
        exceptions_ = ttstest::writeFile(dir_ + "/t.exc", "");
        abbreviations_ = ttstest::writeFile(dir_ + "/t.abr", "");
        prosody_ = ttstest::writeFile(dir_ + "/t.pro", "[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\n");
        diphones_ = ttstest::writeFile(dir_ + "/t.dfn", "_-_\n_-a\na-_\na-a\n");
        setOutputFile("");
        setSpeechFactors(1.0, 1.0);
    }
    void TearDown() override {
        closeEngine();
        setOutputFile("");
        resetWavePlayer();
        setAudioSink(nullptr);
        resetConsole();
        setConsoleBackend(nullptr);
        setClock(nullptr);
        setenv("PATH", savedPath_.c_str(), 1);
    }

    // A stand-in voice whose every utterance is `bytes` bytes of samples.
    std::string voice(long bytes) {
        std::string path = dir_ + "/voice" + std::to_string(bytes);
        ttstest::writeFile(path, "FAKE " + std::to_string(bytes) + "\n");
        std::remove((path + ".log").c_str());
        return path;
    }
    bool start(const std::string& database) {
        return initEngine(database, rules_, exceptions_, abbreviations_, prosody_, diphones_);
    }
    std::string log(const std::string& database) {
        std::string text;
        readWholeFile(database + ".log", text);
        return text;
    }
    std::vector<CaptureEvent> blocks() {
        std::vector<CaptureEvent> out;
        for (const CaptureEvent& e : audioSink().captureLog()->events)
            if (e.kind == CaptureEvent::Block) out.push_back(e);
        return out;
    }
    void waitForEnd() {
        for (int i = 0; i < 100000 && isSpeaking(); ++i) waitForMessage(10);
    }

    FakeConsole* console_ = nullptr;
    std::string savedPath_, dir_, rules_, exceptions_, abbreviations_, prosody_, diphones_;
};

TEST_F(MbrolaDriverTest, UtterancesBecomeBlocksOfTheWavePlayer) {
    const std::pair<long, size_t> cases[] = {{10000, 10000}, {300, 300}, {100, 256}};
    for (const auto& [produced, played] : cases) {
        std::string db = voice(produced);
        ASSERT_TRUE(start(db)) << produced;
        size_t before = blocks().size();
        ASSERT_TRUE(speak("a")) << produced;
        waitForEnd();
        std::vector<CaptureEvent> now = blocks();
        ASSERT_EQ(now.size(), before + 1) << produced;
        const CaptureEvent& block = now.back();
        EXPECT_EQ(block.bytes, played) << produced;
        EXPECT_EQ(block.format, (AudioFormat{16000, 16, 1}));
        // The samples, then silence up to the shortest block.
        for (size_t i = 0; i < block.data.size(); ++i) {
            uint8_t expected =
                static_cast<long>(i) >= produced ? 0 : (i % 2 == 0 ? 1000 & 0xFF : 1000 >> 8);
            ASSERT_EQ(static_cast<uint8_t>(block.data[i]), expected) << produced << " at " << i;
        }
        closeEngine();
    }
}

TEST_F(MbrolaDriverTest, PhonemeLinesReachTheProgram) {
    std::string db = voice(300);
    ASSERT_TRUE(start(db));
    ASSERT_TRUE(speak("a"));
    ASSERT_TRUE(speak(" \t ")); // blanks only: nothing reaches MBROLA
    // The voice is tried once; each utterance has a child of its own, which
    // ignores diphones the voice lacks, and the next one is started ahead.
    std::string expected = "start " + db +
                           " - -\n_ 20 50 120\n_ 20\n"
                           "start -e " +
                           db + " - -\n;\n_ 100\n;a\na 100\n_ 100\n";
    std::string written = log(db);
    EXPECT_TRUE(written == expected || written == expected + "start -e " + db + " - -\n")
        << written;
}

TEST_F(MbrolaDriverTest, LongUtterancesArePlayedWhileSynthesisGoesOn) {
    std::string db = voice(100000);
    ASSERT_TRUE(start(db));
    ASSERT_TRUE(speak("a"));
    waitForEnd();
    size_t total = 0;
    for (const CaptureEvent& b : blocks()) {
        EXPECT_LE(b.bytes, 32000u);
        total += b.bytes;
    }
    EXPECT_EQ(total, 100000u);
    EXPECT_GE(blocks().size(), 4u);
}

TEST_F(MbrolaDriverTest, FileModeWritesOneWaveFile) {
    std::string db = voice(300);
    std::string out = dir_ + "/out.wav";
    setOutputFile(out);
    ASSERT_TRUE(start(db));
    std::string bytes;
    ASSERT_TRUE(readWholeFile(out, bytes));
    ASSERT_EQ(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(le32At(bytes, 24), 16000u);
    EXPECT_EQ(le32At(bytes, 40), 0u);
    ASSERT_TRUE(speak("a"));
    ASSERT_TRUE(speak("aa"));
    EXPECT_FALSE(isSpeaking());
    EXPECT_TRUE(blocks().empty());
    closeEngine();
    ASSERT_TRUE(readWholeFile(out, bytes));
    ASSERT_EQ(bytes.size(), 644u);
    EXPECT_EQ(le32At(bytes, 4), 636u);
    EXPECT_EQ(le32At(bytes, 40), 600u);

    setOutputFile(dir_ + "/no/such/folder/out.wav");
    EXPECT_FALSE(start(db));
}

TEST_F(MbrolaDriverTest, AnErrorWhileSpeakingIsReportedAndTheEngineGoesOn) {
    std::string db = voice(300);
    ASSERT_TRUE(start(db));
    EXPECT_FALSE(speak("afa"));
    EXPECT_TRUE(speak("a"));
    waitForEnd();
    EXPECT_FALSE(blocks().empty());
}

TEST_F(MbrolaDriverTest, AKeyStopsTheUtterance) {
    std::string db = voice(100000);
    ASSERT_TRUE(start(db));
    queueKey('x');
    ASSERT_TRUE(speak("a"));
    EXPECT_TRUE(blocks().empty());
    EXPECT_FALSE(isSpeaking());
    EXPECT_EQ(readKey(), 'x');
}

TEST_F(MbrolaDriverTest, StartFailures) {
    // No mbrola program at all: nothing else is tried and no reason is given.
    setenv("PATH", dir_.c_str(), 1);
    EXPECT_FALSE(start(voice(300)));
    EXPECT_EQ(engineErrorText(), "");
    setenv("PATH", FAKE_MBROLA_DIR, 1);
    // A database mbrola cannot use.
    EXPECT_FALSE(start(dir_ + "/missing-voice"));
    EXPECT_FALSE(start(rules_));

    struct Case {
        std::string rules, exceptions, abbreviations, prosody, diphones;
        const char* error;
    };
    std::string missing = dir_ + "/missing";
    const Case cases[] = {
        {missing, exceptions_, abbreviations_, prosody_, diphones_,
         "Erro na base de dados de português"},
        {rules_, missing, abbreviations_, prosody_, diphones_,
         "Erro na base de dados de português"},
        {rules_, exceptions_, missing, prosody_, diphones_, "Erro no arquivo de abreviaturas"},
        {rules_, exceptions_, abbreviations_, missing, diphones_, "Erro no arquivo de prosódia"},
        {rules_, exceptions_, abbreviations_, prosody_, missing, "Erro no arquivo de prosódia"},
    };
    std::string db = voice(300);
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(initEngine(db, c.rules, c.exceptions, c.abbreviations, c.prosody, c.diphones));
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(ttstest::utf8(engineErrorText()), c.error);
    }
}

TEST(MbrolaBinding, EveryEntryPointMustBeThere) {
    static int dummy;
    const char* names[] = {
        "init_MBR",       "init_rename_MBR",     "write_MBR",          "flush_MBR",
        "read_MBR",       "readtype_MBR",        "close_MBR",          "reset_MBR",
        "lastError_MBR",  "lastErrorStr_MBR",    "setNoError_MBR",     "getNoError_MBR",
        "setFreq_MBR",    "getFreq_MBR",         "setVolumeRatio_MBR", "getVolumeRatio_MBR",
        "getVersion_MBR", "getDatabaseInfo_MBR", "setParser_MBR",      "init_Phone",
        "reset_Phone",    "close_Phone",         "appendf0_Phone"};
    std::vector<MbrolaExport> exports;
    for (const char* name : names) exports.push_back({name, &dummy});
    MbrolaBinding binding{};
    EXPECT_TRUE(bindMbrolaExports(exports.data(), exports.size(), binding));
    EXPECT_TRUE(bindMbrolaExports(exports.data(), exports.size() - 1, binding) == false);
}

} // namespace
