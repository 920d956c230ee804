// The speech servers behind [TRADUTOR] SAPI: which kind opens what, eSpeak NG
// in process on the capture sink, and speech-dispatcher run privately for
// the test.
#include "private_speechd.h"
#include "speech_fixture.h"

#include "speech/speech_server.h"
#include "speech/speechd_voice.h"

#include <chrono>
#include <cstdlib>
#include <thread>

// Sanitizer builds: libspeechd parses a voice list with strstr over the
// rest of the reply, which the sanitizer's strstr measures every time; for
// the espeak-ng module's 13 000 voices that takes minutes, so the plain
// strstr is kept. And libspeechd keeps a copy of the address (made with
// glib, which nothing else here uses) when it cannot connect.
extern "C" const char* __asan_default_options() { return "intercept_strstr=0"; }
extern "C" const char* __lsan_default_suppressions() { return "leak:libglib-2.0.so\n"; }

namespace {

namespace fs = std::filesystem;
using speechtest::SpeechTest;
using Steady = std::chrono::steady_clock;

const char* const SENTENCE = "Bom dia, este programa fala portugu\xEAs e l\xEA a tela em voz alta. ";

std::string longText() {
    std::string text;
    for (int i = 0; i < 40; ++i) text += SENTENCE;
    return text;
}

class SpeechServerTest : public SpeechTest {
protected:
    void SetUp() override {
        SpeechTest::SetUp();
        // Nothing listens here: the desktop server kinds cannot open.
        setenv("SPEECHD_ADDRESS", ("unix_socket:" + (root / "no-server.sock").string()).c_str(), 1);
    }
    void TearDown() override {
        SpeechTest::TearDown();
        unsetenv("SPEECHD_ADDRESS");
    }

    // Restarts speech with these [TRADUTOR] lines (after DIRLETRAS) and
    // [SERVFALA] values.
    void restart(const std::string& tradutor, const std::string& servfala) {
        closeSpeech();
        writeConfig(tradutor + "[SERVFALA]\n" + servfala);
        initSpeech(3, "");
        useCapture();
    }

    size_t capturedBytes() const {
        size_t n = 0;
        for (const CaptureEvent& b : blocks()) n += b.data.size();
        return n;
    }

    // The captured blocks in eSpeak NG's format (22 050 Hz, 16 bits), as samples.
    std::vector<int16_t> voiceSamples() const {
        std::vector<int16_t> samples;
        for (const CaptureEvent& b : blocks()) {
            if (b.format.sampleRate != 22050 || b.format.bitsPerSample != 16) continue;
            for (size_t i = 0; i + 1 < b.data.size(); i += 2)
                samples.push_back(
                    static_cast<int16_t>(static_cast<uint8_t>(b.data[i]) | b.data[i + 1] << 8));
        }
        return samples;
    }
};

TEST_F(SpeechServerTest, EachKindOpensItsServerOrTheBuiltInVoiceSpeaks) {
    struct Case {
        const char* tradutor;
        const char* servfala;
        bool inProcess;  // eSpeak NG speaks, else the built-in voice
    };
    const Case cases[] = {
        {"SAPI=S\n", "", true},                  // TIPOSAPI missing reads as 0
        {"SAPI=S\n", "TIPOSAPI=\n", true},
        {"SAPI=S\n", "TIPOSAPI=4\n", true},
        {"SAPI=S\n", "TIPOSAPI=7x\n", true},     // leading digits count: 7
        {"SAPI=S\n", "TIPOSAPI=3\n", false},     // no engine files in this home
        {"SAPI=S\n", "TIPOSAPI=5\n", false},     // no speech-dispatcher running
        {"SAPI=S\n", "TIPOSAPI=54\n", false},
        {"SAPI=S\n", "TIPOSAPI=4\nVOZ=99\n", false},  // no such voice
        {"SAPI=N\n", "TIPOSAPI=4\n", false},
        {"", "TIPOSAPI=4\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tradutor) + c.servfala);
        restart(c.tradutor, c.servfala);
        speakText("casa");
        waitSoundEnd();
        if (c.inProcess) {
            EXPECT_GT(voiceSamples().size(), 2000u);
            EXPECT_EQ(voiceSamples().size() * 2, capturedBytes());
        } else {
            EXPECT_TRUE(voiceSamples().empty());
            EXPECT_EQ(spoken(), "~");
        }
    }
    restart("SAPI=S\n", "TIPOSAPI=54\n");
    EXPECT_EQ(speechServerKind(), 54);
}

TEST_F(SpeechServerTest, EngineKindSpeaksThroughMbrola) {
    // The Norela engine with the provisioned data files and Debian's br4 voice.
    fs::path engine = fs::path(TEST_BINARY_DIR) / "data/home/drive_c/talora/norelatts";
    restart("SAPI=S\n", "TIPOSAPI=3\nVELOCIDADE=12\n[NORELATTS]\nDIR=" + engine.string() + "\n");
    ASSERT_EQ(speechServerKind(), 3);
    speakText("casa amarela");
    waitSoundEnd();
    size_t engineBytes = 0;
    for (const CaptureEvent& b : blocks())
        if (b.format.sampleRate == 16000 && b.format.bitsPerSample == 16) engineBytes += b.data.size();
    EXPECT_GT(engineBytes, 16000u);  // over half a second of speech
    EXPECT_EQ(engineBytes, capturedBytes());
}

TEST_F(SpeechServerTest, InProcessVoiceSpeaksWholeTextsInItsOwnFormat) {
    // Compression and faster playback are for the recordings; a server's
    // voice plays as it is made.
    restart("SAPI=S\n[SINTETIZADOR]\nCORTAFALA3=S\nRAPIDINHO3=S\n", "TIPOSAPI=4\n");
    speakText(SENTENCE);
    waitSoundEnd();
    for (const CaptureEvent& b : blocks()) {
        EXPECT_EQ(b.format.sampleRate, 22050);
        EXPECT_EQ(b.format.bitsPerSample, 16);
    }
    std::vector<int16_t> samples = voiceSamples();
    double seconds = static_cast<double>(samples.size()) / 22050;
    EXPECT_GT(seconds, 2.0);
    EXPECT_LT(seconds, 8.0);
    int peak = 0;
    size_t clipped = 0;
    for (int16_t s : samples) {
        peak = std::max(peak, std::abs(static_cast<int>(s)));
        clipped += s == 32767 || s == -32768;
    }
    EXPECT_GT(peak, 3000);
    EXPECT_LT(clipped, samples.size() / 1000);

    // Blanks and control characters around a text are not handed over.
    useCapture();
    speakText(" \t\r\n ");
    waitSoundEnd();
    EXPECT_TRUE(blocks().empty());
}

TEST_F(SpeechServerTest, InProcessRateIsWordsPerMinute) {
    auto secondsAt = [&](const char* rate) {
        restart("SAPI=S\n", std::string("TIPOSAPI=4\nVELOCIDADE=") + rate + "\n");
        speakText(SENTENCE);
        waitSoundEnd();
        return static_cast<double>(voiceSamples().size()) / 22050;
    };
    double slow = secondsAt("100"), fast = secondsAt("300");
    EXPECT_GT(slow, 2 * fast);
}

TEST_F(SpeechServerTest, KeyStopsInProcessVoiceWithinOneBlockAndStaysQueued) {
    restart("SAPI=S\n", "TIPOSAPI=4\n");
    useCapture(true);
    console->keyAfterBlocks = 3;
    speakText(longText());
    EXPECT_EQ(console->blocksAtKey, 3);
    EXPECT_EQ(blocks().size(), 3u);
    EXPECT_FALSE(soundBusy());
    ASSERT_TRUE(keyAvailable());
    EXPECT_EQ(readKey(), 'x');
}

TEST_F(SpeechServerTest, InProcessVoiceWritesItsOutputFile) {
    fs::path file = root / "fala.wav";
    ASSERT_TRUE(speechServerOpen(1, 0, 0, file.string(), 4));
    speechServerSpeak("um dois");
    speechServerSpeak("tr\xEAs");
    speechServerClose();
    EXPECT_TRUE(blocks().empty());
    std::string wav = speechtest::readFile(file);
    ASSERT_GT(wav.size(), 44u + 22050);
    auto le32 = [&](size_t at) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(wav[at + static_cast<size_t>(i)]);
        return v;
    };
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(4), wav.size() - 8);
    EXPECT_EQ(le32(24), 22050u);
    EXPECT_EQ(static_cast<uint8_t>(wav[34]), 16);
    EXPECT_EQ(le32(40), wav.size() - 44);

    EXPECT_FALSE(speechServerOpen(1, 0, 0, (root / "no-folder" / "x.wav").string(), 4));
}

TEST_F(SpeechServerTest, NoSpeechServerIsStartedForUs) {
    // With the usual address in a runtime folder of our own, a client that
    // started the server would make it create its folder there.
    unsetenv("SPEECHD_ADDRESS");
    fs::path runtime = root / "runtime";
    fs::create_directories(runtime);
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    std::string savedValue = saved ? saved : "";
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    EXPECT_FALSE(speechServerOpen(0, 0, 0, "", 5));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(fs::is_empty(runtime));
    if (saved) setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    else unsetenv("XDG_RUNTIME_DIR");
}

// speech-dispatcher of the test's own, on the real clock (it speaks in real time).
class DesktopServerTest : public SpeechServerTest {
protected:
    speechdtest::PrivateSpeechd server;

    void SetUp() override {
        std::string why = speechdtest::PrivateSpeechd::missing(module());
        if (!why.empty()) GTEST_SKIP() << why;
        SpeechServerTest::SetUp();
        ASSERT_TRUE(server.start(module()));
        setClock(nullptr);
    }
    void TearDown() override {
        if (!root.empty()) SpeechServerTest::TearDown();
        server.stop();
    }
    virtual std::string module() const { return "espeak-ng"; }

    // Waits up to `seconds` for `done`.
    template <typename F>
    static bool within(double seconds, F done) {
        auto end = Steady::now() + std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
        while (!done()) {
            if (Steady::now() > end) return false;
            waitForMessage(10);
        }
        return true;
    }
};

TEST_F(DesktopServerTest, BothKindsSpeakThroughTheServer) {
    for (const char* kind : {"5", "54"}) {
        SCOPED_TRACE(kind);
        restart("SAPI=S\n", std::string("TIPOSAPI=") + kind + "\n");
        EXPECT_EQ(speechServerKind(), std::atoi(kind));
        speakText("Ol\xE1, tudo bem?");
        // Handed over and not done yet: the next sound waits for it.
        EXPECT_TRUE(soundBusy());
        EXPECT_TRUE(within(30, [] { return !soundBusy(); }));
        // The built-in voice said nothing.
        EXPECT_EQ(capturedBytes(), 0u);
    }
}

TEST_F(DesktopServerTest, KeyStopsServerSpeechAndStaysQueued) {
    restart("SAPI=S\n", "TIPOSAPI=5\n");
    speakText(longText());
    ASSERT_TRUE(within(30, [] { return speechdVoiceSounding(); }));
    queueKey('x');
    EXPECT_FALSE(soundBusy());
    ASSERT_TRUE(keyAvailable());
    EXPECT_EQ(readKey(), 'x');
    // The server dropped the long text: a new one starts at once instead of
    // after it.
    speakText("fim");
    EXPECT_TRUE(within(5, [] { return speechdVoiceSounding(); }));
}

TEST_F(DesktopServerTest, ServerThatGoesAwayIsNotWaitedFor) {
    restart("SAPI=S\n", "TIPOSAPI=5\n");
    speakText(longText());
    ASSERT_TRUE(within(30, [] { return speechdVoiceSounding(); }));
    server.kill();
    EXPECT_TRUE(within(5, [] { return !soundBusy(); }));
    speakText("mais");
    EXPECT_TRUE(within(5, [] { return !soundBusy(); }));
}

class ServerWithoutPortugueseTest : public DesktopServerTest {
protected:
    std::string module() const override { return "dummy"; }
};

TEST_F(ServerWithoutPortugueseTest, BuiltInVoiceSpeaks) {
    restart("SAPI=S\n", "TIPOSAPI=5\n");
    speakText("casa");
    EXPECT_EQ(spoken(), "~");
}

} // namespace
