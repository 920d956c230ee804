// The none and capture audio sinks.
#include "platform/audio_sink.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

class NoneSink : public AudioSink {
public:
    bool open(const AudioFormat&) override { return true; }
    bool queue(const uint8_t*, size_t) override { return true; }
    int pendingBlocks() override { return 0; }
    void clear() override {}
    void close() override {}
};

constexpr int CAPTURE_RATE = 22050;

void putLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

class CaptureSink : public AudioSink {
public:
    explicit CaptureSink(std::string path) : path_(std::move(path)) { writeFile(); }
    ~CaptureSink() override { close(); }

    bool open(const AudioFormat& format) override {
        if ((format.bitsPerSample != 8 && format.bitsPerSample != 16) || format.channels < 1 ||
            format.channels > 2 || format.sampleRate < 1000 || format.sampleRate > 192000)
            return false;
        format_ = format;
        phase_ = 0;
        return true;
    }

    bool queue(const uint8_t* data, size_t bytes) override {
        int frameBytes = format_.bitsPerSample / 8 * format_.channels;
        size_t frames = bytes / frameBytes;
        // Linear resampling to 22 050 Hz, mono 16-bit.
        double step = static_cast<double>(format_.sampleRate) / CAPTURE_RATE;
        for (; phase_ < static_cast<double>(frames); phase_ += step) {
            size_t i = static_cast<size_t>(phase_);
            double frac = phase_ - static_cast<double>(i);
            double a = frameValue(data, i, frameBytes);
            double b = i + 1 < frames ? frameValue(data, i + 1, frameBytes) : a;
            double v = a + (b - a) * frac;
            int s = static_cast<int>(v);
            putLe(samples_, static_cast<uint16_t>(static_cast<int16_t>(s)), 2);
        }
        phase_ -= static_cast<double>(frames);
        if (phase_ < 0) phase_ = 0;
        dirty_ = true;
        return true;
    }

    int pendingBlocks() override { return 0; }
    void clear() override {}
    void close() override {
        if (dirty_) writeFile();
        dirty_ = false;
    }

private:
    double frameValue(const uint8_t* data, size_t frame, int frameBytes) const {
        const uint8_t* p = data + frame * frameBytes;
        double sum = 0;
        for (int c = 0; c < format_.channels; ++c) {
            if (format_.bitsPerSample == 8) sum += (static_cast<int>(p[c]) - 128) * 256;
            else sum += static_cast<int16_t>(p[2 * c] | (p[2 * c + 1] << 8));
        }
        return sum / format_.channels;
    }

    void writeFile() {
        std::vector<uint8_t> header;
        uint32_t dataBytes = static_cast<uint32_t>(samples_.size());
        header.insert(header.end(), {'R', 'I', 'F', 'F'});
        putLe(header, 36 + dataBytes, 4);
        header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
        putLe(header, 16, 4);
        putLe(header, 1, 2);
        putLe(header, 1, 2);
        putLe(header, CAPTURE_RATE, 4);
        putLe(header, CAPTURE_RATE * 2, 4);
        putLe(header, 2, 2);
        putLe(header, 16, 2);
        header.insert(header.end(), {'d', 'a', 't', 'a'});
        putLe(header, dataBytes, 4);
        FILE* f = std::fopen(path_.c_str(), "wb");
        if (!f) return;
        std::fwrite(header.data(), 1, header.size(), f);
        if (!samples_.empty()) std::fwrite(samples_.data(), 1, samples_.size(), f);
        std::fclose(f);
    }

    std::string path_;
    AudioFormat format_;
    std::vector<uint8_t> samples_;
    double phase_ = 0;
    bool dirty_ = false;
};

std::unique_ptr<AudioSink> currentSink = std::make_unique<NoneSink>();

} // namespace

AudioSink& audioSink() { return *currentSink; }
void setAudioSink(std::unique_ptr<AudioSink> sink) {
    if (currentSink) currentSink->close();
    currentSink = sink ? std::move(sink) : std::make_unique<NoneSink>();
}
std::unique_ptr<AudioSink> makeNoneSink() { return std::make_unique<NoneSink>(); }
std::unique_ptr<AudioSink> makeCaptureSink(const std::string& posixPath) {
    return std::make_unique<CaptureSink>(posixPath);
}
