// Fuzzes the text-to-speech engine's data-file loaders and its text
// pipeline. The input is split at NUL bytes into an abbreviation file, a
// rule file, an exception file, a prosody file, a diphone list and a text;
// the files are loaded and the text goes through normalisation, tokens,
// intonation, letter-to-sound rules and the MBROLA line builder.
#include "tts/letter_to_sound.h"
#include "tts/mbrola_driver.h"
#include "tts/prosody.h"
#include "tts/text_normalizer.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

std::string root;
void removeRoot() {
    std::filesystem::remove_all(root);
}

std::string writeFile(const std::string& name, std::string_view bytes) {
    std::string path = root + "/" + name;
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (root.empty()) {
        char dir[] = "/tmp/tts_fuzz_XXXXXX";
        if (!mkdtemp(dir)) return 0;
        root = dir;
        std::atexit(removeRoot);
    }
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view parts[6];
    for (int i = 0; i < 5; ++i) {
        size_t nul = input.find('\0');
        parts[i] = input.substr(0, nul);
        input = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
    }
    parts[5] = input;
    loadAbbreviations(writeFile("f.abr", parts[0]));
    loadRules(writeFile("f.nrl", parts[1]));
    loadExceptions(writeFile("f.exc", parts[2]));
    loadProsody(writeFile("f.pro", parts[3]));
    loadDiphoneList(writeFile("f.dfn", parts[4]));
    textToMbrolaLines(parts[5], 0.8, 1.0);
    textToMbrolaLines(parts[5], -5.0, 1e300);
    return 0;
}
