// The Norela engine front over the MBROLA driver.
#include "speech/norela_front.h"

#include "console/console.h"
#include "platform/paths.h"
#include "speech/config.h"
#include "tts/mbrola_driver.h"

namespace {
// Where provisioning installs the engine's data files.
constexpr const char* DEFAULT_ENGINE_DIRECTORY = "c:\\talora\\norelatts\\";
constexpr int CLOSE_POLL_MS = 500;
} // namespace

NorelaFiles norelaFiles() {
    NorelaFiles files;
    files.database = readConfig("NORELATTS", "MBROLA_DB");
    if (files.database.empty()) files.database = "br4";
    std::string directory = readConfig("NORELATTS", "DIR");
    directory = withTrailingSeparator(directory.empty() ? DEFAULT_ENGINE_DIRECTORY : directory);
    std::string base = readConfig("NORELATTS", "BASE");
    if (base.empty()) base = "portug";
    std::string stem = directory + base;
    files.rules = stem + ".nrl";
    files.exceptions = stem + ".exc";
    files.abbreviations = stem + ".abr";
    files.prosody = stem + ".pro";
    files.diphones = stem + ".dfn";
    return files;
}

bool norelaOpen(int rate, int pitch, const std::string& outputFile) {
    NorelaFiles files = norelaFiles();
    setOutputFile(outputFile);
    bool ok = initEngine(files.database, files.rules, files.exceptions, files.abbreviations,
                         files.prosody, files.diphones);
    setSpeechFactors(0.8 - rate / 15.0, (pitch + 11) / 11.0);
    return ok;
}

void norelaSpeak(std::string_view text) {
    speak(text);
}

bool norelaBusy() {
    bool answer = isSpeaking();
    if (keyAvailable()) {
        norelaStop();
        answer = false;
    }
    return answer;
}

void norelaStop() {
    stopSpeaking();
}

void norelaClose() {
    while (norelaBusy()) waitMs(CLOSE_POLL_MS);
    norelaStop();
    closeEngine();
}
