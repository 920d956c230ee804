// Media control strings: WAV files fed to the wave player in the background
// while the program goes on, external players for other media, and the
// errors of the command set.
#include "speech_fixture.h"

#include "sound/mci.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using speechtest::SpeechTest;
namespace fs = std::filesystem;

class MciTest : public SpeechTest {
protected:
    std::string savedPath;

    void SetUp() override {
        SpeechTest::SetUp();
        savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        // No external player unless a test puts one here.
        fs::create_directories(root / "bin");
        setenv("PATH", (root / "bin").c_str(), 1);
    }
    void TearDown() override {
        mciCloseAll();
        setenv("PATH", savedPath.c_str(), 1);
        SpeechTest::TearDown();
    }

    std::string send(const std::string& command, int expected = MCI_OK) {
        std::string reply = "old";
        EXPECT_EQ(mciSendString(command, reply), expected) << command;
        return reply;
    }

    // An 8-bit mono WAV of `samples` samples of value 7 (the player changes
    // the last sample of a short block).
    std::string wavFile(const std::string& name, size_t samples) {
        speechtest::writeFile(root / name, speechtest::wave(std::string(samples, '\x07')));
        return (root / name).string();
    }

    size_t bytesPlayed() const {
        size_t n = 0;
        for (const CaptureEvent& b : blocks()) n += b.bytes;
        return n;
    }
};

TEST_F(MciTest, WaveFilePlaysOnInTheBackground) {
    useCapture(true);
    std::string file = wavFile("longo.wav", 400000);  // about 36 s, 7 blocks
    int64_t start = systemClock().monotonicMs();
    send("open \"" + file + "\" alias musica");
    EXPECT_EQ(send("status musica mode"), "stopped");
    send("play musica");
    // The command returns at once with the queue full, not at the end.
    EXPECT_LT(systemClock().monotonicMs() - start, 100);
    EXPECT_EQ(blocks().size(), 4u);
    EXPECT_EQ(send("status musica mode"), "playing");
    // Meanwhile the program waits, speaking nothing: message processing
    // feeds a block as soon as one has finished.
    EXPECT_FALSE(soundBusy());
    waitMs(40000);
    EXPECT_EQ(send("status musica mode"), "stopped");
    EXPECT_EQ(bytesPlayed(), 400000u);
    std::vector<CaptureEvent> b = blocks();
    ASSERT_EQ(b.size(), 7u);
    for (size_t i = 4; i < b.size(); ++i) EXPECT_LE(b[i].atMs, b[i - 4].endMs + 20) << "block " << i;
    send("close musica");
    send("status musica mode", MCIERR_INVALID_DEVICE_NAME);
}

TEST_F(MciTest, PlayWaitReturnsAtTheEnd) {
    useCapture(true);
    std::string file = wavFile("curto.wav", 300000);
    int64_t start = systemClock().monotonicMs();
    send("play " + file + " wait");
    EXPECT_GE(systemClock().monotonicMs() - start, 300000 * 1000 / 11025);
    EXPECT_EQ(bytesPlayed(), 300000u);
    // Played by its file name, it stays open under that name.
    EXPECT_EQ(send("status " + file + " mode"), "stopped");
}

TEST_F(MciTest, StopAndOtherSoundsEndBackgroundPlayback) {
    useCapture(true);
    std::string file = wavFile("fundo.wav", 400000);
    send("open " + file + " alias fundo");
    send("play fundo");
    size_t queued = blocks().size();
    send("stop fundo");
    EXPECT_EQ(send("status fundo mode"), "stopped");
    // Nothing more of it is queued, then or later.
    waitMs(30000);
    EXPECT_EQ(blocks().size(), queued);
    EXPECT_EQ(audioSink().captureLog()->events.back().kind, CaptureEvent::Close);
    // Played again it starts over; a sound of the facade takes the player.
    send("play fundo");
    EXPECT_EQ(send("status fundo mode"), "playing");
    speakChar('a');
    EXPECT_EQ(send("status fundo mode"), "stopped");
    EXPECT_EQ(labels.at(static_cast<unsigned char>(blocks().back().data[0])), "_97");
    // A key stops it too, and stays queued.
    send("play fundo");
    queueKey('q');
    processMessages();
    EXPECT_EQ(send("status fundo mode"), "stopped");
    EXPECT_EQ(readKey(), 'q');
}

TEST_F(MciTest, FileNameWithBlanks) {
    std::string file = wavFile("minha musica.wav", 1000);
    send("play " + file);
    EXPECT_EQ(bytesPlayed(), 1000u);
}

TEST_F(MciTest, Errors) {
    std::string file = wavFile("a.wav", 1000);
    send("", MCIERR_UNRECOGNIZED_COMMAND);
    send("grave tudo", MCIERR_UNRECOGNIZED_COMMAND);
    send("open", MCIERR_MISSING_PARAMETER);
    send("open c:\\nada\\nada.wav alias x", MCIERR_FILE_NOT_FOUND);
    send("play nada", MCIERR_FILE_NOT_FOUND);
    send("open " + file + " alias a");
    send("open " + file + " alias A", MCIERR_DUPLICATE_ALIAS);
    send("open " + file + " alias b depressa", MCIERR_UNRECOGNIZED_KEYWORD);
    send("play a ligeiro", MCIERR_UNRECOGNIZED_KEYWORD);
    send("status a", MCIERR_MISSING_PARAMETER);
    send("status a cor", MCIERR_UNRECOGNIZED_KEYWORD);
    send("stop b", MCIERR_INVALID_DEVICE_NAME);
    // Every error leaves the reply empty.
    EXPECT_EQ(send("status b mode", MCIERR_INVALID_DEVICE_NAME), "");
    for (int i = 1; i < MCI_MAX_DEVICES; ++i) send("open " + file + " alias d" + std::to_string(i));
    send("open " + file + " alias demais", MCIERR_OUT_OF_MEMORY);
    send("close all");
    send("open " + file + " alias a");
}

TEST_F(MciTest, OtherMediaNeedAnExternalPlayer) {
    speechtest::writeFile(root / "som.mp3", "ID3 not a wave file");
    send("open " + (root / "som.mp3").string() + " alias som", MCIERR_CANNOT_LOAD_DRIVER);
    // A float WAV is not ours either.
    std::string floatWave = speechtest::wave("abcd");
    floatWave[20] = 3;
    speechtest::writeFile(root / "float.wav", floatWave);
    send("open " + (root / "float.wav").string() + " alias f", MCIERR_CANNOT_LOAD_DRIVER);
}

TEST_F(MciTest, ExternalPlayerRunsUntilStopped) {
    fs::path args = root / "args.txt";
    speechtest::writeFile(root / "bin" / "mpv", "#!/bin/sh\necho \"$@\" > '" + args.string() + "'\nexec /bin/sleep 30\n");
    fs::permissions(root / "bin" / "mpv", fs::perms::owner_all);
    speechtest::writeFile(root / "som.mp3", "ID3 not a wave file");
    send("open \"" + (root / "som.mp3").string() + "\" alias som");
    send("play som");
    EXPECT_EQ(send("status som mode"), "playing");
    for (int i = 0; i < 200 && !fs::exists(args); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(speechtest::readFile(args), "--no-video --no-terminal " + (root / "som.mp3").string() + "\n");
    // Our own sounds do not stop it.
    speakChar('a');
    EXPECT_EQ(send("status som mode"), "playing");
    send("stop som");
    EXPECT_EQ(send("status som mode"), "stopped");
}

} // namespace
