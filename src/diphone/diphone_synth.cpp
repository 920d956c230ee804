// The diphone synthesizer: database start and stop, units, the recursive
// splitting of units into recorded names, and the output image.
#include "diphone/diphone_synth.h"

#include "diphone/phonetic_translator.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "sound/wave_player.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int SAMPLE_RATE = 11025;
constexpr size_t HEADER_SIZE = 44;
constexpr size_t IMAGE_SIZE = DIPHONE_IMAGE_SIZE;
constexpr size_t MAX_UNIT = 40;
constexpr size_t MAX_NAME = 12;
constexpr size_t MAX_INDEX_NAME = 8;
constexpr size_t MAX_LETTER_SAMPLES = IMAGE_SIZE - HEADER_SIZE;
constexpr int SILENCE_BLOCK = 100;
constexpr int NOISE_LENGTH = 300;
// Samples over which a recording cut short fades to silence, so that the
// cut does not click.
constexpr size_t CUT_FADE = 24;
constexpr const char* DEFAULT_BASE_NAME = "DIFONES2";

struct IndexEntry {
    std::string name; // upper case, at most 8 characters
    uint16_t length;
    uint32_t offset;
};

// Settings.
int cutLength = 400;
int minimumLength = 0;
int wordGap = 100;
std::string baseName = DEFAULT_BASE_NAME;

// What the start opened.
std::vector<IndexEntry> indexEntries;
int dataFile = -1;
std::string letterFolder; // Windows-style, ending in "\"
std::string image;        // the output image; its size is the fill position

// Working state of one speakPhonetic call.
std::string_view phonetic;
size_t position = 0; // 0-based
bool stressed = false;

DiphoneImageOutput imageOutput = nullptr;
void (*missHandler)(const std::string&) = nullptr;
// While set, lookups only record names (diphoneNamesOfUnit).
std::vector<std::string>* collectedNames = nullptr;
uint32_t noiseSeed = 12345;

bool isConsonant(char c) { return c != '\0' && std::strchr("bcdfgjklmnpqrstvxz", c) != nullptr; }
bool isVowelOrGlide(char c) { return c != '\0' && std::strchr("AEIOUaeiouwy", c) != nullptr; }
bool isGlide(char c) { return c == 'w' || c == 'y'; }
bool isNasalMark(char c) { return c == '^' || c == '~'; }
bool isStressedVowel(char c) { return c != '\0' && std::strchr("AEIOU", c) != nullptr; }

// ---- Output image ----

void flushImage() {
    if (image.size() <= HEADER_SIZE) return;
    makeWaveHeader(image.data(), SAMPLE_RATE, 8, static_cast<uint32_t>(image.size() - HEADER_SIZE), 1);
    if (imageOutput) imageOutput(image);
    image.resize(HEADER_SIZE);
}

// Makes room for `count` more samples: a full image is played first.
void reserveRoom(size_t count) {
    if (image.size() + count >= IMAGE_SIZE) flushImage();
}

// Room left in the image after reserveRoom; a recording longer than one
// image goes on in the next.
size_t roomLeft() {
    if (image.size() + 1 >= IMAGE_SIZE) flushImage();
    return IMAGE_SIZE - 1 - image.size();
}

void appendSamples(const char* samples, size_t count) {
    reserveRoom(count);
    while (count > 0) {
        size_t n = std::min(count, roomLeft());
        image.append(samples, n);
        samples += n;
        count -= n;
    }
}

// Appends `count` samples of the data file; returns how many of them the
// image holds at its end (the last part of a recording longer than an image).
size_t appendFromDataFile(int64_t offset, size_t count) {
    reserveRoom(count);
    size_t inImage = 0;
    while (count > 0) {
        size_t n = std::min(count, roomLeft());
        size_t fill = image.size();
        if (fill == HEADER_SIZE) inImage = 0;
        image.resize(fill + n);
        size_t got = readBytesAt(dataFile, offset, &image[fill], n);
        image.resize(fill + got);
        inImage += got;
        // A recording that runs past the end of the data file keeps what it has.
        if (got < n) break;
        offset += static_cast<int64_t>(n);
        count -= n;
    }
    return inImage;
}

// Fades the last `count` samples of the image (at most CUT_FADE of them):
// the end of a recording that was cut short.
void fadeCutEnd(size_t count) {
    size_t n = std::min(CUT_FADE, count);
    size_t first = image.size() - n;
    for (size_t i = 0; i < n; ++i) {
        int sample = static_cast<unsigned char>(image[first + i]) - 128;
        image[first + i] = static_cast<char>(128 + sample * static_cast<int>(n - i) / static_cast<int>(n + 1));
    }
}

void appendSilence(int samples) {
    if (collectedNames) return;
    static const std::string block(SILENCE_BLOCK, '\x80');
    for (int i = 0; i < samples / SILENCE_BLOCK; ++i) appendSamples(block.data(), block.size());
}

void appendNoise() {
    if (collectedNames) return;
    char noise[NOISE_LENGTH];
    for (char& sample : noise) {
        noiseSeed = noiseSeed * 1103515245u + 12345u;
        sample = static_cast<char>(88 + (noiseSeed >> 16) % 80);
    }
    appendSamples(noise, sizeof noise);
}

// ---- Recordings ----

const IndexEntry* findEntry(const std::string& key) {
    auto it = std::lower_bound(indexEntries.begin(), indexEntries.end(), key,
                               [](const IndexEntry& e, const std::string& k) { return e.name < k; });
    if (it != indexEntries.end() && it->name == key) return &*it;
    return nullptr;
}

bool playIndexedDiphone(const std::string& name, bool stressedName, double factor) {
    std::string key = toUpperAscii(name);
    if (collectedNames) {
        if (key.size() > MAX_INDEX_NAME) return false;
        collectedNames->push_back(key);
        return true;
    }
    const IndexEntry* entry = key.size() <= MAX_INDEX_NAME ? findEntry(key) : nullptr;
    if (!entry) {
        if (missHandler && key.size() <= MAX_INDEX_NAME) missHandler(key);
        return false;
    }
    int length = entry->length;
    if (!stressedName && key.size() > 2) {
        int t = length - cutLength;
        if (t < minimumLength) t = std::min(length, minimumLength);
        // A negative cut would run into the next recording.
        length = std::clamp(t, 0, length);
    }
    size_t count = static_cast<size_t>(factor * length);
    size_t inImage = appendFromDataFile(entry->offset, count);
    if (count < entry->length) fadeCutEnd(inImage);
    return true;
}

uint32_t readLe32(const char* p) {
    const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
    return u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<uint32_t>(u[3]) << 24);
}

bool sameTag(const char* p, const char* tag) {
    for (int i = 0; i < 4; ++i)
        if (upperAscii(p[i]) != tag[i]) return false;
    return true;
}

// Finds the data chunk of a RIFF/WAVE file: its offset and size (0 when the
// file is not laid out as expected).
void findWaveData(int file, int64_t& offset, uint32_t& size) {
    size = 0;
    char header[12];
    if (readBytesAt(file, 0, header, 12) != 12 || !sameTag(header, "RIFF")) return;
    offset = 12;
    bool first = true;
    while (true) {
        char chunk[8];
        if (readBytesAt(file, offset, chunk, 8) != 8) return;
        uint32_t chunkSize = readLe32(chunk + 4);
        offset += 8;
        if (first) {
            if (!sameTag(chunk, "FMT ")) return;
            first = false;
        } else if (sameTag(chunk, "DATA")) {
            size = chunkSize;
            return;
        }
        offset += chunkSize;
        char probe;
        if (readBytesAt(file, offset - 1, &probe, 1) != 1) return; // a short skip
    }
}

bool playLetterSound(const std::string& name) {
    if (collectedNames) {
        collectedNames->push_back(name);
        return true;
    }
    int file = openByteFileForReading(mapPath(letterFolder + name + ".wav"));
    bool played = false;
    if (file >= 0) {
        int64_t offset = 0;
        uint32_t size = 0;
        findWaveData(file, offset, size);
        // The whole data chunk, up to one image (a 16-bit size field would
        // wrap for long files and turn them into noise or fragments).
        size_t count = std::min<size_t>(size, MAX_LETTER_SAMPLES);
        if (count > 0) {
            std::string samples(count, '\x80');
            samples.resize(readBytesAt(file, offset, samples.data(), count));
            if (!samples.empty()) {
                appendSamples(samples.data(), samples.size());
                played = true;
            }
        }
        closeByteFile(file);
    }
    if (!played && missHandler) missHandler(name);
    return played;
}

void playDiphone(std::string name, bool stressedName, double factor) {
    if (name.size() > MAX_NAME) name.resize(MAX_NAME);
    bool ok = name[0] == '_' ? playLetterSound(name) : playIndexedDiphone(name, stressedName, factor);
    size_t n = name.size();
    if (!ok && n <= 2) return appendNoise();
    if (ok) return;
    char last = name.back();
    auto endsWith = [&](std::string_view tail) {
        return n >= tail.size() && std::string_view(name).substr(n - tail.size()) == tail;
    };
    if (isVowelOrGlide(last)) {
        playDiphone(name.substr(0, n - 1), stressedName, 0.9 * factor);
        playDiphone(std::string("$") + last, stressedName, factor);
    } else if (endsWith("CIRC") && n >= 7) {
        playDiphone(name.substr(0, n - 5), stressedName, 0.9 * factor);
        playDiphone("$" + name.substr(n - 5), stressedName, factor);
    } else if (endsWith("TIL")) {
        std::string base = name.substr(0, n - 3);
        char vowel = upperAscii(base.back());
        if (vowel == 'I' || vowel == 'U') playDiphone(base, stressedName, 0.9 * factor);
        else playDiphone(base + "CIRC", true, 0.9 * factor);
        playDiphone("$nn", false, 0.9);
    }
}

void playPhoneSequence(std::string_view s, double factor) {
    s = s.substr(0, MAX_NAME);
    if (s.empty()) return;
    if (s[0] == '_') {
        // A lone "_" at the very end of the text names no character.
        if (s.size() >= 2) playDiphone("_" + decimal(static_cast<unsigned char>(s[1])), stressed, factor);
        return;
    }
    std::string name = "$";
    bool turnedOn = false;
    for (char c : s) {
        if (isStressedVowel(c) && !stressed) {
            stressed = true;
            turnedOn = true;
        }
        if (c == '^') {
            playDiphone(name + "CIRC", stressed, factor);
            name = "$";
        } else if (c == '~') {
            playDiphone(name + "TIL", stressed, factor);
            name = "$";
        } else if (name.size() < MAX_NAME) {
            name += c;
        }
    }
    if (name != "$") playDiphone(name, stressed, factor);
    if (turnedOn) stressed = false;
}

void playPhoneticUnit(std::string_view u, double factor) {
    size_t n = u.size();
    if (n == 0) return;
    if (n == 1) return playPhoneSequence(u, factor);
    char lastChar = u[n - 1], beforeLast = u[n - 2];
    if (n > 2) {
        std::string_view pair = u.substr(0, 2);
        if (isConsonant(u[0]) && isConsonant(u[1]) && pair != "dj" && pair != "nh" && pair != "rr" &&
            pair != "ks" && u.substr(0, 3) != "tch") {
            playPhoneSequence(u.substr(0, 1), 1.0);
            return playPhoneticUnit(u.substr(1), factor);
        }
        if (u.substr(n - 2) == "rr") {
            playPhoneticUnit(u.substr(0, n - 2), factor);
            return playPhoneSequence("rr", factor);
        }
        if (isConsonant(lastChar)) {
            playPhoneticUnit(u.substr(0, n - 1), factor);
            return playPhoneticUnit(u.substr(n - 1), factor);
        }
    }
    if (isGlide(lastChar)) {
        if (isVowelOrGlide(beforeLast) && n > 2) {
            playPhoneticUnit(u.substr(0, n - 1), 0.6);
            return playPhoneSequence(u.substr(n - 2), factor);
        }
        if (isNasalMark(beforeLast) && n >= 3) {
            if (n > 3) {
                if (beforeLast == '~') playPhoneticUnit(std::string(u.substr(0, n - 2)) + "^", 0.6);
                else playPhoneticUnit(u.substr(0, n - 1), 0.6);
            }
            // The glide goes before the mark: "aw~" names $AWTIL.
            std::string sequence{u[n - 3], lastChar, beforeLast};
            return playPhoneSequence(sequence, factor);
        }
    }
    if (u != "_s" && lastChar == 's') {
        playPhoneticUnit(u.substr(0, n - 1), 0.7);
        return playPhoneSequence("s", factor);
    }
    playPhoneSequence(u, factor);
}

// Reads the next unit from `position`; a unit of punctuation adds its pause.
std::string nextPhoneticUnit() {
    if (phonetic[position] == '[') {
        stressed = false;
        ++position;
    }
    std::string unit;
    while (position < phonetic.size()) {
        char c = phonetic[position];
        if (c == ' ' || c == ']') break;
        if (c == '/') {
            if (unit.size() > 8) break;
            ++position;
            continue;
        }
        ++position;
        if (c == '_' && position < phonetic.size()) {
            if (unit.size() + 2 <= MAX_UNIT) {
                unit += '_';
                unit += phonetic[position];
            }
            ++position;
        } else if (unit.size() < MAX_UNIT) {
            unit += c;
        }
    }
    if (position < phonetic.size()) ++position; // the blank, "]" or "/" that ended it
    if (unit.size() == 2 && unit[0] == '_') {
        switch (unit[1]) {
        case ',': unit.clear(); appendSilence(4000); break;
        case '.': case ':': unit.clear(); appendSilence(8000); break;
        case ';': unit.clear(); appendSilence(6000); break;
        default: break;
        }
    }
    return unit;
}

void closeDatabase() {
    indexEntries.clear();
    indexEntries.shrink_to_fit();
    closeByteFile(dataFile);
    dataFile = -1;
}

// Maps a configured directory; empty when it does not exist.
std::string configuredDirectory(std::string_view key, const char* fallback) {
    std::string dir = readProfileString(homeFile("FALARIS.INI"), "TRADUTOR", key, 80);
    if (dir.empty()) dir = fallback;
    return directoryExists(mapPath(dir)) ? withTrailingSeparator(dir) : std::string();
}

} // namespace

int parseDiphoneIndex(std::string_view bytes) {
    indexEntries.clear();
    size_t count = bytes.size() / DIPHONE_INDEX_RECORD;
    indexEntries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const char* record = bytes.data() + i * DIPHONE_INDEX_RECORD;
        // A length past 8 is damage: the name field holds 8 characters.
        size_t nameLength = std::min<size_t>(static_cast<unsigned char>(record[0]), MAX_INDEX_NAME);
        const unsigned char* u = reinterpret_cast<const unsigned char*>(record);
        IndexEntry entry;
        entry.name.assign(record + 1, nameLength);
        entry.length = static_cast<uint16_t>(u[9] | (u[10] << 8));
        entry.offset = readLe32(record + 11);
        indexEntries.push_back(std::move(entry));
    }
    return static_cast<int>(indexEntries.size());
}

int startDiphoneSynth() {
    stopDiphoneSynth();
    letterFolder = configuredDirectory("DIRLETRAS", "c:\\talora\\som\\letras");
    std::string diphoneDirectory = configuredDirectory("DIRDIFONES", "c:\\talora\\som\\difones");
    if (letterFolder.empty() || diphoneDirectory.empty()) return DIPHONE_NO_DATABASE;
    std::string indexBytes;
    if (!readWholeFile(mapPath(diphoneDirectory + baseName + ".IND"), indexBytes)) return DIPHONE_NO_DATABASE;
    // An index without a single entry is no database at all.
    if (parseDiphoneIndex(indexBytes) == 0) return DIPHONE_NO_DATABASE;
    dataFile = openByteFileForReading(mapPath(diphoneDirectory + baseName + ".DIF"));
    if (dataFile < 0) {
        closeDatabase();
        return DIPHONE_NO_DATABASE;
    }
    if (!loadPhoneticRules(mapPath(diphoneDirectory + "regras.rgr")) ||
        !loadPhoneticExceptions(mapPath(diphoneDirectory + "portug.exc")))
        return DIPHONE_NO_RULES;
    image.reserve(IMAGE_SIZE);
    image.assign(HEADER_SIZE, '\0');
    return DIPHONE_READY;
}

void stopDiphoneSynth() {
    image.clear();
    image.shrink_to_fit();
    releasePhoneticRules();
    closeDatabase();
}

void setDiphoneParameters(int cut, int minimum, int gap) {
    cutLength = cut;
    minimumLength = minimum;
    wordGap = gap;
}

void setDiphoneBaseName(std::string_view name) {
    baseName = name.empty() ? DEFAULT_BASE_NAME : std::string(name.substr(0, 8));
}

const std::string& diphoneBaseName() { return baseName; }

void setDiphoneImageOutput(DiphoneImageOutput output) { imageOutput = output; }

void setDiphoneMissHandler(void (*report)(const std::string& name)) { missHandler = report; }

void speakPhonetic(std::string_view text) {
    if (image.size() < HEADER_SIZE) return; // not started
    image.resize(HEADER_SIZE);
    phonetic = text;
    position = 0;
    stressed = false;
    while (position < phonetic.size()) {
        std::string unit = nextPhoneticUnit();
        playPhoneticUnit(unit, 1.0);
        if (position < phonetic.size() && phonetic[position - 1] != ' ') appendSilence(wordGap);
    }
    flushImage();
    phonetic = {};
}

std::vector<std::string> diphoneNamesOfUnit(std::string_view unit) {
    std::vector<std::string> names;
    collectedNames = &names;
    bool savedStress = stressed;
    stressed = false;
    playPhoneticUnit(unit, 1.0);
    stressed = savedStress;
    collectedNames = nullptr;
    return names;
}
