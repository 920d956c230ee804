// The speech-server dispatch: a table of servers by kind, and the wait for
// silence after opening.
#include "speech/speech_server.h"

#include "console/console.h"
#include "speech/espeak_voice.h"
#include "speech/norela_front.h"
#include "speech/speechd_voice.h"

namespace {

constexpr int OPEN_POLL_MS = 50;

// The five operations of one server.
struct SpeechServer {
    bool (*open)(int voice, int rate, int pitch, const std::string& outputFile);
    void (*speak)(std::string_view text);
    bool (*busy)(int flag);
    void (*stop)();
    void (*close)();
};

// The MBROLA-based engine takes no voice number and answers busy the same
// for both flags.
const SpeechServer ENGINE = {
    [](int, int rate, int pitch, const std::string& file) { return norelaOpen(rate, pitch, file); },
    norelaSpeak,
    [](int) { return norelaBusy(); },
    norelaStop,
    norelaClose,
};

// speech-dispatcher takes no pitch and answers busy the same for both flags.
const SpeechServer DESKTOP_SERVER = {
    [](int voice, int rate, int, const std::string& file) {
        return speechdVoiceOpen(voice, rate, file);
    },
    speechdVoiceSpeak,
    [](int) { return speechdVoiceBusy(); },
    speechdVoiceStop,
    speechdVoiceClose,
};

const SpeechServer IN_PROCESS_VOICE = {
    espeakVoiceOpen, espeakVoiceSpeak, espeakVoiceBusy, espeakVoiceStop, espeakVoiceClose,
};

struct KindEntry {
    int kind;
    const SpeechServer* server;
};
const KindEntry KINDS[] = {
    {3, &ENGINE},
    {5, &DESKTOP_SERVER},
    {54, &DESKTOP_SERVER},
};

int currentKind = 4;

const SpeechServer& serverOf(int kind) {
    for (const KindEntry& entry : KINDS)
        if (entry.kind == kind) return *entry.server;
    return IN_PROCESS_VOICE;
}

const SpeechServer& current() { return serverOf(currentKind); }

} // namespace

int speechServerKind() { return currentKind; }

bool speechServerOpen(int voice, int rate, int pitch, const std::string& outputFile, int kind) {
    currentKind = kind;
    bool opened = current().open(voice, rate, pitch, outputFile);
    if (opened)
        while (speechServerBusy(1)) waitMs(OPEN_POLL_MS);
    return opened;
}

void speechServerSpeak(std::string_view text) { current().speak(text); }

bool speechServerBusy(int flag) {
    processMessages();
    return current().busy(flag);
}

void speechServerStop() { current().stop(); }

void speechServerClose() { current().close(); }
