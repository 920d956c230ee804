// The desktop commands against a fake desktop that writes down every key,
// pointer and window action, on a clock that writes down every pause: the
// order of events, the modifiers and the pauses are the commands' own
// rules, whatever display is behind them. Real displays are the business
// of tests/desktop.
#include "console/console.h"
#include "desktop/accessibility_monitor.h"
#include "desktop/sensor.h"
#include "interpreter/script.h"
#include "interpreter/values.h"
#include "platform/clock.h"
#include "platform/desktop.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> events;

void note(const std::string& e) { events.push_back(e); }

// Time passes as it is looked at, so the console's waits end too.
class RecordingClock : public Clock {
public:
    int64_t monotonicMs() override { return ++now_; }
    void sleepMs(int ms) override {
        if (ms <= 0) return;
        now_ += ms;
        note("sleep" + std::to_string(ms));
    }
    LocalTime localTime() override { return LocalTime{2024, 1, 2, 2, 3, 4, 5, 0}; }

private:
    int64_t now_ = 0;
};

// A desktop with a layout like the Brazilian one: letters, digits, "!"
// over "1", its own key for ç, and dead keys for the accents (unless
// `deadKeys` is off). Characters it lacks get spare keys.
class FakeDesktop : public Desktop {
public:
    bool deadKeys = true;
    std::vector<DesktopWindow> list;
    uint64_t active = 0;
    std::vector<uint64_t> activations;

    static std::string keyName(int key) {
        if (key == LEVEL3_KEY) return "AltGr";
        if (key >= MAP_KEY + 0x2000) return "spare:" + std::string(1, static_cast<char>(key - MAP_KEY - 0x2000));
        if (key >= MAP_KEY + 0x1000) return "dead" + std::string(1, static_cast<char>(key - MAP_KEY - 0x1000));
        if (key >= MAP_KEY) return std::string(1, static_cast<char>(key - MAP_KEY));
        switch (key) {
        case 9: return "Tab";
        case 13: return "Enter";
        case 16: return "Shift";
        case 17: return "Ctrl";
        case 18: return "Alt";
        case 27: return "Esc";
        case 35: return "End";
        case 36: return "Home";
        case 45: return "Ins";
        default: break;
        }
        if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::string(1, static_cast<char>(key));
        return "vk" + std::to_string(key);
    }

    void keyEvent(int key, bool down) override { note(keyName(key) + (down ? "+" : "-")); }
    bool characterKey(uint8_t ch, bool dead, CharacterKey& key) override {
        key = CharacterKey{};
        if (dead) {
            if (!deadKeys) return false;
            key.key = MAP_KEY + 0x1000 + ch;
            key.shift = ch == '^' || ch == '`';
            return true;
        }
        if ((ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == ' ' || ch == 0xE7) {
            key.key = MAP_KEY + ch;
        } else if (ch >= 'A' && ch <= 'Z') {
            key.key = MAP_KEY + ch + 32;
            key.shift = true;
        } else if (ch == '!') {
            key.key = MAP_KEY + '1';
            key.shift = true;
        } else {
            key.key = MAP_KEY + 0x2000 + ch;
            spares = true;
        }
        return true;
    }
    void releaseSpareKeys() override {
        if (spares) note("spares back");
        spares = false;
    }
    void toggleNumLock() override { note("NumLock"); }
    void movePointer(int x, int y) override { note("move " + std::to_string(x) + "," + std::to_string(y)); }
    void leftButton(bool down) override { note(down ? "button+" : "button-"); }
    bool pointerPosition(int& x, int& y) override {
        x = 300;
        y = 200;
        return true;
    }
    std::vector<DesktopWindow> windows() override { return list; }
    uint64_t activeWindow() override { return active; }
    bool windowInfo(uint64_t id, DesktopWindow& w) override {
        for (const DesktopWindow& d : list)
            if (d.id == id) {
                w = d;
                return true;
            }
        return false;
    }
    void closeWindow(uint64_t id) override { note("close " + std::to_string(id)); }
    void showNormal(uint64_t id) override { note("normal " + std::to_string(id)); }
    void showMaximised(uint64_t id) override { note("maximise " + std::to_string(id)); }
    void minimise(uint64_t id) override { note("minimise " + std::to_string(id)); }
    void watchActiveWindow(bool on) override { note(on ? "watch" : "unwatch"); }
    void activeWindowChanges(std::vector<uint64_t>& changes) override {
        changes.insert(changes.end(), activations.begin(), activations.end());
        activations.clear();
    }

private:
    bool spares = false;
};

class CaptureConsole : public ConsoleBackend {
public:
    explicit CaptureConsole(std::string& out) : out_(out) {}
    bool open() override { return true; }
    void close() override {}
    void written(std::string_view bytes) override { out_.append(bytes); }
    void drawRange(int, int, int, const uint8_t*, const uint8_t*) override {}
    void drawAll(const uint8_t*, const uint8_t*) override {}
    void setCursor(int, int, bool) override {}
    void pollInput(std::vector<InputEvent>&, int, bool) override {}
    void beep() override { out_ += "<beep>"; }

private:
    std::string& out_;
};

DesktopWindow window(uint64_t id, const char* title, ScreenRect frame, bool shown = true) {
    DesktopWindow w;
    w.id = id;
    w.title = title;
    w.frame = frame;
    w.client = ScreenRect{frame.left + 4, frame.top + 20, frame.width - 8, frame.height - 24};
    w.shown = shown;
    return w;
}

struct EventCase {
    const char* line;
    bool ok;
    const char* events;
};

class DesktopCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // No real display or accessibility bus may answer in these tests.
        unsetenv("DISPLAY");
        unsetenv("AT_SPI_BUS_ADDRESS");
        setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        setConsoleBackend(std::make_unique<CaptureConsole>(transcript));
        setClock(&clock);
        auto fake = std::make_unique<FakeDesktop>();
        desk = fake.get();
        desk->list = {window(1, "Bloco de notas - sem t\xEDtulo", {50, 60, 400, 300}),
                      window(2, "ROTALIS", {0, 0, 640, 480}),
                      window(3, "Notas do BLOCO", {500, 100, 200, 100}),
                      window(4, "Minimizada", {0, 0, 1000, 1000}, false)};
        desk->active = 1;
        setDesktopForTests(std::move(fake));
        resetInterpreter();
        events.clear();
        transcript.clear();
    }
    void TearDown() override {
        resetInterpreter();
        setDesktopForTests(nullptr);
        setClock(nullptr);
    }

    // Runs the lines until one fails; true when all succeeded.
    bool run(const std::string& lines) {
        std::istringstream in(lines);
        for (std::string line; std::getline(in, line);)
            if (!executeLine(line, false)) return false;
        return true;
    }
    std::string log() const {
        std::string s;
        for (const std::string& e : events) s += (s.empty() ? "" : " ") + e;
        return s;
    }
    std::string var(char c) { return variable(c); }
    void expectEvents(const EventCase* cases, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            events.clear();
            EXPECT_EQ(run(cases[i].line), cases[i].ok) << cases[i].line;
            EXPECT_EQ(log(), cases[i].events) << cases[i].line;
        }
    }

    RecordingClock clock;
    FakeDesktop* desk = nullptr;
    std::string transcript;
};

TEST_F(DesktopCommandsTest, TypingKeepsTheLayoutsModifiersDeadKeysAndPauses) {
    const EventCase cases[] = {
        // ç has its own key; ã is the tilde dead key and a; 100 ms after each
        // character, then Enter and 100 ms.
        {"digita \"\xE7\xE3o\"", true,
         "\xE7+ \xE7- sleep100 dead~+ dead~- a+ a- sleep100 o+ o- sleep100 Enter+ Enter- sleep100"},
        {"digita \"Ab!\" &", true, "Shift+ a+ a- Shift- sleep100 b+ b- sleep100 Shift+ 1+ 1- Shift- sleep100"},
        // A control character is Ctrl with its letter, and waits twice.
        {"digita \"\t\" &", true, "Ctrl+ I+ I- Ctrl- sleep100 sleep100"},
        // A character the layout lacks is typed on a spare key, given back at the end.
        {"digita \"\x80\" &", true, "spare:\x80+ spare:\x80- sleep100 spares back"},
        {"digita", false, ""},
        {"digita \"a\" \"b\"", false, ""},
    };
    expectEvents(cases, std::size(cases));

    // Without the dead key the accented letter itself is typed.
    desk->deadKeys = false;
    events.clear();
    EXPECT_TRUE(run("digita \"\xE3\" &"));
    EXPECT_EQ(log(), "spare:\xE3+ spare:\xE3- sleep100 spares back");
}

TEST_F(DesktopCommandsTest, AcionaPressesNamedKeysWithItsPrefixesInTheirOrder) {
    const EventCase cases[] = {
        {"aciona \"CTRL+SHIFT+ESC\"", true, "Shift+ Ctrl+ Esc+ Esc- Shift- Ctrl- sleep100"},
        {"aciona \"ALT+F\"", true, "Alt+ F+ F- Alt- sleep100"},
        {"aciona \"ctrl+a\"", true, "Ctrl+ A+ A- Ctrl- sleep100"},
        {"aciona \"#13\"", true, "Enter+ Enter- sleep100"},
        {"aciona \"home\"", true, "Home+ Home- sleep100"},
        {"aciona \"CTRL+ALT+F5\"", true, "Ctrl+ Alt+ vk116+ vk116- Ctrl- Alt- sleep100"},
        // NumLock is toggled once, with no key event.
        {"aciona \"#144\"", true, "NumLock sleep100"},
        // One character: the bare key, its own modifiers left up.
        {"aciona \"a\"", true, "a+ sleep1 a- sleep1"},
        {"aciona \"A\"", true, "a+ sleep1 a- sleep1"},
        {"aciona \"SHIFT+CTRL+A\"", false, ""},
        {"aciona \"CTRL+\"", false, ""},
        {"aciona \"CTRL+CTRL+A\"", false, ""},
        {"aciona \"F13\"", false, ""},
        {"aciona \"#x\"", false, ""},
        {"aciona \"\"", false, ""},
        {"aciona \"a\" \"b\"", false, ""},
    };
    expectEvents(cases, std::size(cases));
}

TEST_F(DesktopCommandsTest, ClicaCountsFromTheScreenOrTheForegroundWindow) {
    // Window 1's frame starts at (50, 60) and its client area at x 54:
    // positions count from (54, 64).
    const EventCase cases[] = {
        {"clica tela 100, 200", true, "move 100,200 button+ button-"},
        {"clica 10 10", true, "move 64,74 button+ button-"},
        {"clica duplo tela 5,5", true, "move 5,5 button+ button- button+ button-"},
        {"clica nulo tela 1 2", true, "move 1,2"},
        {"clica NULO 0 0", true, "move 54,64"},
        // Text after y fails the command once the click is done.
        {"clica tela 1 2 3", false, "move 1,2 button+ button-"},
        {"clica tela a 2", false, ""},
        {"clica tela 1", false, ""},
        {"clica", false, ""},
    };
    expectEvents(cases, std::size(cases));

    // LÊ MOUSE gives the pointer in the same two frames of reference.
    ASSERT_TRUE(run("le mouse tela x y"));
    EXPECT_EQ(var('X') + "," + var('Y'), "300,200");
    ASSERT_TRUE(run("l\xEA rato x y"));
    EXPECT_EQ(var('X') + "," + var('Y'), "246,136");
    EXPECT_FALSE(run("le mouse x"));
}

TEST_F(DesktopCommandsTest, JanelaFindsTheFirstWindowByItsAnchoredUpperCasePattern) {
    struct Case {
        const char* line;
        bool ok;
        int status;
        const char* events;
    } cases[] = {
        {"janela minimiza \"BLOCO\"", true, 0, "minimise 1"},
        {"janela minimiza \"*BLOCO\"", true, 0, "minimise 1"},  // a title that begins with it
        {"janela minimiza \"BLOCO*\"", true, 0, "minimise 3"},  // a title that ends with it
        {"janela fecha \"*ROTALIS*\"", true, 0, "close 2"},
        {"janela maximiza \"SEM T\xCDTULO\"", true, 0, "maximise 1"},
        {"janela normal \"MINIMIZADA\"", true, 0, "normal 4"},
        {"janela minimiza \"bloco\"", true, 1, ""},  // lower case matches nothing
        {"janela fecha \"*NOTAS*\"", true, 1, ""},
        {"janela pula \"NADA\"", true, 1, ""},
        {"janela pula \"ROTALIS\"", false, 0, ""},
        {"janela fecha", false, 0, ""},
        {"janela", false, 0, ""},
    };
    for (const Case& c : cases) {
        events.clear();
        runState.statusCode = 7;
        EXPECT_EQ(run(c.line), c.ok) << c.line;
        EXPECT_EQ(runState.statusCode, c.status) << c.line;
        EXPECT_EQ(log(), c.events) << c.line;
    }
}

TEST_F(DesktopCommandsTest, CapturaReadsTitlesAndTheFieldThroughTheClipboard) {
    desk->active = 3;
    ASSERT_TRUE(run("captura titulo a\ncaptura T\xCDTULO b\ncaptura ativa c\ncaptura foco d\ncaptura outra e"));
    EXPECT_EQ(var('A'), "Notas do BLOCO");
    EXPECT_EQ(var('B'), "Notas do BLOCO");
    EXPECT_EQ(var('C'), "Notas do BLOCO");
    EXPECT_EQ(var('D'), "");  // the console has no window of its own here
    EXPECT_EQ(var('E'), "");
    EXPECT_FALSE(run("captura titulo"));
    EXPECT_FALSE(run("captura"));

    // CAMPO selects the field's line and copies it; the clipboard's text is
    // the answer (the fake program copies nothing, so it is what was there).
    copyToClipboard("linha do campo");
    events.clear();
    ASSERT_TRUE(run("captura campo c"));
    EXPECT_EQ(log(), "Home+ Home- sleep100 Shift+ End+ End- Shift- sleep100 Ctrl+ Ins+ Ins- Ctrl- sleep100");
    EXPECT_EQ(var('C'), "linha do campo");
}

TEST_F(DesktopCommandsTest, TransfereHandleAndSensorArguments) {
    ASSERT_TRUE(run("seja a \"um \xE9 dois\"\ntransfere de a\ntransfere para b\nhandle h"));
    EXPECT_EQ(var('B'), "um \xE9 dois");
    EXPECT_EQ(var('H'), "0");
    // DE takes at most 1024 characters, PARA gives at most 1023.
    variable('A') = std::string(2000, 'x');
    ASSERT_TRUE(run("transfere de a\ntransfere PARA b"));
    EXPECT_EQ(var('B').size(), 1023u);
    for (const char* bad : {"transfere a", "transfere de", "transfere de a b", "transfere para", "handle"})
        EXPECT_FALSE(run(bad)) << bad;
}

// A switch matrix on the fake port: the row whose data line is low puts
// its closed switches on status bits 7..4.
struct FakeMatrix {
    bool closed[32] = {};
    uint8_t data = 0;
} matrix;

class FakePort : public ParallelPort {
public:
    void writeData(uint8_t value) override { matrix.data = value; }
    void writeControl(uint8_t) override {}
    uint8_t readStatus() override {
        uint8_t s = 0x07;
        for (int row = 0; row < 8; ++row) {
            if (matrix.data & (1u << (7 - row))) continue;
            for (int column = 0; column < 4; ++column)
                if (matrix.closed[4 * row + column]) s ^= static_cast<uint8_t>(1u << (7 - column));
        }
        return s;
    }
};

TEST_F(DesktopCommandsTest, SensorGivesTheFirstClosedSwitch) {
    setParallelPortOpener([]() -> std::unique_ptr<ParallelPort> { return std::make_unique<FakePort>(); });
    matrix = FakeMatrix{};
    ASSERT_TRUE(run("sensor s"));
    EXPECT_EQ(var('S'), "0");
    matrix.closed[6 - 1] = matrix.closed[20 - 1] = true;
    ASSERT_TRUE(run("sensor s"));
    EXPECT_EQ(var('S'), "6");
    matrix.closed[6 - 1] = false;
    ASSERT_TRUE(run("sensor s"));
    EXPECT_EQ(var('S'), "20");
    EXPECT_FALSE(run("sensor"));
    EXPECT_EQ(transcript, "");
    setParallelPortOpener(openParallelPort);
}

TEST_F(DesktopCommandsTest, SensorWithoutThePortSaysSoEveryTimeAndGivesZero) {
    setParallelPortOpener([]() -> std::unique_ptr<ParallelPort> { return nullptr; });
    ASSERT_TRUE(run("sensor s\nsensor t"));
    EXPECT_EQ(var('S'), "0");
    EXPECT_EQ(var('T'), "0");
    const std::string message = "<beep>/dev/parport0 n\xE3o dispon\xEDvel.\r\n";
    EXPECT_EQ(transcript, message + message);
    setParallelPortOpener(openParallelPort);
}

TEST_F(DesktopCommandsTest, MsaaFollowsTheForegroundAndHitTestsWindows) {
    ASSERT_TRUE(run("msaa checa c"));
    EXPECT_EQ(var('C'), "0");  // nothing recorded without MONITORA

    ASSERT_TRUE(run("msaa monitora\nmsaa monitora"));
    EXPECT_EQ(log(), "watch");  // a second start changes nothing
    desk->activations = {3, 99};  // 99 is gone by the time it is read
    ASSERT_TRUE(run("msaa checa c\nmsaa nome n\nmsaa codigo k\nmsaa area a b d e\nmsaa estado s"));
    EXPECT_EQ(var('C') + "|" + var('N') + "|" + var('K') + "|" + var('S'), "1|Notas do BLOCO|9|");
    EXPECT_EQ(var('A') + " " + var('B') + " " + var('D') + " " + var('E'), "500 100 200 100");
    ASSERT_TRUE(run("msaa checa c\nmsaa nome n"));
    EXPECT_EQ(var('C') + "|" + var('N'), "0|Notas do BLOCO");  // the old fields stay
    ASSERT_TRUE(run("msaa checa c"));
    EXPECT_EQ(var('C'), "0");

    // The topmost shown window at the point; a point with nothing empties
    // the fields and keeps the location.
    ASSERT_TRUE(run("msaa captura 650 150\nmsaa nome n\nmsaa C\xD3" "DIGO k"));
    EXPECT_EQ(var('N') + "|" + var('K'), "Notas do BLOCO|9");
    ASSERT_TRUE(run("msaa captura 2000 2000\nmsaa nome n\nmsaa codigo k\nmsaa tipo t\nmsaa valor v\nmsaa area a b d e"));
    EXPECT_EQ(var('N') + "|" + var('K') + "|" + var('T') + "|" + var('V'), "|0||");
    EXPECT_EQ(var('A') + " " + var('B'), "500 100");
    ASSERT_TRUE(run("msaa captura 10 10\nmsaa nome n"));
    EXPECT_EQ(var('N'), "ROTALIS");  // window 4 is minimised and not hit

    events.clear();
    ASSERT_TRUE(run("msaa fim"));
    EXPECT_EQ(log(), "unwatch");
    for (const char* bad : {"msaa", "msaa pula", "msaa checa", "msaa captura 1", "msaa captura q 1", "msaa area a b c"})
        EXPECT_FALSE(run(bad)) << bad;
}

TEST_F(DesktopCommandsTest, WithoutADisplayInputFailsAndTheRestFindsNothing) {
    setDesktopForTests(nullptr);
    for (const char* line : {"digita \"a\"", "aciona \"a\"", "clica tela 1 1", "le mouse x y"})
        EXPECT_FALSE(run(line)) << line;
    runState.statusCode = 0;
    ASSERT_TRUE(run("janela fecha \"ROTALIS\"\ncaptura campo c\nmsaa monitora\nmsaa checa k\n"
                    "msaa captura 1 1\nmsaa nome n\nmsaa fim"));
    EXPECT_EQ(runState.statusCode, 1);
    EXPECT_EQ(var('K') + "|" + var('N'), "0|");
}

} // namespace
