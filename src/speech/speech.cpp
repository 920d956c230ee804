// The speech facade: speed profiles, the start of the diphone voice, texts
// cut into pieces (numbers, letter runs, symbols), recorded sounds, the
// click and error tones, and the waits that keep keys flowing.
#include "speech/speech.h"

#include "console/console.h"
#include "diphone/diphone_synth.h"
#include "diphone/phonetic_translator.h"
#include "platform/audio_sink.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "sound/mci.h"
#include "sound/wave_player.h"
#include "speech/config.h"
#include "speech/speech_server.h"
#include "speech/spoken_numbers.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

bool echoTyping = true;
bool firstKeyClears = true;

namespace {

constexpr int DEFAULT_SPEED = 3;
constexpr int SLOW_RATE = 11025;
// How long a wait for sound blocks before looking again; input ends it early.
constexpr int SOUND_POLL_MS = 10;
// The tone generator's rate: high enough for every frequency ALARME accepts.
constexpr int TONE_RATE = 44100;
constexpr int TONE_FADE_SAMPLES = 220;  // 5 ms in and out, so the tone does not click

// The nine [SINTETIZADOR] keys of one speed.
struct SpeedProfile {
    std::string database;
    int cutLength = 0, minimumLength = 0, wordGap = 0;
    bool compress = false, fast = false;
    int pauseFullStop = 250, pauseComma = 150, pauseColon = 200;
};

int speed = DEFAULT_SPEED;
SpeedProfile profile;
std::string letterDir;
std::string programSoundDir;
bool serverOn = false;
int serverKind = 4;
bool utterancePending = true;
bool stopped = false;

// The script path of a recorded sound.
std::string soundPath(std::string_view name) {
    const std::string& dir = (!name.empty() && name[0] == '_') ? letterDir : programSoundDir;
    return dir + std::string(name) + ".wav";
}

int strictOr(std::string_view text, int fallback) {
    int32_t v;
    return convertInteger(text, v) ? v : fallback;
}

SpeedProfile readSpeedProfile(int n) {
    std::string suffix = decimal(n);
    auto key = [&](const char* name) { return readConfig("SINTETIZADOR", name + suffix); };
    SpeedProfile p;
    p.database = key("DIFONES").substr(0, 8);
    p.cutLength = convertIntegerLenient(key("CORTEFON"));
    p.minimumLength = strictOr(key("SOBRAFON"), 0);
    p.wordGap = strictOr(key("INTERPAL"), 0);
    p.compress = configYes(key("CORTAFALA"));
    p.fast = configYes(key("RAPIDINHO"));
    p.pauseFullStop = strictOr(key("PAUSAPONTO"), 250);
    p.pauseComma = strictOr(key("PAUSAVIRG"), 150);
    p.pauseColon = strictOr(key("PAUSADOISPONTOS"), 200);
    return p;
}

void applySpeedProfile() {
    profile = readSpeedProfile(speed);
    setDiphoneBaseName(profile.database);
    setDiphoneParameters(profile.cutLength, profile.minimumLength, profile.wordGap);
    compressSpeech = profile.compress;
    fastPlayback = profile.fast;
}

// Everything the facade plays waits for a pending utterance first and takes
// the player over from background media.
void beforeSound() {
    mciReleasePlayer();
    waitSoundEnd();
}

// An 8-bit mono 11 025 Hz image of `samples`.
std::string slowImage(const std::string& samples) {
    std::string image(44, '\0');
    makeWaveHeader(image.data(), SLOW_RATE, 8, static_cast<uint32_t>(samples.size()), 1);
    return image + samples;
}

// 256 samples: 64 random ones just above the silence level, then silence.
const std::string& clickImage() {
    static const std::string image = [] {
        std::minstd_rand random(std::random_device{}());
        std::uniform_int_distribution<int> r(0, 59);
        std::string samples(256, '\x80');
        for (int i = 0; i < 64; ++i) samples[i] = static_cast<char>(128 + r(random));
        return slowImage(samples);
    }();
    return image;
}

// 512 samples of a falling and rising saw pattern, ending on silence.
const std::string& errorToneImage() {
    static const std::string image = [] {
        static const unsigned char PATTERN[8] = {128, 112, 96, 80, 64, 80, 96, 112};
        std::string samples(512, '\0');
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<char>(PATTERN[i % 8]);
        samples.back() = '\x80';
        return slowImage(samples);
    }();
    return image;
}

bool isLetterRunChar(char c) {
    return c == ' ' || isAsciiLetter(c) || static_cast<unsigned char>(c) >= 128;
}

// The pause after a punctuation mark; `rest` starts at the mark.
void punctuationPause(std::string_view rest) {
    if (keyAvailable()) return;
    waitWhileSoundBusy();
    char p = rest[0];
    char next = rest.size() > 1 ? rest[1] : ' ';
    speakChar(static_cast<unsigned char>(p));
    if (p == '(' || p == ')' || p == ':' || p == ';') pauseMs(profile.pauseColon);
    else if ((p == ',' || p == '-') && next == ' ') pauseMs(profile.pauseComma);
    else if (p == '.' && next == ' ') pauseMs(profile.pauseFullStop);
}

} // namespace

void initSpeech(int requested, std::string_view soundDirectory) {
    speed = requested;
    if (speed <= 0) speed = convertIntegerLenient(readConfig("TRADUTOR", "VELOCIDADE"));
    if (speed <= 0 || speed > 5) speed = DEFAULT_SPEED;
    applySpeedProfile();
    setDiphoneImageOutput(playWaveBuffer);
    int code = startDiphoneSynth();
    if (code != DIPHONE_READY) {
        writeStandardOutput("Erro de inicializa\xE7\xE3o: " + decimal(code) + "\r\n");
        writeStandardOutput("Banco de dados de voz: " + diphoneBaseName() + "\r\n");
        stopDiphoneSynth();
        readStandardInputLine();
        closeConsole();
    }
    programSoundDir = withTrailingSeparator(std::string(soundDirectory));
    std::string letters = readConfigDirect("TRADUTOR", "DIRLETRAS");
    if (letters.empty()) letters = "c:\\talora\\som\\letras\\";
    letterDir = withTrailingSeparator(letters);

    serverOn = false;
    if (configYes(readConfig("TRADUTOR", "SAPI"))) {
        int voice = convertIntegerLenient(readConfig("SERVFALA", "VOZ"));
        int rate = convertIntegerLenient(readConfig("SERVFALA", "VELOCIDADE"));
        int pitch = convertIntegerLenient(readConfig("SERVFALA", "TOM"));
        int kind = convertIntegerLenient(readConfig("SERVFALA", "TIPOSAPI"));
        if (kind != 4 && rate > 10) rate = 0;
        serverOn = speechServerOpen(voice, rate, pitch, "", kind);
        serverKind = kind;
    }
}

void closeSpeech() {
    waitWhileSoundBusy();
    stopSound();
    if (serverOn) {
        speechServerClose();
        serverOn = false;
    }
    stopDiphoneSynth();
}

int speechSpeed() { return speed; }
bool speechServerActive() { return serverOn; }
const std::string& letterDirectory() { return letterDir; }
const std::string& programSoundDirectory() { return programSoundDir; }

void speakText(std::string_view input) {
    if (serverOn) {
        waitWhileSoundBusy();
        if (!keyAvailable()) {
            speechServerSpeak(input);
            utterancePending = true;
        }
        return;
    }
    std::string text(input);
    text += ' ';
    std::string_view rest = text;
    // The symbol whose run is being said and how many copies came before it.
    // Only consecutive copies form a run: a zero, number or letter run (which
    // takes the spaces) in between ends it.
    constexpr int NO_RUN = -1;
    int last = NO_RUN;
    int repeats = 0;
    stopped = false;
    while (!stopped && !rest.empty()) {
        if (keyAvailable()) {
            stopSound();
            break;
        }
        while (!rest.empty() && rest[0] == '0') {
            playSound("_zero");
            rest.remove_prefix(1);
            last = NO_RUN;
        }
        if (rest.empty()) break;
        char c = rest[0];
        if (c >= '1' && c <= '9') {
            last = NO_RUN;
            size_t n = 0;
            while (n < rest.size() && (isDigitChar(rest[n]) || rest[n] == '-')) ++n;
            std::string_view run = rest.substr(0, n);
            if (run.find('-') != std::string_view::npos || n >= 7) {
                spellText(run);
            } else {
                int32_t value = 0;
                convertInteger(run, value);
                speakNumberWords(numberToWords(value), false);
            }
            rest.remove_prefix(n);
        } else if (isLetterRunChar(c)) {
            last = NO_RUN;
            size_t n = 0;
            while (n < rest.size() && isLetterRunChar(rest[n])) ++n;
            std::string_view run = rest.substr(0, n);
            if (toUpperLatin(run) == "WWW") spellText(run);
            else speakPhonetic(translateToPhonetic(run));
            rest.remove_prefix(n);
            // A hyphen joining two words is not said.
            if (rest.size() >= 2 && rest[0] == '-' && (isAsciiLetter(rest[1]) || static_cast<unsigned char>(rest[1]) >= 128))
                rest.remove_prefix(1);
        } else {
            // Of a run of one symbol the first four are said, the others click.
            if (static_cast<unsigned char>(c) == last) {
                if (++repeats > 3) {
                    clickSound();
                    c = ' ';
                }
            } else {
                last = static_cast<unsigned char>(c);
                repeats = 0;
            }
            if (rest[0] == '-') {
                char d = rest.size() <= 2 ? ' ' : rest[1];
                if (d == ' ' || d == '-') punctuationPause(rest);
                else if (isDigitChar(d)) playSound("_MENOS");
                else speakChar('-');
            } else if (rest.starts_with("://")) {
                speakChar(':');
            } else if (c == '(' || c == ')' || c == ',' || c == '.' || c == ':' || c == ';') {
                punctuationPause(rest);
            } else if (c != ' ' && c != '\t' && !keyAvailable()) {
                speakChar(static_cast<unsigned char>(c));
            }
            rest.remove_prefix(1);
        }
    }
}

void writeSpeak(std::string_view text) {
    writeStandardOutput(text);
    speakText(text);
}

void writeLineSpeak(std::string_view text) {
    writeSpeak(text);
    writeStandardOutput("\r\n");
}

void writeNumberSpeak(long value) { writeSpeak(decimal(value)); }

void spellText(std::string_view text) {
    for (char c : text) {
        if (keyAvailable()) break;
        speakChar(static_cast<unsigned char>(c));
    }
}

void speakChar(unsigned char c) { playSound("_" + decimal(c)); }

void playSound(std::string_view name) {
    beforeSound();
    playWaveFile(soundPath(name));
}

bool soundExists(std::string_view name) { return fileExists(mapPath(soundPath(name))); }

bool soundBusy() {
    if (keyAvailable()) {
        stopSound();
        return false;
    }
    // Media playing on in the background is not a sound anyone waits for.
    bool playing = mciFeedsPlayer() ? false : isPlaying();
    return playing || (serverOn && speechServerBusy(0));
}

void waitWhileSoundBusy() {
    while (soundBusy()) waitForMessage(SOUND_POLL_MS);
}

void waitSoundEnd() {
    if (!utterancePending) return;
    waitWhileSoundBusy();
    utterancePending = false;
}

void stopSound() {
    stopPlayback();
    mciReleasePlayer();
    stopped = true;
    if (serverOn && (speechServerBusy(0) || serverKind == 3)) speechServerStop();
}

void clickSound() {
    beforeSound();
    bool compress = compressSpeech;
    compressSpeech = false;
    playWaveImage(clickImage());
    waitWhileSoundBusy();
    compressSpeech = compress;
}

void errorBeep() {
    beforeSound();
    discardKeys();
    playWaveImage(errorToneImage());
    waitWhileSoundBusy();
}

unsigned char readKeyEcho() {
    unsigned char k = readKey();
    stopSound();
    speakChar(k);
    return k;
}

void playWaveBuffer(const std::string& waveImage) {
    beforeSound();
    playWaveImage(waveImage);
    waitWhileSoundBusy();
}

void playTone(int frequency, int ms) {
    if (ms <= 0) return;
    size_t count = static_cast<size_t>(static_cast<int64_t>(ms) * TONE_RATE / 1000);
    std::string samples(count, '\x80');
    if (frequency > 0) {
        const double step = 2 * std::numbers::pi * frequency / TONE_RATE;
        for (size_t i = 0; i < count; ++i) {
            size_t edge = std::min(i, count - 1 - i);
            double gain = edge < TONE_FADE_SAMPLES ? static_cast<double>(edge) / TONE_FADE_SAMPLES : 1.0;
            samples[i] = static_cast<char>(128 + std::lround(90 * gain * std::sin(step * static_cast<double>(i))));
        }
    }
    std::string image(44, '\0');
    makeWaveHeader(image.data(), TONE_RATE, 8, static_cast<uint32_t>(count), 1);
    image += samples;
    // A tone keeps its length and pitch whatever the speed profile does to speech.
    bool compress = compressSpeech, fast = fastPlayback;
    compressSpeech = fastPlayback = false;
    playWaveBuffer(image);
    compressSpeech = compress;
    fastPlayback = fast;
}

void pauseMs(int ms) {
    int steps = ms / 50;
    AudioSink& sink = audioSink();
    if (!sink.playsInRealTime()) {
        // Nobody hears this sink as it plays: the pause passes on its clock
        // at once, as silence in a capture.
        if (steps > 0 && !keyAvailable()) sink.addSilence(steps * 50);
        return;
    }
    for (int i = 0; i < steps; ++i)
        if (!keyAvailable()) waitMs(50);
}
