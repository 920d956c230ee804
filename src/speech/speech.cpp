// The speech facade. The voice itself (synthesizer, recorded words, wave
// player) is not connected yet: texts are written to the console and their
// sound is silent, while keys, waits and sound lookups already behave as the
// facade's callers expect.
#include "speech/speech.h"

#include "console/console.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "speech/config.h"

#include <sys/stat.h>

bool echoTyping = true;
bool firstKeyClears = true;

namespace {

int speed = 3;
std::string letterDir;
std::string programSoundDir;
bool stopped = false;

std::string withBackslash(std::string dir) {
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
    return dir;
}

std::string soundPath(std::string_view name) {
    std::string dir = (!name.empty() && name[0] == '_') ? letterDir : programSoundDir;
    return mapPath(dir + std::string(name) + ".wav");
}

} // namespace

void initSpeech(int requested, std::string_view soundDirectory) {
    speed = requested;
    if (speed <= 0) speed = convertIntegerLenient(readConfig("TRADUTOR", "VELOCIDADE"));
    if (speed <= 0 || speed > 5) speed = 3;
    programSoundDir = withBackslash(std::string(soundDirectory));
    std::string letters = readConfigDirect("TRADUTOR", "DIRLETRAS");
    if (letters.empty()) letters = "c:\\talora\\som\\letras\\";
    letterDir = withBackslash(letters);
}

void closeSpeech() { stopSound(); }
int speechSpeed() { return speed; }
const std::string& letterDirectory() { return letterDir; }
const std::string& programSoundDirectory() { return programSoundDir; }

void speakText(std::string_view text) {
    (void)text;
    stopped = false;
    if (keyAvailable()) stopSound();
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
    waitSoundEnd();
    (void)name;
}

bool soundExists(std::string_view name) {
    struct stat st {};
    return stat(soundPath(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool soundBusy() {
    if (keyAvailable()) {
        stopSound();
        return false;
    }
    return false;
}

void waitWhileSoundBusy() {
    while (soundBusy()) waitForMessage(10);
}

void waitSoundEnd() {}

void stopSound() { stopped = true; }

void clickSound() { waitSoundEnd(); }

void errorBeep() {
    waitSoundEnd();
    discardKeys();
}

unsigned char readKeyEcho() {
    unsigned char k = readKey();
    stopSound();
    speakChar(k);
    return k;
}

void playWaveBuffer(const std::string& waveImage) {
    (void)waveImage;
    waitSoundEnd();
}

void pauseMs(int ms) {
    for (int i = 0; i < ms / 50; ++i)
        if (!keyAvailable()) waitMs(50);
}
