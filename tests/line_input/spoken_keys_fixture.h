// Keys in, speech out: the speech fixture's labelled recordings on the
// capture sink, with the headless console reading typed keys (bytes as a
// terminal sends them) from a pipe. When the keys run out every further
// key is Esc. The console cursor is recorded each time a key is awaited, so
// a test sees where a mode stood before every key.
#pragma once

#include "../speech/speech_fixture.h"
#include "platform/headless/headless_console.h"

#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

namespace spokenkeys {

// The headless console, recording where the cursor stands while a key is awaited.
class RecordingConsole : public ConsoleBackend {
public:
    explicit RecordingConsole(int inputFd) {
        HeadlessOptions options;
        options.inputFd = inputFd;
        options.transcriptFd = -1;
        options.endlessKey = 27;
        inner_ = makeHeadlessConsole(options);
    }
    std::vector<std::pair<int, int>> cursorAtKey;  // 1-based column, row

    bool open() override { return inner_->open(); }
    void close() override { inner_->close(); }
    void drawRange(int row, int from, int to, const uint8_t* c, const uint8_t* a) override {
        inner_->drawRange(row, from, to, c, a);
    }
    void drawAll(const uint8_t* c, const uint8_t* a) override { inner_->drawAll(c, a); }
    void setCursor(int column, int row, bool visible) override {
        if (visible) cursorAtKey.emplace_back(column + 1, row + 1);
    }
    void pollInput(std::vector<InputEvent>& events, int timeoutMs, bool keyAwaited) override {
        inner_->pollInput(events, timeoutMs, keyAwaited);
    }
    void modifiers(bool& shift, bool& ctrl, bool& alt) override { inner_->modifiers(shift, ctrl, alt); }

private:
    std::unique_ptr<ConsoleBackend> inner_;
};

class SpokenKeysTest : public speechtest::SpeechTest {
protected:
    RecordingConsole* keys = nullptr;

    void TearDown() override {
        if (input_ >= 0) ::close(input_);
        speechtest::SpeechTest::TearDown();
    }

    // Starts a fresh console (blank screen) that will be typed `typed`, and
    // forgets what was played so far.
    void type(const std::string& typed) {
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        ASSERT_EQ(::write(fds[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
        ::close(fds[1]);
        if (input_ >= 0) ::close(input_);
        input_ = fds[0];
        auto backend = std::make_unique<RecordingConsole>(input_);
        keys = backend.get();
        setConsoleBackend(std::move(backend));
        openConsole();
        useCapture();
    }

    // Adds a recording of the letter folder that the speech fixture lacks.
    void addRecording(const std::string& name) {
        int value = freeValues().at(recordingNames().size() + extraRecordings_++);
        labels[value] = name;
        speechtest::writeFile(root / "letras" / (name + ".wav"),
                              speechtest::wave(std::string(300, static_cast<char>(value))));
    }

    // Writes `text` at column, row in the current colours.
    static void put(int column, int row, const std::string& text) {
        moveCursor(column, row);
        consoleWrite(text);
    }

private:
    int input_ = -1;
    size_t extraRecordings_ = 0;
};

// Keys as a terminal (and a key file) sends them.
inline const std::string F1 = "\x1bOP", F5 = "\x1b[15~", F6 = "\x1b[17~", CTRL_F1 = "\x1b[1;5P",
                         CTRL_F5 = "\x1b[15;5~", HOME = "\x1b[H", END = "\x1b[F", UP = "\x1b[A",
                         DOWN = "\x1b[B", RIGHT = "\x1b[C", LEFT = "\x1b[D", CTRL_RIGHT = "\x1b[1;5C",
                         CTRL_LEFT = "\x1b[1;5D", PAGE_UP = "\x1b[5~", PAGE_DOWN = "\x1b[6~",
                         CTRL_PAGE_UP = "\x1b[5;5~", CTRL_PAGE_DOWN = "\x1b[6;5~", SHIFT_TAB = "\x1b[Z",
                         F2 = "\x1bOQ", ALT_CTRL_F9 = "\x1b[20;7~", ESC = "\x1b";

} // namespace spokenkeys
