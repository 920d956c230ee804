// Where sampled sound goes. The wave player queues blocks of PCM; the sink
// plays them in order and says how many are still playing, which is how the
// player learns that blocks are done. Sinks: device (SDL2 audio,
// platform/linux/sdl_audio), capture (appends everything to one WAV file and
// keeps a log for tests) and none (discards), both in platform/headless. One
// sink is current for the whole process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AudioFormat {
    int sampleRate = 11025;
    int bitsPerSample = 8;  // 8 (unsigned) or 16 (signed little-endian)
    int channels = 1;
    bool operator==(const AudioFormat&) const = default;
};

// 8 or 16 bits, 1 or 2 channels, 1 000 to 384 000 Hz: what every sink plays.
bool audioFormatSupported(const AudioFormat& format);

// Results of AudioSink::open, numbered like the wave-out codes that the
// player hands on to its callers.
constexpr int AUDIO_OK = 0;
constexpr int AUDIO_ERROR = 1;        // the output failed for another reason
constexpr int AUDIO_BUSY = 4;         // in use elsewhere; worth trying again
constexpr int AUDIO_BAD_FORMAT = 32;  // the output cannot play this format

// One thing a capture sink saw.
struct CaptureEvent {
    enum Kind : uint8_t { Open, Block, Clear, Close };
    Kind kind = Open;
    AudioFormat format;     // Open: the format asked for; Block: the one it plays in
    size_t bytes = 0;       // Block: its length
    int pendingBefore = 0;  // Block: blocks still playing when it was queued
    double atMs = 0;        // when it happened, on the sink's clock
    double endMs = 0;       // Block: when it has played, on the sink's clock
    std::string data;       // Block: its bytes, when the sink keeps them
};

// What a capture sink recorded, in order.
struct CaptureLog {
    std::vector<CaptureEvent> events;
    int64_t playedFrames = 0;  // frames of every block queued so far
    double playedMs = 0;       // how long they play
    double silentMs = 0;       // pauses added with addSilence
};

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // Prepares to play `format`, reopening the output when the format
    // changes. AUDIO_OK or one of the codes above.
    virtual int open(const AudioFormat& format) = 0;
    // Queues one block after the ones already queued; the sink copies the
    // bytes. False when refused (nothing open, output failed).
    virtual bool queue(const uint8_t* data, size_t bytes) = 0;
    // Blocks queued and not yet finished playing. Every block finishes in
    // bounded time, even when the output stalls.
    virtual int pendingBlocks() = 0;
    // Drops everything queued; the output falls silent at once.
    virtual void clear() = 0;
    // Ends the sound: what is queued is dropped and a capture file is
    // complete afterwards. The device sink keeps its device open (opening
    // one is slow) and lets the tail of the sound play out. Safe to call
    // when nothing is open.
    virtual void close() = 0;
    // Whether waiting for this sink takes time. False for the none and
    // (unpaced) capture sinks, whose blocks finish at once: waits for their
    // sound and pauses in speech pass on the sink's own clock without
    // sleeping.
    virtual bool playsInRealTime() const { return true; }
    // A pause of `ms` on a sink that does not play in real time: the capture
    // sink appends that much silence and advances its clock.
    virtual void addSilence(int ms) { (void)ms; }
    // The record of a capture sink; null for the others.
    virtual const CaptureLog* captureLog() const { return nullptr; }
};

// The sink the program plays through; the none sink until one is installed.
AudioSink& audioSink();
// Installs `sink` (null: the none sink), closing the previous one.
void setAudioSink(std::unique_ptr<AudioSink> sink);

// Accepts every format and block; blocks finish at once and pauses take no
// time.
std::unique_ptr<AudioSink> makeNoneSink();

struct CaptureOptions {
    // Everything played, converted to 16-bit mono 22 050 Hz, is appended to
    // this WAV file, whose header is brought up to date at every close().
    // Empty: no file, only the log.
    std::string path;
    // The file is shared with other programs that take turns with this one
    // (a program and the one it waits for): it is held only from open() to
    // close(), which completes its header, and what is played goes after
    // what it holds at open(). A missing file, or one that is no capture
    // WAV, is started anew. Without `append` the file is created at once
    // and held until the sink goes.
    bool append = false;
    // Keep every block's bytes in the log.
    bool keepBlocks = false;
    // Blocks play in systemClock() time (pending until their playing time
    // has passed) instead of finishing at once, and pauses are waited for
    // on that clock (they are not written); with the virtual clock this
    // lets tests watch a queue fill and drain.
    bool paced = false;
};
// A capture sink; null when the file cannot be created.
std::unique_ptr<AudioSink> makeCaptureSink(const CaptureOptions& options);
