// The Norela engine front: its files from [NORELATTS], the rate and pitch
// factors, and a key that stops its speech and stays queued. MBROLA is the
// stand-in program of the engine's tests.
#include "speech/norela_front.h"

#include "../sound/fake_console.h"

#include "console/console.h"
#include "platform/audio_sink.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "sound/wave_player.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

void writeFile(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

class NorelaFrontTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = ::testing::TempDir() + "norela_front_" + std::to_string(getpid());
        engine_ = home_ + "/engine";
        makeDirectories(engine_);
        setenv("TALORA_HOME", home_.c_str(), 1);
        resetTalorahome();
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        setenv("PATH", (std::string(FAKE_MBROLA_DIR) + ":" + savedPath_).c_str(), 1);

        voice_ = engine_ + "/voice";
        writeFile(voice_, "FAKE 100000\n");
        std::remove((voice_ + ".log").c_str());
        writeFile(engine_ + "/fala.nrl", "(A)=a\n");
        writeFile(engine_ + "/fala.exc", "");
        writeFile(engine_ + "/fala.abr", "");
        writeFile(engine_ + "/fala.pro",
                  "[DURAÇÃO]\n[CHAVES]\n[PROSÓDIA]\nTABHERTZ=0,0,0,0,0,100,0,0,0,0\n");
        writeFile(engine_ + "/fala.dfn", "_-_\n_-a\na-_\n");
        config("MBROLA_DB=" + voice_ + "\nDIR=" + engine_ + "\nBASE=fala\n");

        setClock(virtualClock());
        resetConsole();
        setConsoleBackend(std::make_unique<soundtest::FakeConsole>());
        resetWavePlayer();
        CaptureOptions options;
        options.paced = true; // blocks take their playing time
        setAudioSink(makeCaptureSink(options));
    }
    void TearDown() override {
        norelaClose();
        resetWavePlayer();
        setAudioSink(nullptr);
        resetConsole();
        setConsoleBackend(nullptr);
        setClock(nullptr);
        setenv("PATH", savedPath_.c_str(), 1);
        unsetenv("TALORA_HOME");
        resetTalorahome();
    }
    void config(const std::string& norelaKeys) {
        writeFile(home_ + "/FALARIS.INI", "[NORELATTS]\n" + norelaKeys);
    }
    std::string sentLines() {
        std::string text;
        readWholeFile(voice_ + ".log", text);
        return text;
    }
    std::string home_, engine_, voice_, savedPath_;
};

TEST_F(NorelaFrontTest, EngineFilesFromTheConfiguration) {
    NorelaFiles files = norelaFiles();
    EXPECT_EQ(files.database, voice_);
    EXPECT_EQ(files.rules, engine_ + "\\fala.nrl");
    EXPECT_EQ(files.diphones, engine_ + "\\fala.dfn");
    config("");
    files = norelaFiles();
    EXPECT_EQ(files.database, "br4");
    EXPECT_EQ(files.rules, "c:\\talora\\norelatts\\portug.nrl");
    EXPECT_EQ(files.exceptions, "c:\\talora\\norelatts\\portug.exc");
    EXPECT_EQ(files.abbreviations, "c:\\talora\\norelatts\\portug.abr");
    EXPECT_EQ(files.prosody, "c:\\talora\\norelatts\\portug.pro");
    EXPECT_EQ(files.diphones, "c:\\talora\\norelatts\\portug.dfn");
}

TEST_F(NorelaFrontTest, RateAndPitchBecomeTheEngineFactors) {
    // rate 0: durations x 0.8; rate -3: x 1.0; pitch 11: twice the pitch.
    const struct {
        int rate, pitch;
        const char* line;
    } cases[] = {{0, 0, "a 80 50 230"}, {-3, 0, "a 100 50 230"}, {0, 11, "a 80 50 460"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(norelaOpen(c.rate, c.pitch, ""));
        norelaSpeak("a");
        while (norelaBusy()) waitForMessage(10);
        EXPECT_NE(sentLines().find(std::string("\n") + c.line + "\n"), std::string::npos)
            << sentLines();
        norelaClose();
        std::remove((voice_ + ".log").c_str());
    }
    // Without a voice the factors are still set, and open fails.
    config("MBROLA_DB=" + engine_ + "/none\nDIR=" + engine_ + "\nBASE=fala\n");
    EXPECT_FALSE(norelaOpen(0, 0, ""));
}

TEST_F(NorelaFrontTest, AKeyStopsSpeechAndStaysQueued) {
    ASSERT_TRUE(norelaOpen(0, 0, ""));
    norelaSpeak("a");
    EXPECT_TRUE(norelaBusy());
    queueKey('k');
    EXPECT_FALSE(norelaBusy());
    EXPECT_FALSE(isPlaying());
    EXPECT_TRUE(keyAvailable());
    EXPECT_EQ(readKey(), 'k');
}

} // namespace
