// The none and capture audio sinks, and the process-wide current sink.
#include "platform/audio_sink.h"

#include "platform/clock.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <deque>

namespace {

class NoneSink : public AudioSink {
public:
    int open(const AudioFormat&) override { return AUDIO_OK; }
    bool queue(const uint8_t*, size_t) override { return true; }
    int pendingBlocks() override { return 0; }
    void clear() override {}
    void close() override {}
    bool playsInRealTime() const override { return false; }
};

constexpr int CAPTURE_RATE = 22050;
constexpr uint32_t WAV_HEADER_BYTES = 44;
// The data size field is 32 bits; what would overflow it is not written.
constexpr uint64_t MAX_WAV_DATA = 0xFFFFFFFFu - 36;
// The longest pause written at once.
constexpr int MAX_SILENCE_MS = 60000;

// Samples come in blocks of kilobytes and the header is rewritten after
// every sound: a stdio buffer would only add a copy and a flush each time.
FILE* openUnbuffered(const std::string& path, const char* mode) {
    FILE* file = std::fopen(path.c_str(), mode);
    if (file) std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

void putLe(uint8_t* out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}

class CaptureSink : public AudioSink {
public:
    CaptureSink(const CaptureOptions& options, FILE* file) : options_(options), file_(file) {
        if (file_) writeHeader();
    }
    ~CaptureSink() override {
        close();
        if (file_) std::fclose(file_);
    }

    int open(const AudioFormat& format) override {
        record(CaptureEvent::Open, format);
        if (!audioFormatSupported(format)) return AUDIO_BAD_FORMAT;
        if (options_.append && !file_) openShared();
        format_ = format;
        open_ = true;
        phase_ = 0;
        return AUDIO_OK;
    }

    bool queue(const uint8_t* data, size_t bytes) override {
        if (!open_) return false;
        int frameBytes = format_.bitsPerSample / 8 * format_.channels;
        size_t frames = bytes / static_cast<size_t>(frameBytes);
        double duration = static_cast<double>(frames) * 1000.0 / format_.sampleRate;
        CaptureEvent& e = record(CaptureEvent::Block, format_);
        e.bytes = bytes;
        e.pendingBefore = pendingBlocks();
        if (options_.paced) {
            double start = std::max(e.atMs, lastEndMs_);
            lastEndMs_ = start + duration;
            pendingEnds_.push_back(lastEndMs_);
        }
        e.endMs = options_.paced ? lastEndMs_ : e.atMs + duration;
        if (options_.keepBlocks) e.data.assign(reinterpret_cast<const char*>(data), bytes);
        log_.playedFrames += static_cast<int64_t>(frames);
        log_.playedMs += duration;
        if (file_) appendConverted(data, frames);
        return true;
    }

    int pendingBlocks() override {
        double now = clockMs();
        while (!pendingEnds_.empty() && pendingEnds_.front() <= now) pendingEnds_.pop_front();
        return static_cast<int>(pendingEnds_.size());
    }

    void clear() override {
        record(CaptureEvent::Clear, format_);
        pendingEnds_.clear();
        lastEndMs_ = 0;
    }

    void close() override {
        if (!open_) return;
        record(CaptureEvent::Close, format_);
        open_ = false;
        pendingEnds_.clear();
        lastEndMs_ = 0;
        if (file_) writeHeader();
        if (file_ && options_.append) {
            std::fclose(file_);
            file_ = nullptr;
        }
    }

    bool playsInRealTime() const override { return options_.paced; }

    void addSilence(int ms) override {
        if (ms <= 0 || options_.paced) return;
        // A pause of absurd length (a typing error in FALARIS.INI) must not
        // fill the disk with silence.
        ms = std::min(ms, MAX_SILENCE_MS);
        log_.silentMs += ms;
        // A shared file is let go between sounds: take it up for the pause.
        bool takeUp = options_.append && !file_;
        if (takeUp) openShared();
        if (!file_) return;
        static const uint8_t zeros[8192] = {};
        for (size_t left = static_cast<size_t>(ms) * CAPTURE_RATE / 1000 * 2; left > 0;) {
            size_t n = std::min(left, sizeof zeros);
            appendToFile(zeros, n);
            left -= n;
        }
        // Between sounds the file stays complete.
        if (!open_) writeHeader();
        if (takeUp) {
            std::fclose(file_);
            file_ = nullptr;
        }
    }

    const CaptureLog* captureLog() const override { return &log_; }

private:
    // The sink's clock: the real (or virtual) system clock when paced, else
    // the playing time of everything captured so far and of the pauses.
    double clockMs() const {
        return options_.paced ? static_cast<double>(systemClock().monotonicMs()) : log_.playedMs + log_.silentMs;
    }

    CaptureEvent& record(CaptureEvent::Kind kind, const AudioFormat& format) {
        CaptureEvent e;
        e.kind = kind;
        e.format = format;
        e.atMs = clockMs();
        log_.events.push_back(std::move(e));
        return log_.events.back();
    }

    // The block's frames as 16-bit values (channels averaged) in values_,
    // and the last one once more after them.
    void frameValues(const uint8_t* data, size_t frames) {
        if (values_.size() < frames + 1) values_.resize(frames + 1);
        int16_t* v = values_.data();
        if (format_.bitsPerSample == 8 && format_.channels == 1) {
            for (size_t i = 0; i < frames; ++i) v[i] = static_cast<int16_t>((data[i] - 128) * 256);
        } else {
            int frameBytes = format_.bitsPerSample / 8 * format_.channels;
            for (size_t i = 0; i < frames; ++i) {
                const uint8_t* p = data + i * static_cast<size_t>(frameBytes);
                int sum = 0;
                for (int c = 0; c < format_.channels; ++c) {
                    if (format_.bitsPerSample == 8) sum += (p[c] - 128) * 256;
                    else sum += static_cast<int16_t>(p[2 * c] | (p[2 * c + 1] << 8));
                }
                v[i] = static_cast<int16_t>(sum / format_.channels);
            }
        }
        v[frames] = v[frames - 1];
    }

    // Linear resampling to 22 050 Hz mono 16-bit, appended to the file. The
    // position between input frames is a 32.32 fixed-point number. A capture
    // holds hours of speech, so this must cost little: the rate of the
    // recordings and the voice, 11 025 Hz, has a loop of its own.
    void appendConverted(const uint8_t* data, size_t frames) {
        if (frames == 0) return;
        frameValues(data, frames);
        const int16_t* v = values_.data();
        constexpr uint64_t HALF = uint64_t{1} << 31;  // 11 025 / 22 050
        const uint64_t step = (static_cast<uint64_t>(format_.sampleRate) << 32) / CAPTURE_RATE;
        const uint64_t end = static_cast<uint64_t>(frames) << 32;
        size_t most = static_cast<size_t>((end - std::min(phase_, end) + step - 1) / step);
        if (converted_.size() < most) converted_.resize(most);
        int16_t* out = converted_.data();
        if (step == HALF && phase_ == 0) {
            // Each frame, then the point half way to the next; the position
            // stays on a frame.
            for (size_t i = 0; i < frames; ++i) {
                *out++ = v[i];
                *out++ = static_cast<int16_t>(v[i] + ((v[i + 1] - v[i]) >> 1));
            }
        } else {
            for (; phase_ < end; phase_ += step) {
                size_t i = static_cast<size_t>(phase_ >> 32);
                int64_t frac = static_cast<int64_t>(phase_ & 0xFFFFFFFFu);
                *out++ = static_cast<int16_t>(v[i] + (((v[i + 1] - v[i]) * frac) >> 32));
            }
            phase_ -= end;
        }
        size_t count = static_cast<size_t>(out - converted_.data());
        // The file is little-endian.
        if constexpr (std::endian::native == std::endian::big)
            for (size_t i = 0; i < count; ++i)
                converted_[i] = static_cast<int16_t>(static_cast<uint16_t>(converted_[i]) >> 8 |
                                                     static_cast<uint16_t>(converted_[i]) << 8);
        appendToFile(converted_.data(), count * 2);
    }

    // Appends samples unless the file would outgrow its header.
    void appendToFile(const void* bytes, size_t n) {
        if (dataBytes_ + n > MAX_WAV_DATA) return;
        if (std::fwrite(bytes, 1, n, file_) == n) dataBytes_ += n;
    }

    // Takes up the shared file again: the samples go after those it holds.
    void openShared() {
        file_ = openUnbuffered(options_.path, "r+b");
        uint8_t h[WAV_HEADER_BYTES];
        dataBytes_ = 0;
        if (file_ && std::fread(h, 1, sizeof h, file_) == sizeof h && isCaptureHeader(h) &&
            std::fseek(file_, 0, SEEK_END) == 0) {
            long size = std::ftell(file_);
            if (size >= static_cast<long>(WAV_HEADER_BYTES))
                dataBytes_ = std::min<uint64_t>(static_cast<uint64_t>(size) - WAV_HEADER_BYTES, MAX_WAV_DATA) & ~1ull;
        } else {
            if (file_) std::fclose(file_);
            file_ = openUnbuffered(options_.path, "w+b");
        }
        if (file_) writeHeader();
    }

    // The header this sink writes, whatever its lengths.
    static bool isCaptureHeader(const uint8_t* h) {
        auto le = [h](int at, int bytes) {
            uint32_t v = 0;
            for (int i = bytes - 1; i >= 0; --i) v = v << 8 | h[at + i];
            return v;
        };
        return std::memcmp(h, "RIFF", 4) == 0 && std::memcmp(h + 8, "WAVEfmt ", 8) == 0 && le(16, 4) == 16 &&
               le(20, 2) == 1 && le(22, 2) == 1 && le(24, 4) == CAPTURE_RATE && le(34, 2) == 16 &&
               std::memcmp(h + 36, "data", 4) == 0;
    }

    // Writes the header for the samples so far and returns to the end.
    void writeHeader() {
        uint8_t h[WAV_HEADER_BYTES] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
        uint32_t data = static_cast<uint32_t>(dataBytes_);
        putLe(h + 4, 36 + data, 4);
        putLe(h + 16, 16, 4);
        putLe(h + 20, 1, 2);
        putLe(h + 22, 1, 2);
        putLe(h + 24, CAPTURE_RATE, 4);
        putLe(h + 28, CAPTURE_RATE * 2, 4);
        putLe(h + 32, 2, 2);
        putLe(h + 34, 16, 2);
        h[36] = 'd';
        h[37] = 'a';
        h[38] = 't';
        h[39] = 'a';
        putLe(h + 40, data, 4);
        if (std::fseek(file_, 0, SEEK_SET) == 0) std::fwrite(h, 1, sizeof h, file_);
        std::fseek(file_, 0, SEEK_END);
    }

    CaptureOptions options_;
    FILE* file_;
    CaptureLog log_;
    AudioFormat format_;
    bool open_ = false;
    uint64_t phase_ = 0;  // 32.32 fixed point, in input frames
    uint64_t dataBytes_ = 0;
    std::vector<int16_t> converted_;  // the block as written; only grows
    std::vector<int16_t> values_;     // its frames; only grows
    std::deque<double> pendingEnds_;  // paced: when each pending block has played
    double lastEndMs_ = 0;
};

std::unique_ptr<AudioSink> currentSink = std::make_unique<NoneSink>();

} // namespace

bool audioFormatSupported(const AudioFormat& f) {
    return (f.bitsPerSample == 8 || f.bitsPerSample == 16) && f.channels >= 1 && f.channels <= 2 &&
           f.sampleRate >= 1000 && f.sampleRate <= 384000;
}

AudioSink& audioSink() { return *currentSink; }

void setAudioSink(std::unique_ptr<AudioSink> sink) {
    if (currentSink) currentSink->close();
    currentSink = sink ? std::move(sink) : std::make_unique<NoneSink>();
}

std::unique_ptr<AudioSink> makeNoneSink() { return std::make_unique<NoneSink>(); }

std::unique_ptr<AudioSink> makeCaptureSink(const CaptureOptions& options) {
    FILE* file = nullptr;
    if (!options.path.empty()) {
        // A shared file is only looked at here: it must be one that can be written.
        if (options.append) {
            file = std::fopen(options.path.c_str(), "ab");
            if (!file) return nullptr;
            std::fclose(file);
            file = nullptr;
        } else {
            file = openUnbuffered(options.path, "wb");
            if (!file) return nullptr;
        }
    }
    return std::make_unique<CaptureSink>(options, file);
}
