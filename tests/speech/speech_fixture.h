// A home folder for the speech facade whose recordings say which they are:
// every letter, word and prompt file is a run of one sample value of its
// own, and every diphone of the voice a run of VOICE_VALUE. The capture
// sink keeps every block, and `spoken()` turns them back into the names
// played, in order ("_zero _zero _sete", "~" for synthesized speech,
// "click", "beep"). Runs on the virtual clock with a console backend that
// can deliver a key once some blocks have been queued.
#pragma once

#include "../sound/fake_console.h"
#include "console/console.h"
#include "platform/audio_sink.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "sound/wave_player.h"
#include "speech/speech.h"
#include "speech/spoken_numbers.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace speechtest {

namespace fs = std::filesystem;

constexpr int VOICE_VALUE = 250;
// A label only counts for a run at least this long: the fades at the end of
// cut recordings pass through many values one sample each.
constexpr int MIN_RUN = 8;

inline std::string le(uint32_t value, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((value >> (8 * i)) & 0xFF);
    return s;
}

inline std::string wave(const std::string& samples) {
    return "RIFF" + le(36 + static_cast<uint32_t>(samples.size()), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) +
           le(1, 2) + le(11025, 4) + le(11025, 4) + le(1, 2) + le(8, 2) + "data" +
           le(static_cast<uint32_t>(samples.size()), 4) + samples;
}

inline void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

using soundtest::FakeConsole;

class SpeechTest : public ::testing::Test {
protected:
    fs::path root;
    FakeConsole* console = nullptr;
    std::map<int, std::string> labels;      // sample value -> recording name
    std::map<std::string, int> lengthOf;    // lengths other than the default

    // The recordings of the letter folder.
    static std::vector<std::string> recordingNames() {
        std::vector<std::string> names = {"_zero", "_uma", "_duas", "_hora", "_horas", "_minuto", "_minutos",
                                          "_primeir", "_de", "_e", "_MENOS", "_cem", "_mil", "_milhao",
                                          "_milhoes", "_bilhao", "_bilhoes", "_trilhao", "_trilhoe"};
        for (const char* w : {"um", "dois", "tres", "quatro", "cinco", "seis", "sete", "oito", "nove", "dez", "onze",
                              "doze", "treze", "quatorze", "quinze", "dezesseis", "dezessete", "dezoito", "dezenove",
                              "vinte", "trinta", "quarenta", "cinquenta", "sessenta", "setenta", "oitenta", "noventa",
                              "cento", "duzentos", "trezentos", "quatrocentos", "quinhentos", "seiscentos",
                              "setecentos", "oitocentos", "novecentos"})
            names.push_back(numberWordFileName(w));
        for (const char* d : {"Domingo", "Segunda", "Terca", "Quarta", "Quinta", "Sexta", "Sabado", "Janeiro",
                              "Feverei", "Marco", "Abril", "Maio", "Junho", "Julho", "Agosto", "Setembr", "Outubro",
                              "Novembr", "Dezembr"})
            names.push_back(std::string("_") + d);
        for (int c : {40, 41, 42, 44, 45, 46, 47, 58, 59, 87}) names.push_back("_" + std::to_string(c));
        for (int c = '0'; c <= '9'; ++c) names.push_back("_" + std::to_string(c));
        for (int c = 'a'; c <= 'z'; ++c) names.push_back("_" + std::to_string(c));
        return names;
    }

    // Sample values that neither the click, the error tone, noise, silence
    // nor the voice use.
    static std::vector<int> freeValues() {
        std::vector<int> values;
        for (int v = 1; v < 88; ++v)
            if (v != 64 && v != 80) values.push_back(v);
        for (int v = 188; v < VOICE_VALUE; ++v) values.push_back(v);
        return values;
    }

    void writeRecordings() {
        std::vector<std::string> names = recordingNames();
        std::vector<int> values = freeValues();
        labels.clear();
        for (size_t i = 0; i < names.size(); ++i) {
            labels[values.at(i)] = names[i];
            int length = lengthOf.count(names[i]) ? lengthOf[names[i]] : 300;
            writeFile(root / "letras" / (names[i] + ".wav"), wave(std::string(length, static_cast<char>(values[i]))));
        }
    }

    // The voice of the build with every recording replaced by VOICE_VALUE,
    // without the names in `missing`.
    void writeVoice(const std::vector<std::string>& missing = {"$S"}) {
        fs::path real = fs::path(TEST_BINARY_DIR) / "data/home/drive_c/talora/som/difones";
        std::string index = readFile(real / "DIFONES2.IND"), outIndex, data;
        for (size_t at = 0; at + 15 <= index.size(); at += 15) {
            std::string name = index.substr(at + 1, static_cast<unsigned char>(index[at]));
            if (std::find(missing.begin(), missing.end(), name) != missing.end()) continue;
            outIndex += index.substr(at, 9) + le(400, 2) + le(static_cast<uint32_t>(data.size()), 4);
            data += std::string(400, static_cast<char>(VOICE_VALUE));
        }
        writeFile(root / "difones" / "DIFONES2.IND", outIndex);
        writeFile(root / "difones" / "DIFONES2.DIF", data);
        fs::path rules = fs::path(TEST_SOURCE_DIR) / "../data/voice";
        writeFile(root / "difones" / "regras.rgr", readFile(rules / "regras.rgr"));
        writeFile(root / "difones" / "portug.exc", readFile(rules / "portug.exc"));
    }

    void writeConfig(const std::string& extra) {
        writeFile(root / "FALARIS.INI", "[TRADUTOR]\nDIRLETRAS=" + (root / "letras").string() +
                                            "\nDIRDIFONES=" + (root / "difones").string() + "\n" + extra);
    }

    // A fresh capture sink that keeps every block.
    void useCapture(bool paced = false) {
        stopPlayback();
        CaptureOptions options;
        options.keepBlocks = true;
        options.paced = paced;
        setAudioSink(makeCaptureSink(options));
    }

    void SetUp() override {
        root = fs::temp_directory_path() / ("speech_test_" + std::to_string(::getpid()));
        fs::remove_all(root);
        setenv("TALORA_HOME", root.c_str(), 1);
        resetTalorahome();
        setClock(virtualClock());
        resetConsole();
        auto backend = std::make_unique<FakeConsole>();
        console = backend.get();
        setConsoleBackend(std::move(backend));
        resetWavePlayer();
        writeRecordings();
        writeVoice();
        writeConfig("");
        initSpeech(3, "");
        useCapture();
    }

    void TearDown() override {
        closeSpeech();
        resetWavePlayer();
        setAudioSink(nullptr);
        resetConsole();
        setConsoleBackend(nullptr);
        setClock(nullptr);
        fs::remove_all(root);
        unsetenv("TALORA_HOME");
        resetTalorahome();
    }

    std::vector<CaptureEvent> blocks() const {
        std::vector<CaptureEvent> out;
        for (const CaptureEvent& e : audioSink().captureLog()->events)
            if (e.kind == CaptureEvent::Block) out.push_back(e);
        return out;
    }

    // What the blocks played, as names.
    std::string spoken() const {
        std::vector<std::string> said;
        auto say = [&](const std::string& label) {
            // Synthesized speech is one "~" however many images it takes.
            if (!(label == "~" && !said.empty() && said.back() == "~")) said.push_back(label);
        };
        for (const CaptureEvent& b : blocks()) {
            const std::string& d = b.data;
            if (d.size() == 256 && static_cast<unsigned char>(d[0]) >= 128 && static_cast<unsigned char>(d[100]) == 128) {
                say("click");
                continue;
            }
            if (d.size() == 512 && static_cast<unsigned char>(d[4]) == 64) {
                say("beep");
                continue;
            }
            std::string last;
            for (size_t i = 0; i < d.size();) {
                size_t j = i;
                while (j < d.size() && d[j] == d[i]) ++j;
                int value = static_cast<unsigned char>(d[i]);
                if (j - i >= MIN_RUN) {
                    std::string label = value == VOICE_VALUE ? "~" : labels.count(value) ? labels.at(value) : "";
                    if (!label.empty() && label != last) say(label);
                    if (!label.empty()) last = label;
                }
                i = j;
            }
        }
        std::string text;
        for (const std::string& s : said) text += (text.empty() ? "" : " ") + s;
        return text;
    }
};

} // namespace speechtest
