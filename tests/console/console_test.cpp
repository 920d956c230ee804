// The console model: writing rules, cursor, colours from FALARIS.INI, the
// key queue and its translation of key events, line input. A small fake
// backend records what the console asks it to draw and hands it keys.
#include "console/console.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct DrawCall {
    int row, from, to;  // row -1: the whole screen
};

struct FakeBackend : ConsoleBackend {
    std::vector<DrawCall> draws;
    uint8_t colourMap[16] = {};
    bool cursorVisible = false;
    bool visibleWhileAwaited = false;
    std::deque<InputEvent> keys;

    bool open() override { return true; }
    void close() override {}
    void drawRange(int row, int from, int to, const uint8_t*, const uint8_t*) override {
        draws.push_back({row, from, to});
    }
    void drawAll(const uint8_t*, const uint8_t*) override { draws.push_back({-1, 0, 80}); }
    void setCursor(int, int, bool visible) override { cursorVisible = visible; }
    void setColourMap(const uint8_t map[16]) override { std::copy(map, map + 16, colourMap); }
    void pollInput(std::vector<InputEvent>& events, int, bool keyAwaited) override {
        if (keyAwaited) visibleWhileAwaited = cursorVisible;
        while (!keys.empty()) {
            events.push_back(keys.front());
            keys.pop_front();
        }
    }
};

InputEvent ch(uint8_t c, bool shift = false, bool ctrl = false, bool alt = false) {
    InputEvent e;
    e.ch = c;
    e.shift = shift;
    e.ctrl = ctrl;
    e.alt = alt;
    return e;
}

InputEvent key(SpecialKey k, bool shift = false, bool ctrl = false, bool alt = false) {
    InputEvent e = ch(0, shift, ctrl, alt);
    e.kind = InputEvent::Special;
    e.key = k;
    return e;
}

class ConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/console_test_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        home_ = dir;
        setenv("TALORA_HOME", home_.c_str(), 1);
        resetTalorahome();
        resetConsole();
        auto backend = std::make_unique<FakeBackend>();
        fake = backend.get();
        setConsoleBackend(std::move(backend));
    }
    void TearDown() override {
        resetConsole();
        unlink((home_ + "/FALARIS.INI").c_str());
        rmdir(home_.c_str());
    }
    // Lines of the [VIDEO] section; read when the console opens.
    void video(const std::string& lines) {
        std::ofstream(home_ + "/FALARIS.INI") << "[VIDEO]\n" << lines;
    }
    // The queue's bytes after the backend reports `events`.
    std::vector<int> queued(std::vector<InputEvent> events) {
        for (const InputEvent& e : events) fake->keys.push_back(e);
        std::vector<int> bytes;
        while (keyAvailable()) bytes.push_back(readKey());
        return bytes;
    }

    FakeBackend* fake = nullptr;
    std::string home_;
};

TEST_F(ConsoleTest, WritingWrapsAfterColumn80) {
    consoleWrite(std::string(80, 'a'));
    EXPECT_EQ(cursorColumn(), 81);  // after column 80, still on row 1
    EXPECT_EQ(cursorRow(), 1);
    consoleWrite("b");
    EXPECT_EQ(screenRowText(1), std::string(80, 'a'));
    EXPECT_EQ(screenRowText(2), "b");
    EXPECT_EQ(cursorColumn(), 2);

    clearScreen();
    consoleWrite(std::string(81, 'c'));
    EXPECT_EQ(screenRowText(2), "c");
    EXPECT_EQ(cursorRow(), 2);
}

TEST_F(ConsoleTest, ControlBytes) {
    struct Case {
        const char* bytes;
        const char* row1;
        const char* row2;
        int column, row;
    } cases[] = {
        {"AB\rC", "CB", "", 2, 1},       // CR without LF
        {"AB\n", "AB", "", 1, 2},        // LF alone: column 1 of the next row
        {"AB\nC", "AB", "C", 2, 2},
        {"ABC\b", "AB", "", 3, 1},       // BS blanks the cell it moves onto
        {"\bA", "A", "", 2, 1},          // BS in column 1 does nothing
        {"A\tB\x01\x1b" "C", "ABC", "", 4, 1},  // tab and other controls are ignored
        {"A\r\nB", "A", "B", 2, 2},
    };
    for (const Case& c : cases) {
        clearScreen();
        consoleWrite(c.bytes);
        EXPECT_EQ(screenRowText(1), c.row1) << c.bytes;
        EXPECT_EQ(screenRowText(2), c.row2) << c.bytes;
        EXPECT_EQ(cursorColumn(), c.column) << c.bytes;
        EXPECT_EQ(cursorRow(), c.row) << c.bytes;
    }
    // BS right after column 80 blanks column 80.
    clearScreen();
    consoleWrite(std::string(80, 'x') + "\b");
    EXPECT_EQ(screenRowText(1), std::string(79, 'x'));
    EXPECT_EQ(cursorColumn(), 80);
}

TEST_F(ConsoleTest, LineFeedOnTheLastRowScrollsWithTheCurrentBackground) {
    for (int i = 1; i <= 25; ++i) consoleWrite("line " + std::to_string(i) + (i < 25 ? "\r\n" : ""));
    setBackgroundColour(1);
    setTextColour(14);
    fake->draws.clear();
    consoleWrite("\r\n");
    EXPECT_EQ(screenRowText(1), "line 2");
    EXPECT_EQ(screenRowText(24), "line 25");
    EXPECT_EQ(screenRowText(25), "");
    EXPECT_EQ(screenAttrAt(1, 25), 0x1E);
    EXPECT_EQ(screenAttrAt(80, 25), 0x1E);
    EXPECT_EQ(screenAttrAt(1, 24), 0x0F);
    EXPECT_EQ(cursorRow(), 25);
    ASSERT_EQ(fake->draws.size(), 1u);  // one whole-screen draw for the scroll
    EXPECT_EQ(fake->draws[0].row, -1);
}

TEST_F(ConsoleTest, WritingDrawsOnlyTheChangedCells) {
    consoleWrite("ABC");
    fake->draws.clear();
    consoleWrite("D");
    consoleWrite("\rx");
    consoleWrite("\b");
    ASSERT_EQ(fake->draws.size(), 3u);
    EXPECT_EQ(fake->draws[0].from, 3);
    EXPECT_EQ(fake->draws[0].to, 4);
    EXPECT_EQ(fake->draws[1].from, 0);
    EXPECT_EQ(fake->draws[1].to, 1);
    EXPECT_EQ(fake->draws[2].from, 0);
    EXPECT_EQ(fake->draws[2].to, 1);
}

TEST_F(ConsoleTest, MoveCursorClamps) {
    openConsole();
    moveCursor(0, 99);
    EXPECT_EQ(cursorColumn(), 1);
    EXPECT_EQ(cursorRow(), 25);
    moveCursor(200, -5);
    EXPECT_EQ(cursorColumn(), 80);
    EXPECT_EQ(cursorRow(), 1);
    moveCursor(10, 3);
    consoleWrite("z");
    EXPECT_EQ(screenCharAt(10, 3), 'z');
}

TEST_F(ConsoleTest, ColourMapFromTabcores) {
    struct Case {
        const char* value;
        std::vector<int> expected;  // the first entries; the rest stay identity
    } cases[] = {
        {"1,0", {1, 0, 2}},
        {"1, 0", {1, 1, 2}},          // an item with a space stops the filling
        {"300,7,x,9", {44, 7, 2, 3}},  // modulo 256; stops at the bad item
        {"", {0, 1, 2}},
        {"15,14,13,12,11,10,9,8,7,6,5,4,3,2,1,0,99", {15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
    };
    for (const Case& c : cases) {
        resetConsole();
        video(std::string("TABCORES=") + c.value + "\n");
        setConsoleBackend(std::make_unique<FakeBackend>());
        auto* backend = static_cast<FakeBackend*>(consoleBackend());
        openConsole();
        for (size_t i = 0; i < 16; ++i) {
            int want = i < c.expected.size() ? c.expected[i] : static_cast<int>(i);
            EXPECT_EQ(backend->colourMap[i], want) << c.value << " entry " << i;
        }
    }
}

TEST_F(ConsoleTest, InitialAndFixedColours) {
    video("CORFUNDO=1\nCORLETRA=12x\nCORESFIXAS=sim\n");
    openConsole();
    EXPECT_EQ(textAttribute, 0x1C);
    EXPECT_EQ(screenAttrAt(40, 20), 0x1C);
    setTextColour(4);
    setBackgroundColour(2);
    EXPECT_EQ(textAttribute, 0x1C);

    resetConsole();
    video("CORESFIXAS=N\n");
    setConsoleBackend(std::make_unique<FakeBackend>());
    setTextColour(20);  // & 15
    setBackgroundColour(7);
    EXPECT_EQ(textAttribute, 0x74);
}

TEST_F(ConsoleTest, KeyTranslation) {
    struct Case {
        const char* what;
        InputEvent event;
        std::vector<int> bytes;
    } cases[] = {
        {"a", ch('a'), {'a'}},
        {"Enter", ch(13), {13}},
        {"Ctrl+Enter", ch(13, false, true), {10}},
        {"Backspace", ch(8), {8}},
        {"Ctrl+Backspace", ch(8, false, true), {127}},
        {"Latin letter", ch(0xE9), {0xE9}},
        {"F1", key(SpecialKey::F1), {0, 59}},
        {"Ctrl+F1", key(SpecialKey::F1, false, true), {0, 94}},
        {"Shift+F1", key(SpecialKey::F1, true), {0, 59}},
        {"F12", key(SpecialKey::F12), {0, 70}},
        {"Insert", key(SpecialKey::Insert), {0, 82}},
        {"Shift+Insert", key(SpecialKey::Insert, true), {0, 254}},
        {"Ctrl+Insert", key(SpecialKey::Insert, false, true), {0, 255}},
        {"Ctrl+Delete", key(SpecialKey::Delete, false, true), {0, 83}},
        {"Ctrl+PageUp", key(SpecialKey::PageUp, false, true), {0, 132}},
        {"Ctrl+Right", key(SpecialKey::Right, false, true), {0, 116}},
        {"Alt+Left", key(SpecialKey::Left, false, false, true), {0, 75}},
        {"Alt+F4 belongs to the desktop", key(SpecialKey::F4, false, false, true), {}},
        {"Ctrl+Alt+Up", key(SpecialKey::Up, false, true, true), {0, 113}},
        {"Alt+a", ch('a', false, false, true), {0, 30}},
        {"Alt+Z", ch('Z', true, false, true), {0, 44}},
        {"Alt+1", ch('1', false, false, true), {0, 120}},
        {"Alt+9", ch('9', false, false, true), {0, 128}},
        {"Alt+0", ch('0', false, false, true), {0, 129}},
        {"Alt+comma", ch(',', false, false, true), {','}},
        {"Ctrl+Alt+A", ch(1, false, true, true), {0, 30}},
        {"Ctrl+Alt+q", ch('q', false, true, true), {0, 16}},
        {"Alt+F1 keeps its code", key(SpecialKey::F1, false, false, true), {0, 59}},
    };
    for (const Case& c : cases) EXPECT_EQ(queued({c.event}), c.bytes) << c.what;
}

TEST_F(ConsoleTest, FullQueueDropsKeys) {
    std::vector<InputEvent> many(70, ch('k'));
    EXPECT_EQ(queued(many).size(), 64u);

    // A two-byte code needs two free bytes: with 63 queued, F1 is dropped
    // but a one-byte key still fits.
    std::vector<InputEvent> events(63, ch('k'));
    events.push_back(key(SpecialKey::F1));
    events.push_back(ch('z'));
    std::vector<int> bytes = queued(events);
    ASSERT_EQ(bytes.size(), 64u);
    EXPECT_EQ(bytes[62], 'k');
    EXPECT_EQ(bytes[63], 'z');
    EXPECT_TRUE(queueKey('q'));
}

TEST_F(ConsoleTest, ReadLineEditsAndEchoes) {
    for (InputEvent e : {ch('a'), ch('b'), ch('x'), ch(8), ch('c'), ch(13)}) fake->keys.push_back(e);
    EXPECT_EQ(consoleReadLine(128), "abc");
    EXPECT_EQ(screenRowText(1), "abc");
    EXPECT_EQ(cursorRow(), 2);
    EXPECT_EQ(cursorColumn(), 1);
    EXPECT_TRUE(fake->visibleWhileAwaited);
    EXPECT_FALSE(fake->cursorVisible);

    // Capacity 5 keeps 3 characters; a special key's second byte is kept as a
    // character (F1 = 0, 59 = ';').
    for (InputEvent e : {key(SpecialKey::F1), ch('1'), ch('2'), ch('3'), ch(13)}) fake->keys.push_back(e);
    EXPECT_EQ(consoleReadLine(5), ";12");
}

TEST_F(ConsoleTest, ClipboardFallsBackToTheConsolesOwn) {
    copyToClipboard("texto");
    EXPECT_EQ(pasteFromClipboard(100), "texto");
    EXPECT_EQ(pasteFromClipboard(3), "te");
    EXPECT_EQ(pasteFromClipboard(0), "");
}

using ConsoleDeathTest = ConsoleTest;

TEST_F(ConsoleDeathTest, BreakAndClosedEndTheProgram) {
    InputEvent brk;
    brk.kind = InputEvent::Break;
    EXPECT_EXIT(queued({brk}), ::testing::ExitedWithCode(255), "");
    InputEvent closed;
    closed.kind = InputEvent::Closed;
    EXPECT_EXIT(queued({closed}), ::testing::ExitedWithCode(3), "");
}

} // namespace
