// Braille typing through the console's key translation: chords from key
// presses and releases, the signs of mode 2, the mode keys with their tones
// (played by the wave player into a capture sink, on the virtual clock), and
// backends that report no key releases (the terminal), where braille stays off.
#include "console/braille.h"

#include "console/console.h"
#include "platform/audio_sink.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "sound/wave_player.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct KeyBackend : ConsoleBackend {
    bool transitions = true;
    std::deque<InputEvent> input;

    bool open() override { return true; }
    void close() override {}
    void drawRange(int, int, int, const uint8_t*, const uint8_t*) override {}
    void drawAll(const uint8_t*, const uint8_t*) override {}
    void setCursor(int, int, bool) override {}
    bool keyTransitions() const override { return transitions; }
    void pollInput(std::vector<InputEvent>& events, int timeoutMs, bool) override {
        systemClock().sleepMs(timeoutMs);
        events.insert(events.end(), input.begin(), input.end());
        input.clear();
    }
};

InputEvent transition(InputEvent::Kind kind, char key, bool ctrl = false) {
    InputEvent e;
    e.kind = kind;
    e.ch = static_cast<uint8_t>(key);
    e.ctrl = ctrl;
    return e;
}

InputEvent special(SpecialKey k, bool ctrl, bool alt, bool shift = false) {
    InputEvent e;
    e.kind = InputEvent::Special;
    e.key = k;
    e.ctrl = ctrl;
    e.alt = alt;
    e.shift = shift;
    return e;
}

class BrailleTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = std::filesystem::temp_directory_path() / ("braille_test_" + std::to_string(getpid()));
        std::filesystem::create_directories(home_);
        setenv("TALORA_HOME", home_.c_str(), 1);
        resetTalorahome();
        setClock(virtualClock());
        resetConsole();
        auto b = std::make_unique<KeyBackend>();
        backend = b.get();
        setConsoleBackend(std::move(b));
        resetWavePlayer();
        CaptureOptions options;
        options.keepBlocks = true;
        setAudioSink(makeCaptureSink(options));
    }
    void TearDown() override {
        resetWavePlayer();
        setAudioSink(nullptr);
        resetConsole();
        setConsoleBackend(nullptr);
        setClock(nullptr);
        std::filesystem::remove_all(home_);
    }

    void config(const std::string& text) { std::ofstream(home_ / "FALARIS.INI") << text; }

    // Presses the keys of `chord` in order and releases them in reverse.
    void chord(const std::string& keys) {
        for (char k : keys) backend->input.push_back(transition(InputEvent::KeyDown, k));
        for (auto k = keys.rbegin(); k != keys.rend(); ++k) backend->input.push_back(transition(InputEvent::KeyUp, *k));
    }

    std::string typed() {
        std::string s;
        while (keyAvailable()) s += static_cast<char>(readKey());
        return s;
    }

    // The tones heard, by frequency, from the blocks the capture sink got.
    std::vector<int> tonesHeard() {
        std::vector<int> tones;
        for (const CaptureEvent& e : audioSink().captureLog()->events) {
            if (e.kind != CaptureEvent::Block) continue;
            int found = -1;
            for (int f : {100, 400, 800, 1600})
                if (e.data.compare(0, consoleToneImage(f).size() - 44, consoleToneImage(f), 44) == 0) found = f;
            tones.push_back(found);
        }
        return tones;
    }

    KeyBackend* backend = nullptr;
    std::filesystem::path home_;
};

struct ChordCase {
    int mode;
    std::vector<std::string> chords;
    std::string expected;
};

TEST_F(BrailleTest, ChordsGiveTheirCharacters) {
    const ChordCase cases[] = {
        {1, {"fd"}, "b"},
        {1, {" fd"}, "\x02"},           // space with dots 1 2: a control code
        {1, {" fj"}, "\x03"},           // space with dots 1 4
        {1, {" "}, " "},
        {1, {"s"}, "'"},
        {1, {"sjkl", "f"}, "#a"},       // no signs in mode 1
        {1, {"fdjk"}, "g"},
        {1, {"flk"}, "\xFB"},           // û
        {1, {"fdsjl"}, "\xE7"},         // ç
        {1, {"g"}, " "},                // a letter that is no braille key: a chord of no dots
        {2, {"sjkl", "f", "fd", "fj"}, "123"},
        {2, {"sjkl", "djk", "k", "f"}, "0~a"},   // the tilde ends the digits
        {2, {"sjkl", " ", "f"}, " a"},         // so does a space chord
        {2, {"s", "flk"}, ".@"},
        {2, {"jl", "f", "f"}, "Aa"},           // one capital
        {2, {"jl", "jl", "f", "fd", " ", "f"}, "AB a"},  // caps lock until a space
    };
    for (const ChordCase& c : cases) {
        resetConsole();
        openConsole();
        setBrailleMode(c.mode);
        for (const std::string& keys : c.chords) chord(keys);
        std::string s = typed();
        EXPECT_EQ(s, c.expected) << "mode " << c.mode << ", first chord \"" << c.chords[0] << "\"";
    }
}

TEST_F(BrailleTest, TypedLettersAndSpacesAreIgnoredWhileCtrlKeysAndOthersPass) {
    openConsole();
    setBrailleMode(1);
    // A plain key press brings its character event too: only the chord counts.
    InputEvent f = transition(InputEvent::KeyDown, 'f');
    InputEvent text;
    text.ch = 'f';
    InputEvent ctrlF = text;
    ctrlF.ch = 6;
    ctrlF.ctrl = true;
    InputEvent digit;
    digit.ch = '5';
    backend->input = {f, text, transition(InputEvent::KeyUp, 'f'), transition(InputEvent::KeyDown, 'f', true), ctrlF,
                      transition(InputEvent::KeyUp, 'f', true), digit};
    EXPECT_EQ(typed(), "a\x06" "5");
}

TEST_F(BrailleTest, CtrlOrAnotherKeyClearsTheSigns) {
    openConsole();
    setBrailleMode(2);
    chord("sjkl");
    backend->input.push_back(transition(InputEvent::KeyUp, 0));  // e.g. Shift released
    chord("f");
    chord("jl");
    chord("jl");
    backend->input.push_back(transition(InputEvent::KeyUp, 'x', true));
    chord("f");
    EXPECT_EQ(typed(), "aa");
}

TEST_F(BrailleTest, ModeKeysCycleTheModesWithTheirTones) {
    openConsole();
    for (bool alternative : {false, true}) {
        setBrailleMode(0);
        std::vector<int> modes;
        for (int i = 0; i < 3; ++i) {
            backend->input.push_back(special(SpecialKey::F11, true, !alternative, alternative));
            keyAvailable();
            modes.push_back(brailleMode);
        }
        backend->input.push_back(special(SpecialKey::F12, true, !alternative, alternative));
        EXPECT_FALSE(keyAvailable()) << "the mode keys queue nothing";
        EXPECT_EQ(modes, (std::vector<int>{1, 2, 1}));
        EXPECT_EQ(brailleMode, 0);
    }
    EXPECT_EQ(tonesHeard(), (std::vector<int>{800, 1600, 800, 400, 800, 1600, 100,    //
                                              800, 1600, 800, 400, 800, 1600, 100}));
    setBrailleMode(0);  // already off: no tone
    EXPECT_EQ(tonesHeard().size(), 14u);
}

TEST_F(BrailleTest, TheConfiguredModeStartsWithTheWindow) {
    config("[BRAILLE]\nMODO=2\n");
    openConsole();
    EXPECT_EQ(brailleMode, 2);
    EXPECT_EQ(tonesHeard(), (std::vector<int>{800, 400}));
    resetConsole();
    config("[BRAILLE]\nMODO=3\n");  // 3 counts as 1
    openConsole();
    EXPECT_EQ(brailleMode, 1);
}

TEST_F(BrailleTest, WithoutKeyReleasesBrailleStaysOff) {
    backend->transitions = false;
    config("[BRAILLE]\nMODO=1\n");
    openConsole();
    EXPECT_EQ(brailleMode, 0);
    backend->input.push_back(special(SpecialKey::F11, true, true));
    InputEvent a;
    a.ch = 'a';
    backend->input.push_back(a);
    EXPECT_EQ(typed(), std::string("\0\x68" "a", 3));  // Ctrl+F11 (104), then the letter
    EXPECT_EQ(brailleMode, 0);
}

TEST_F(BrailleTest, ToneImageHoldsWholeSquarePeriods) {
    std::string image = consoleToneImage(800);
    auto le = [&](int at, int bytes) {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(image[at + i])) << (8 * i);
        return v;
    };
    // Period 13 samples; period k starts at k * 11025 / 800 and is written
    // while its start + 44 <= 11025 - 13: the first one not written starts at 10969.
    ASSERT_EQ(image.size(), 44u + 10969);
    EXPECT_EQ(image.substr(0, 4), "RIFF");
    EXPECT_EQ(le(4, 4), 10969u + 36);
    EXPECT_EQ(image.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le(20, 2), 1u);
    EXPECT_EQ(le(22, 2), 1u);
    EXPECT_EQ(le(24, 4), 11025u);
    EXPECT_EQ(le(34, 2), 8u);
    EXPECT_EQ(le(40, 4), 10969u);
    const uint8_t* data = reinterpret_cast<const uint8_t*>(image.data()) + 44;
    EXPECT_EQ(data[0], 96);
    EXPECT_EQ(data[5], 96);
    EXPECT_EQ(data[6], 160);
    EXPECT_EQ(data[12], 160);
    EXPECT_EQ(data[13], 96);  // the second period starts at 13
    EXPECT_EQ(data[10968], 128);
    EXPECT_TRUE(consoleToneImage(0).empty());
    EXPECT_TRUE(consoleToneImage(20000).empty());
}

} // namespace
