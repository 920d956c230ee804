// Where sampled sound goes. The wave player queues blocks of PCM; the sink
// plays them in order and reports which are finished. Sinks: device (SDL2
// audio, platform/linux), capture (appends everything to one WAV file) and
// none (discards), both in platform/headless.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct AudioFormat {
    int sampleRate = 11025;
    int bitsPerSample = 8;  // 8 (unsigned) or 16 (signed little-endian)
    int channels = 1;
    bool operator==(const AudioFormat&) const = default;
};

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // Prepares to play `format`, reopening the output when the format
    // changes; false when the output cannot play it.
    virtual bool open(const AudioFormat& format) = 0;
    // Queues one block after the ones already queued; false when refused.
    virtual bool queue(const uint8_t* data, size_t bytes) = 0;
    // Blocks queued and not yet finished playing.
    virtual int pendingBlocks() = 0;
    // Drops everything queued; the output is silent at once.
    virtual void clear() = 0;
    // Releases the output (a capture file is completed).
    virtual void close() = 0;
};

// The sink the program plays through; the none sink until one is installed.
AudioSink& audioSink();
void setAudioSink(std::unique_ptr<AudioSink> sink);

std::unique_ptr<AudioSink> makeNoneSink();
// Everything played, converted to 16-bit mono 22 050 Hz, appended to one WAV
// file that is complete after close(). Blocks finish at once.
std::unique_ptr<AudioSink> makeCaptureSink(const std::string& posixPath);
