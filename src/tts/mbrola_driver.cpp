// The MBROLA synthesis driver: engine start, utterances, play and file modes.
#include "tts/mbrola_driver.h"

#include <cstdint>
#include <cstring>

#include "console/console.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "sound/wave_player.h"
#include "tts/engine_files.h"
#include "tts/letter_to_sound.h"
#include "tts/mbrola.h"
#include "tts/prosody.h"
#include "tts/text_normalizer.h"

namespace {

MbrolaBinding mbrola{};
bool bound = false;
std::string outputFileName;
std::string outputPath; // of the open output file
int outputFile = -1;
bool fileMode = false;
double durationFactor = 1.0, pitchFactor = 1.0;
std::string errorText;

// One read_MBR result, and the header with the samples handed to the player.
int16_t readBuffer[MBROLA_READ_SAMPLES];
char playImage[44 + 2 * MBROLA_READ_SAMPLES];
size_t accumulated = 0;

void setError(std::string_view utf8) {
    errorText = cp1252(utf8).substr(0, 255);
}

void release() {
    if (!bound) return;
    releaseRules();
    releaseDiphoneList();
    mbrola.close_MBR();
    unbindMbrola(mbrola);
    bound = false;
}

void closeOutputFile() {
    if (outputFile >= 0) closeByteFile(outputFile);
    outputFile = -1;
}

void playAccumulated() {
    makeWaveHeader(playImage, MBROLA_SAMPLE_RATE, 16, static_cast<uint32_t>(accumulated), 1);
    playWaveImage(std::string_view(playImage, 44 + accumulated));
    accumulated = 0;
}

// Hands n bytes of the read buffer on; false when the output file failed.
bool deliver(size_t n) {
    if (fileMode) return writeBytes(outputFile, reinterpret_cast<const char*>(readBuffer), n) == n;
    if (accumulated > 0 && accumulated + n >= MBROLA_BLOCK_BYTES) playAccumulated();
    std::memcpy(playImage + 44 + accumulated, readBuffer, n);
    accumulated += n;
    return true;
}

// 2 x read_MBR, with a failed read counted as an MBROLA error.
long readBytesFromMbrola(bool& ok) {
    int samples = mbrola.read_MBR(readBuffer, MBROLA_READ_SAMPLES);
    if (samples >= 0) return 2L * samples;
    if (mbrola.lastError_MBR() != 0) {
        mbrola.reset_MBR();
        ok = false;
    }
    return 0;
}

} // namespace

void setOutputFile(const std::string& fileName) {
    outputFileName = fileName;
}
const std::string& engineErrorText() {
    return errorText;
}

void setSpeechFactors(double duration, double pitch) {
    durationFactor = duration;
    pitchFactor = pitch;
}

bool initEngine(const std::string& database, const std::string& rulesFile,
                const std::string& exceptionsFile, const std::string& abbreviationsFile,
                const std::string& prosodyFile, const std::string& diphoneFile) {
    release();
    closeOutputFile();
    if (!bindMbrola(mbrola)) return false;
    bound = true;
    auto orDefault = [](const std::string& name, const char* fallback) {
        return mapPath(name.empty() ? fallback : name);
    };
    std::string databasePath = mbrolaDatabasePath(database.empty() ? "br4" : database);
    if (mbrola.init_MBR(databasePath.c_str()) < 0) {
        unbindMbrola(mbrola);
        bound = false;
        return false;
    }
    mbrola.setNoError_MBR(1);
    releaseRules();
    releaseDiphoneList();
    if (!loadRules(orDefault(rulesFile, "portug.nrl")) ||
        !loadExceptions(orDefault(exceptionsFile, "portug.exc"))) {
        setError("Erro na base de dados de português");
        return false;
    }
    if (!loadAbbreviations(orDefault(abbreviationsFile, "portug.abr"))) {
        setError("Erro no arquivo de abreviaturas");
        return false;
    }
    if (!loadProsody(orDefault(prosodyFile, "portug.pro")) ||
        !loadDiphoneList(orDefault(diphoneFile, "portug.dfn"))) {
        setError("Erro no arquivo de prosódia");
        return false;
    }
    fileMode = false;
    if (!outputFileName.empty()) {
        outputPath = mapPath(outputFileName);
        outputFile = createByteFile(outputPath);
        if (outputFile < 0) return false;
        char header[44];
        makeWaveHeader(header, MBROLA_SAMPLE_RATE, 16, 0, 1);
        if (writeBytes(outputFile, header, sizeof header) != sizeof header) {
            setError("Arquivo de saída não pode ser criado");
            closeOutputFile();
            return false;
        }
        fileMode = true;
    }
    return true;
}

std::vector<std::string> textToMbrolaLines(std::string_view text, double duration, double pitch) {
    std::vector<std::string> phonemes;
    {
        std::vector<std::string> intonation = assignIntonation(tokenize(normalizeText(text)), true);
        phonemes = buildPhonemeList(intonation);
    }
    return buildMbrolaLines(phonemes, duration, pitch);
}

bool speak(std::string_view text) {
    if (trimView(text).empty()) return true;
    if (!bound) return false;
    bool ok = true;
    std::vector<std::string> lines = textToMbrolaLines(text, durationFactor, pitchFactor);
    // Synthesized speech is never speeded up or compressed by the player.
    bool savedFast = fastPlayback, savedCompress = compressSpeech;
    fastPlayback = compressSpeech = false;
    mbrola.reset_MBR();
    accumulated = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        bool last = i + 1 == lines.size();
        if (lines[i].empty() && !last) continue;
        // A key silences speech: the rest of the utterance is not made.
        if (!fileMode && stopOnKey && keyAvailable()) {
            mbrola.reset_MBR();
            accumulated = 0;
            break;
        }
        mbrola.write_MBR((lines[i] + "\r\n").c_str());
        if (mbrola.lastError_MBR() != 0) {
            mbrola.reset_MBR();
            ok = false;
        }
        if (last) mbrola.flush_MBR();
        for (long n = readBytesFromMbrola(ok); n > 0; n = readBytesFromMbrola(ok))
            if (!deliver(static_cast<size_t>(n))) ok = false;
    }
    if (!fileMode && accumulated > 0) {
        if (accumulated < MBROLA_SHORTEST_BLOCK) {
            std::memset(playImage + 44 + accumulated, 0, MBROLA_SHORTEST_BLOCK - accumulated);
            accumulated = MBROLA_SHORTEST_BLOCK;
        }
        playAccumulated();
    }
    fastPlayback = savedFast;
    compressSpeech = savedCompress;
    return ok;
}

void stopSpeaking() {
    if (!fileMode) stopPlayback();
}

bool isSpeaking() {
    return !fileMode && isPlaying();
}

void closeEngine() {
    if (fileMode && outputFile >= 0) {
        closeOutputFile();
        // The header learns the size of the samples written.
        std::string content;
        if (readWholeFile(outputPath, content) && content.size() >= 44) {
            makeWaveHeader(content.data(), MBROLA_SAMPLE_RATE, 16,
                           static_cast<uint32_t>(content.size() - 44), 1);
            int file = createByteFile(outputPath);
            if (file >= 0) {
                writeBytes(file, content.data(), content.size());
                closeByteFile(file);
            }
        }
    }
    release();
}
