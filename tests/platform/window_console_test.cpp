// The window console for real, under a private Xvfb display with openbox:
// rotalis --console=window runs scripts whose window is looked at through
// screenshots (import) and typed into with xdotool; the picture is shown by
// the backend itself, in this process. Cells are 8 x 16 pixels.
#include "platform/factory.h"
#include "platform/linux/window_console.h"
#include "platform/paths.h"
#include "x_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using xtest::Image;
using xtest::XDisplay;
using Pixel = Image::Pixel;

const std::string ROTALIS = TEST_BINARY_DIR "/bin/rotalis";
constexpr int CW = 8, CH = 16;

const Pixel BLACK{0, 0, 0}, BLUE{0, 0, 255}, GREEN{0, 255, 0}, RED{255, 0, 0}, YELLOW{255, 255, 0};

// Pixels of cell (column, row), 0-based, equal to `colour`.
int countInCell(const Image& image, int column, int row, Pixel colour) {
    int n = 0;
    for (int y = row * CH; y < (row + 1) * CH; ++y)
        for (int x = column * CW; x < (column + 1) * CW; ++x) n += image.at(x, y) == colour;
    return n;
}

// True when every pixel of the cell is `colour`.
bool cellIs(const Image& image, int column, int row, Pixel colour) {
    return countInCell(image, column, row, colour) == CW * CH;
}

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        display_ = new XDisplay;
        if (!display_->start(true)) startError_ = display_->error();
    }
    static void TearDownTestSuite() {
        delete display_;
        display_ = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(startError_.empty()) << startError_;
        dir_ = std::filesystem::temp_directory_path() /
               ("window_test_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_ / "home");
        setenv("TALORA_HOME", (dir_ / "home").c_str(), 1);
        resetTalorahome();
        video("");
    }
    void TearDown() override {
        if (pid_ > 0) xtest::endChild(pid_);
        std::filesystem::remove_all(dir_);
    }

    // FALARIS.INI with 8 x 16 cells and these further lines.
    void video(const std::string& lines, const std::string& other = "") {
        std::ofstream(dir_ / "home" / "FALARIS.INI")
            << "[VIDEO]\nLARGURALETRA=8\nALTURALETRA=16\n" << lines << other;
    }

    // Starts rotalis on `script` and waits for its window.
    void start(const std::string& script) {
        std::ofstream(dir_ / "t.rot") << script;
        pid_ = xtest::spawn({ROTALIS, "--console=window", "--audio=none", "--screen-dump=" + (dir_ / "dump").string(),
                             (dir_ / "t.rot").string()},
                            -1, true);
        window_ = XDisplay::windowOf(pid_);
        ASSERT_FALSE(window_.empty()) << "no window";
        XDisplay::xdotool({"windowactivate", "--sync", window_});
    }

    // Waits for rotalis to end; its exit status, or -1.
    int finish() {
        int status = xtest::waitChild(pid_, 10000);
        pid_ = -1;
        return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dump() {
        std::ifstream in(dir_ / "dump");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // What the key loop below wrote: the screen's rows joined, up to the
    // interpreter's closing line.
    std::string typed() {
        std::string text = dump();
        text.erase(std::remove(text.begin(), text.end(), '\n'), text.end());
        return text.substr(0, text.find("Fim do script"));
    }

    void keys(const std::vector<std::string>& names) {
        std::vector<std::string> args{"key", "--delay", "30"};
        args.insert(args.end(), names.begin(), names.end());
        ASSERT_TRUE(XDisplay::xdotool(args));
    }

    static XDisplay* display_;
    static std::string startError_;
    std::filesystem::path dir_;
    pid_t pid_ = -1;
    std::string window_;
};

XDisplay* WindowTest::display_ = nullptr;
std::string WindowTest::startError_;

TEST_F(WindowTest, ColouredTextAtItsCellsWithTwoColoursSwapped) {
    // Logical 0 (the background everywhere) shows blue, logical 1 black.
    video("TABCORES=1,0\n");
    start("fundo 4\ncor 14\nescreve \"AB\"\nfundo 0\ncor 1\nescreve \"CD\"\nle mudo t&\n");
    Image image;
    ASSERT_TRUE(XDisplay::waitForPicture(window_, image, [](const Image& i) {
        return countInCell(i, 0, 1, BLACK) > 0;
    })) << "no text on row 2";
    EXPECT_EQ(image.width, 80 * CW);
    EXPECT_EQ(image.height, 25 * CH);
    // Yellow on red in the first two cells of row 1, then the background.
    for (int col : {0, 1}) {
        EXPECT_GT(countInCell(image, col, 0, YELLOW), 0) << col;
        EXPECT_GT(countInCell(image, col, 0, RED), 0) << col;
        EXPECT_EQ(countInCell(image, col, 0, BLACK), 0) << col;
    }
    EXPECT_TRUE(cellIs(image, 2, 0, BLUE));
    // Row 2: black on blue.
    EXPECT_GT(countInCell(image, 0, 1, BLACK), 0);
    EXPECT_GT(countInCell(image, 0, 1, BLUE), 0);
    EXPECT_TRUE(cellIs(image, 79, 24, BLUE));
    keys({"Escape"});
    EXPECT_EQ(finish(), 0);
}

TEST_F(WindowTest, ScrollingGivesTheNewRowTheBackgroundColour) {
    video("LENTO=S\n");  // the pixels move up (the window has the focus, clear of the screen's bottom)
    start("fundo 2\nrepete i 25\nescreve \"linha \" i\nfim repete\nfundo 4\nescreve \"ultima\"\nle mudo t&\n");
    Image image;
    ASSERT_TRUE(XDisplay::waitForPicture(window_, image, [](const Image& i) { return cellIs(i, 79, 24, RED); }))
        << "the last row is not red";
    EXPECT_TRUE(cellIs(image, 79, 23, GREEN));  // the row "ultima" went to, made by the scroll before
    EXPECT_GT(countInCell(image, 0, 23, RED), 0);
    EXPECT_TRUE(cellIs(image, 79, 0, BLACK));  // rows keep their colours as they move up
    keys({"Escape"});
    EXPECT_EQ(finish(), 0);
    std::string screen = dump();
    // The closing line of the run scrolled once more.
    EXPECT_EQ(screen.substr(0, screen.find('\n')), "linha 4");
    EXPECT_NE(screen.find("\nultima\nFim do script\n"), std::string::npos) << screen;
}

TEST_F(WindowTest, RightButtonMagnifiesTheTopLeftCorner) {
    video("AMPLIF=0\n");  // a factor of 0 counts as 2
    start("fundo 4\nescreve \"  \"&\nfundo 0\nle mudo t&\n");
    Image image;
    // Two red cells: 16 x 16 pixels at the top left.
    ASSERT_TRUE(XDisplay::waitForPicture(window_, image, [](const Image& i) { return i.at(15, 15) == RED; }));
    EXPECT_EQ(image.at(24, 24), BLACK);
    ASSERT_TRUE(XDisplay::xdotool({"mousemove", "--window", window_, "0", "0", "mousedown", "3"}));
    EXPECT_TRUE(XDisplay::waitForPicture(window_, image, [](const Image& i) { return i.at(24, 24) == RED; }))
        << "not magnified";
    EXPECT_EQ(image.at(31, 31), RED);
    EXPECT_EQ(image.at(33, 33), BLACK);
    ASSERT_TRUE(XDisplay::xdotool({"mouseup", "3"}));
    EXPECT_TRUE(XDisplay::waitForPicture(window_, image, [](const Image& i) { return i.at(24, 24) == BLACK; }))
        << "still magnified";
    EXPECT_EQ(image.at(15, 15), RED);
    keys({"Escape"});
    EXPECT_EQ(finish(), 0);
}

// Each key read is written as its notation in brackets, until Esc.
const char* const KEY_LOOP = "@laco\nle mudo t&\nse t = \"#27\" termina\nescreve \"[\" t \"]\"&\ndesvia @laco\n";

TEST_F(WindowTest, KeysReachTheScriptWithTheirCodes) {
    start(KEY_LOOP);
    keys({"F1", "ctrl+F1", "shift+Insert", "ctrl+Insert", "alt+a", "alt+1", "ctrl+Return", "ctrl+a", "Return",
          "BackSpace", "F10", "Up", "ctrl+Left", "x", "ccedilla", "atilde", "Escape"});
    EXPECT_EQ(finish(), 0);
    EXPECT_EQ(typed(),
              "[#0#59][#0#94][#0#254][#0#255][#0#30][#0#120][#10][#1][#13][#8][#0#72][#0#115][x][ç][ã]");
}

TEST_F(WindowTest, BrailleChordsTypeCharacters) {
    video("", "[BRAILLE]\nMODO=1\n");
    start(KEY_LOOP);
    auto press = [&](const std::vector<std::string>& chord) {
        std::vector<std::string> args;
        for (const std::string& k : chord) args.insert(args.end(), {"keydown", k});
        for (auto k = chord.rbegin(); k != chord.rend(); ++k) args.insert(args.end(), {"keyup", *k});
        ASSERT_TRUE(XDisplay::xdotool(args));
    };
    press({"f", "d"});
    press({"space", "f", "d"});
    keys({"ctrl+alt+F11"});  // mode 2
    press({"s", "j", "k", "l"});
    press({"f"});
    keys({"ctrl+shift+F12"});  // off
    keys({"z", "Escape"});
    EXPECT_EQ(finish(), 0);
    EXPECT_EQ(typed(), "[b][#2][1][z]");
}

TEST_F(WindowTest, ClosingTheWindowEndsTheProgramWithStatus3) {
    start("escreve \"Esperando\"\nle mudo t&\nescreve \"nunca\"\n");
    keys({"alt+F4"});  // the window manager closes the window
    EXPECT_EQ(finish(), 3);
}

TEST_F(WindowTest, PictureShowsAtItsPlaceOverTheTextAndGoes) {
    std::string error;
    auto console = makeWindowConsole(error);
    ASSERT_TRUE(console) << error;
    ASSERT_TRUE(console->open());
    std::string window = std::to_string(console->nativeWindowId());
    ASSERT_NE(window, "0");
    uint8_t chars[80 * 25], attrs[80 * 25];
    std::memset(chars, 'X', sizeof chars);
    std::memset(attrs, 0x40, sizeof attrs);  // black on red
    console->drawAll(chars, attrs);
    // 20 x 10 pixels: the left half green, the right half blue.
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) rgb.insert(rgb.end(), {0, uint8_t(x < 10 ? 255 : 0), uint8_t(x < 10 ? 0 : 255)});
    console->showPicture(rgb, 20, 10, 30, 40);
    std::vector<InputEvent> events;
    console->pollInput(events, 0, false);
    Image image;
    EXPECT_TRUE(XDisplay::waitForPicture(window, image, [](const Image& i) {
        return i.at(30, 40) == GREEN && i.at(39, 49) == GREEN && i.at(40, 40) == BLUE && i.at(49, 49) == BLUE;
    }));
    EXPECT_NE(image.at(29, 40), GREEN);
    EXPECT_NE(image.at(30, 50), GREEN);
    // Text drawn under the picture stays under it.
    console->drawRange(2, 0, 80, chars + 160, attrs + 160);
    EXPECT_TRUE(XDisplay::screenshot(window, image));
    EXPECT_EQ(image.at(30, 40), GREEN);
    console->showPicture({}, 0, 0, 0, 0);
    EXPECT_TRUE(XDisplay::waitForPicture(window, image, [](const Image& i) {
        return i.at(30, 40) != GREEN && i.at(49, 49) != BLUE;
    })) << "the picture is still there";
    console->close();
}

TEST_F(WindowTest, ClipboardCarriesWindows1252TextAsTheDesktopsText) {
    std::string error;
    auto console = makeWindowConsole(error);
    ASSERT_TRUE(console) << error;
    ASSERT_TRUE(console->open());
    ASSERT_TRUE(console->setClipboard("A\xE7\xE3o \x80"));  // "Ação €"
    std::string text;
    ASSERT_TRUE(console->getClipboard(text));
    EXPECT_EQ(text, "A\xE7\xE3o \x80");
    console->close();
}

TEST_F(WindowTest, TheWindowIsTheDefaultWhenADisplayIsUsable) {
    std::string error;
    auto console = makeConsoleBackend("", error);
    ASSERT_TRUE(console) << error;
    EXPECT_TRUE(console->keyTransitions()) << "not the window";
    std::string display = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    console = makeConsoleBackend("", error);
    ASSERT_TRUE(console) << error;
    EXPECT_FALSE(console->keyTransitions());
    EXPECT_FALSE(makeConsoleBackend("window", error));
    EXPECT_NE(error.find("display"), std::string::npos) << error;
    setenv("DISPLAY", display.c_str(), 1);
}

} // namespace
