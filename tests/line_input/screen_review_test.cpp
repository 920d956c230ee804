// Screen review: keys typed on the headless console, what is heard on the
// capture sink and where the review cursor stands before each key. The
// screens hold numbers (heard as their recorded number words), runs of
// consonants (spelled, so heard letter by letter) and other words (heard
// as synthesized speech, "~").
#include "line_input/line_editor.h"
#include "line_input/screen_review.h"

#include "spoken_keys_fixture.h"

using namespace spokenkeys;

namespace {

using Position = std::pair<int, int>;  // column, row

class ScreenReviewTest : public SpokenKeysTest {
protected:
    // Shows `lines` from row 1 down, puts the console cursor at column,
    // row and reviews the screen with `typed` (then Esc). Gives what was
    // heard between the entry and leaving signals (the error tone once,
    // then twice).
    std::string review(const std::vector<std::string>& lines, int column, int row, const std::string& typed) {
        type(typed);
        for (size_t i = 0; i < lines.size(); ++i) put(1, static_cast<int>(i) + 1, lines[i]);
        moveCursor(column, row);
        reviewScreen();
        EXPECT_EQ(cursorColumn(), column);
        EXPECT_EQ(cursorRow(), row);
        std::string heard = spoken();
        const std::string entry = "beep", leaving = "beep beep";
        EXPECT_TRUE(heard.starts_with(entry) && heard.ends_with(leaving)) << heard;
        heard = heard.size() > entry.size() + leaving.size() + 1
                    ? heard.substr(entry.size() + 1, heard.size() - entry.size() - leaving.size() - 2)
                    : "";
        return heard;
    }
    // Where the review cursor stood before each key after the first.
    std::vector<Position> positions() const {
        return std::vector<Position>(keys->cursorAtKey.begin() + 1, keys->cursorAtKey.end());
    }
    Position last() const { return keys->cursorAtKey.back(); }
};

std::string repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

TEST_F(ScreenReviewTest, F1ReadsWordByWord) {
    EXPECT_EQ(review({"12 casa rst ***** x"}, 1, 1, repeated(F1, 6)),
              "_doze ~ _114 _115 _116 _42 _42 _42 _120 click");
    // After the last word the cursor stays at the end of the line.
    EXPECT_EQ(positions(), (std::vector<Position>{{3, 1}, {8, 1}, {12, 1}, {18, 1}, {20, 1}, {20, 1}}));
}

TEST_F(ScreenReviewTest, RegionsAreReadWordByWord) {
    const std::vector<std::string> screen = {"11 12", "13 rst | 14 15", "", "16", std::string(74, ' ') + "17 rst"};
    const std::string rows1to5 = "_onze _doze click _treze _114 _115 _116 _quatorz _quinze click click _dezesse "
                                 "click _dezeset _114 _115 _116";
    struct Case {
        const char* name;
        Position start;
        std::string keys;
        std::string heard;
        Position after;
    };
    const Case cases[] = {
        {"FL at column 75 reads to the end of the row", {75, 5}, "fl", "_dezeset _114 _115 _116", {75, 5}},
        {"LC reads the whole field", {4, 2}, "Lc", "_treze _114 _115 _116", {4, 2}},
        {"TC ends the field at a separator", {10, 2}, "tc", "_quatorz _quinze", {10, 2}},
        {"IC from the field's start to the cursor", {4, 2}, "ic", "_treze _114", {4, 2}},
        {"FC from the cursor to the field's end", {5, 2}, "FC", "_115 _116", {5, 2}},
        {"IL up to the character before the cursor", {10, 2}, "il", "_treze _114 _115 _116", {10, 2}},
        {"TL the whole row", {10, 2}, "tl", "_treze _114 _115 _116 _quatorz _quinze", {10, 2}},
        {"space the whole row", {5, 2}, " ", "_treze _114 _115 _116 _quatorz _quinze", {5, 2}},
        {"IT from column 1 ends with the row above", {1, 4}, "it",
         "_onze _doze click _treze _114 _115 _116 _quatorz _quinze click", {1, 3}},
        {"TT ends at the end of the last row", {3, 3}, "lt", rows1to5 + repeated(" click", 20), {1, 25}},
        {"FT from the cursor on", {1, 4}, "ft", "_dezesse click _dezeset _114 _115 _116" + repeated(" click", 20),
         {1, 25}},
        {"IT at the top-left corner is empty", {1, 1}, "it", "beep", {1, 1}},
        {"an unknown first letter", {1, 1}, "x", "beep click beep", {1, 1}},
        {"an unknown pair", {1, 1}, "iz", "beep click beep", {1, 1}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(review(screen, c.start.first, c.start.second, c.keys), c.heard) << c.name;
        EXPECT_EQ(last(), c.after) << c.name;
    }
}

TEST_F(ScreenReviewTest, AFieldEndsWhereTheColoursChange) {
    type("tc");
    put(1, 1, "11");
    setTextColour(2);
    put(3, 1, "rst");
    setTextColour(15);
    put(6, 1, "12");
    moveCursor(4, 1);
    reviewScreen();
    EXPECT_EQ(spoken(), "beep _114 _115 _116 beep beep");
}

TEST_F(ScreenReviewTest, MovingTheReviewCursor) {
    const std::vector<std::string> screen = {"11 rst  12", "13", "ab: cd | ef"};
    struct Case {
        const char* name;
        Position start;
        std::string keys;
        std::string heard;
        std::vector<Position> positions;
    };
    const Case cases[] = {
        {"Ctrl+Right stops at the end of the row", {1, 1}, repeated(CTRL_RIGHT, 3), "click click beep",
         {{4, 1}, {9, 1}, {11, 1}}},
        {"Ctrl+Left stops at column 1", {11, 1}, repeated(CTRL_LEFT, 3), "click click beep", {{9, 1}, {4, 1}, {1, 1}}},
        {"End and Home", {5, 1}, END + HOME, "", {{11, 1}, {1, 1}}},
        {"Right says the character under the cursor, Left and Backspace the one before", {4, 1},
         RIGHT + LEFT + "\x7f", "_114 _114", {{5, 1}, {4, 1}, {3, 1}}},
        {"Left at column 1", {1, 1}, LEFT, "beep beep", {{1, 1}}},
        {"Right past column 81 comes back to 80", {1, 1}, F6 + "0180" + RIGHT + RIGHT + "\x0b",
         "~ _48 _49 _56 _48 beep _um _oitenta", {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {80, 1}, {80, 1}, {80, 1}, {80, 1}}},
        {"Up at row 1", {1, 1}, UP, "beep", {{1, 1}}},
        {"Down clicks and reads the next row", {7, 1}, DOWN, "click _treze", {{1, 2}}},
        {"Up reads the row above", {5, 2}, UP, "_onze _114 _115 _116 _doze", {{1, 1}}},
        {"Page Down and Page Up", {5, 1}, PAGE_DOWN + PAGE_UP, "_onze _114 _115 _116 _doze", {{1, 25}, {1, 1}}},
        {"Enter on row 25", {5, 25}, "\r", "click beep", {{1, 25}}},
        {"Ctrl+Page Down and Up go to the last and first letters", {5, 5}, CTRL_PAGE_DOWN + CTRL_PAGE_UP,
         "~ _58 _99 _100 ~ _onze _114 _115 _116 _doze", {{11, 3}, {1, 1}}},
        {"Ctrl+K and Ctrl+L say row and column", {4, 1}, "\x0b\x0c", "_um _quatro _um _quatro", {{4, 1}, {4, 1}}},
        {"F6 goes to a row and column", {1, 1}, F6 + "0204", "~ _48 _50 _48 _52",
         {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {4, 2}}},
        {"F6 to row 0 comes back to row 1", {1, 1}, F6 + "0010", "~ _48 _48 _49 _48 beep",
         {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {10, 1}}},
        {"F6 stops at a key that is not a digit", {3, 2}, F6 + "1x", "~ _49 beep beep", {{3, 2}, {3, 2}, {3, 2}}},
        {"Tab and Shift+Tab go from field to field", {1, 3}, "\t\t\t" + repeated(SHIFT_TAB, 3),
         "click click click click click beep", {{4, 3}, {9, 3}, {12, 3}, {7, 3}, {2, 3}, {1, 3}}},
        {"other keys are refused", {1, 1}, F2 + "+", "beep click beep beep click beep", {{1, 1}, {1, 1}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(review(screen, c.start.first, c.start.second, c.keys), c.heard) << c.name;
        EXPECT_EQ(positions(), c.positions) << c.name;
    }
}

TEST_F(ScreenReviewTest, SearchTypedBlind) {
    addRecording("_DEL");
    const std::vector<std::string> screen = {"11 rst 12", "rst 13", "rs"};
    // Found, found again further on, then not found any more.
    EXPECT_EQ(review(screen, 1, 1, F5 + "rst\r" + CTRL_F5 + CTRL_F5),
              "~ _114 _115 _116 click click beep beep");
    EXPECT_EQ(positions(), (std::vector<Position>{{1, 1}, {1, 1}, {1, 1}, {1, 1}, {4, 1}, {1, 2}, {1, 2}}));

    // Backspace says what it removes; Esc abandons a search and keeps the
    // text searched for before.
    EXPECT_EQ(review(screen, 1, 1, F5 + "rsx\x7ft\r" + F5 + "q\x1b[27u" + CTRL_F5),
              "~ _114 _115 _120 _DEL _120 _116 click ~ _113 click");
    EXPECT_EQ(last(), Position(1, 2));
    EXPECT_EQ(review(screen, 1, 1, F5 + "zz\r"), "~ _122 _122 beep beep");
}

TEST_F(ScreenReviewTest, CtrlCCopiesTheWholeScreen) {
    review({"11 rst", "", "12"}, 1, 1, "\x03");
    std::string expected;
    for (std::string row : {"11 rst", "", "12"}) expected += row + std::string(80 - row.size(), ' ') + "\r\n";
    for (int row = 4; row <= 25; ++row) expected += std::string(80, ' ') + "\r\n";
    EXPECT_EQ(pasteFromClipboard(4096), expected);
}

TEST_F(ScreenReviewTest, AltCtrlF9EntersFromTheLineEditor) {
    type(ALT_CTRL_F9 + UP + "\x1b[27u" + "\r");
    put(1, 9, "11 12");
    put(1, 10, "Nome: ");
    std::string text = "rst";
    EXPECT_EQ(readTalkingLine(text, 7, 10, true, 20), 13);
    EXPECT_EQ(text, "rst");
    EXPECT_EQ(spoken(), "beep _onze _doze beep beep");
    // The editor's cursor, the review cursor (starting there), and the
    // editor's cursor again.
    EXPECT_EQ(keys->cursorAtKey, (std::vector<Position>{{7, 10}, {7, 10}, {1, 9}, {7, 10}}));
}

} // namespace
