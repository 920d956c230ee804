// eSpeak NG in process as a speech server: the engine, its Portuguese voice
// list, the synthesis callback that feeds the wave player or the output file.
#include "speech/espeak_voice.h"

#include "console/console.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "sound/mci.h"
#include "sound/wave_player.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <vector>

namespace {

// The length of sound handed over per callback: a block of the wave player.
constexpr int BLOCK_MS = 100;
constexpr int NORMAL_PITCH = 50;
// Longer texts are cut here, as the text buffer of the interface it stands
// in for held at most this many characters.
constexpr size_t MAX_TEXT = 63999;
constexpr int WAVE_HEADER_BYTES = 44;

// The engine, once per process: 0 not tried yet, -1 failed, else its rate.
int engineRate = 0;
bool voiceOpen = false;
// Our sound was queued and may still play (the player also plays others').
bool playing = false;
bool synthesizing = false;
// The output file when speech goes to a file: its handle and samples written.
int outputHandle = -1;
uint32_t outputBytes = 0;

bool startEngine() {
    if (engineRate == 0) {
        // The engine must not end the process when its data is missing.
        int rate =
            espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, BLOCK_MS, nullptr, espeakINITIALIZE_DONT_EXIT);
        engineRate = rate > 0 ? rate : -1;
    }
    return engineRate > 0;
}

// The language entries of a voice: a priority byte, a name, its NUL, ...,
// and a zero priority at the end.
bool speaksLanguage(const espeak_VOICE* v, bool brazilianOnly) {
    for (const char* p = v->languages; p && *p; p += 2 + std::char_traits<char>::length(p + 1)) {
        std::string lang = toUpperAscii(p + 1);
        if (lang == "PT-BR") return true;
        if (!brazilianOnly && (lang == "PT" || lang.starts_with("PT-"))) return true;
    }
    return false;
}

// The Portuguese voices, Brazilian ones first, each group in the engine's order.
std::vector<const espeak_VOICE*> portugueseVoices() {
    std::vector<const espeak_VOICE*> brazilian, others;
    for (const espeak_VOICE** v = espeak_ListVoices(nullptr); v && *v; ++v) {
        if (speaksLanguage(*v, true)) brazilian.push_back(*v);
        else if (speaksLanguage(*v, false)) others.push_back(*v);
    }
    brazilian.insert(brazilian.end(), others.begin(), others.end());
    return brazilian;
}

// The header of the output file for the samples written so far: written
// first, then brought up to date in place.
void writeOutputHeader(bool first) {
    char header[WAVE_HEADER_BYTES];
    makeWaveHeader(header, static_cast<uint32_t>(engineRate), 16, outputBytes, 1);
    if (first) writeBytes(outputHandle, header, sizeof header);
    else writeBytesAt(outputHandle, 0, header, sizeof header);
}

// Called by the engine with each block of 16-bit samples; 1 ends synthesis.
int onSamples(short* samples, int count, espeak_EVENT*) {
    if (!samples || count <= 0) return 0;
    size_t bytes = static_cast<size_t>(count) * 2;
    if (outputHandle >= 0) {
        const char* bytesOut = reinterpret_cast<const char*>(samples);
        outputBytes += static_cast<uint32_t>(writeBytes(outputHandle, bytesOut, bytes));
        return 0;
    }
    // An output that cannot play gets nothing more.
    if (playPcm(reinterpret_cast<const uint8_t*>(samples), bytes, engineRate, 1, 16) != 0) return 1;
    playing = true;
    // The player has already stopped for a waiting key; the rest is not made.
    return stopOnKey && keyAvailable() ? 1 : 0;
}

} // namespace

bool espeakVoiceOpen(int voice, int rate, int pitch, const std::string& outputFile) {
    espeakVoiceClose();
    if (!startEngine()) return false;
    espeak_SetSynthCallback(onSamples);
    std::vector<const espeak_VOICE*> voices = portugueseVoices();
    if (voice < 1) voice = 1;
    if (voice > static_cast<int>(voices.size())) return false;
    if (espeak_SetVoiceByName(voices[voice - 1]->name) != EE_OK) return false;
    if (rate != 0) rate = std::clamp(rate, espeakRATE_MINIMUM, espeakRATE_MAXIMUM);
    espeak_SetParameter(espeakRATE, rate == 0 ? espeakRATE_NORMAL : rate, 0);
    espeak_SetParameter(espeakPITCH, pitch == 0 ? NORMAL_PITCH : std::clamp(pitch, 0, 100), 0);
    if (!outputFile.empty()) {
        outputHandle = createByteFile(mapPath(outputFile));
        if (outputHandle < 0) return false;
        outputBytes = 0;
        writeOutputHeader(true);
    }
    voiceOpen = true;
    return true;
}

void espeakVoiceSpeak(std::string_view input) {
    std::string_view text = trimView(input);
    if (text.empty() || !voiceOpen || (stopOnKey && keyAvailable())) return;
    std::string spoken(text.substr(0, MAX_TEXT));
    if (spoken.size() == 1 && isDigitChar(spoken[0])) spoken += '.';
    std::string utf8 = cp1252ToUtf8(spoken);
    bool toFile = outputHandle >= 0;
    bool compress = compressSpeech, fast = fastPlayback;
    if (!toFile) {
        // The voice plays as it is made: not shortened or sped up like the
        // recordings of the speed profile, and in place of background media.
        mciReleasePlayer();
        compressSpeech = fastPlayback = false;
    }
    synthesizing = true;
    espeak_ERROR result = espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0,
                                       espeakCHARS_UTF8, nullptr, nullptr);
    synthesizing = false;
    compressSpeech = compress;
    fastPlayback = fast;
    if (toFile) writeOutputHeader(false);
    if (result != EE_OK) espeakVoiceStop();
}

bool espeakVoiceBusy(int flag) {
    if (flag == 1 || !voiceOpen) return synthesizing;
    // Only our own sound counts, not media that took the player over since.
    if (playing) playing = !mciFeedsPlayer() && isPlaying();
    return synthesizing || playing;
}

void espeakVoiceStop() {
    if (playing && !mciFeedsPlayer()) stopPlayback();
    playing = false;
}

void espeakVoiceClose() {
    if (outputHandle >= 0) {
        writeOutputHeader(false);
        closeByteFile(outputHandle);
        outputHandle = -1;
    }
    voiceOpen = false;
    playing = false;
}
