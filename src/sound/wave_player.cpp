// The wave player: files, images and raw PCM in blocks through the audio sink.
#include "sound/wave_player.h"

#include "console/console.h"
#include "platform/audio_sink.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"

#include <algorithm>
#include <cstring>

bool stopOnKey = true;
bool noWait = false;
bool fastPlayback = false;
bool compressSpeech = false;
int maxQueuedBlocks = WAVE_BUFFER_COUNT;

namespace {

// Blocks shorter than this go to the sink padded with silence.
constexpr size_t MIN_BUFFER_BYTES = 256;
constexpr int OPEN_ATTEMPTS = 100;
constexpr int OPEN_RETRY_MS = 100;
// How long queueWaveBlock waits for a free buffer before dropping the block.
constexpr int QUEUE_WAIT_MS = 2000;
constexpr int QUEUE_POLL_MS = 50;
// The wait between looks at the sink while sound plays; input ends it early.
constexpr int PLAY_POLL_MS = 10;
constexpr int MAX_SAMPLE_RATE = 1000000;

uint8_t blockBuffers[WAVE_BUFFER_COUNT][WAVE_BLOCK_BYTES];
uint8_t fileBuffer[WAVE_BLOCK_BYTES];

bool deviceOpen = false;
AudioFormat currentFormat{0, 0, 0};  // the format the sink is (or was last) opened with
int currentBlock = 0;                // buffer used last, 1-based; 0 before the first
int queuedCount = 0;                 // blocks handed to the sink and not yet done

int queueLimit() { return std::clamp(maxQueuedBlocks, 1, WAVE_BUFFER_COUNT); }

bool keyStops() { return stopOnKey && keyAvailable(); }

bool playableFormat(int rate, int bits, int channels) {
    return (bits == 8 || bits == 16) && (channels == 1 || channels == 2) && rate >= 1 &&
           rate <= MAX_SAMPLE_RATE;
}

size_t frameBytes(int bits, int channels) { return static_cast<size_t>(bits / 8 * channels); }

// The longest block of whole frames (the whole 65534 bytes for 8-bit and
// 16-bit mono and 8-bit stereo).
size_t maxBlockBytes(size_t frame) { return WAVE_BLOCK_BYTES - WAVE_BLOCK_BYTES % frame; }

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
int le16(const uint8_t* p) { return p[0] | p[1] << 8; }

void putLe(uint8_t* p, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Chunk identifiers compare without regard to case.
bool isChunk(const uint8_t* id, const char* name) {
    for (int i = 0; i < 4; ++i) {
        uint8_t a = id[i], b = static_cast<uint8_t>(name[i]);
        if (a >= 'a' && a <= 'z') a = static_cast<uint8_t>(a - 32);
        if (b >= 'a' && b <= 'z') b = static_cast<uint8_t>(b - 32);
        if (a != b) return false;
    }
    return true;
}

// Rates beyond what any output plays become 0, which no format accepts.
int rateFrom(uint32_t v) { return v > static_cast<uint32_t>(MAX_SAMPLE_RATE) ? 0 : static_cast<int>(v); }

// Opens the sink for a format. A different format first waits for what plays
// to end (which closes the sink); a busy output is tried again for a while.
int openWaveDevice(int sampleRate, int bitsPerSample, int channels) {
    AudioFormat format{sampleRate, bitsPerSample, channels};
    if (!(format == currentFormat))
        while (isPlaying()) waitForMessage(PLAY_POLL_MS);
    currentFormat = format;
    if (deviceOpen) return AUDIO_OK;
    setAudioProgressHandler(onWaveBlockDone);
    int result = audioSink().open(format);
    for (int attempt = 1; result == AUDIO_BUSY && attempt < OPEN_ATTEMPTS; ++attempt) {
        waitMs(OPEN_RETRY_MS);
        result = audioSink().open(format);
    }
    deviceOpen = result == AUDIO_OK;
    return result;
}

// Copies a block into the next buffer, shortens it when speech is compressed,
// pads a short one with silence and hands it to the sink. False when it was
// dropped (no free buffer within 2 s, or the sink refused it).
bool queueWaveBlock(const uint8_t* data, size_t n, bool compress, int sourceBits) {
    if (queuedCount >= queueLimit()) {
        Clock& clock = systemClock();
        int64_t deadline = clock.monotonicMs() + QUEUE_WAIT_MS;
        while (queuedCount >= queueLimit() && clock.monotonicMs() < deadline) waitForMessage(QUEUE_POLL_MS);
        if (queuedCount >= queueLimit()) return false;
    }
    currentBlock = currentBlock % queueLimit() + 1;
    uint8_t* buffer = blockBuffers[currentBlock - 1];
    std::memcpy(buffer, data, n);
    if (compress)
        n = static_cast<size_t>(compressSpeechBlock(buffer, static_cast<int>(n), sourceBits, currentFormat.sampleRate));
    bool eightBit = currentFormat.bitsPerSample == 8;
    // A partial 8-bit mono block ends on the silence level, so that no click
    // is heard where the sound stops.
    if (eightBit && currentFormat.channels == 1 && n > 0 && n != WAVE_BLOCK_BYTES) buffer[n - 1] = 128;
    size_t length = n;
    if (length < MIN_BUFFER_BYTES) {
        std::memset(buffer + n, eightBit ? 128 : 0, MIN_BUFFER_BYTES - n);
        length = MIN_BUFFER_BYTES;
    }
    if (!audioSink().queue(buffer, length)) return false;
    ++queuedCount;
    return true;
}

// Reads `n` bytes unless the file ends first; the count read.
size_t readFully(int file, uint8_t* buffer, size_t n) {
    size_t done = 0;
    while (done < n) {
        long got = readBytes(file, reinterpret_cast<char*>(buffer) + done, n - done);
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    return done;
}

// Passes over a chunk body by reading it (through the file buffer, which is
// free until the samples are read); false when the file ends first.
bool skipBytes(int file, uint64_t n) {
    while (n > 0) {
        size_t part = static_cast<size_t>(std::min<uint64_t>(n, sizeof fileBuffer));
        if (readFully(file, fileBuffer, part) != part) return false;
        n -= part;
    }
    return true;
}

// Reads the next chunk header. After a body of odd size a RIFF writer puts a
// pad byte, which other writers leave out: a zero where an identifier should
// begin can only be that pad, so it is passed over.
bool readChunkHeader(int file, uint8_t header[8], bool afterOddBody) {
    if (readFully(file, header, 8) != 8) return false;
    if (afterOddBody && header[0] == 0) {
        std::memmove(header, header + 1, 7);
        if (readFully(file, header + 7, 1) != 1) return false;
    }
    return true;
}

// Reads a WAV file up to the start of its samples.
bool readWaveFileHeader(int file, int& rate, int& bits, int& channels, uint32_t& dataSize) {
    uint8_t header[12];
    if (readFully(file, header, 12) != 12 || !isChunk(header, "RIFF")) return false;
    if (!readChunkHeader(file, header, false) || !isChunk(header, "fmt ")) return false;
    // The fields needed end at byte 16 of the body; a shorter one is no format.
    uint32_t fmtSize = le32(header + 4);
    uint8_t body[16];
    if (fmtSize < sizeof body || readFully(file, body, sizeof body) != sizeof body) return false;
    if (!skipBytes(file, fmtSize - sizeof body)) return false;
    channels = le16(body + 2);
    rate = rateFrom(le32(body + 4));
    bits = le16(body + 14);
    bool odd = fmtSize & 1;
    while (readChunkHeader(file, header, odd)) {
        uint32_t size = le32(header + 4);
        if (isChunk(header, "data")) {
            dataSize = size;
            return true;
        }
        if (!skipBytes(file, size)) return false;
        odd = size & 1;
    }
    return false;
}

// How much of the file's samples the next block takes: whole 65534-byte
// blocks, except that a file never ends on a block shorter than 256 bytes
// unless it is shorter than that.
size_t fileChunk(uint32_t remaining, size_t frame) {
    size_t longest = maxBlockBytes(frame);
    if (remaining > longest && remaining < longest + MIN_BUFFER_BYTES) return longest - MIN_BUFFER_BYTES;
    return std::min<size_t>(remaining, longest);
}

} // namespace

void makeWaveHeader(void* destination, uint32_t sampleRate, int bitsPerSample, uint32_t dataSize, int channels) {
    uint8_t* h = static_cast<uint8_t*>(destination);
    int blockAlign = bitsPerSample / 8 * channels;
    std::memcpy(h, "RIFF", 4);
    putLe(h + 4, dataSize + 36, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    putLe(h + 16, 16, 4);
    putLe(h + 20, 1, 2);
    putLe(h + 22, static_cast<uint32_t>(channels), 2);
    putLe(h + 24, sampleRate, 4);
    putLe(h + 28, static_cast<uint32_t>(blockAlign) * sampleRate, 4);
    putLe(h + 32, static_cast<uint32_t>(blockAlign), 2);
    putLe(h + 34, static_cast<uint32_t>(bitsPerSample), 2);
    std::memcpy(h + 36, "data", 4);
    putLe(h + 40, dataSize, 4);
}

int playPcm(const uint8_t* data, size_t length, int sampleRate, int channels, int bitsPerSample) {
    if (fastPlayback) sampleRate = static_cast<int>(static_cast<int64_t>(sampleRate) * 3 / 2);
    if (!playableFormat(sampleRate, bitsPerSample, channels)) return AUDIO_BAD_FORMAT;
    bool compress = compressSpeech && channels == 1;
    int result = openWaveDevice(sampleRate, compress ? 8 : bitsPerSample, channels);
    if (result != AUDIO_OK) return result;
    size_t frame = frameBytes(bitsPerSample, channels);
    length -= length % frame;
    size_t longest = maxBlockBytes(frame);
    while (length > 0) {
        while (true) {
            if (keyStops()) {
                stopPlayback();
                return 0;
            }
            if (queuedCount < queueLimit()) break;
            waitForMessage(PLAY_POLL_MS);
        }
        size_t n = std::min(length, longest);
        queueWaveBlock(data, n, compress, bitsPerSample);
        data += n;
        length -= n;
    }
    return 0;
}

int playWaveFile(std::string_view path) {
    if (keyStops()) return 0;
    int file = openByteFileForReading(mapPath(path));
    if (file < 0) return WAVE_NOT_PLAYABLE;
    int rate = 0, bits = 0, channels = 0;
    uint32_t remaining = 0;
    if (!readWaveFileHeader(file, rate, bits, channels, remaining)) {
        closeByteFile(file);
        return WAVE_NOT_PLAYABLE;
    }
    size_t frame = playableFormat(rate, bits, channels) ? frameBytes(bits, channels) : 1;
    int result = 0;
    while (remaining > 0) {
        result = WAVE_NOT_PLAYABLE;
        size_t chunk = fileChunk(remaining, frame);
        remaining -= static_cast<uint32_t>(chunk);
        size_t got = readFully(file, fileBuffer, chunk);
        if (got == 0) break;
        result = playPcm(fileBuffer, got, rate, channels, bits);
        if (result != 0 || keyStops()) break;
    }
    closeByteFile(file);
    if (!noWait)
        while (isPlaying()) waitForMessage(PLAY_POLL_MS);
    return result;
}

int playWaveImage(std::string_view image) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(image.data());
    size_t size = image.size();
    if (size < 20 || !isChunk(p, "RIFF") || !isChunk(p + 12, "fmt ")) return WAVE_NOT_PLAYABLE;
    uint64_t fmtSize = le32(p + 16);
    if (fmtSize < 16 || 20 + fmtSize > size) return WAVE_NOT_PLAYABLE;
    int channels = le16(p + 22);
    int rate = rateFrom(le32(p + 24));
    int bits = le16(p + 34);
    // The walk stays inside the RIFF length and inside the image.
    uint64_t end = std::min<uint64_t>(size, 8 + static_cast<uint64_t>(le32(p + 4)));
    uint64_t pos = 20 + fmtSize;
    bool odd = fmtSize & 1;
    while (pos + 8 <= end) {
        if (odd && p[pos] == 0) {  // a pad byte after an odd body
            ++pos;
            if (pos + 8 > end) break;
        }
        uint32_t chunkSize = le32(p + pos + 4);
        if (isChunk(p + pos, "data")) {
            // A size beyond the image plays what is there.
            size_t n = static_cast<size_t>(std::min<uint64_t>(chunkSize, size - (pos + 8)));
            return playPcm(p + pos + 8, n, rate, channels, bits);
        }
        pos += 8 + static_cast<uint64_t>(chunkSize);
        odd = chunkSize & 1;
    }
    return WAVE_NOT_PLAYABLE;
}

bool isPlaying() {
    processMessages();
    if (queuedCount == 0 || keyStops()) stopPlayback();
    return queuedCount != 0;
}

void stopPlayback() {
    if (!deviceOpen) return;
    AudioSink& sink = audioSink();
    if (queuedCount > 0) sink.clear();
    processMessages();
    sink.close();
    deviceOpen = false;
    queuedCount = 0;
    processMessages();
}

void onWaveBlockDone() {
    if (!deviceOpen || queuedCount == 0) return;
    // Blocks finish in the order they were queued, so the count says which.
    int pending = audioSink().pendingBlocks();
    if (pending < queuedCount) queuedCount = std::max(pending, 0);
}

int compressSpeechBlock(uint8_t* block, int bytes, int bitsPerSample, int sampleRate) {
    int n = bytes;
    if (bitsPerSample == 16) {
        // The high byte of each signed sample, made unsigned.
        n = bytes / 2;
        for (int i = 0; i < n; ++i) block[i] = static_cast<uint8_t>(block[2 * i + 1] ^ 0x80);
    }
    if (n < 1000) return n;
    // Where the first peak is looked for, and the shortest and the range of
    // pitch periods, in samples.
    int start = 800, gap = 320, width = 200;
    if (sampleRate == 11025) {
        start = 200;
        gap = 80;
        width = 50;
    }
    // The first position of the greatest sample in [from, to], inside the block.
    auto peak = [&](int from, int to) {
        to = std::min(to, n - 1);
        int best = from;
        for (int i = from + 1; i <= to; ++i)
            if (block[i] > block[best]) best = i;
        return best;
    };
    int p = peak(start, start + gap + width);
    int out = p;
    // Drop the stretch from one peak to the next, keep the following one.
    while (n - 2 * (gap + width) > p) {
        int a = peak(p + gap, p + gap + width);
        int b = peak(a + gap, a + gap + width);
        std::memmove(block + out, block + a, static_cast<size_t>(b - a + 1));
        out += b - a + 1;
        p = b;
    }
    // The rest up to the first sample near the silence level, which ends it.
    for (int i = p + 1; i < n; ++i) {
        uint8_t s = block[i];
        block[out++] = s;
        if (s >= 128 - 20 && s <= 128 + 20) break;
    }
    return out;
}

void resetWavePlayer() {
    stopPlayback();
    deviceOpen = false;
    queuedCount = 0;
    currentBlock = 0;
    currentFormat = AudioFormat{0, 0, 0};
    stopOnKey = true;
    noWait = false;
    fastPlayback = false;
    compressSpeech = false;
    maxQueuedBlocks = WAVE_BUFFER_COUNT;
}

namespace {

// The console's tones (braille mode switches) cut what plays and keep their
// pitch and length whatever the speech settings are.
void playConsoleToneImage(std::string_view image) {
    stopPlayback();
    bool compress = compressSpeech, fast = fastPlayback;
    compressSpeech = fastPlayback = false;
    playWaveImage(image);
    compressSpeech = compress;
    fastPlayback = fast;
}

[[maybe_unused]] const bool consoleTonesInstalled = (setConsoleTonePlayer(playConsoleToneImage, stopPlayback), true);

} // namespace
