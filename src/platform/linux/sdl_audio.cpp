// The device sink on SDL2 audio. The device is opened once and stays open
// for the whole process (opening and closing one costs far more than a short
// sound lasts); another format reopens it. Each block is handed to
// SDL_QueueAudio (which copies it); a block is done when SDL's queue has
// shrunk past its end. The device buffer is kept near 23 ms so that a stop
// (pause and clear of the queue) is heard at once. SDL's audio thread is the
// only other thread; it touches nothing of ours.
#include "platform/linux/sdl_audio.h"

#include "platform/clock.h"

#include <SDL.h>
#include <alsa/asoundlib.h>

#include <dlfcn.h>

#include <cstring>
#include <deque>
#include <type_traits>

namespace {

// SDL is loaded when the device sink is made, not linked: its library brings
// some 45 others (X11, Wayland, PulseAudio, ...) whose loading costs every
// start of a program about 17 ms, which runs with --audio=none or capture
// never need.
struct SdlLibrary {
    decltype(&SDL_SetHint) SetHint;
    decltype(&SDL_WasInit) WasInit;
    decltype(&SDL_InitSubSystem) InitSubSystem;
    decltype(&SDL_QuitSubSystem) QuitSubSystem;
    decltype(&SDL_GetError) GetError;
    decltype(&SDL_GetCurrentAudioDriver) GetCurrentAudioDriver;
    decltype(&SDL_OpenAudioDevice) OpenAudioDevice;
    decltype(&SDL_CloseAudioDevice) CloseAudioDevice;
    decltype(&SDL_PauseAudioDevice) PauseAudioDevice;
    decltype(&SDL_QueueAudio) QueueAudio;
    decltype(&SDL_GetQueuedAudioSize) GetQueuedAudioSize;
    decltype(&SDL_ClearQueuedAudio) ClearQueuedAudio;
};
SdlLibrary sdl;

// Loads SDL once for the process (it is never unloaded: its audio thread
// runs in it); false with `reason` when it is missing.
bool loadSdl(std::string& reason) {
    static bool loaded = false;
    if (loaded) return true;
    void* library = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        reason = dlerror();
        return false;
    }
    bool found = true;
    auto bind = [&](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
        found = found && function;
    };
    bind(sdl.SetHint, "SDL_SetHint");
    bind(sdl.WasInit, "SDL_WasInit");
    bind(sdl.InitSubSystem, "SDL_InitSubSystem");
    bind(sdl.QuitSubSystem, "SDL_QuitSubSystem");
    bind(sdl.GetError, "SDL_GetError");
    bind(sdl.GetCurrentAudioDriver, "SDL_GetCurrentAudioDriver");
    bind(sdl.OpenAudioDevice, "SDL_OpenAudioDevice");
    bind(sdl.CloseAudioDevice, "SDL_CloseAudioDevice");
    bind(sdl.PauseAudioDevice, "SDL_PauseAudioDevice");
    bind(sdl.QueueAudio, "SDL_QueueAudio");
    bind(sdl.GetQueuedAudioSize, "SDL_GetQueuedAudioSize");
    bind(sdl.ClearQueuedAudio, "SDL_ClearQueuedAudio");
    if (!found) {
        reason = "the SDL library lacks its audio functions";
        return false;
    }
    loaded = true;
    return true;
}

// Largest device buffer, in milliseconds; what is in it cannot be taken back.
constexpr int DEVICE_BUFFER_MS = 25;
// A block is counted done this long after it should have played even when
// the device never takes it, so a stalled output cannot hang the player.
constexpr int64_t STALL_SLACK_MS = 1000;

// ALSA writes its own lines to standard error when it finds no sound card;
// the fallback to no sound must say so in one line of ours.
void silentAlsaError(const char*, int, const char*, int, const char*, ...) {}

struct QuietAlsa {
    QuietAlsa() { snd_lib_error_set_handler(silentAlsaError); }
    ~QuietAlsa() { snd_lib_error_set_handler(nullptr); }
};

// Sample frames of the device buffer: a power of two of at most 25 ms.
Uint16 bufferFrames(int rate) {
    int frames = 64;
    while (frames < 8192 && frames * 2 <= rate * DEVICE_BUFFER_MS / 1000) frames *= 2;
    return static_cast<Uint16>(frames);
}

SDL_AudioDeviceID openDevice(const AudioFormat& f, int& drainMs) {
    SDL_AudioSpec want{};
    want.freq = f.sampleRate;
    want.format = f.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(f.channels);
    want.samples = bufferFrames(f.sampleRate);
    SDL_AudioSpec have{};
    QuietAlsa quiet;
    // No format changes allowed: SDL converts, and its queue keeps our bytes.
    SDL_AudioDeviceID device = sdl.OpenAudioDevice(nullptr, 0, &want, &have, 0);
    // The last block still sounds from the device buffer (and the sound
    // server's, about as long) after it has left SDL's queue.
    drainMs = 2 * want.samples * 1000 / want.freq + 10;
    return device;
}

class SdlAudioSink : public AudioSink {
public:
    // Takes over `device`, already open with `format`.
    SdlAudioSink(SDL_AudioDeviceID device, const AudioFormat& format, int drainMs)
        : device_(device), format_(format), frameBytes_(format.bitsPerSample / 8 * format.channels),
          drainMs_(drainMs) {
        sdl.PauseAudioDevice(device_, 0);
    }
    ~SdlAudioSink() override {
        closeDevice();
        sdl.QuitSubSystem(SDL_INIT_AUDIO);
    }

    int open(const AudioFormat& format) override {
        if (device_ && format == format_) return AUDIO_OK;
        closeDevice();
        if (!audioFormatSupported(format)) return AUDIO_BAD_FORMAT;
        device_ = openDevice(format, drainMs_);
        if (!device_) return std::strstr(sdl.GetError(), "busy") ? AUDIO_BUSY : AUDIO_ERROR;
        format_ = format;
        frameBytes_ = format.bitsPerSample / 8 * format.channels;
        sdl.PauseAudioDevice(device_, 0);
        paused_ = false;
        return AUDIO_OK;
    }

    bool queue(const uint8_t* data, size_t bytes) override {
        if (!device_ || bytes == 0 || bytes > 0x7FFFFFFF) return false;
        if (sdl.QueueAudio(device_, data, static_cast<Uint32>(bytes)) != 0) return false;
        if (paused_) {
            sdl.PauseAudioDevice(device_, 0);
            paused_ = false;
        }
        int64_t now = systemClock().monotonicMs();
        int64_t playMs = static_cast<int64_t>(bytes / frameBytes_) * 1000 / format_.sampleRate;
        lastDeadline_ = (lastDeadline_ > now ? lastDeadline_ : now) + playMs;
        queuedBytes_ += bytes;
        blocks_.push_back(Block{queuedBytes_, lastDeadline_ + STALL_SLACK_MS});
        return true;
    }

    int pendingBlocks() override {
        if (!device_) return 0;
        uint64_t played = queuedBytes_ - sdl.GetQueuedAudioSize(device_);
        int64_t now = systemClock().monotonicMs();
        while (!blocks_.empty()) {
            const Block& b = blocks_.front();
            if (b.endByte > played && now < b.deadline) break;
            blocks_.pop_front();
            // The end of the sound is now in the device buffer.
            if (blocks_.empty()) tailEndMs_ = now + drainMs_;
        }
        return static_cast<int>(blocks_.size());
    }

    void clear() override {
        if (!device_) return;
        sdl.PauseAudioDevice(device_, 1);
        paused_ = true;
        sdl.ClearQueuedAudio(device_);
        forgetBlocks();
        tailEndMs_ = 0;
    }

    // The device stays open for the next sound; whatever is still in SDL's
    // queue (the player clears before it closes) is dropped.
    void close() override {
        if (!device_) return;
        if (sdl.GetQueuedAudioSize(device_) > 0) clear();
        forgetBlocks();
    }

private:
    struct Block {
        uint64_t endByte;  // offset in the stream of bytes queued since the last clear
        int64_t deadline;  // counted done by then, whatever the device says
    };

    void forgetBlocks() {
        blocks_.clear();
        queuedBytes_ = 0;
        lastDeadline_ = 0;
    }

    // Closing the device cuts off what is in its buffer, so the end of the
    // last sound is let out first.
    void closeDevice() {
        if (!device_) return;
        int64_t left = tailEndMs_ - systemClock().monotonicMs();
        if (left > 0) systemClock().sleepMs(static_cast<int>(left));
        sdl.CloseAudioDevice(device_);
        device_ = 0;
        forgetBlocks();
        tailEndMs_ = 0;
    }

    SDL_AudioDeviceID device_ = 0;
    AudioFormat format_;
    int frameBytes_ = 1;
    int drainMs_ = 0;
    bool paused_ = false;
    uint64_t queuedBytes_ = 0;
    int64_t lastDeadline_ = 0;
    int64_t tailEndMs_ = 0;  // when the last sound has left the device buffer
    std::deque<Block> blocks_;
};

} // namespace

std::unique_ptr<AudioSink> makeSdlAudioSink(std::string& reason, bool acceptVirtualDrivers) {
    if (!loadSdl(reason)) return nullptr;
    // Audio brings up SDL's event subsystem, which would take SIGINT and
    // SIGTERM for itself; when nobody else uses SDL, leave signals alone.
    if (!sdl.WasInit(SDL_INIT_EVENTS)) sdl.SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    {
        QuietAlsa quiet;
        if (sdl.InitSubSystem(SDL_INIT_AUDIO) != 0) {
            reason = sdl.GetError();
            return nullptr;
        }
    }
    const char* driver = sdl.GetCurrentAudioDriver();
    if (!acceptVirtualDrivers && driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0)) {
        reason = std::string("SDL offers only its ") + driver + " driver";
        sdl.QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    // Open the device now, so that a missing one is known at start, in the
    // format of the recordings and the voice, so that speech finds it open.
    const AudioFormat speechFormat{11025, 8, 1};
    int drainMs = 0;
    SDL_AudioDeviceID device = openDevice(speechFormat, drainMs);
    if (!device) {
        reason = sdl.GetError();
        sdl.QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    return std::make_unique<SdlAudioSink>(device, speechFormat, drainMs);
}
