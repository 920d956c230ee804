// The device sink, played through SDL's disk driver: a real SDL audio device
// that takes sound in real time and writes it to a file instead of a card.
#include "platform/audio_sink.h"
#include "platform/clock.h"
#include "platform/linux/sdl_audio.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

    static bool queueSilence(AudioSink& sink, size_t bytes) {
        std::string s(bytes, '\x80');
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
    EXPECT_FALSE(queueSilence(*sink, 100));  // nothing open yet
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

} // namespace
