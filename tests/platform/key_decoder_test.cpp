// The byte streams of terminals and key files, decoded into key events.
#include "platform/key_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const KEY_NAMES[] = {"None", "F1",     "F2",   "F3",  "F4",   "F5",     "F6",       "F7",
                                 "F8",   "F9",     "F10",  "F11", "F12",  "Ins",    "Del",      "Home",
                                 "End",  "PgUp",   "PgDn", "Up",  "Down", "Left",   "Right"};

// "S-", "C-", "A-" prefixes, then the key name, the printable character, or
// "#code"; events separated by spaces.
std::string describe(const std::vector<InputEvent>& events) {
    std::string out;
    for (const InputEvent& e : events) {
        if (!out.empty()) out += ' ';
        if (e.shift) out += "S-";
        if (e.ctrl) out += "C-";
        if (e.alt) out += "A-";
        if (e.kind == InputEvent::Special) out += KEY_NAMES[static_cast<int>(e.key)];
        else if (e.ch > 32 && e.ch < 127) out += static_cast<char>(e.ch);
        else out += "#" + std::to_string(e.ch);
    }
    return out;
}

std::string decodeAll(const std::string& bytes, bool fromTerminal) {
    KeyDecoder d(fromTerminal);
    d.feed(bytes);
    std::vector<InputEvent> events;
    d.take(events, true);
    return describe(events);
}

} // namespace

TEST(KeyDecoder, TerminalSequences) {
    struct Case {
        const char* bytes;
        const char* expected;
    } cases[] = {
        // Cursor keys: xterm/VTE normal and application mode, modifiers.
        {"\x1b[A\x1b[B\x1b[C\x1b[D", "Up Down Right Left"},
        {"\x1bOA\x1bOD\x1bOH\x1bOF", "Up Left Home End"},
        {"\x1b[1;5A\x1b[1;2D\x1b[1;3C\x1b[1;6B", "C-Up S-Left A-Right S-C-Down"},
        {"\x1b[H\x1b[F\x1b[1;5H", "Home End C-Home"},
        // VT220 keys (tmux, the Linux console), rxvt's Home/End.
        {"\x1b[1~\x1b[4~\x1b[7~\x1b[8~", "Home End Home End"},
        {"\x1b[2~\x1b[2;2~\x1b[2;5~\x1b[3~\x1b[5~\x1b[6;5~", "Ins S-Ins C-Ins Del PgUp C-PgDn"},
        // Function keys.
        {"\x1bOP\x1bOQ\x1bOR\x1bOS", "F1 F2 F3 F4"},
        {"\x1b[1;2P\x1b[1;5S\x1bO2P", "S-F1 C-F4 S-F1"},
        {"\x1b[11~\x1b[14~\x1b[15~\x1b[17~\x1b[21~\x1b[23~\x1b[24~", "F1 F4 F5 F6 F10 F11 F12"},
        {"\x1b[15;5~\x1b[24;2~\x1b[17;3~", "C-F5 S-F12 A-F6"},
        {"\x1b[[A\x1b[[E", "F1 F5"},                            // Linux console
        {"\x1b[25~\x1b[29~\x1b[34~", "S-F3 S-F6 S-F10"},           // Linux console Shift+F3..F10
        {"\x1b[2^\x1b[2$\x1b[a\x1bOd\x1b[11^", "C-Ins S-Ins S-Up C-Left C-F1"},  // rxvt
        // Alt: ESC prefix; rxvt's ESC ESC [ form; two ESC are two Esc.
        {"\x1bx\x1b" "1\x1bZ", "A-x A-1 S-A-Z"},
        {"\x1b\x1b[D", "A-Left"},
        {"\x1b\x1b", "#27 #27"},
        {"\x1b", "#27"},
        {"\x1b[", "A-["},
        {"\x1bO", "S-A-O"},
        // Enter, Backspace, Tab and control codes.
        {"\r\n", "#13 C-#13"},
        {"\x7f\x08", "#8 C-#8"},
        {"\t\x1b[Z\x01\x1a", "#9 S-#9 C-#1 C-#26"},
        {"aA", "a S-A"},
        // Characters with modifiers reported by code (modifyOtherKeys, CSI u).
        {"\x1b[27;5;13~\x1b[13;5u\x1b[127;5u\x1b[97;3u\x1b[97;5u", "C-#13 C-#13 C-#8 A-a C-#1"},
        // UTF-8 into Windows-1252; characters outside the code page dropped.
        {"\xc3\xa1\xe2\x82\xac\xe4\xb8\xad!", "#225 #128 !"},
        {"\x1b\xc3\xa9", "A-#233"},
        {"\xe1x", "#225 x"},                                    // not UTF-8: a Windows-1252 byte
        // Sequences that are not keys are swallowed.
        {"\x1b[<0;10;5Mx\x1b[I\x1b[O\x1b[99~\x1b[?1;2cy", "x y"},
        {"\x1b[1\rx", "#13 x"},                                 // a control byte inside a sequence
    };
    for (const Case& c : cases) EXPECT_EQ(decodeAll(c.bytes, true), c.expected) << ::testing::PrintToString(std::string(c.bytes));
}

TEST(KeyDecoder, KeyFilesDifferFromTerminals) {
    // In key files LF (also after CR) is Enter and ESC ESC are two Esc presses.
    EXPECT_EQ(decodeAll("a\nb\r\nc\r", false), "a #13 b #13 c #13");
    EXPECT_EQ(decodeAll("\x1b\x1b[A", false), "#27 Up");
    EXPECT_EQ(decodeAll("\x1b\x1b[A", true), "A-Up");
}

TEST(KeyDecoder, BackspaceFollowsTheTerminalsEraseByte) {
    KeyDecoder d(true);
    d.setBackspaceByte(8);
    std::vector<InputEvent> events;
    d.feed("\x08\x7f");
    d.take(events, true);
    EXPECT_EQ(describe(events), "#8 C-#8");
}

TEST(KeyDecoder, WaitsForSplitSequences) {
    KeyDecoder d(true);
    std::vector<InputEvent> events;
    for (const char* part : {"\x1b", "[", "1;", "5A"}) {
        d.feed(part);
        d.take(events, false);
    }
    d.feed("\xc3");
    d.take(events, false);
    EXPECT_TRUE(d.hasPending());
    d.feed("\xa7");
    d.take(events, false);
    EXPECT_EQ(describe(events), "C-Up #231");
    EXPECT_FALSE(d.hasPending());

    // A lone ESC waits until the caller says no more bytes are coming.
    events.clear();
    d.feed("\x1b");
    d.take(events, false);
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(d.hasPending());
    d.take(events, true);
    EXPECT_EQ(describe(events), "#27");
}

TEST(KeyDecoder, TakesAtMostTheAskedNumberOfKeys) {
    KeyDecoder d(false);
    std::vector<InputEvent> events;
    d.feed("a\x1b[Ab");
    d.take(events, true, 1);
    d.take(events, true, 1);
    EXPECT_EQ(describe(events), "a Up");
    d.take(events, true, 1);
    EXPECT_EQ(describe(events), "a Up b");
}

TEST(KeyDecoder, GarbageNeverGrowsWithoutEnd) {
    // An endless parameter run is dropped rather than buffered forever.
    KeyDecoder d(true);
    std::vector<InputEvent> events;
    d.feed("\x1b[" + std::string(100, '1'));
    d.take(events, false);
    EXPECT_FALSE(d.hasPending());
    d.feed("x");
    d.take(events, false);
    EXPECT_EQ(describe(events), "x");
}
