// A script that writes and speaks Portuguese sentences, run through rotalis
// with the capture sink: the speech it records is of a plausible length,
// neither silent nor clipped.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(CaptureRun, SentencesBecomeSpeech) {
    fs::path root = fs::temp_directory_path() / ("speech_capture_run_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "home");
    std::ofstream(root / "frases.rot") << "escreve \"Bom dia. Este programa fala portugu\xC3\xAAs do Brasil.\"\n"
                                          "escreve mudo \"Esta linha n\xC3\xA3o \xC3\xA9 falada.\"\n"
                                          "fala \"Hoje vamos ouvir tr\xC3\xAAs frases curtas, com 25 palavras.\"\n";
    std::string command = "cd '" + root.string() + "' && TALORA_HOME='" + (root / "home").string() + "' '" +
                          ROTALIS_BIN + "' --console=headless --audio=capture:fala.wav frases.rot </dev/null >saida.txt";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(readFile(root / "saida.txt").find("falada."), std::string::npos);

    std::string wav = readFile(root / "fala.wav");
    ASSERT_GT(wav.size(), 44u);
    ASSERT_EQ(wav.compare(0, 4, "RIFF"), 0);
    size_t samples = (wav.size() - 44) / 2;
    double seconds = samples / 22050.0;
    // 17 spoken words, a comma, two full stops and a number: a few seconds,
    // as a person would take, not the fraction of one a clipped voice gives.
    EXPECT_GT(seconds, 4.0);
    EXPECT_LT(seconds, 20.0);
    // Sound in most 50 ms stretches, and hardly a sample at full scale.
    size_t frame = 1102, voiced = 0, frames = 0, clipped = 0;
    for (size_t f = 0; (f + 1) * frame <= samples; ++f, ++frames) {
        double energy = 0;
        for (size_t i = f * frame; i < (f + 1) * frame; ++i) {
            int16_t s = static_cast<int16_t>(static_cast<unsigned char>(wav[44 + 2 * i]) |
                                             static_cast<unsigned char>(wav[45 + 2 * i]) << 8);
            energy += static_cast<double>(s) * s;
            clipped += std::abs(s) >= 32500;
        }
        voiced += std::sqrt(energy / frame) > 500;
    }
    EXPECT_GT(voiced, frames / 2) << voiced << " of " << frames;
    EXPECT_LT(clipped, samples / 1000);
    fs::remove_all(root);
}

} // namespace
