// How long a key takes to silence the sound: from the console backend handing
// over the key to the audio sink being cleared, through the wave player's own
// code. The key comes while blocks are being queued (argument 3: on the third
// look at the keyboard) or while the player waits for a full queue to move
// (argument 6). Goal: well under 1 ms.
#include "console/console.h"
#include "platform/audio_sink.h"
#include "sound/wave_player.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;
Steady::time_point keyArrived, sinkCleared;

// Hands over one key on the n-th look at the keyboard; never waits.
class KeyConsole : public ConsoleBackend {
public:
    int looksUntilKey = -1;
    bool open() override { return true; }
    void close() override {}
    void drawRange(int, int, int, const uint8_t*, const uint8_t*) override {}
    void drawAll(const uint8_t*, const uint8_t*) override {}
    void setCursor(int, int, bool) override {}
    void pollInput(std::vector<InputEvent>& events, int, bool) override {
        if (looksUntilKey < 0 || --looksUntilKey > 0) return;
        looksUntilKey = -1;
        InputEvent e;
        e.ch = ' ';
        events.push_back(e);
        keyArrived = Steady::now();
    }
};

// Holds every block until it is cleared, like a device playing a long sound.
class HoldingSink : public AudioSink {
public:
    int open(const AudioFormat&) override { return AUDIO_OK; }
    bool queue(const uint8_t*, size_t) override {
        ++pending_;
        return true;
    }
    int pendingBlocks() override { return pending_; }
    void clear() override {
        sinkCleared = Steady::now();
        pending_ = 0;
    }
    void close() override { pending_ = 0; }

private:
    int pending_ = 0;
};

void BM_KeyToSilence(benchmark::State& state) {
    auto backend = std::make_unique<KeyConsole>();
    KeyConsole* console = backend.get();
    setConsoleBackend(std::move(backend));
    setAudioSink(std::make_unique<HoldingSink>());
    std::vector<uint8_t> sound(8 * WAVE_BLOCK_BYTES, 0);
    for (auto _ : state) {
        discardKeys();
        console->looksUntilKey = static_cast<int>(state.range(0));
        playPcm(sound.data(), sound.size(), 22050, 1, 16);
        state.SetIterationTime(std::chrono::duration<double>(sinkCleared - keyArrived).count());
    }
    setAudioSink(nullptr);
}
BENCHMARK(BM_KeyToSilence)->Arg(3)->Arg(6)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
