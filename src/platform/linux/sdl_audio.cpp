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

#include <cstring>
#include <deque>

namespace {

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
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
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
        SDL_PauseAudioDevice(device_, 0);
    }
    ~SdlAudioSink() override {
        closeDevice();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    int open(const AudioFormat& format) override {
        if (device_ && format == format_) return AUDIO_OK;
        closeDevice();
        if (!audioFormatSupported(format)) return AUDIO_BAD_FORMAT;
        device_ = openDevice(format, drainMs_);
        if (!device_) return std::strstr(SDL_GetError(), "busy") ? AUDIO_BUSY : AUDIO_ERROR;
        format_ = format;
        frameBytes_ = format.bitsPerSample / 8 * format.channels;
        SDL_PauseAudioDevice(device_, 0);
        paused_ = false;
        return AUDIO_OK;
    }

    bool queue(const uint8_t* data, size_t bytes) override {
        if (!device_ || bytes == 0 || bytes > 0x7FFFFFFF) return false;
        if (SDL_QueueAudio(device_, data, static_cast<Uint32>(bytes)) != 0) return false;
        if (paused_) {
            SDL_PauseAudioDevice(device_, 0);
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
        uint64_t played = queuedBytes_ - SDL_GetQueuedAudioSize(device_);
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
        SDL_PauseAudioDevice(device_, 1);
        paused_ = true;
        SDL_ClearQueuedAudio(device_);
        forgetBlocks();
        tailEndMs_ = 0;
    }

    // The device stays open for the next sound; whatever is still in SDL's
    // queue (the player clears before it closes) is dropped.
    void close() override {
        if (!device_) return;
        if (SDL_GetQueuedAudioSize(device_) > 0) clear();
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
        SDL_CloseAudioDevice(device_);
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
    // Audio brings up SDL's event subsystem, which would take SIGINT and
    // SIGTERM for itself; when nobody else uses SDL, leave signals alone.
    if (!SDL_WasInit(SDL_INIT_EVENTS)) SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    {
        QuietAlsa quiet;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            reason = SDL_GetError();
            return nullptr;
        }
    }
    const char* driver = SDL_GetCurrentAudioDriver();
    if (!acceptVirtualDrivers && driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "disk") == 0)) {
        reason = std::string("SDL offers only its ") + driver + " driver";
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    // Open the device now, so that a missing one is known at start, in the
    // format of the recordings and the voice, so that speech finds it open.
    const AudioFormat speechFormat{11025, 8, 1};
    int drainMs = 0;
    SDL_AudioDeviceID device = openDevice(speechFormat, drainMs);
    if (!device) {
        reason = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    return std::make_unique<SdlAudioSink>(device, speechFormat, drainMs);
}
