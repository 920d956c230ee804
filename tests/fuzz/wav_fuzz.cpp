// Fuzzes the wave player's readers: each input is played as an image held in
// memory and as a file, with speech compression and fast playback switched
// by the input's length, into the none sink on the virtual clock.
#include "console/console.h"
#include "platform/audio_sink.h"
#include "platform/clock.h"
#include "sound/wave_player.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace {

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

std::string prepare() {
    setClock(virtualClock());
    setConsoleBackend(std::make_unique<QuietConsole>());
    setAudioSink(makeNoneSink());
    return (std::filesystem::current_path() / "wav_fuzz_input.wav").string();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = prepare();
    compressSpeech = size & 1;
    fastPlayback = size & 2;
    playWaveImage(std::string_view(reinterpret_cast<const char*>(data), size));
    stopPlayback();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        playWaveFile(path);
    }
    return 0;
}
