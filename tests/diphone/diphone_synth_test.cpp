// The diphone synthesizer against a small fixture database whose recordings
// are runs of one sample value each, so the images show which recordings
// played, in which order and how long.
#include "diphone/diphone_synth.h"
#include "diphone/phonetic_translator.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> images;
void collectImage(const std::string& image) { images.push_back(image); }

std::vector<std::string> misses;
void collectMiss(const std::string& name) { misses.push_back(name); }

void writeFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string le(uint32_t value, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((value >> (8 * i)) & 0xFF);
    return s;
}

std::string wave(const std::string& samples) {
    return "RIFF" + le(36 + samples.size(), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(11025, 4) +
           le(11025, 4) + le(1, 2) + le(8, 2) + "data" + le(samples.size(), 4) + samples;
}

// Runs of equal samples: (value, count).
using Runs = std::vector<std::pair<int, int>>;

struct Recording {
    int value;
    int length;
    int64_t offset = -1;  // where the index says it is; -1: where it is written
};

class DiphoneSynth : public ::testing::Test {
protected:
    fs::path root;
    std::map<std::string, Recording> index;

    void SetUp() override {
        root = fs::temp_directory_path() / ("diphone_synth_test_" + std::to_string(::getpid()));
        fs::remove_all(root);
        writeFile(root / "FALARIS.INI", "[TRADUTOR]\nDIRLETRAS=" + (root / "letras").string() +
                                            "\nDIRDIFONES=" + (root / "difones").string() + "\n");
        setenv("TALORA_HOME", root.c_str(), 1);
        resetTalorahome();
        writeFile(root / "difones" / "regras.rgr", "(A)=a|\n");
        writeFile(root / "difones" / "portug.exc", "");
        // Values stay outside 88..167 so that noise and silence stand apart.
        index = {{"$KA", {10, 1000}},   {"$A", {20, 300}},        {"$P", {30, 200}},   {"$RA", {40, 1000}},
                 {"$NHA", {50, 700}},   {"$M", {60, 500}},        {"$ACIRC", {70, 800}}, {"$AWTIL", {80, 900}},
                 {"$SOO", {180, 300}},  {"$KACIRC", {190, 1000}}, {"$NN", {200, 1000}}, {"$TA", {210, 1000}},
                 {"$TCH", {230, 500}}};
        writeIndex();
        writeFile(root / "letras" / "_99.wav", wave(std::string(500, '\xF0')));
        writeFile(root / "letras" / "_97.wav", wave(std::string(400, '\xF5')));
        setDiphoneBaseName("");
        setDiphoneParameters(400, 0, 100);
        setDiphoneImageOutput(collectImage);
        setDiphoneMissHandler(collectMiss);
        images.clear();
        misses.clear();
    }

    void TearDown() override {
        stopDiphoneSynth();
        setDiphoneImageOutput(nullptr);
        setDiphoneMissHandler(nullptr);
        fs::remove_all(root);
        unsetenv("TALORA_HOME");
        resetTalorahome();
    }

    void writeIndex() {
        std::string ind, dif;
        for (const auto& [name, rec] : index) {  // std::map orders names byte-wise
            ind += static_cast<char>(name.size()) + name + std::string(8 - name.size(), '\0');
            ind += le(rec.length, 2) + le(rec.offset >= 0 ? rec.offset : dif.size(), 4);
            if (rec.offset < 0) dif += std::string(rec.length, static_cast<char>(rec.value));
        }
        writeFile(root / "difones" / "DIFONES2.IND", ind);
        writeFile(root / "difones" / "DIFONES2.DIF", dif);
    }

    // Everything played, the images' data joined.
    static std::string played() {
        std::string all;
        for (const std::string& image : images) all += image.substr(44);
        return all;
    }

    // A recording cut short fades toward 128 over its last 24 samples; the
    // fade (strictly moving toward 128, where recordings here are constant)
    // counts as part of its run.
    static Runs runs(const std::string& samples) {
        Runs r;
        int fading = 0;
        for (size_t i = 0; i < samples.size(); ++i) {
            int c = static_cast<unsigned char>(samples[i]);
            int last = i > 0 ? static_cast<unsigned char>(samples[i - 1]) : -1;
            bool repeats = i + 1 < samples.size() && static_cast<unsigned char>(samples[i + 1]) == c;
            if (!r.empty() && r.back().first == c && fading == 0) {
                ++r.back().second;
            } else if (!r.empty() && r.back().first != 128 && fading < 24 && !repeats &&
                       (c - 128) * (r.back().first - 128) > 0 && std::abs(c - 128) < std::abs(last - 128)) {
                ++r.back().second;
                ++fading;
            } else {
                r.push_back({c, 1});
                fading = 0;
            }
        }
        return r;
    }

    Runs speak(const std::string& phonetic) {
        images.clear();
        misses.clear();
        speakPhonetic(phonetic);
        return runs(played());
    }
};

constexpr int SILENCE = 128;

} // namespace

TEST_F(DiphoneSynth, UnitsSplittingAndPauses) {
    ASSERT_EQ(startDiphoneSynth(), DIPHONE_READY);
    struct Case {
        const char* phonetic;
        Runs expected;
    } cases[] = {
        {"", {}},
        {"[ka]", {{10, 600}}},                                   // unstressed: 400 cut
        {"[kA]", {{10, 1000}}},                                  // stressed: full
        {"[a]", {{20, 300}}},                                    // two-character names are never cut
        {"[ /_c]", {{0xF0, 500}}},                               // a spelled c plays _99.wav
        {"[ /_c][ /_c]", {{0xF0, 500}, {SILENCE, 100}, {0xF0, 500}}},  // wordGap between
        {"[ /_,]", {{SILENCE, 4000}}},
        {"[ /_,][a]", {{SILENCE, 4000 + 100}, {20, 300}}},
        {"[ /_.]", {{SILENCE, 8000}}},
        {"[ /_:]", {{SILENCE, 8000}}},
        {"[ /_;]", {{SILENCE, 6000}}},
        {"[_ca]", {{0xF0, 500}}},                                // only the letter of a "_" unit
        {"[pra]", {{30, 200}, {40, 600}}},                       // $P at 1.0, then ra
        {"[nha]", {{50, 300}}},                                  // nh stays with its vowel
        {"[nhA]", {{50, 700}}},
        {"[ ka/ ta]", {{10, 600}, {210, 600}}},                  // blanks start units, no gaps
        {"[ka/ta]", {{20, 300}}},                                // one unit "kata": only $A exists
        {"[soo]", {}},                                           // 300 - 400 is cut to nothing
        {"[kA ta]", {{10, 1000}, {210, 600}}},                   // stress ends with its unit
        {"[tcha^]", {{230, 90}, {70, 400}}},                     // $TCHACIRC is too long a name
    };
    for (const Case& c : cases) EXPECT_EQ(speak(c.phonetic), c.expected) << c.phonetic;
    EXPECT_TRUE(speak("").empty());
    EXPECT_TRUE(images.empty()) << "an empty text flushes nothing";
}

TEST_F(DiphoneSynth, MissingNamesSplitOrBecomeNoise) {
    ASSERT_EQ(startDiphoneSynth(), DIPHONE_READY);
    // "kas": $KA, then $S, which is missing: 300 samples of noise.
    speak("[kas]");
    std::string samples = played();
    ASSERT_EQ(samples.size(), 600u + 300u);
    EXPECT_EQ(runs(samples.substr(0, 600)), (Runs{{10, 600}}));
    bool allNoise = true, allSilent = true;
    for (unsigned char c : samples.substr(600)) {
        allNoise = allNoise && c >= 88 && c <= 167;
        allSilent = allSilent && c == SILENCE;
    }
    EXPECT_TRUE(allNoise && !allSilent);
    EXPECT_EQ(misses, std::vector<std::string>{"$S"});

    // "ma~w": ma^ at 0.6 ($MACIRC missing: $M at 0.54, then $ACIRC at 0.6),
    // then "aw~" as $AWTIL.
    EXPECT_EQ(speak("[ma~w]"), (Runs{{60, 270}, {70, 240}, {80, 500}}));
    EXPECT_EQ(misses, std::vector<std::string>{"$MACIRC"});
    // A missing TIL name: the vowel with CIRC (as stressed) at 0.9, then
    // $NN at 0.9 (unstressed: cut).
    EXPECT_EQ(speak("[ka~]"), (Runs{{190, 900}, {200, 540}}));
    EXPECT_EQ(misses, std::vector<std::string>{"$KATIL"});
    // A two-piece unit whose joined name is missing splits at its last vowel.
    EXPECT_EQ(speak("[nhaa]"), (Runs{{50, 270}, {20, 300}}));
}

TEST_F(DiphoneSynth, CuttingFollowsTheSettings) {
    ASSERT_EQ(startDiphoneSynth(), DIPHONE_READY);
    setDiphoneParameters(400, 0, 100);
    EXPECT_EQ(speak("[soo]"), Runs{});                         // 300 - 400 < 0
    EXPECT_EQ(speak("[sOo]"), (Runs{{180, 300}}));               // stressed: full
    setDiphoneParameters(400, 350, 100);
    EXPECT_EQ(speak("[soo]"), (Runs{{180, 300}}));               // not below the minimum (whole)
    EXPECT_EQ(speak("[ka]"), (Runs{{10, 600}}));
    setDiphoneParameters(900, 350, 100);
    EXPECT_EQ(speak("[ka]"), (Runs{{10, 350}}));
    // The end of a cut recording fades toward silence; a whole one does not.
    setDiphoneParameters(400, 0, 100);
    speak("[ka]");
    std::string cut = played();
    ASSERT_EQ(cut.size(), 600u);
    EXPECT_EQ(cut.substr(0, 576), std::string(576, 10));
    for (size_t i = 576; i < 600; ++i) EXPECT_GT(cut[i], cut[i - 1]) << i;
    EXPECT_LT(static_cast<unsigned char>(cut.back()), 128);
    speak("[kA]");
    EXPECT_EQ(played(), std::string(1000, 10));
    setDiphoneParameters(-500, 0, 100);  // never longer than the recording
    speak("[ka]");
    EXPECT_EQ(played(), std::string(1000, 10));
    setDiphoneParameters(0, 0, 250);
    EXPECT_EQ(speak("[ka][ka]"), (Runs{{10, 1000}, {SILENCE, 200}, {10, 1000}}));  // gap in blocks of 100
}

TEST_F(DiphoneSynth, LongUnitsAndLongOutput) {
    ASSERT_EQ(startDiphoneSynth(), DIPHONE_READY);
    // Pieces join while the unit has at most 8 characters; the next "/"
    // then ends it, with a word gap.
    EXPECT_EQ(speak("[_a/aaaaaaaa/_c]"), (Runs{{0xF5, 400}, {SILENCE, 100}, {0xF0, 500}}));
    // More than one image of output: each image holds less than 64 000
    // bytes and nothing is lost between them.
    std::string text;
    for (int i = 0; i < 100; ++i) text += "[kA]";
    speak(text);
    ASSERT_GE(images.size(), 2u);
    for (const std::string& image : images) {
        EXPECT_LT(image.size(), 64000u);
        EXPECT_EQ(image.compare(0, 4, "RIFF"), 0);
        EXPECT_EQ(static_cast<unsigned char>(image[40]) | static_cast<unsigned char>(image[41]) << 8 |
                      static_cast<unsigned char>(image[42]) << 16,
                  static_cast<int>(image.size() - 44));
    }
    EXPECT_EQ(played().size(), 100u * 1000 + 99u * 100);
}

TEST_F(DiphoneSynth, DamagedRecordingsPlaySafely) {
    // A recording longer than an image, one past the end of the data file,
    // and a letter file with more than 65 535 samples.
    index["$BIGA"] = {220, 65535};
    index["$FARO"] = {221, 1000, 0x7FFFFFF0};
    writeIndex();
    std::ofstream(root / "difones" / "DIFONES2.IND", std::ios::binary | std::ios::app) << "partial";
    writeFile(root / "letras" / "_97.wav", wave(std::string(70000, '\xF5')));
    writeFile(root / "letras" / "_98.wav", "RIFX....WAVEfmt ");  // not RIFF: nothing
    ASSERT_EQ(startDiphoneSynth(), DIPHONE_READY);
    EXPECT_EQ(speak("[bIga]"), (Runs{{220, 65535}}));
    EXPECT_EQ(images.size(), 2u);
    EXPECT_EQ(speak("[fAro]"), Runs{});
    speak("[kA faro]");  // nothing read: the recording before keeps its end
    EXPECT_EQ(played(), std::string(1000, 10));
    EXPECT_EQ(speak("[ /_a]"), (Runs{{0xF5, 63956}}));
    EXPECT_EQ(speak("[ /_b]"), Runs{});
    EXPECT_EQ(misses, std::vector<std::string>{"_98"});
}

TEST_F(DiphoneSynth, StartFailures) {
    struct Case {
        const char* what;
        std::string remove;
        std::string content;
        int code;
    } cases[] = {
        {"no letter folder", "letras", "", DIPHONE_NO_DATABASE},
        {"no diphone folder", "difones", "", DIPHONE_NO_DATABASE},
        {"no index", "difones/DIFONES2.IND", "", DIPHONE_NO_DATABASE},
        {"no data", "difones/DIFONES2.DIF", "", DIPHONE_NO_DATABASE},
        {"empty index", "", "difones/DIFONES2.IND", DIPHONE_NO_DATABASE},
        {"no rules", "difones/regras.rgr", "", DIPHONE_NO_RULES},
        {"no exceptions", "difones/portug.exc", "", DIPHONE_NO_RULES},
    };
    for (const Case& c : cases) {
        SetUp();
        if (!c.remove.empty()) fs::remove_all(root / c.remove);
        if (!c.content.empty()) writeFile(root / c.content, "short");
        EXPECT_EQ(startDiphoneSynth(), c.code) << c.what;
        speakPhonetic("[ka]");
        EXPECT_TRUE(images.empty()) << c.what;
        stopDiphoneSynth();
        stopDiphoneSynth();
    }
    // Another base name, read at start; an empty name keeps DIFONES2.
    SetUp();
    fs::rename(root / "difones" / "DIFONES2.IND", root / "difones" / "VOZ.IND");
    fs::rename(root / "difones" / "DIFONES2.DIF", root / "difones" / "VOZ.DIF");
    setDiphoneBaseName("VOZ");
    EXPECT_EQ(startDiphoneSynth(), DIPHONE_READY);
    setDiphoneBaseName("");
    EXPECT_EQ(diphoneBaseName(), "DIFONES2");
    setDiphoneBaseName("LONGNAME123");
    EXPECT_EQ(diphoneBaseName(), "LONGNAME");
}

TEST(DiphoneNames, OfUnits) {
    struct Case {
        const char* unit;
        std::vector<std::string> names;
    } cases[] = {
        {"ka", {"$KA"}},
        {"kas", {"$KA", "$S"}},
        {"pra", {"$P", "$RA"}},
        {"nha", {"$NHA"}},
        {"tchi", {"$TCHI"}},
        {"dji", {"$DJI"}},
        {"marr", {"$MA", "$RR"}},
        {"ma~w", {"$MACIRC", "$AWTIL"}},
        {"be~y", {"$BECIRC", "$EYTIL"}},
        {"pE^y", {"$PECIRC", "$EYCIRC"}},
        {"pay", {"$PA", "$AY"}},
        {"ay", {"$AY"}},
        {"pays", {"$PA", "$AY", "$S"}},
        {"tcha^", {"$TCH", "$ACIRC"}},  // $TCHACIRC has 9 characters
        {"_c", {"_99"}},
        {"_s", {"_115"}},
        {"as", {"$A", "$S"}},
        {"", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(diphoneNamesOfUnit(c.unit), c.names) << c.unit;
}
