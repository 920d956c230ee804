// The talking line editor: keys in, text, exit code, screen and the sounds
// asked of the speech facade out. A fake backend hands the editor one key
// (with its modifiers) each time it waits for one.
#include "console/console.h"
#include "line_input/line_editor.h"
#include "platform/audio_sink.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "sound/wave_player.h"
#include "speech/speech.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct KeyFeeder : ConsoleBackend {
    std::deque<InputEvent> keys;
    int overrun = 0;
    bool shift = false, ctrl = false, alt = false;

    bool open() override { return true; }
    void close() override {}
    void drawRange(int, int, int, const uint8_t*, const uint8_t*) override {}
    void drawAll(const uint8_t*, const uint8_t*) override {}
    void setCursor(int, int, bool) override {}
    void pollInput(std::vector<InputEvent>& events, int, bool keyAwaited) override {
        if (!keyAwaited) return;
        InputEvent e;
        if (keys.empty()) {
            // A test that runs out of keys ends the editor with Esc.
            ++overrun;
            e.ch = 27;
        } else {
            e = keys.front();
            keys.pop_front();
        }
        shift = e.shift;
        ctrl = e.ctrl;
        alt = e.alt;
        events.push_back(e);
    }
    void modifiers(bool& s, bool& c, bool& a) override {
        s = shift;
        c = ctrl;
        a = alt;
    }
};

InputEvent ch(uint8_t c, bool ctrl = false, bool alt = false) {
    InputEvent e;
    e.ch = c;
    e.ctrl = ctrl;
    e.alt = alt;
    return e;
}

InputEvent key(SpecialKey k, bool shift = false, bool ctrl = false, bool alt = false) {
    InputEvent e;
    e.kind = InputEvent::Special;
    e.key = k;
    e.shift = shift;
    e.ctrl = ctrl;
    e.alt = alt;
    return e;
}

const InputEvent ENTER = ch(13);
const InputEvent RIGHT = key(SpecialKey::Right);
const InputEvent SHIFT_RIGHT = key(SpecialKey::Right, true);
const InputEvent END = key(SpecialKey::End);
const InputEvent DEL = key(SpecialKey::Delete);
const InputEvent CTRL_K = ch(11);  // says the cursor position

std::vector<std::string> heard;
void record(std::string_view event) { heard.emplace_back(event); }

class LineEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/line_editor_test_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        home_ = dir;
        setenv("TALORA_HOME", home_.c_str(), 1);
        resetTalorahome();
        resetConsole();
        auto backend = std::make_unique<KeyFeeder>();
        feeder = backend.get();
        setConsoleBackend(std::move(backend));
        openConsole();
        echoTyping = true;
        firstKeyClears = true;
        heard.clear();
        setLineEditorTrace(record);
    }
    void TearDown() override {
        setLineEditorTrace(nullptr);
        EXPECT_EQ(feeder->overrun, 0) << "the editor wanted more keys than the test gave";
        resetConsole();
        std::system(("rm -rf '" + home_ + "'").c_str());
    }

    void type(std::initializer_list<InputEvent> keys) { feeder->keys.insert(feeder->keys.end(), keys); }
    void typeText(const std::string& text) {
        for (char c : text) feeder->keys.push_back(ch(static_cast<uint8_t>(c)));
    }
    // Runs the editor on `text` in a field at column 1, row 1.
    int edit(std::string& text, int maxLength = 40, bool editable = true) {
        return readTalkingLine(text, 1, 1, editable, maxLength);
    }
    bool heardEvent(const std::string& event) const {
        return std::find(heard.begin(), heard.end(), event) != heard.end();
    }
    int count(const std::string& event) const { return static_cast<int>(std::count(heard.begin(), heard.end(), event)); }

    KeyFeeder* feeder = nullptr;
    std::string home_;
};

TEST_F(LineEditorTest, TypingOnAnOfferedValueReplacesItMovingFirstKeepsIt) {
    std::string text = "abc";
    typeText("x");
    type({ENTER});
    EXPECT_EQ(edit(text), 13);
    EXPECT_EQ(text, "x");
    EXPECT_EQ(heard, (std::vector<std::string>{"click", "click", "_120"}));

    text = "abc";
    heard.clear();
    type({RIGHT});
    typeText("x");
    type({ENTER});
    edit(text);
    EXPECT_EQ(text, "axbc");
    EXPECT_EQ(heard, (std::vector<std::string>{"_97", "_120"}));

    // The flag off, typing inserts at once.
    firstKeyClears = false;
    text = "abc";
    typeText("x");
    type({ENTER});
    edit(text);
    EXPECT_EQ(text, "xabc");
}

TEST_F(LineEditorTest, AFullFieldRefusesTypingAndKeepsItsText) {
    std::string text = "abcde";
    type({END});
    typeText("x");
    type({ENTER});
    edit(text, 5);
    EXPECT_EQ(text, "abcde");
    EXPECT_EQ(heard, (std::vector<std::string>{"error"}));

    // Inserting in the middle would push the last character out.
    text = "abcde";
    heard.clear();
    type({RIGHT, RIGHT});
    typeText("x");
    type({ENTER});
    edit(text, 5);
    EXPECT_EQ(text, "abcde");
    EXPECT_TRUE(heardEvent("error"));
}

TEST_F(LineEditorTest, ShiftRightThreeTimesThenDeleteRemovesTheSelectionWithOneAnnouncement) {
    std::string text = "abcdef";
    setLineEditorTrace([](std::string_view event) {
        record(event);
        if (event == "_DEL") heard.push_back("attrs:" + std::to_string(screenAttrAt(1, 1)) + "," +
                                              std::to_string(screenAttrAt(2, 1)) + "," +
                                              std::to_string(screenAttrAt(4, 1)) + "," +
                                              std::to_string(screenAttrAt(5, 1)));
    });
    type({RIGHT, SHIFT_RIGHT, SHIFT_RIGHT, SHIFT_RIGHT, DEL, ENTER});
    edit(text);
    EXPECT_EQ(text, "aef");
    EXPECT_EQ(count("_DEL"), 1);
    std::vector<std::string> tail(heard.end() - 5, heard.end());
    const std::string normal = std::to_string(textAttribute), selected = std::to_string(0x80 | (textAttribute & 0x0F));
    EXPECT_EQ(tail, (std::vector<std::string>{"_DEL", "attrs:" + normal + "," + selected + "," + selected + "," + normal,
                                              "_98", "_99", "_100"}));
    // The field on the screen is back to the normal colours.
    EXPECT_EQ(screenAttrAt(2, 1), textAttribute);
}

TEST_F(LineEditorTest, ExitCodes) {
    struct Case {
        InputEvent key;
        int code;
    };
    const Case cases[] = {
        {ch(13), 13},
        {ch(9), 9},
        {ch(13, true), 10},  // Ctrl+Enter
        {ch(27), 27},
        {key(SpecialKey::Up), 72},
        {key(SpecialKey::Down), 80},
        {key(SpecialKey::PageUp), 73},
        {key(SpecialKey::PageDown), 81},
        {key(SpecialKey::F2), 60},
        {key(SpecialKey::F1, false, false, true), LINE_EXIT_ALT_F1},
        {key(SpecialKey::F9, false, true), LINE_EXIT_CTRL_F9},
    };
    for (const Case& c : cases) {
        std::string text = "abc";
        type({c.key});
        EXPECT_EQ(edit(text), c.code) << "key code " << c.code;
        EXPECT_EQ(text, "abc");
    }
    // Alt+Ctrl+F9 (screen review, left with Esc), Alt with a digit and
    // Alt+Q (which some layouts also turn into a character) do not end the
    // line.
    std::string text = "abc";
    type({key(SpecialKey::F9, false, true, true), ch(27), ch('1', false, true), ch('q', false, true), ENTER});
    EXPECT_EQ(edit(text), 13);
    EXPECT_EQ(text, "abc");
    EXPECT_TRUE(heard.empty());
}

TEST_F(LineEditorTest, CopyAndPaste) {
    // Without a selection the whole field is copied as a line.
    std::string text = "abcdef";
    type({ch(3), ENTER});
    edit(text);
    EXPECT_EQ(pasteFromClipboard(100), "abcdef\r\n");

    // With one, only the selected characters.
    type({RIGHT, SHIFT_RIGHT, SHIFT_RIGHT, key(SpecialKey::Insert, false, true), ENTER});
    edit(text);
    EXPECT_EQ(pasteFromClipboard(100), "bc");

    // Pasting inserts the first line of the clipboard at the cursor and
    // selects it, so Delete takes it away again.
    copyToClipboard("XY\r\nZ");
    type({RIGHT, ch(22), CTRL_K, ENTER});
    edit(text);
    EXPECT_EQ(text, "aXYbcdef");
    EXPECT_TRUE(heardEvent("text:2"));  // the cursor stays at the start of the pasted text
    type({RIGHT, ch(22), DEL, ENTER});
    edit(text);
    EXPECT_EQ(text, "aXYbcdef");

    // As the first key on an offered value, paste replaces the value.
    heard.clear();
    type({key(SpecialKey::Insert, true), ENTER});
    edit(text);
    EXPECT_EQ(text, "XY");
    EXPECT_EQ(count("click"), 2);

    // The pasted text keeps to the field's length.
    copyToClipboard("123456789");
    text = "ab";
    type({END, ch(22), ENTER});
    edit(text, 5);
    EXPECT_EQ(text, "ab123");

    // Nothing to paste, or a field that cannot change: nothing changes.
    copyToClipboard("");
    heard.clear();
    type({END, ch(22), ENTER});
    edit(text, 5);
    EXPECT_EQ(text, "ab123");
    EXPECT_EQ(heard, (std::vector<std::string>{"error"}));
    copyToClipboard("Q");
    type({ch(22), ENTER});
    edit(text, 5, false);
    EXPECT_EQ(text, "ab123");
}

TEST_F(LineEditorTest, FieldWideEdits) {
    struct Case {
        const char* name;
        std::vector<InputEvent> keys;
        const char* result;
        std::vector<std::string> sounds;
    };
    const std::vector<Case> cases = {
        {"Ctrl+Y empties", {ch(25)}, "", {"_CPOAPA"}},
        {"Ctrl+S removes before the cursor", {RIGHT, RIGHT, ch(19)}, "cdef", {"_97", "_98", "_APICPO"}},
        {"Ctrl+D removes from the cursor", {RIGHT, RIGHT, ch(4)}, "ab", {"_97", "_98", "_APFCPO"}},
        {"Ctrl+U brings the start back", {ch(25), ch(21)}, "abcdef", {"_CPOAPA", "error", "error", "error"}},
        {"Backspace at 1", {ch(8)}, "abcdef", {"error"}},
        {"Backspace", {RIGHT, RIGHT, ch(8)}, "acdef", {"_97", "_98", "_DEL", "_98"}},
        {"Delete", {DEL}, "bcdef", {"_DEL", "_97"}},
    };
    for (const Case& c : cases) {
        std::string text = "abcdef";
        heard.clear();
        feeder->keys.insert(feeder->keys.end(), c.keys.begin(), c.keys.end());
        type({ENTER});
        edit(text);
        EXPECT_EQ(text, c.result) << c.name;
        EXPECT_EQ(heard, c.sounds) << c.name;

        // A field that cannot change keeps its text.
        text = "abcdef";
        feeder->keys.insert(feeder->keys.end(), c.keys.begin(), c.keys.end());
        type({ENTER});
        edit(text, 40, false);
        EXPECT_EQ(text, "abcdef") << c.name << " (not editable)";
    }
}

TEST_F(LineEditorTest, WordLeftAndRight) {
    std::string text = "hello big world";
    const InputEvent right = key(SpecialKey::Right, false, true), left = key(SpecialKey::Left, false, true);
    type({right, CTRL_K, right, CTRL_K, right, CTRL_K, left, CTRL_K, left, CTRL_K, left, CTRL_K, ENTER});
    edit(text);
    EXPECT_EQ(heard, (std::vector<std::string>{"click", "text:7", "click", "text:11", "error", "text:16",
                                               "click", "text:11", "click", "text:7", "error", "text:1"}));
    // Digits, letters and other characters each make a stop.
    text = "ab12.c";
    heard.clear();
    type({right, CTRL_K, right, CTRL_K, right, CTRL_K, left, CTRL_K, ENTER});
    edit(text);
    EXPECT_EQ(heard, (std::vector<std::string>{"click", "text:3", "click", "text:5", "click", "text:6",
                                               "click", "text:5", }));
}

TEST_F(LineEditorTest, CtrlBackspaceDeletesTheWordBeforeTheCursor) {
    std::string text = "hello big world";
    type({END, ch(8, true), CTRL_K, ENTER});
    edit(text);
    EXPECT_EQ(text, "hello big");
    EXPECT_EQ(heard, (std::vector<std::string>{"_DEL", "_119", "_111", "_114", "_108", "_100", "text:11"}));

    // Inside a word, the part before the cursor goes; at the start, nothing.
    text = "hello world";
    heard.clear();
    type({RIGHT, RIGHT, RIGHT, ch(8, true), ch(8, true), ENTER});
    edit(text);
    EXPECT_EQ(text, "lo world");
    EXPECT_EQ(heard.back(), "error");
}

TEST_F(LineEditorTest, F1ReadsWordByWord) {
    std::string text = "12 casa rst . -5";
    const InputEvent f1 = key(SpecialKey::F1);
    type({f1, f1, f1, f1, f1, f1, CTRL_K, ENTER});
    edit(text);
    EXPECT_EQ(heard, (std::vector<std::string>{"text:12", "text:casa", "spell:rst", "spell:.", "text:-5",
                                               "error", "text:17"}));
}

TEST_F(LineEditorTest, SpeakingKeys) {
    std::string text = "ab";
    type({key(SpecialKey::Right, false, false, true), RIGHT, RIGHT, key(SpecialKey::Left),
          key(SpecialKey::Home), key(SpecialKey::Left), key(SpecialKey::F1, false, true), key(SpecialKey::F8),
          key(SpecialKey::F8, false, true), ENTER});
    edit(text, 2);
    EXPECT_EQ(heard, (std::vector<std::string>{"_FON97", "_98", "error", "_98", "error", "text:ab", "time", "date"}));

    // F4 turns the echo of typed characters off and on.
    heard.clear();
    type({key(SpecialKey::F4), ch('x'), key(SpecialKey::F4), ch('y'), ENTER});
    edit(text);
    EXPECT_EQ(text, "xyab");
    EXPECT_EQ(heard, (std::vector<std::string>{"_FALDLG", "_FALACI", "_121"}));
    EXPECT_TRUE(echoTyping);
}

TEST_F(LineEditorTest, SpeedChange) {
    // The voice restarts on the data the build provides.
    setenv("TALORA_HOME", TEST_BINARY_DIR "/data/home", 1);
    resetTalorahome();
    initSpeech(3, "c:\\ondaria\\som");
    std::string text;
    type({key(SpecialKey::F4, false, true), ch('5'), ENTER});
    edit(text);
    EXPECT_EQ(heard, (std::vector<std::string>{"_VELOC", "_53", "speed:5"}));
    EXPECT_EQ(speechSpeed(), 5);
    EXPECT_EQ(programSoundDirectory(), "c:\\ondaria\\som\\");

    // Esc keeps the speed.
    heard.clear();
    type({key(SpecialKey::F4, false, true), ch(27), ENTER});
    edit(text);
    EXPECT_EQ(heard, (std::vector<std::string>{"_VELOC", "_27"}));
    EXPECT_EQ(speechSpeed(), 5);
}

TEST_F(LineEditorTest, DialsTheFieldAsTones) {
    std::string text = "1*#a9";
    type({ch(28), ENTER});
    edit(text);
    EXPECT_EQ(heard, (std::vector<std::string>{"dtmf_1", "dtmf_X", "dtmf_#", "dtmf_9"}));
}

TEST_F(LineEditorTest, LongFieldsScrollAndShowTheirStartOnExit) {
    moveCursor(1, 1);
    consoleWrite("Nome:");
    std::string text;
    typeText("abcdefghijkl");
    type({ENTER});
    readTalkingLine(text, 70, 1, true, 100);  // nine columns wide
    EXPECT_EQ(text, "abcdefghijkl");
    EXPECT_EQ(screenRowText(1), "Nome:" + std::string(64, ' ') + "abcdefghi");
    EXPECT_EQ(cursorColumn(), 70);

    // Control characters show as "?" and are kept.
    text = std::string("a\tb\r\n");
    type({ENTER});
    edit(text);
    EXPECT_EQ(text, "a\tb\r\n");
    EXPECT_EQ(screenRowText(1).substr(0, 5), "a?b??");
}

TEST_F(LineEditorTest, FieldsAtTheScreenEdgeOrWithoutRoom) {
    std::string text = "abc";
    typeText("x");
    type({ENTER});
    EXPECT_EQ(readTalkingLine(text, 80, 25, true, 10), 13);
    EXPECT_EQ(text, "x");
    EXPECT_EQ(screenCharAt(80, 25), 'x');
    EXPECT_EQ(screenRowText(24), "");  // nothing scrolled

    text = "";
    typeText("x");
    type({key(SpecialKey::F1), key(SpecialKey::Right), ENTER});
    EXPECT_EQ(readTalkingLine(text, 1, 1, true, 0), 13);
    EXPECT_EQ(text, "");
    EXPECT_EQ(heard.back(), "error");
}

TEST_F(LineEditorTest, EscInReadLineAtCursorBlanksTheLine) {
    moveCursor(1, 3);
    consoleWrite("Busca: ");
    std::string text;
    typeText("radio");
    type({ch(27)});
    EXPECT_EQ(readLineAtCursor(text), 27);
    EXPECT_EQ(text, "");
    EXPECT_EQ(screenRowText(3), "Busca:");
    EXPECT_EQ(cursorRow(), 4);
    EXPECT_EQ(cursorColumn(), 1);

    typeText("jazz");
    type({ENTER});
    EXPECT_EQ(readLineAtCursor(text), 13);
    EXPECT_EQ(text, "jazz");
    EXPECT_EQ(screenRowText(4), "jazz");
    EXPECT_EQ(cursorRow(), 5);
}

// What the user hears, on a capture sink: every recording of the letter
// folder has a length of its own, so the blocks played name the recordings.
class HeardOnCaptureTest : public LineEditorTest {
protected:
    void SetUp() override {
        LineEditorTest::SetUp();
        std::ofstream(home_ + "/FALARIS.INI")
            << "[TRADUTOR]\r\nDIRLETRAS=c:\\letras\\\r\nDIRDIFONES=" TEST_BINARY_DIR
               "/data/home/drive_c/talora/som/difones\r\n";
        ASSERT_EQ(std::system(("mkdir -p '" + home_ + "/drive_c/letras'").c_str()), 0);
        for (int code : {97, 98, 99, 100, 120}) recording("_" + std::to_string(code), 2000 + code);
        recording("_DEL", 3000);
        setAudioSink(makeCaptureSink(CaptureOptions{}));
        initSpeech(3, "");
    }
    void TearDown() override {
        setAudioSink(nullptr);
        LineEditorTest::TearDown();
    }
    // An 8-bit mono 11 025 Hz recording of `samples` samples.
    void recording(const std::string& name, size_t samples) {
        std::string wav(44, '\0');
        makeWaveHeader(wav.data(), 11025, 8, static_cast<uint32_t>(samples), 1);
        wav.append(samples, '\x90');
        std::ofstream(home_ + "/drive_c/letras/" + name + ".wav", std::ios::binary) << wav;
        names_[samples] = name;
    }
    // The recordings played so far, by name; the click and the error tone
    // are made in memory with 256 and 512 samples.
    std::vector<std::string> played() {
        std::vector<std::string> out;
        for (const CaptureEvent& e : audioSink().captureLog()->events) {
            if (e.kind != CaptureEvent::Block) continue;
            auto it = names_.find(e.bytes);
            out.push_back(it != names_.end() ? it->second : e.bytes == 256 ? "click" : e.bytes == 512 ? "error"
                                                                                  : std::to_string(e.bytes));
        }
        return out;
    }
    std::map<size_t, std::string> names_;
};

TEST_F(HeardOnCaptureTest, RecordingsPlayedForSelectionDeleteAndTheFirstKey) {
    std::string text = "abcdef";
    type({RIGHT, SHIFT_RIGHT, SHIFT_RIGHT, SHIFT_RIGHT, DEL, key(SpecialKey::Home), key(SpecialKey::Left), ENTER});
    edit(text);
    EXPECT_EQ(text, "aef");
    EXPECT_EQ(played(), (std::vector<std::string>{"_97", "_98", "_99", "_100", "_DEL", "_98", "_99", "_100", "error"}));

    text = "abc";
    typeText("x");
    type({ENTER});
    edit(text);
    std::vector<std::string> all = played();
    EXPECT_EQ(std::vector<std::string>(all.begin() + 9, all.end()), (std::vector<std::string>{"click", "click", "_120"}));
}

// Opening goes to real programs: small scripts that write what they were
// given to a log, with a fake xdg-open first in PATH.
class OpenWordTest : public LineEditorTest {
protected:
    void SetUp() override {
        LineEditorTest::SetUp();
        log_ = home_ + "/opened.log";
        savedPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
        savedDirectory_ = currentDirectory();
        setenv("PATH", (home_ + "/bin:/usr/bin:/bin").c_str(), 1);
        program("bin/navegador", "navegador");
        program("bin/xdg-open", "xdg-open");
        program("drive_c/bin/editor.exe", "editor");
        program("drive_c/jogos/xadrez.exe", "xadrez");
        program("drive_c/jogos/xadrez.com", "xadrezcom");
        program("work/xadrez.exe", "aqui");
        std::ofstream(home_ + "/work/foto.jpg") << "JPEG";
        ASSERT_TRUE(changeDirectory(home_ + "/work"));
        std::ofstream(home_ + "/FALARIS.INI") << "[FALARIS]\r\nPROG.HTM=navegador\r\nPROG.TXT=c:\\bin\\editor.exe\r\n";
    }
    void TearDown() override {
        changeDirectory(savedDirectory_);
        setenv("PATH", savedPath_.c_str(), 1);
        LineEditorTest::TearDown();
    }
    void program(const std::string& path, const std::string& name) {
        std::string full = home_ + "/" + path;
        ASSERT_EQ(std::system(("mkdir -p \"$(dirname '" + full + "')\"").c_str()), 0);
        std::ofstream(full) << "#!/bin/sh\necho \"" << name << ":$*\" >> '" << log_ << "'\n";
        ASSERT_EQ(chmod(full.c_str(), 0755), 0);
    }
    // The lines logged once `count` have come (sorted: programs run on their own).
    std::vector<std::string> opened(size_t count) {
        std::vector<std::string> lines;
        for (int tries = 0; tries < 500 && lines.size() < count; ++tries) {
            usleep(10000);
            lines.clear();
            std::ifstream in(log_);
            for (std::string line; std::getline(in, line);) lines.push_back(line);
        }
        unlink(log_.c_str());
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    std::string log_, savedPath_, savedDirectory_;
};

TEST_F(OpenWordTest, OpensTheWordWithItsProgram) {
    struct Case {
        const char* word;
        std::string opened;
    };
    const Case cases[] = {
        {"https://radio.example/x", "navegador:https://radio.example/x"},
        {"(www.radio.example.", "navegador:www.radio.example"},
        {"notas.txt", "editor:notas.txt"},
        {"c:\\jogos\\xadrez.exe", "xadrez:"},
        {"\\jogos\\xadrez.com", "xadrezcom:"},
        {"xadrez.exe", "aqui:"},  // in the current directory
        {"foto.jpg", "xdg-open:foto.jpg"},
    };
    for (const Case& c : cases) {
        openWordTarget(c.word);
        EXPECT_EQ(opened(1), std::vector<std::string>{c.opened}) << c.word;
    }
    openWordTarget("_-.");
    EXPECT_EQ(heard, std::vector<std::string>{"error"});

    // F12 takes the word the cursor is on or has just passed.
    std::string text = "ver notas.txt foto.jpg";
    heard.clear();
    type({key(SpecialKey::Right, false, true), key(SpecialKey::F12), key(SpecialKey::Right, false, true),
          key(SpecialKey::Left), key(SpecialKey::F12), key(SpecialKey::End), key(SpecialKey::F12), ENTER});
    edit(text);
    EXPECT_EQ(heard, (std::vector<std::string>{"click", "click", "_115"}));
    EXPECT_EQ(opened(3), (std::vector<std::string>{"editor:notas.txt", "editor:notas.txt",
                                                   "xdg-open:foto.jpg"}));
}

}  // namespace
