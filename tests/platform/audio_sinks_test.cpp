// The capture and none sinks, and how the factory picks a sink.
#include "platform/audio_sink.h"
#include "platform/clock.h"
#include "platform/factory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string readAll(const std::string& path) {
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

uint32_t le(const std::string& s, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(s[at + i])) << (8 * i);
    return v;
}

int16_t sampleAt(const std::string& wav, size_t i) { return static_cast<int16_t>(le(wav, 44 + 2 * i, 2)); }

bool queueBytes(AudioSink& sink, const std::string& bytes) {
    return sink.queue(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST(CaptureSink, WritesEverythingAs16BitMono22050) {
    std::string path = ::testing::TempDir() + "capture_sink.wav";
    CaptureOptions options;
    options.path = path;
    auto sink = makeCaptureSink(options);
    ASSERT_TRUE(sink);
    EXPECT_EQ(sink->open(AudioFormat{11025, 8, 1}), AUDIO_OK);
    EXPECT_TRUE(queueBytes(*sink, std::string(11025, '\xFF')));  // one second, loudest
    sink->close();
    std::string wav = readAll(path);
    ASSERT_EQ(wav.size(), 44u + 2 * 22050);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(le(wav, 4, 4), 36u + 2 * 22050);
    EXPECT_EQ(le(wav, 22, 2), 1u);
    EXPECT_EQ(le(wav, 24, 4), 22050u);
    EXPECT_EQ(le(wav, 34, 2), 16u);
    EXPECT_EQ(le(wav, 40, 4), 2u * 22050);
    EXPECT_EQ(sampleAt(wav, 0), 127 * 256);
    EXPECT_EQ(sampleAt(wav, 22049), 127 * 256);

    // A later sound in another format is appended after reopening.
    EXPECT_EQ(sink->open(AudioFormat{22050, 16, 2}), AUDIO_OK);
    std::string frames;
    for (int i = 0; i < 2205; ++i) frames += std::string("\x00\xC0\x00\x40", 4);  // left -16384, right 16384
    EXPECT_TRUE(queueBytes(*sink, frames));
    sink.reset();  // completes the file too
    wav = readAll(path);
    ASSERT_EQ(wav.size(), 44u + 2 * 22050 + 2 * 2205);
    EXPECT_EQ(le(wav, 40, 4), 2u * (22050 + 2205));
    EXPECT_EQ(sampleAt(wav, 22050 + 100), 0);  // the channels average out
}

TEST(CaptureSink, ResamplesBetweenFramesAndHoldsTheLast) {
    // Three frames rising by 4096: 11 025 Hz doubles each, other rates fall
    // between frames at their own step; the last frame holds to the end.
    const std::pair<int, std::vector<int16_t>> cases[] = {
        {11025, {0, 2048, 4096, 6144, 8192, 8192}},
        {16000, {0, 2972, 5944, 8192, 8192}},
        {22050, {0, 4096, 8192}},
    };
    for (const auto& [rate, expected] : cases) {
        SCOPED_TRACE(rate);
        std::string path = ::testing::TempDir() + "capture_resample.wav";
        auto sink = makeCaptureSink(CaptureOptions{path});
        ASSERT_EQ(sink->open(AudioFormat{rate, 8, 1}), AUDIO_OK);
        EXPECT_TRUE(queueBytes(*sink, "\x80\x90\xA0"));
        sink.reset();
        std::string wav = readAll(path);
        std::vector<int16_t> samples;
        for (size_t i = 0; 44 + 2 * i < wav.size(); ++i) samples.push_back(sampleAt(wav, i));
        EXPECT_EQ(samples, expected);
    }
}

TEST(CaptureSink, PausesAreSilenceOfBoundedLength) {
    std::string path = ::testing::TempDir() + "capture_pause.wav";
    auto sink = makeCaptureSink(CaptureOptions{path});
    EXPECT_FALSE(sink->playsInRealTime());
    sink->addSilence(100);
    // Written between sounds: the file is complete at once.
    std::string wav = readAll(path);
    ASSERT_EQ(wav.size(), 44u + 2 * 2205);
    EXPECT_EQ(le(wav, 40, 4), 2u * 2205);
    EXPECT_EQ(wav.find_first_not_of('\0', 44), std::string::npos);
    // A pause no one means is cut to a minute.
    sink->addSilence(2000000000);
    EXPECT_DOUBLE_EQ(sink->captureLog()->silentMs, 60100);
    EXPECT_EQ(readAll(path).size(), 44u + 2 * 2205 + 2 * 22050 * 60);
}

TEST(CaptureSink, LogsWhatThePlayerDid) {
    CaptureOptions options;
    options.keepBlocks = true;
    auto sink = makeCaptureSink(options);
    ASSERT_TRUE(sink);
    EXPECT_FALSE(queueBytes(*sink, "abc"));  // nothing open
    EXPECT_EQ(sink->open(AudioFormat{11025, 12, 1}), AUDIO_BAD_FORMAT);
    EXPECT_EQ(sink->open(AudioFormat{8000, 16, 1}), AUDIO_OK);
    EXPECT_TRUE(queueBytes(*sink, std::string(1600, '\x01')));
    EXPECT_TRUE(queueBytes(*sink, "wxyz"));
    EXPECT_EQ(sink->pendingBlocks(), 0);  // not paced: played at once
    sink->clear();
    sink->close();
    sink->close();
    const CaptureLog& log = *sink->captureLog();
    std::vector<CaptureEvent::Kind> kinds;
    for (const CaptureEvent& e : log.events) kinds.push_back(e.kind);
    using K = CaptureEvent;
    EXPECT_EQ(kinds, (std::vector<CaptureEvent::Kind>{K::Open, K::Open, K::Block, K::Block, K::Clear, K::Close}));
    EXPECT_EQ(log.events[2].bytes, 1600u);
    EXPECT_EQ(log.events[2].format, (AudioFormat{8000, 16, 1}));
    EXPECT_EQ(log.events[3].data, "wxyz");
    EXPECT_EQ(log.playedFrames, 802);
    EXPECT_DOUBLE_EQ(log.playedMs, 100.25);
    EXPECT_DOUBLE_EQ(log.events[3].atMs, 100.0);
    EXPECT_DOUBLE_EQ(log.events[3].endMs, 100.25);
}

TEST(CaptureSink, PacedBlocksPlayInClockTime) {
    setClock(virtualClock());
    CaptureOptions options;
    options.paced = true;
    auto sink = makeCaptureSink(options);
    sink->open(AudioFormat{11025, 8, 1});
    queueBytes(*sink, std::string(1103, '\x80'));  // 100 ms each
    queueBytes(*sink, std::string(1103, '\x80'));
    EXPECT_EQ(sink->pendingBlocks(), 2);
    systemClock().sleepMs(101);
    EXPECT_EQ(sink->pendingBlocks(), 1);
    queueBytes(*sink, std::string(1103, '\x80'));
    EXPECT_EQ(sink->captureLog()->events.back().pendingBefore, 1);
    systemClock().sleepMs(100);
    EXPECT_EQ(sink->pendingBlocks(), 1);
    sink->clear();
    EXPECT_EQ(sink->pendingBlocks(), 0);
    // After a clear the next block starts now, not after the dropped ones.
    queueBytes(*sink, std::string(1103, '\x80'));
    systemClock().sleepMs(101);
    EXPECT_EQ(sink->pendingBlocks(), 0);
    setClock(nullptr);
}

TEST(NoneSink, TakesEverything) {
    auto sink = makeNoneSink();
    EXPECT_FALSE(sink->playsInRealTime());
    EXPECT_EQ(sink->open(AudioFormat{}), AUDIO_OK);
    EXPECT_TRUE(queueBytes(*sink, "abc"));
    EXPECT_EQ(sink->pendingBlocks(), 0);
    EXPECT_EQ(sink->captureLog(), nullptr);
}

TEST(AudioFactory, PicksTheSinkNamed) {
    std::string error;
    auto none = makeAudioSinkFor("none", error);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->captureLog(), nullptr);
    auto capture = makeAudioSinkFor("capture:" + ::testing::TempDir() + "factory.wav", error);
    ASSERT_TRUE(capture);
    EXPECT_NE(capture->captureLog(), nullptr);

    for (const char* bad : {"capture:", "speaker", "capture:/nonexistent-folder/x.wav"}) {
        SCOPED_TRACE(bad);
        error.clear();
        EXPECT_FALSE(makeAudioSinkFor(bad, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(AudioFactory, DeviceFallsBackToNoneWithOneLine) {
    // SDL's dummy driver is no device: this is what happens without a sound card.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (const char* choice : {"device", ""}) {
        SCOPED_TRACE(choice);
        std::string error;
        ::testing::internal::CaptureStderr();
        auto sink = makeAudioSinkFor(choice, error);
        std::string said = ::testing::internal::GetCapturedStderr();
        ASSERT_TRUE(sink);
        EXPECT_EQ(sink->captureLog(), nullptr);
        EXPECT_EQ(sink->open(AudioFormat{}), AUDIO_OK);
        EXPECT_NE(said.find("no sound device"), std::string::npos) << said;
        EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    }
    unsetenv("SDL_AUDIODRIVER");
}

} // namespace
