// Fuzzes the diphone voice: the index reader, the translator's rule and
// exception loaders, the translation and the synthesizer's reading of
// phonetic text. The input is split at NUL bytes into an index image, a rule
// file, an exception file and a text; the text is translated and spoken, and
// also spoken as it is (as phonetic text). Recordings are read from a small
// data file, so fuzzed offsets and lengths reach past its end.
#include "diphone/diphone_synth.h"
#include "diphone/phonetic_translator.h"
#include "platform/paths.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void discard(const std::string&) {}

std::string root;
void removeRoot() { std::filesystem::remove_all(root); }

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string le(uint32_t value, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((value >> (8 * i)) & 0xFF);
    return s;
}

// A started voice whose data file holds 4000 samples and whose letter
// folder has a few letters, one of them damaged.
bool startVoice() {
    char dir[] = "/tmp/diphone_fuzz_XXXXXX";
    if (!mkdtemp(dir)) return false;
    root = dir;
    std::atexit(removeRoot);
    mkdir((root + "/letras").c_str(), 0777);
    mkdir((root + "/difones").c_str(), 0777);
    writeFile(root + "/FALARIS.INI",
              "[TRADUTOR]\nDIRLETRAS=" + root + "/letras\nDIRDIFONES=" + root + "/difones\n");
    std::string samples(300, '\x90');
    std::string wave = "RIFF" + le(36 + 300, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(11025, 4) +
                       le(11025, 4) + le(1, 2) + le(8, 2) + "data" + le(300, 4) + samples;
    writeFile(root + "/letras/_97.wav", wave);
    writeFile(root + "/letras/_99.wav", wave.substr(0, 50));
    writeFile(root + "/letras/_98.wav", "RIFF\xFF\xFF\xFF\xFFWAVEfmt \xFF\xFF\xFF\x7F");
    writeFile(root + "/difones/DIFONES2.IND", std::string(1, 3) + "$KA" + std::string(5, '\0') + le(1000, 2) + le(0, 4));
    writeFile(root + "/difones/DIFONES2.DIF", std::string(4000, '\x70'));
    writeFile(root + "/difones/regras.rgr", "(A)=a|\n");
    writeFile(root + "/difones/portug.exc", "");
    setenv("TALORA_HOME", root.c_str(), 1);
    resetTalorahome();
    setDiphoneImageOutput(discard);
    return startDiphoneSynth() == DIPHONE_READY;
}

// The next NUL-separated part of the input.
std::string_view nextPart(std::string_view& rest) {
    size_t end = rest.find('\0');
    std::string_view part = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return part;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = startVoice();
    if (!ready) std::abort();
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    parseDiphoneIndex(nextPart(rest));
    loadPhoneticRulesText(nextPart(rest));
    loadPhoneticExceptionsText(nextPart(rest));
    std::string_view text = nextPart(rest);
    setDiphoneParameters(400, 0, 100);
    speakPhonetic(translateToPhonetic(text));
    speakPhonetic(text);
    diphoneNamesOfUnit(text.substr(0, 40));
    return 0;
}
