// The wave player against the capture sink, on the virtual clock, with a
// console backend that can deliver a key once some blocks have been queued.
#include "sound/wave_player.h"

#include "fake_console.h"

#include "console/console.h"
#include "platform/audio_sink.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using soundtest::FakeConsole;

std::string waveImage(const std::string& samples, uint32_t rate = 11025, int bits = 8, int channels = 1) {
    std::string image(44, '\0');
    makeWaveHeader(image.data(), rate, bits, static_cast<uint32_t>(samples.size()), channels);
    return image + samples;
}

// An 8-bit signal that is not silence, so the end-of-block rule shows.
std::string ramp(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 200 + 20);
    return s;
}

std::string le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

std::string chunk(const std::string& id, const std::string& body, bool pad = false) {
    return id + le32(static_cast<uint32_t>(body.size())) + body + (pad && body.size() % 2 ? std::string(1, '\0') : "");
}

// The 16-byte fmt body: PCM, channels, rate, bits.
std::string fmtBody(int channels = 1, uint32_t rate = 11025, int bits = 8) {
    std::string b = std::string("\x01\x00", 2) + std::string(1, static_cast<char>(channels)) + '\0' + le32(rate) +
                    le32(rate * static_cast<uint32_t>(bits / 8 * channels)) +
                    std::string(1, static_cast<char>(bits / 8 * channels)) + '\0' +
                    std::string(1, static_cast<char>(bits)) + '\0';
    return b;
}

std::string riff(const std::string& chunks) { return "RIFF" + le32(static_cast<uint32_t>(chunks.size() + 4)) + "WAVE" + chunks; }

class WavePlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        setClock(virtualClock());
        resetConsole();
        auto backend = std::make_unique<FakeConsole>();
        console_ = backend.get();
        setConsoleBackend(std::move(backend));
        resetWavePlayer();
        useCapture(false);
    }
    void TearDown() override {
        resetWavePlayer();
        setAudioSink(nullptr);
        resetConsole();
        setConsoleBackend(nullptr);
        setClock(nullptr);
    }

    // A fresh capture sink (what played before is stopped).
    void useCapture(bool paced) {
        stopPlayback();
        CaptureOptions options;
        options.keepBlocks = true;
        options.paced = paced;
        setAudioSink(makeCaptureSink(options));
    }

    std::string writeFile(const std::string& name, const std::string& bytes) {
        std::string path = ::testing::TempDir() + "wave_player_" + name;
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }

    const std::vector<CaptureEvent>& events() { return audioSink().captureLog()->events; }
    std::vector<CaptureEvent> only(CaptureEvent::Kind kind) {
        std::vector<CaptureEvent> out;
        for (const CaptureEvent& e : events())
            if (e.kind == kind) out.push_back(e);
        return out;
    }
    std::vector<size_t> blockSizes() {
        std::vector<size_t> sizes;
        for (const CaptureEvent& e : only(CaptureEvent::Block)) sizes.push_back(e.bytes);
        return sizes;
    }
    // Lets time pass until playback has ended.
    void waitForEnd() {
        for (int i = 0; i < 100000 && isPlaying(); ++i) waitForMessage(10);
    }

    FakeConsole* console_ = nullptr;
};

TEST(WaveHeader, LaysOutTheCanonicalHeader) {
    WaveHeader44 h;
    makeWaveHeader(h.bytes, 22050, 16, 1000, 2);
    const uint8_t* b = h.bytes;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b), 4), "RIFF");
    EXPECT_EQ(b[4] | b[5] << 8, 1036);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 8), 8), "WAVEfmt ");
    EXPECT_EQ(b[16], 16);
    EXPECT_EQ(b[20], 1);
    EXPECT_EQ(b[22], 2);
    EXPECT_EQ(b[24] | b[25] << 8, 22050);
    EXPECT_EQ(b[28] | b[29] << 8 | b[30] << 16, 88200);
    EXPECT_EQ(b[32], 4);
    EXPECT_EQ(b[34], 16);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 36), 4), "data");
    EXPECT_EQ(b[40] | b[41] << 8, 1000);

    makeWaveHeader(h.bytes);
    EXPECT_EQ(b[22], 1);
    EXPECT_EQ(b[24] | b[25] << 8, 11025);
    EXPECT_EQ(b[32], 1);
    EXPECT_EQ(b[34], 8);
}

TEST_F(WavePlayerTest, KeyAlreadyWaitingPlaysNothingAndStaysQueued) {
    std::string path = writeFile("key.wav", waveImage(ramp(5000)));
    queueKey('q');
    EXPECT_EQ(playWaveFile(path), 0);
    EXPECT_TRUE(events().empty());
    EXPECT_TRUE(keyAvailable());
    EXPECT_EQ(readKey(), 'q');
}

TEST_F(WavePlayerTest, FileOf65600BytesPlaysAsBlocksOf65278And322) {
    std::string samples = ramp(65600);
    std::string path = writeFile("long.wav", waveImage(samples));
    EXPECT_EQ(playWaveFile(path), 0);
    EXPECT_EQ(blockSizes(), (std::vector<size_t>{65278, 322}));
    std::vector<CaptureEvent> blocks = only(CaptureEvent::Block);
    EXPECT_EQ(blocks[1].data.substr(0, 321), samples.substr(65278, 321));
    // Waited for the end, which closes the sink.
    EXPECT_EQ(events().back().kind, CaptureEvent::Close);
}

TEST_F(WavePlayerTest, BlockSizesAndPadding) {
    struct Case {
        const char* what;
        size_t bytes;
        int bits, channels;
        std::vector<size_t> expected;
    } cases[] = {
        {"8-bit mono whole blocks", 131068, 8, 1, {65534, 65534}},
        {"8-bit mono short", 100, 8, 1, {256}},
        {"16-bit mono short", 100, 16, 1, {256}},
        {"16-bit stereo keeps whole frames", 70000, 16, 2, {65532, 4468}},
        {"16-bit odd length drops the half sample", 1001, 16, 1, {1000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useCapture(false);
        std::string samples = ramp(c.bytes);
        EXPECT_EQ(playPcm(reinterpret_cast<const uint8_t*>(samples.data()), samples.size(), 11025, c.channels, c.bits), 0);
        EXPECT_EQ(blockSizes(), c.expected);
    }
}

TEST_F(WavePlayerTest, Short8BitBlockIsPaddedWithSilenceAndEndsOnIt) {
    std::string samples = ramp(100);
    playPcm(reinterpret_cast<const uint8_t*>(samples.data()), 100, 11025, 1, 8);
    std::string block = only(CaptureEvent::Block).at(0).data;
    ASSERT_EQ(block.size(), 256u);
    EXPECT_EQ(block.substr(0, 99), samples.substr(0, 99));
    EXPECT_EQ(block.substr(99), std::string(157, '\x80'));
}

TEST_F(WavePlayerTest, LastByteRuleSparesFullBlocksAndOtherFormats) {
    std::string samples = ramp(65534);
    playPcm(reinterpret_cast<const uint8_t*>(samples.data()), samples.size(), 11025, 1, 8);
    EXPECT_EQ(only(CaptureEvent::Block).at(0).data, samples);

    useCapture(false);
    std::string wide = ramp(300);
    playPcm(reinterpret_cast<const uint8_t*>(wide.data()), wide.size(), 11025, 1, 16);
    EXPECT_EQ(only(CaptureEvent::Block).at(0).data, wide);
}

TEST_F(WavePlayerTest, FormatChangeWaitsForTheEndThenReopens) {
    useCapture(true);
    std::string first = waveImage(ramp(11025));  // one second
    std::string second = waveImage(std::string(2000, '\0'), 22050, 16);
    EXPECT_EQ(playWaveImage(first), 0);
    EXPECT_EQ(playWaveImage(second), 0);
    waitForEnd();
    std::vector<CaptureEvent> opens = only(CaptureEvent::Open);
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[1].format, (AudioFormat{22050, 16, 1}));
    double firstEnd = only(CaptureEvent::Block).at(0).endMs;
    EXPECT_GE(opens[1].atMs, firstEnd);
    // Closed in between, and nothing was cut off.
    std::vector<CaptureEvent::Kind> kinds;
    for (const CaptureEvent& e : events()) kinds.push_back(e.kind);
    EXPECT_EQ(kinds, (std::vector<CaptureEvent::Kind>{CaptureEvent::Open, CaptureEvent::Block, CaptureEvent::Close,
                                                       CaptureEvent::Open, CaptureEvent::Block, CaptureEvent::Close}));
}

TEST_F(WavePlayerTest, SameFormatFollowsWithoutReopening) {
    useCapture(true);
    std::string image = waveImage(ramp(2000));
    playWaveImage(image);
    playWaveImage(image);
    EXPECT_EQ(only(CaptureEvent::Open).size(), 1u);
    EXPECT_EQ(only(CaptureEvent::Block).at(1).pendingBefore, 1);
}

TEST_F(WavePlayerTest, FastPlaybackRaisesTheRateByHalf) {
    fastPlayback = true;
    std::string path = writeFile("fast.wav", waveImage(ramp(1000)));
    EXPECT_EQ(playWaveFile(path), 0);
    EXPECT_EQ(only(CaptureEvent::Open).at(0).format, (AudioFormat{16537, 8, 1}));
}

TEST_F(WavePlayerTest, Compressing999SamplesConvertsWithoutShortening) {
    compressSpeech = true;
    std::string samples(1998, '\0');
    for (int i = 0; i < 999; ++i) {
        int16_t v = static_cast<int16_t>((i % 64 - 32) * 1000);
        samples[2 * i] = static_cast<char>(v & 0xFF);
        samples[2 * i + 1] = static_cast<char>((v >> 8) & 0xFF);
    }
    std::string image = waveImage(samples, 11025, 16);
    std::string copy = image;
    EXPECT_EQ(playWaveImage(image), 0);
    EXPECT_EQ(only(CaptureEvent::Open).at(0).format, (AudioFormat{11025, 8, 1}));
    std::string block = only(CaptureEvent::Block).at(0).data;
    ASSERT_EQ(block.size(), 999u);
    for (int i = 0; i < 998; ++i)
        ASSERT_EQ(static_cast<uint8_t>(block[i]), static_cast<uint8_t>(samples[2 * i + 1]) ^ 0x80) << i;
    // The caller's image is left as it was, so it plays the same again.
    EXPECT_EQ(image, copy);
    playWaveImage(image);
    EXPECT_EQ(only(CaptureEvent::Block).at(1).data, block);
}

// A voiced sound: one sharp peak every `period` samples over a low wave.
std::string voiced(size_t n, size_t period) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        size_t k = i % period;
        s[i] = static_cast<char>(k == 0 ? 250 : 128 + static_cast<int>(40 * (k < period / 2 ? 1 : -1)));
    }
    return s;
}

TEST(CompressSpeech, LongVoicedBlockComesOutAboutHalf) {
    struct Case {
        int rate;
        size_t period;
    } cases[] = {{11025, 100}, {22050, 400}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        std::string s = voiced(40000, c.period);
        std::string before = s;
        int out = compressSpeechBlock(reinterpret_cast<uint8_t*>(s.data()), 40000, 8, c.rate);
        EXPECT_GT(out, 40000 * 4 / 10);
        EXPECT_LT(out, 40000 * 6 / 10);
        // The start up to the first peak stays; then whole periods follow,
        // peak after peak (every kept period starts on one).
        EXPECT_EQ(s.substr(0, 2 * c.period), before.substr(0, 2 * c.period));
        for (size_t i = 2 * c.period; i < static_cast<size_t>(out) / 2; i += c.period + 1)
            ASSERT_EQ(static_cast<uint8_t>(s[i]), 250) << i;
    }
}

TEST(CompressSpeech, ShortAndOddBlocksStayInside) {
    std::string s = voiced(1200, 100);
    EXPECT_LE(compressSpeechBlock(reinterpret_cast<uint8_t*>(s.data()), 1200, 8, 44100), 1200);
    std::string tiny = "\x10\x20\x30";
    EXPECT_EQ(compressSpeechBlock(reinterpret_cast<uint8_t*>(tiny.data()), 3, 16, 11025), 1);
    EXPECT_EQ(static_cast<uint8_t>(tiny[0]), 0x20 ^ 0x80);
}

TEST_F(WavePlayerTest, IsPlayingEndsByClosingTheSink) {
    useCapture(true);
    playWaveImage(waveImage(ramp(1103)));  // 100 ms
    EXPECT_TRUE(isPlaying());
    waitMs(150);
    EXPECT_FALSE(isPlaying());
    EXPECT_EQ(events().back().kind, CaptureEvent::Close);
    EXPECT_FALSE(isPlaying());
    EXPECT_EQ(only(CaptureEvent::Close).size(), 1u);
}

TEST_F(WavePlayerTest, NoWaitReturnsWhileSoundStillPlays) {
    useCapture(true);
    std::string path = writeFile("nowait.wav", waveImage(ramp(11025)));
    noWait = true;
    EXPECT_EQ(playWaveFile(path), 0);
    EXPECT_TRUE(isPlaying());
    noWait = false;
    int64_t before = systemClock().monotonicMs();
    EXPECT_EQ(playWaveFile(path), 0);  // the same format: queued behind the first
    EXPECT_GE(systemClock().monotonicMs() - before, 1900);
    EXPECT_FALSE(isPlaying());
}

TEST_F(WavePlayerTest, QueueHoldsAtMostMaxQueuedBlocks) {
    for (int limit : {4, 2, 1, 0, 9}) {
        SCOPED_TRACE(limit);
        useCapture(true);
        maxQueuedBlocks = limit;
        std::string samples = ramp(WAVE_BLOCK_BYTES * 6);
        EXPECT_EQ(playPcm(reinterpret_cast<const uint8_t*>(samples.data()), samples.size(), 44100, 1, 8), 0);
        int most = 0;
        for (const CaptureEvent& e : only(CaptureEvent::Block)) most = std::max(most, e.pendingBefore + 1);
        EXPECT_EQ(most, std::clamp(limit, 1, WAVE_BUFFER_COUNT));
        EXPECT_EQ(only(CaptureEvent::Block).size(), 6u);
        waitForEnd();
    }
}

TEST_F(WavePlayerTest, KeyDuringPlaybackStopsWithinOneBlockAndStays) {
    for (bool paced : {false, true}) {
        SCOPED_TRACE(paced);
        useCapture(paced);
        console_->keyAfterBlocks = 2;
        std::string path = writeFile("keyed.wav", waveImage(ramp(WAVE_BLOCK_BYTES * 8)));
        EXPECT_EQ(playWaveFile(path), 0);
        EXPECT_EQ(only(CaptureEvent::Block).size(), 2u);
        // Still playing when the key came: the sink was silenced at once.
        EXPECT_EQ(only(CaptureEvent::Clear).size(), paced ? 1u : 0u);
        EXPECT_EQ(events().back().kind, CaptureEvent::Close);
        EXPECT_FALSE(isPlaying());
        EXPECT_EQ(readKey(), 'x');
        stopOnKey = false;
        console_->keyAfterBlocks = 1;
        useCapture(false);
        EXPECT_EQ(playWaveFile(path), 0);
        EXPECT_EQ(only(CaptureEvent::Block).size(), 8u);
        EXPECT_EQ(readKey(), 'x');
        stopOnKey = true;
    }
}

TEST_F(WavePlayerTest, KeyCutsTheWaitForAFormatChange) {
    useCapture(true);
    playWaveImage(waveImage(ramp(60000)));  // five seconds
    queueKey('k');
    int64_t before = systemClock().monotonicMs();
    EXPECT_EQ(playWaveImage(waveImage(std::string(400, '\0'), 22050, 16)), 0);
    EXPECT_LT(systemClock().monotonicMs() - before, 100);
    EXPECT_EQ(only(CaptureEvent::Clear).size(), 1u);
    EXPECT_EQ(only(CaptureEvent::Open).size(), 2u);  // the new format was opened, nothing queued
    EXPECT_EQ(only(CaptureEvent::Block).size(), 1u);
    EXPECT_EQ(readKey(), 'k');
}

TEST_F(WavePlayerTest, BadFilesPlayNothing) {
    std::string fmt = chunk("fmt ", fmtBody());
    std::string data = chunk("data", ramp(500));
    struct Case {
        const char* what;
        std::string bytes;
        int result;
    } cases[] = {
        {"empty", "", -1},
        {"truncated header", riff(fmt + data).substr(0, 11), -1},
        {"truncated fmt", riff(fmt + data).substr(0, 30), -1},
        {"not RIFF", "RIFX" + riff(fmt + data).substr(4), -1},
        {"fmt not first", riff(chunk("LIST", "abcd") + fmt + data), -1},
        {"no data chunk", riff(fmt + chunk("LIST", "abcd")), -1},
        {"fmt too short", riff(chunk("fmt ", fmtBody().substr(0, 14)) + data), -1},
        {"chunk size past the end", riff(fmt + chunk("LIST", "ab").substr(0, 4) + le32(0xFFFFFFFF) + data), -1},
        {"odd chunk, no data after", riff(fmt + chunk("junk", "abc")), -1},
        {"fmt size huge", riff("fmt " + le32(0xFFFFFFF0) + fmtBody() + data), -1},
        {"no channels", riff(chunk("fmt ", fmtBody(0)) + data), AUDIO_BAD_FORMAT},
        {"24 bits", riff(chunk("fmt ", fmtBody(1, 11025, 24)) + data), AUDIO_BAD_FORMAT},
        {"rate zero", riff(chunk("fmt ", fmtBody(1, 0)) + data), AUDIO_BAD_FORMAT},
        {"rate huge", riff(chunk("fmt ", fmtBody(1, 0xFFFFFFFF)) + data), AUDIO_BAD_FORMAT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useCapture(false);
        std::string path = writeFile("bad.wav", c.bytes);
        EXPECT_EQ(playWaveFile(path), c.result);
        EXPECT_EQ(playWaveImage(c.bytes), c.result);
        EXPECT_TRUE(only(CaptureEvent::Block).empty());
    }
    EXPECT_EQ(playWaveFile(::testing::TempDir() + "wave_player_missing.wav"), -1);
    EXPECT_EQ(playWaveFile(::testing::TempDir()), -1);  // a folder
}

TEST_F(WavePlayerTest, UnusualButValidFilesPlay) {
    std::string fmt = chunk("fmt ", fmtBody());
    std::string samples = ramp(500);
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"identifiers in other case", riff(chunk("FMT ", fmtBody()) + chunk("DATA", samples)).replace(0, 4, "riff")},
        {"odd chunk without pad", riff(fmt + chunk("LIST", "abc") + chunk("data", samples))},
        {"odd chunk with pad", riff(fmt + chunk("LIST", "abc", true) + chunk("data", samples))},
        {"longer fmt", riff(chunk("fmt ", fmtBody() + std::string(2, '\0')) + chunk("data", samples))},
        {"odd fmt with pad", riff(chunk("fmt ", fmtBody() + "x", true) + chunk("data", samples))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        useCapture(false);
        EXPECT_EQ(playWaveFile(writeFile("odd.wav", c.bytes)), 0);
        EXPECT_EQ(playWaveImage(c.bytes), 0);
        std::vector<CaptureEvent> blocks = only(CaptureEvent::Block);
        ASSERT_EQ(blocks.size(), 2u);
        EXPECT_EQ(blocks[0].data.substr(0, 499), samples.substr(0, 499));
        EXPECT_EQ(blocks[1].data, blocks[0].data);
    }
}

TEST_F(WavePlayerTest, DataCutShortPlaysWhatIsThere) {
    std::string samples = ramp(1000);
    // Short inside the last block: what was read plays, and that is success.
    std::string bytes = riff(chunk("fmt ", fmtBody()) + "data" + le32(5000) + samples);
    EXPECT_EQ(playWaveFile(writeFile("short.wav", bytes)), 0);
    EXPECT_EQ(blockSizes(), (std::vector<size_t>{1000}));
    // A block that finds nothing to read is a failure.
    std::string longer = riff(chunk("fmt ", fmtBody()) + "data" + le32(70000) + samples);
    EXPECT_EQ(playWaveFile(writeFile("shorter.wav", longer)), -1);
    EXPECT_EQ(blockSizes(), (std::vector<size_t>{1000, 1000}));
    // An image plays what it holds, and never reads past its end.
    EXPECT_EQ(playWaveImage(bytes), 0);
    EXPECT_EQ(blockSizes(), (std::vector<size_t>{1000, 1000, 1000}));
}

TEST_F(WavePlayerTest, ImageWalkStaysInsideTheRiffLength) {
    std::string bytes = riff(chunk("fmt ", fmtBody()) + chunk("LIST", "abcd") + chunk("data", ramp(300)));
    std::string cut = bytes.substr(0, 4) + le32(4 + 24 + 12) + bytes.substr(8);  // RIFF ends before "data"
    EXPECT_EQ(playWaveImage(cut), -1);
    EXPECT_EQ(playWaveImage(bytes), 0);
}

} // namespace
