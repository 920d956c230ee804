// How soon a speech server starts to speak after speakText, with
// [TRADUTOR] SAPI on:
//   - eSpeak NG in process (TIPOSAPI=4): until its first block of sound
//     reaches the audio sink (a sink that takes blocks without playing
//     them). Goal: under 50 ms; the program exits with 1 when the mean is over.
//   - speech-dispatcher (TIPOSAPI=5), a private server started here with
//     the espeak-ng module and ALSA's null device: until the server reports
//     that it began to sound the text. Reported, no goal; skipped when the
//     server is not installed.
// The built-in voice that initSpeech starts anyway is the one this build
// recorded (data/home).
#include "private_speechd.h"

#include "console/console.h"
#include "platform/audio_sink.h"
#include "platform/paths.h"
#include "speech/speech.h"
#include "speech/speech_server.h"
#include "speech/speechd_voice.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;

constexpr double GOAL_MS = 50.0;

Steady::time_point firstBlock;
bool blockSeen = false;

// A console that shows nothing and never has a key.
class QuietConsole : public ConsoleBackend {
public:
    bool open() override { return true; }
    void close() override {}
    void drawRange(int, int, int, const uint8_t*, const uint8_t*) override {}
    void drawAll(const uint8_t*, const uint8_t*) override {}
    void setCursor(int, int, bool) override {}
    void pollInput(std::vector<InputEvent>&, int timeoutMs, bool) override { systemClock().sleepMs(timeoutMs); }
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

// Windows-1252, like every text inside the system.
const char* const SENTENCE =
    "Bom dia, este programa fala portugu\xEAs do Brasil e l\xEA os textos da tela em voz alta para quem n\xE3o v\xEA.";

fs::path home;

// Restarts speech with a FALARIS.INI that asks for the server of `kind`,
// with the recordings and the voice of the build.
void startSpeech(int kind) {
    closeSpeech();
    std::string data = BENCH_DATA_HOME "/drive_c/talora/som/";
    std::ofstream(home / "FALARIS.INI") << "[TRADUTOR]\nSAPI=S\nDIRLETRAS=" << data << "letras/\nDIRDIFONES="
                                        << data << "difones\n[SERVFALA]\nTIPOSAPI=" << kind << "\n";
    initSpeech(3, "");
}

void BM_InProcessVoice(benchmark::State& state) {
    startSpeech(4);
    if (speechServerKind() != 4) state.SkipWithError("speech did not start");
    for (auto _ : state) {
        blockSeen = false;
        Steady::time_point start = Steady::now();
        speakText(SENTENCE);
        if (!blockSeen) {
            state.SkipWithError("nothing was played");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(firstBlock - start).count());
    }
}
BENCHMARK(BM_InProcessVoice)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_DesktopServer(benchmark::State& state) {
    speechdtest::PrivateSpeechd server;
    std::string why = speechdtest::PrivateSpeechd::missing();
    if (!why.empty()) {
        state.SkipWithError(why.c_str());
        return;
    }
    if (!server.start()) {
        state.SkipWithError("the private speech-dispatcher did not start");
        return;
    }
    startSpeech(5);
    for (auto _ : state) {
        Steady::time_point start = Steady::now();
        speakText(SENTENCE);
        Steady::time_point limit = start + std::chrono::seconds(30);
        while (!speechdVoiceSounding() && Steady::now() < limit) waitForMessage(1);
        if (!speechdVoiceSounding()) {
            state.SkipWithError("the server never began");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(Steady::now() - start).count());
        waitWhileSoundBusy();
    }
    closeSpeech();
    server.stop();
}
BENCHMARK(BM_DesktopServer)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

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
    home = fs::temp_directory_path() / ("bench_server_" + std::to_string(::getpid()));
    fs::create_directories(home);
    setenv("TALORA_HOME", home.c_str(), 1);
    setConsoleBackend(std::make_unique<QuietConsole>());
    setAudioSink(std::make_unique<FirstBlockSink>());
    benchmark::Initialize(&argc, argv);
    MeanReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    closeSpeech();
    fs::remove_all(home);
    auto mean = [&](const char* prefix) {
        for (const auto& [name, ms] : reporter.meanMs)
            if (name.starts_with(prefix)) return ms;
        return -1.0;
    };
    double inProcess = mean("BM_InProcessVoice"), desktop = mean("BM_DesktopServer");
    if (desktop >= 0) std::printf("speech-dispatcher: speakText to the start of its speech: %.1f ms\n", desktop);
    if (inProcess < 0) return 1;
    std::printf("eSpeak NG in process: speakText to the first block: %.2f ms (goal under %.0f ms)\n", inProcess,
                GOAL_MS);
    return inProcess < GOAL_MS ? 0 : 1;
}
