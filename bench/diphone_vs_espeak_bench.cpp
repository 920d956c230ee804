// Synthesis speed of the diphone voice against espeak-ng on the same
// 1000-word Portuguese text (texto_pt.txt): the diphone path translates the
// text and synthesizes every image, discarding it; espeak-ng runs as a
// process writing its WAV to a temporary file. Both are timed in wall-clock
// time in one run and the ratio is printed. Goal: the diphone voice at least
// five times as fast as espeak-ng; the program exits with 1 when it is not.
// The voice is the one this build recorded (data/home).
#include "diphone/diphone_synth.h"
#include "diphone/phonetic_translator.h"
#include "platform/encoding.h"
#include "platform/paths.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const std::string TEXT_FILE = BENCH_SOURCE_DIR "/texto_pt.txt";
std::string text; // Windows-1252
size_t audioBytes = 0;

void discardImage(const std::string& image) { audioBytes += image.size() - 44; }

void BM_DiphoneVoice(benchmark::State& state) {
    for (auto _ : state) {
        audioBytes = 0;
        speakPhonetic(translateToPhonetic(text));
    }
    state.counters["audio_s"] = static_cast<double>(audioBytes) / 11025;
}

void BM_EspeakNg(benchmark::State& state) {
    std::string out = "/tmp/diphone_vs_espeak_" + std::to_string(getpid()) + ".wav";
    const char* argv[] = {"espeak-ng", "-v", "pt-br", "-w", out.c_str(), "-f", TEXT_FILE.c_str(), nullptr};
    for (auto _ : state) {
        pid_t pid;
        if (posix_spawnp(&pid, "espeak-ng", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
            state.SkipWithError("espeak-ng cannot be started");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("espeak-ng failed");
            break;
        }
    }
    std::remove(out.c_str());
}

BENCHMARK(BM_DiphoneVoice)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_EspeakNg)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// Keeps the mean wall time of each benchmark for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> seconds;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.iterations > 0 && !run.error_occurred)
                seconds[run.benchmark_name()] = run.real_accumulated_time / static_cast<double>(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv) {
    std::ifstream file(TEXT_FILE);
    std::stringstream content;
    content << file.rdbuf();
    text = utf8ToCp1252(content.str());
    // Line ends are blanks, as in the runs of text the speech facade hands over.
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    setenv("TALORA_HOME", BENCH_DATA_HOME, 1);
    setDiphoneImageOutput(discardImage);
    setDiphoneParameters(450, 900, 120);  // speed 3 of FALARIS.INI
    if (int code = startDiphoneSynth()) {
        std::fprintf(stderr, "the diphone voice does not start (code %d); build the voice_data target\n", code);
        return 2;
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    stopDiphoneSynth();
    double ours = reporter.seconds["BM_DiphoneVoice/min_time:2.000/real_time"];
    double peer = reporter.seconds["BM_EspeakNg/min_time:2.000/real_time"];
    if (ours <= 0 || peer <= 0) return 2;
    std::printf("diphone voice %.2f ms, espeak-ng %.2f ms: %.1f times as fast (goal: 5)\n", ours * 1000,
                peer * 1000, peer / ours);
    return peer / ours >= 5 ? 0 : 1;
}
