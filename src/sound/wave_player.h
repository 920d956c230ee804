// The wave player: every sampled sound of the system ends here. It plays
// RIFF/WAVE files, RIFF/WAVE images held in memory and raw PCM through the
// current audio sink, in blocks of at most 65534 bytes with at most four
// blocks queued at a time. It owns the four block buffers, the file read
// buffer, the playback settings and whether the sink is open. Block
// completion is learned from the sink while the console processes messages.
// A key waiting in the console's queue stops playback; the player only looks
// at keys (keyAvailable) and never takes one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Playback settings, public for the speech layer.
extern bool stopOnKey;       // a waiting key stops playback (initially on)
extern bool noWait;          // playWaveFile returns once the last block is queued
extern bool fastPlayback;    // the sink plays at 1.5 times the sample rate
extern bool compressSpeech;  // mono blocks are converted to 8 bits and shortened
extern int maxQueuedBlocks;  // blocks queued at once; used clamped to 1..4

constexpr int WAVE_BUFFER_COUNT = 4;
constexpr int WAVE_BLOCK_BYTES = 65534;
// The result of the players for a file or image that cannot be played.
constexpr int WAVE_NOT_PLAYABLE = -1;

// The canonical 44-byte RIFF/WAVE header that begins every sound image the
// system builds in memory; the samples follow at offset 44. Little-endian:
//   0 "RIFF", 4 data size + 36, 8 "WAVE", 12 "fmt ", 16 the number 16,
//   20 format 1 (PCM), 22 channels, 24 sample rate, 28 bytes per second,
//   32 block align = bits / 8 x channels, 34 bits per sample, 36 "data",
//   40 data size.
struct WaveHeader44 {
    uint8_t bytes[44];
};

// Fills the 44 bytes at `destination`; what is not given is mono, 11 025 Hz,
// 8 bits.
void makeWaveHeader(void* destination, uint32_t sampleRate = 11025, int bitsPerSample = 8,
                    uint32_t dataSize = 0, int channels = 1);

// Plays a RIFF/WAVE file; `path` is a script path (Windows-1252, mapped with
// mapPath, so POSIX paths work too). Returns 0 when it was played or stopped
// by a key (also when a key was already waiting: then nothing plays),
// WAVE_NOT_PLAYABLE when it cannot be opened, is not a RIFF/WAVE file with
// fmt as first chunk and a data chunk, or a block of its data finds nothing
// to read (data cut short by more than a block); otherwise the sink's open
// error. Unless noWait, returns when playback has ended.
int playWaveFile(std::string_view path);
// Plays a RIFF/WAVE image held in memory ("RIFF", a fmt chunk at offset 12,
// then chunks up to "data"); returns once its data is queued (poll isPlaying
// to wait). 0, WAVE_NOT_PLAYABLE, or the sink's open error. The image is
// never changed.
int playWaveImage(std::string_view image);
// Queues raw PCM (8-bit unsigned or 16-bit signed little-endian, 1 or 2
// channels) in blocks; a trailing partial frame is not played. Returns 0
// when the last block is queued or a key stopped it, else the open error.
int playPcm(const uint8_t* data, size_t length, int sampleRate, int channels, int bitsPerSample);

// Processes messages; stops (and closes the sink) when a key stops playback
// or nothing is queued any more. True while blocks are queued.
bool isPlaying();
// Silences the sink at once, forgets the queued blocks and closes it.
void stopPlayback();
// The console calls this on every processing of messages: asks the sink how
// many blocks still play and releases the finished ones.
void onWaveBlockDone();

// Speeds up recorded speech in place: 16-bit samples become 8-bit unsigned
// first; then roughly every other pitch period is dropped. Returns the new
// length in bytes (= samples).
int compressSpeechBlock(uint8_t* block, int bytes, int bitsPerSample, int sampleRate);

// Back to the state at program start: playback stopped, settings at their
// initial values (tests).
void resetWavePlayer();
