// Media control command strings over the wave player and external players.
#include "sound/mci.h"

#include "console/console.h"
#include "platform/audio_sink.h"
#include "platform/exit.h"
#include "platform/files.h"
#include "platform/media_player.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "sound/wave_player.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int WAIT_POLL_MS = 10;

struct MediaDevice {
    std::string name;  // the alias, or the file name as the command gave it
    std::string path;  // POSIX path of the file
    bool wave = false;
    bool playing = false;
    // WAV files: the format and where the samples are; how much is queued.
    int rate = 0, bits = 0, channels = 0;
    int64_t dataStart = 0;
    uint32_t dataSize = 0;
    uint32_t fed = 0;
    int file = -1;
    // Other media: the external player.
    std::string player;
    ChildProcess child;
};

std::vector<MediaDevice> devices;
bool exitHookAdded = false;
bool feedingNow = false;  // the feeder runs inside message processing; no re-entry
uint8_t feedBuffer[WAVE_BLOCK_BYTES];

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
int le16(const uint8_t* p) { return p[0] | p[1] << 8; }

bool sameTag(const uint8_t* p, const char* tag) {
    for (int i = 0; i < 4; ++i)
        if (upperAscii(static_cast<char>(p[i])) != tag[i]) return false;
    return true;
}

// Reads the layout of a PCM WAV file the wave player can play: "RIFF", the
// fmt chunk first, then chunks up to "data". False for anything else.
bool readWaveLayout(MediaDevice& d) {
    int file = openByteFileForReading(d.path);
    if (file < 0) return false;
    uint8_t header[12], fmt[16];
    bool ok = readBytesAt(file, 0, reinterpret_cast<char*>(header), 12) == 12 && sameTag(header, "RIFF") &&
              readBytesAt(file, 12, reinterpret_cast<char*>(header), 8) == 8 && sameTag(header, "FMT ") &&
              le32(header + 4) >= 16 && readBytesAt(file, 20, reinterpret_cast<char*>(fmt), 16) == 16;
    if (ok) {
        d.channels = le16(fmt + 2);
        d.rate = static_cast<int>(std::min<uint32_t>(le32(fmt + 4), 1000000));
        d.bits = le16(fmt + 14);
        ok = le16(fmt) == 1 && (d.bits == 8 || d.bits == 16) && (d.channels == 1 || d.channels == 2) && d.rate > 0;
    }
    uint32_t size = ok ? le32(header + 4) : 0;
    int64_t offset = 20 + static_cast<int64_t>(size);
    bool found = false;
    while (ok && !found && readBytesAt(file, offset, reinterpret_cast<char*>(header), 8) == 8) {
        // After a body of odd length some writers put a pad byte, others not.
        if ((size & 1) && header[0] == 0 && readBytesAt(file, ++offset, reinterpret_cast<char*>(header), 8) != 8) break;
        size = le32(header + 4);
        offset += 8;
        if (sameTag(header, "DATA")) {
            d.dataStart = offset;
            d.dataSize = size;
            found = true;
        }
        offset += size;
    }
    int64_t fileBytes = 0;
    if (found && fileSize(d.path, fileBytes))
        d.dataSize = static_cast<uint32_t>(std::clamp<int64_t>(fileBytes - d.dataStart, 0, d.dataSize));
    closeByteFile(file);
    return found;
}

MediaDevice* findDevice(std::string_view name) {
    for (MediaDevice& d : devices)
        if (sameNameIgnoringCase(d.name, name)) return &d;
    return nullptr;
}

MediaDevice* feedingDevice() {
    for (MediaDevice& d : devices)
        if (d.wave && d.playing) return &d;
    return nullptr;
}

void stopExternalPlayers() {
    for (MediaDevice& d : devices)
        if (!d.wave) stopMediaPlayer(d.child);
}

void progressHandler();

// Ends background playback: the player stops and nothing more is fed.
void endWave(MediaDevice& d) {
    d.playing = false;
    closeByteFile(d.file);
    d.file = -1;
    setAudioProgressHandler(onWaveBlockDone);
    // Only now: stopping processes messages, which would feed the rest.
    stopPlayback();
}

// Queues what fits of the background WAV; called from every processing of
// messages while one plays, and by the commands.
void feedPlayer() {
    MediaDevice* d = feedingDevice();
    if (!d || feedingNow) return;
    feedingNow = true;
    if (stopOnKey && keyAvailable()) {
        // A key silences every sound of ours.
        endWave(*d);
        feedingNow = false;
        return;
    }
    size_t frame = static_cast<size_t>(d->bits / 8 * d->channels);
    size_t longest = WAVE_BLOCK_BYTES - WAVE_BLOCK_BYTES % frame;
    int limit = std::clamp(maxQueuedBlocks, 1, WAVE_BUFFER_COUNT);
    while (d->playing && d->fed < d->dataSize && audioSink().pendingBlocks() < limit) {
        size_t n = std::min<size_t>(d->dataSize - d->fed, longest);
        size_t got = readBytesAt(d->file, d->dataStart + d->fed, reinterpret_cast<char*>(feedBuffer), n);
        if (got == 0) {
            d->dataSize = d->fed;  // the file became shorter
            break;
        }
        d->fed += static_cast<uint32_t>(got);
        if (playPcm(feedBuffer, got, d->rate, d->channels, d->bits) != 0) endWave(*d);
    }
    if (d->playing && d->fed >= d->dataSize && audioSink().pendingBlocks() == 0) {
        endWave(*d);
    } else if (d->playing) {
        // Opening the sink gives the player its own handler back.
        setAudioProgressHandler(progressHandler);
    }
    feedingNow = false;
}

void progressHandler() {
    onWaveBlockDone();
    feedPlayer();
}

bool isPlayingNow(MediaDevice& d) {
    if (d.wave) {
        feedPlayer();
        return d.playing;
    }
    d.playing = mediaPlayerRunning(d.child);
    return d.playing;
}

void stopDevice(MediaDevice& d) {
    if (d.wave) {
        if (d.playing) endWave(d);
    } else {
        stopMediaPlayer(d.child);
        d.playing = false;
    }
}

int startDevice(MediaDevice& d) {
    if (isPlayingNow(d)) return MCI_OK;
    if (d.wave) {
        // The player plays one stream: a new one replaces the old.
        mciReleasePlayer();
        d.file = openByteFileForReading(d.path);
        if (d.file < 0) return MCIERR_FILE_NOT_FOUND;
        d.fed = 0;
        d.playing = true;
        feedPlayer();
        return MCI_OK;
    }
    int error = startMediaPlayer(d.player, d.path, d.child);
    if (error != 0) return MCIERR_CANNOT_LOAD_DRIVER;
    d.playing = true;
    return MCI_OK;
}

// Opens `file` (a script path) as the device `name`.
int openDevice(const std::string& file, const std::string& name) {
    if (findDevice(name)) return MCIERR_DUPLICATE_ALIAS;
    if (static_cast<int>(devices.size()) >= MCI_MAX_DEVICES) return MCIERR_OUT_OF_MEMORY;
    MediaDevice d;
    d.name = name;
    d.path = mapPath(file);
    if (d.path.empty() || !fileExists(d.path)) return MCIERR_FILE_NOT_FOUND;
    d.wave = readWaveLayout(d);
    if (!d.wave) {
        d.player = findMediaPlayer();
        if (d.player.empty()) return MCIERR_CANNOT_LOAD_DRIVER;
        if (!exitHookAdded) {
            // Players we started do not outlive the program.
            addExitHook(stopExternalPlayers);
            exitHookAdded = true;
        }
    }
    devices.push_back(std::move(d));
    return MCI_OK;
}

void closeDevice(MediaDevice& d) {
    stopDevice(d);
    devices.erase(devices.begin() + (&d - devices.data()));
}

struct Token {
    std::string text;
    bool quoted = false;
};

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (true) {
        while (i < s.size() && isBlankChar(s[i])) ++i;
        if (i >= s.size()) break;
        Token t;
        if (s[i] == '"') {
            size_t end = s.find('"', i + 1);
            if (end == std::string_view::npos) end = s.size();
            t.text = std::string(s.substr(i + 1, end - i - 1));
            t.quoted = true;
            i = end + 1;
        } else {
            size_t end = i;
            while (end < s.size() && !isBlankChar(s[end])) ++end;
            t.text = std::string(s.substr(i, end - i));
            i = end;
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

bool keywordIs(const Token& t, const char* word) { return !t.quoted && equalsUpperLatin(t.text, word); }

int commandOpen(const std::vector<Token>& t) {
    if (t.size() < 2) return MCIERR_MISSING_PARAMETER;
    std::string name = t[1].text;
    for (size_t i = 2; i < t.size(); ++i) {
        if ((keywordIs(t[i], "ALIAS") || keywordIs(t[i], "TYPE")) && i + 1 < t.size()) {
            if (keywordIs(t[i], "ALIAS")) name = t[i + 1].text;
            ++i;
        } else if (!keywordIs(t[i], "WAIT") && !keywordIs(t[i], "NOTIFY") && !keywordIs(t[i], "SHAREABLE")) {
            return MCIERR_UNRECOGNIZED_KEYWORD;
        }
    }
    return openDevice(t[1].text, name);
}

int commandPlay(const std::vector<Token>& t, std::string_view arguments) {
    if (t.size() < 2) return MCIERR_MISSING_PARAMETER;
    std::string name = t[1].text;
    size_t flagsFrom = 2;
    MediaDevice* d = findDevice(name);
    if (!d && !t[1].quoted && !fileExists(mapPath(name))) {
        // "play" with a bare file name that holds blanks.
        std::string whole = trim(arguments);
        if (fileExists(mapPath(whole))) {
            name = whole;
            flagsFrom = t.size();
        }
    }
    bool wait = false;
    for (size_t i = flagsFrom; i < t.size(); ++i) {
        if (keywordIs(t[i], "WAIT")) wait = true;
        else if (!keywordIs(t[i], "NOTIFY")) return MCIERR_UNRECOGNIZED_KEYWORD;
    }
    if (!d) {
        // A file played by its name is opened under that name.
        int error = openDevice(name, name);
        if (error != MCI_OK) return error;
        d = findDevice(name);
    }
    int error = startDevice(*d);
    if (error != MCI_OK || !wait) return error;
    std::string deviceName = d->name;
    while (true) {
        // The device may be closed meanwhile; look it up again each time.
        MediaDevice* now = findDevice(deviceName);
        if (!now || !isPlayingNow(*now)) break;
        if (keyAvailable()) {
            stopDevice(*now);
            break;
        }
        waitForMessage(WAIT_POLL_MS);
    }
    return MCI_OK;
}

int commandStatus(const std::vector<Token>& t, std::string& reply) {
    if (t.size() < 3) return MCIERR_MISSING_PARAMETER;
    MediaDevice* d = findDevice(t[1].text);
    if (!d) return MCIERR_INVALID_DEVICE_NAME;
    if (keywordIs(t[2], "MODE")) reply = isPlayingNow(*d) ? "playing" : "stopped";
    else if (keywordIs(t[2], "READY")) reply = "true";
    else return MCIERR_UNRECOGNIZED_KEYWORD;
    return MCI_OK;
}

} // namespace

int mciSendString(std::string_view command, std::string& reply) {
    reply.clear();
    std::vector<Token> t = tokenize(command);
    if (t.empty()) return MCIERR_UNRECOGNIZED_COMMAND;
    int result = MCIERR_UNRECOGNIZED_COMMAND;
    const Token& verb = t[0];
    if (keywordIs(verb, "OPEN")) {
        result = commandOpen(t);
    } else if (keywordIs(verb, "PLAY")) {
        std::string_view rest = trimView(command);
        result = commandPlay(t, rest.substr(std::min(rest.size(), verb.text.size())));
    } else if (keywordIs(verb, "STATUS")) {
        result = commandStatus(t, reply);
    } else if (keywordIs(verb, "STOP") || keywordIs(verb, "CLOSE")) {
        bool close = keywordIs(verb, "CLOSE");
        if (t.size() < 2) {
            result = MCIERR_MISSING_PARAMETER;
        } else if (close && keywordIs(t[1], "ALL")) {
            mciCloseAll();
            result = MCI_OK;
        } else if (MediaDevice* d = findDevice(t[1].text)) {
            if (close) closeDevice(*d);
            else stopDevice(*d);
            result = MCI_OK;
        } else {
            result = MCIERR_INVALID_DEVICE_NAME;
        }
    }
    if (reply.size() > MCI_REPLY_CAPACITY - 1) reply.resize(MCI_REPLY_CAPACITY - 1);
    return result;
}

void mciReleasePlayer() {
    if (MediaDevice* d = feedingDevice()) stopDevice(*d);
}

bool mciFeedsPlayer() { return feedingDevice() != nullptr; }

void mciCloseAll() {
    while (!devices.empty()) closeDevice(devices.back());
}
