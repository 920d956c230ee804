// The window console's speed on a private Xvfb display (software drawing,
// no GPU): how long rotalis takes from its start to the first frame of its
// window, and one full repaint of the 80 x 25 cells. See README.md here.
#include "platform/linux/window_console.h"
#include "x_display.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>

namespace {

xtest::XDisplay* display = nullptr;
std::filesystem::path workDir;

// A folder with FALARIS.INI (8 x 16 cells, a blue background, so the first
// frame shows against the black root window) and a script that waits.
void prepare() {
    if (display) return;
    display = new xtest::XDisplay;
    if (!display->start(false)) {
        std::fprintf(stderr, "no X display: %s\n", display->error().c_str());
        std::exit(1);
    }
    workDir = std::filesystem::temp_directory_path() / ("window_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(workDir / "home");
    std::ofstream(workDir / "home" / "FALARIS.INI") << "[VIDEO]\nLARGURALETRA=8\nALTURALETRA=16\nCORFUNDO=1\n";
    std::ofstream(workDir / "wait.rot") << "escreve \"Pronto\"\nle mudo t&\n";
    setenv("TALORA_HOME", (workDir / "home").c_str(), 1);
}

// True when a shown top-level window has a blue pixel at its centre.
bool blueWindowShown(Display* x) {
    Window root = DefaultRootWindow(x), parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(x, root, &root, &parent, &children, &count)) return false;
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(x, children[i], &a) || a.map_state != IsViewable || a.width < 100) continue;
        XImage* image = XGetImage(x, children[i], a.width / 2, a.height / 2, 1, 1, AllPlanes, ZPixmap);
        if (!image) continue;
        found = XGetPixel(image, 0, 0) == 0x0000FF;
        XDestroyImage(image);
    }
    if (children) XFree(children);
    return found;
}

void BM_StartToFirstFrame(benchmark::State& state) {
    prepare();
    Display* x = XOpenDisplay(nullptr);
    double cpuMs = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        pid_t pid = xtest::spawn({TEST_BINARY_DIR "/bin/rotalis", "--console=window", "--audio=none",
                                  (workDir / "wait.rot").string()});
        bool shown = false;
        while (!shown && std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) shown = blueWindowShown(x);
        auto end = std::chrono::steady_clock::now();
        // The program's own processor time up to then (it waits for a key
        // after the first frame), which a loaded machine does not inflate.
        kill(pid, SIGTERM);
        int status;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        cpuMs += (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                 (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
        if (!shown) {
            state.SkipWithError("no window within 10 s");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    state.counters["program_cpu_ms"] = benchmark::Counter(cpuMs, benchmark::Counter::kAvgIterations);
    XCloseDisplay(x);
}
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// Every cell changes between two screens, so each repaint draws them all.
void BM_FullRepaint(benchmark::State& state) {
    prepare();
    std::string error;
    auto console = makeWindowConsole(error);
    if (!console || !console->open()) {
        state.SkipWithError(("no window: " + error).c_str());
        return;
    }
    uint8_t chars[2][80 * 25], attrs[2][80 * 25];
    for (int i = 0; i < 80 * 25; ++i) {
        chars[0][i] = static_cast<uint8_t>('A' + i % 26);
        chars[1][i] = static_cast<uint8_t>('a' + i % 26);
        attrs[0][i] = static_cast<uint8_t>(0x1F);
        attrs[1][i] = static_cast<uint8_t>(i % 256);
    }
    int turn = 0;
    std::vector<InputEvent> events;
    for (auto _ : state) {
        console->drawAll(chars[turn], attrs[turn]);
        turn ^= 1;
    }
    console->pollInput(events, 0, false);
    console->close();
}
BENCHMARK(BM_FullRepaint)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete display;
    if (!workDir.empty()) std::filesystem::remove_all(workDir);
    return 0;
}
