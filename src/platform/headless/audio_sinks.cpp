// The none and capture audio sinks, and the process-wide current sink.
#include "platform/audio_sink.h"

#include "platform/clock.h"

#include <algorithm>
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
};

constexpr int CAPTURE_RATE = 22050;
constexpr uint32_t WAV_HEADER_BYTES = 44;
// The data size field is 32 bits; what would overflow it is not written.
constexpr uint64_t MAX_WAV_DATA = 0xFFFFFFFFu - 36;

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
        if (file_) appendConverted(data, frames, frameBytes);
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

    const CaptureLog* captureLog() const override { return &log_; }

private:
    // The sink's clock: the real (or virtual) system clock when paced, else
    // the playing time of everything captured so far.
    double clockMs() const {
        return options_.paced ? static_cast<double>(systemClock().monotonicMs()) : log_.playedMs;
    }

    CaptureEvent& record(CaptureEvent::Kind kind, const AudioFormat& format) {
        CaptureEvent e;
        e.kind = kind;
        e.format = format;
        e.atMs = clockMs();
        log_.events.push_back(std::move(e));
        return log_.events.back();
    }

    double frameValue(const uint8_t* data, size_t frame, int frameBytes) const {
        const uint8_t* p = data + frame * static_cast<size_t>(frameBytes);
        double sum = 0;
        for (int c = 0; c < format_.channels; ++c) {
            if (format_.bitsPerSample == 8) sum += (static_cast<int>(p[c]) - 128) * 256;
            else sum += static_cast<int16_t>(p[2 * c] | (p[2 * c + 1] << 8));
        }
        return sum / format_.channels;
    }

    // Linear resampling to 22 050 Hz mono 16-bit, appended to the file.
    void appendConverted(const uint8_t* data, size_t frames, int frameBytes) {
        converted_.clear();
        double step = static_cast<double>(format_.sampleRate) / CAPTURE_RATE;
        for (; phase_ < static_cast<double>(frames); phase_ += step) {
            size_t i = static_cast<size_t>(phase_);
            double frac = phase_ - static_cast<double>(i);
            double a = frameValue(data, i, frameBytes);
            double b = i + 1 < frames ? frameValue(data, i + 1, frameBytes) : a;
            int16_t s = static_cast<int16_t>(a + (b - a) * frac);
            converted_.push_back(static_cast<uint8_t>(s & 0xFF));
            converted_.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
        }
        phase_ -= static_cast<double>(frames);
        if (phase_ < 0) phase_ = 0;
        if (dataBytes_ + converted_.size() > MAX_WAV_DATA) return;
        if (std::fwrite(converted_.data(), 1, converted_.size(), file_) == converted_.size())
            dataBytes_ += converted_.size();
    }

    // Takes up the shared file again: the samples go after those it holds.
    void openShared() {
        file_ = std::fopen(options_.path.c_str(), "r+b");
        uint8_t h[WAV_HEADER_BYTES];
        dataBytes_ = 0;
        if (file_ && std::fread(h, 1, sizeof h, file_) == sizeof h && isCaptureHeader(h) &&
            std::fseek(file_, 0, SEEK_END) == 0) {
            long size = std::ftell(file_);
            if (size >= static_cast<long>(WAV_HEADER_BYTES))
                dataBytes_ = std::min<uint64_t>(static_cast<uint64_t>(size) - WAV_HEADER_BYTES, MAX_WAV_DATA) & ~1ull;
        } else {
            if (file_) std::fclose(file_);
            file_ = std::fopen(options_.path.c_str(), "w+b");
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
        std::fflush(file_);
    }

    CaptureOptions options_;
    FILE* file_;
    CaptureLog log_;
    AudioFormat format_;
    bool open_ = false;
    double phase_ = 0;
    uint64_t dataBytes_ = 0;
    std::vector<uint8_t> converted_;
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
        file = std::fopen(options.path.c_str(), options.append ? "ab" : "wb");
        if (!file) return nullptr;
        if (options.append) {
            std::fclose(file);
            file = nullptr;
        }
    }
    return std::make_unique<CaptureSink>(options, file);
}
