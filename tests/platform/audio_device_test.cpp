// The device sink, played through SDL's disk driver: a real SDL audio device
// that takes sound in real time and writes it to a file instead of a card.
#include "platform/audio_sink.h"
#include "platform/clock.h"
#include "platform/linux/sdl_audio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

class DeviceSinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        setenv("SDL_DISKAUDIOFILE", (::testing::TempDir() + "sdl_disk_" + name + ".raw").c_str(), 1);
    }
    void TearDown() override {
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
    }

    static bool queueSilence(AudioSink& sink, size_t bytes) { return queueRun(sink, bytes, '\x80'); }
    static bool queueRun(AudioSink& sink, size_t bytes, char value) {
        std::string s(bytes, value);
        return sink.queue(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }

    // Polls the sink until nothing is pending (at most `limitMs`); false when
    // the count ever went up.
    static bool drains(AudioSink& sink, int limitMs) {
        Clock& clock = systemClock();
        int64_t end = clock.monotonicMs() + limitMs;
        int last = sink.pendingBlocks();
        while (last > 0 && clock.monotonicMs() < end) {
            clock.sleepMs(5);
            int now = sink.pendingBlocks();
            if (now > last) return false;
            last = now;
        }
        return last == 0;
    }
};

TEST_F(DeviceSinkTest, VirtualDriversCountAsNoDevice) {
    std::string reason;
    EXPECT_FALSE(makeSdlAudioSink(reason));
    EXPECT_NE(reason.find("disk"), std::string::npos) << reason;
}

TEST_F(DeviceSinkTest, BlocksFinishAsTheDevicePlaysThem) {
    std::string reason;
    auto sink = makeSdlAudioSink(reason, true);
    ASSERT_TRUE(sink) << reason;
    EXPECT_EQ(sink->open(AudioFormat{11025, 8, 1}), AUDIO_OK);
    EXPECT_TRUE(queueSilence(*sink, 2205));  // 200 ms each
    EXPECT_TRUE(queueSilence(*sink, 2205));
    EXPECT_EQ(sink->pendingBlocks(), 2);
    EXPECT_TRUE(drains(*sink, 5000));

    // A new format reopens the device; one it cannot play is refused.
    EXPECT_EQ(sink->open(AudioFormat{22050, 16, 2}), AUDIO_OK);
    EXPECT_TRUE(queueSilence(*sink, 8820));
    EXPECT_EQ(sink->pendingBlocks(), 1);
    EXPECT_TRUE(drains(*sink, 5000));
    EXPECT_EQ(sink->open(AudioFormat{22050, 24, 1}), AUDIO_BAD_FORMAT);
    EXPECT_FALSE(queueSilence(*sink, 100));
}

TEST_F(DeviceSinkTest, ClearSilencesAtOnceAndPlayingGoesOn) {
    std::string reason;
    auto sink = makeSdlAudioSink(reason, true);
    ASSERT_TRUE(sink) << reason;
    ASSERT_EQ(sink->open(AudioFormat{11025, 8, 1}), AUDIO_OK);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(queueSilence(*sink, 11025));  // four seconds
    EXPECT_EQ(sink->pendingBlocks(), 4);
    sink->clear();
    EXPECT_EQ(sink->pendingBlocks(), 0);
    // The device was paused by the clear; the next block plays again.
    EXPECT_TRUE(queueSilence(*sink, 1103));
    EXPECT_EQ(sink->pendingBlocks(), 1);
    EXPECT_TRUE(drains(*sink, 5000));
    sink->close();
    EXPECT_EQ(sink->pendingBlocks(), 0);
    sink->close();
}

// The disk driver starts its file afresh whenever the device opens, so the
// file shows whether sounds and stops kept the one device.
TEST_F(DeviceSinkTest, DeviceStaysOpenAcrossSoundsAndStops) {
    std::string reason;
    auto sink = makeSdlAudioSink(reason, true);
    ASSERT_TRUE(sink) << reason;
    const AudioFormat format{11025, 8, 1};
    // A sound that plays to its end, as the player ends one: drain, close.
    ASSERT_EQ(sink->open(format), AUDIO_OK);
    EXPECT_TRUE(queueRun(*sink, 1103, '\x20'));
    EXPECT_TRUE(drains(*sink, 5000));
    sink->close();
    // A long one cut short, as by a key: clear, close.
    ASSERT_EQ(sink->open(format), AUDIO_OK);
    EXPECT_TRUE(queueRun(*sink, 44100, '\x40'));
    systemClock().sleepMs(100);
    sink->clear();
    sink->close();
    ASSERT_EQ(sink->open(format), AUDIO_OK);
    EXPECT_TRUE(queueRun(*sink, 1103, '\xE0'));
    EXPECT_TRUE(drains(*sink, 5000));
    sink->close();
    sink.reset();

    std::ifstream in(getenv("SDL_DISKAUDIOFILE"), std::ios::binary);
    std::string played((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(std::count(played.begin(), played.end(), '\x20'), 1103);
    auto cut = std::count(played.begin(), played.end(), '\x40');
    EXPECT_GT(cut, 0);
    EXPECT_LT(cut, 44100 / 2);
    EXPECT_EQ(std::count(played.begin(), played.end(), '\xE0'), 1103);
    EXPECT_LT(played.find('\x20'), played.find('\x40'));
    EXPECT_LT(played.rfind('\x40'), played.find('\xE0'));
}

} // namespace
