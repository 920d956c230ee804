// How soon speech starts: the time from speakText to the first block of
// sound reaching the audio sink, for one sentence of running text (its
// letters go through the phonetic translator and the diphone voice as one
// run before anything can play). The sink takes blocks without playing
// them. Goal: under 5 ms; the program exits with 1 when the mean is over.
// The voice is the one this build recorded (data/home).
#include "console/console.h"
#include "platform/audio_sink.h"
#include "platform/paths.h"
#include "speech/speech.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using Steady = std::chrono::steady_clock;
Steady::time_point firstBlock;
bool blockSeen = false;

constexpr double GOAL_MS = 5.0;

// A console that shows nothing and never has a key.
class QuietConsole : public ConsoleBackend {
public:
    bool open() override { return true; }
    void close() override {}
    void drawRange(int, int, int, const uint8_t*, const uint8_t*) override {}
    void drawAll(const uint8_t*, const uint8_t*) override {}
    void setCursor(int, int, bool) override {}
    void pollInput(std::vector<InputEvent>&, int, bool) override {}
};

// Notes when the first block arrives; every block is done at once.
class FirstBlockSink : public AudioSink {
public:
    int open(const AudioFormat&) override { return AUDIO_OK; }
    bool queue(const uint8_t*, size_t) override {
        if (!blockSeen) firstBlock = Steady::now();
        blockSeen = true;
        return true;
    }
    int pendingBlocks() override { return 0; }
    void clear() override {}
    void close() override {}
};

// Windows-1252, like every text inside the system; without punctuation,
// whose pauses would only lengthen each round.
const char* const SENTENCE =
    "Bom dia este programa fala portugu\xEAs do Brasil e l\xEA os textos da tela em voz alta para quem n\xE3o v\xEA";

void BM_SpeakTextToFirstBlock(benchmark::State& state) {
    double worst = 0;
    for (auto _ : state) {
        blockSeen = false;
        Steady::time_point start = Steady::now();
        speakText(SENTENCE);
        if (!blockSeen) {
            state.SkipWithError("nothing was played");
            break;
        }
        double seconds = std::chrono::duration<double>(firstBlock - start).count();
        worst = std::max(worst, seconds);
        state.SetIterationTime(seconds);
    }
    state.counters["worst_ms"] = worst * 1000;
}
BENCHMARK(BM_SpeakTextToFirstBlock)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

class MeanReporter : public benchmark::ConsoleReporter {
public:
    double meanMs = -1;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.iterations > 0 && !run.error_occurred)
                meanMs = run.real_accumulated_time / static_cast<double>(run.iterations) * 1000;
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    setenv("TALORA_HOME", BENCH_DATA_HOME, 1);
    setConsoleBackend(std::make_unique<QuietConsole>());
    setAudioSink(std::make_unique<FirstBlockSink>());
    initSpeech(3, "");
    benchmark::Initialize(&argc, argv);
    MeanReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    closeSpeech();
    if (reporter.meanMs < 0) return 1;
    std::printf("speakText to the first block: %.3f ms (goal under %.0f ms)\n", reporter.meanMs, GOAL_MS);
    return reporter.meanMs < GOAL_MS ? 0 : 1;
}
