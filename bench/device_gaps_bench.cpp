// What a user waits for on the sound device, through the wave player and
// SDL's device path:
// - key to silence: a key comes while a long sound plays; the time from the
//   key reaching the console to the player having silenced the device and
//   being free for the next sound. Goal: under 5 ms.
// - sound to sound: twenty 100 ms sounds played one after the other, each
//   waited for as speech waits for a letter; the wall time beyond their
//   playing time, per sound. Goal: under 40 ms (about one device buffer of
//   23 ms and one look at the device every 10 ms).
// SDL's dummy driver plays in real time without a sound card and is used
// unless SDL_AUDIODRIVER names another (SDL_AUDIODRIVER=alsa measures the
// machine's card). The program exits with 1 when a goal is missed.
#include "console/console.h"
#include "platform/audio_sink.h"
#include "platform/linux/sdl_audio.h"
#include "sound/wave_player.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;

constexpr double KEY_GOAL_MS = 5;
constexpr double GAP_GOAL_MS = 40;
constexpr int RATE = 11025;
constexpr int SOUNDS = 20;
constexpr int SOUND_MS = 100;

// Shows nothing; hands over one key at a set moment, waiting for input as a
// real backend does (the wait ends when the key comes).
class TimedKeyConsole : public ConsoleBackend {
public:
    Steady::time_point keyAt = Steady::time_point::max();
    Steady::time_point keyArrived;

    bool open() override { return true; }
    void close() override {}
    void drawRange(int, int, int, const uint8_t*, const uint8_t*) override {}
    void drawAll(const uint8_t*, const uint8_t*) override {}
    void setCursor(int, int, bool) override {}
    void pollInput(std::vector<InputEvent>& events, int timeoutMs, bool) override {
        Steady::time_point until = Steady::now() + std::chrono::milliseconds(timeoutMs);
        if (keyAt > until) {
            std::this_thread::sleep_until(until);
            return;
        }
        std::this_thread::sleep_until(keyAt);
        keyAt = Steady::time_point::max();
        keyArrived = Steady::now();
        InputEvent e;
        e.ch = ' ';
        events.push_back(e);
    }
};

TimedKeyConsole* console = nullptr;

std::string image(int ms, char value) {
    std::string samples(static_cast<size_t>(RATE) * ms / 1000, value);
    std::string header(44, '\0');
    makeWaveHeader(header.data(), RATE, 8, static_cast<uint32_t>(samples.size()), 1);
    return header + samples;
}

// Plays an image to its end or to a key, as the speech facade does.
void playToEnd(const std::string& sound) {
    playWaveImage(sound);
    while (isPlaying()) waitForMessage(10);
}

void BM_KeyToSilence(benchmark::State& state) {
    const std::string longSound = image(3000, '\x20');
    for (auto _ : state) {
        discardKeys();
        console->keyAt = Steady::now() + std::chrono::milliseconds(150);
        playToEnd(longSound);
        state.SetIterationTime(std::chrono::duration<double>(Steady::now() - console->keyArrived).count());
    }
    discardKeys();
}
BENCHMARK(BM_KeyToSilence)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_SoundToSound(benchmark::State& state) {
    const std::string letter = image(SOUND_MS, '\x60');
    for (auto _ : state) {
        Steady::time_point start = Steady::now();
        for (int i = 0; i < SOUNDS; ++i) playToEnd(letter);
        double seconds = std::chrono::duration<double>(Steady::now() - start).count();
        // The iteration's time is the gap per sound.
        state.SetIterationTime((seconds - SOUNDS * SOUND_MS / 1000.0) / SOUNDS);
    }
}
BENCHMARK(BM_SoundToSound)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Keeps each benchmark's mean time.
class MeanReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> meanMs;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.iterations > 0 && !run.error_occurred)
                meanMs[run.benchmark_name()] = run.real_accumulated_time / static_cast<double>(run.iterations) * 1000;
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::string reason;
    auto sink = makeSdlAudioSink(reason, true);
    if (!sink) {
        std::fprintf(stderr, "no SDL audio device: %s\n", reason.c_str());
        return 2;
    }
    setAudioSink(std::move(sink));
    auto backend = std::make_unique<TimedKeyConsole>();
    console = backend.get();
    setConsoleBackend(std::move(backend));
    benchmark::Initialize(&argc, argv);
    MeanReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    stopPlayback();
    setAudioSink(nullptr);
    bool met = true;
    auto report = [&](const char* name, const char* what, double goal) {
        auto found = reporter.meanMs.find(name);
        if (found == reporter.meanMs.end()) return;
        std::printf("%s: %.2f ms (goal under %.0f ms)\n", what, found->second, goal);
        met = met && found->second < goal;
    };
    std::printf("SDL audio driver: %s\n", std::getenv("SDL_AUDIODRIVER"));
    report("BM_KeyToSilence/iterations:20/manual_time", "key to silence", KEY_GOAL_MS);
    report("BM_SoundToSound/iterations:5/manual_time", "gap between sounds", GAP_GOAL_MS);
    return met ? 0 : 1;
}
