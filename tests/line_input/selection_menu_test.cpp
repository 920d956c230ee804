// The selection menu: keys typed on the headless console, the rows and
// colours on the screen, and what is heard on the capture sink (items are
// numbers, so each is heard as its recorded number words).
#include "line_input/selection_menu.h"

#include "spoken_keys_fixture.h"

using namespace spokenkeys;

namespace {

class SelectionMenuTest : public SpokenKeysTest {
protected:
    // A menu of `count` items "11", "12", ... in the rectangle given.
    void makeMenu(int count, int x1, int y1, int x2, int y2) {
        ASSERT_TRUE(menuCreate(x1, y1, x2, y2));
        for (int i = 0; i < count; ++i) menuAdd(std::to_string(11 + i));
    }
    static int colourAt(int column, int row) { return screenAttrAt(column, row) & 0x0F; }
};

TEST_F(SelectionMenuTest, StartsAtTheGivenItemScrolledIntoTheRectangle) {
    type("\r");
    makeMenu(3, 10, 5, 20, 6);
    MenuChoice choice = menuSelect(3, true);
    EXPECT_EQ(choice.index, 3);
    EXPECT_EQ(choice.key, 13);
    EXPECT_EQ(screenRowText(5), std::string(9, ' ') + "12");
    EXPECT_EQ(screenRowText(6), std::string(9, ' ') + "13");
    EXPECT_EQ(colourAt(10, 5), 15);
    EXPECT_EQ(colourAt(10, 6), 14);
    EXPECT_EQ(colourAt(20, 6), 14);  // the whole width of the row
    EXPECT_EQ(spoken(), "_treze");
    EXPECT_EQ(keys->cursorAtKey.back(), std::make_pair(10, 6));
    EXPECT_EQ(textAttribute, 0x0F);
}

TEST_F(SelectionMenuTest, KeysAndWhereTheyLeaveTheSelection) {
    struct Case {
        const char* name;
        std::string keys;
        int start;
        int index;
        int key, code;
        std::string heard;
    };
    const Case cases[] = {
        {"Up from the first item", UP + "\r", 1, 0, 13, 0, "_onze beep"},
        {"Down from the last item, then Esc", DOWN, 3, 4, 27, 0, "_treze beep"},
        {"a second Up outside the list", UP + UP + "\r", 1, 0, 13, 0, "_onze beep beep"},
        {"F1", DOWN + F1, 1, 2, 0, 59, "_onze _doze"},
        {"Ctrl+F1", "\x1b[1;5P", 2, 2, 0, 94, "_doze"},
        {"a letter", DOWN + "x", 1, 2, 'x', 0, "_onze _doze"},
        {"Home and End sound the error tone", END + HOME + "\r", 2, 1, 13, 0, "_doze beep _treze beep _onze"},
        {"Page Down stops after the last", PAGE_DOWN + PAGE_UP + "\r", 1, 0, 13, 0, "_onze beep beep"},
        {"a start beyond the list", "\r", 9, 4, 13, 0, ""},
        {"other special keys do nothing", RIGHT + "\r", 2, 2, 13, 0, "_doze _doze"},
    };
    for (const Case& c : cases) {
        type(c.keys);
        makeMenu(3, 1, 1, 10, 3);
        MenuChoice choice = menuSelect(c.start, true);
        EXPECT_EQ(choice.index, c.index) << c.name;
        EXPECT_EQ(choice.key, c.key) << c.name;
        EXPECT_EQ(choice.code, c.code) << c.name;
        EXPECT_EQ(spoken(), c.heard) << c.name;
    }
}

TEST_F(SelectionMenuTest, MarkedItemsAreGreenAndAnnouncedWithTheErrorTone) {
    // Space marks the first item, Down moves on, Up comes back to it.
    type(" " + DOWN + UP + DOWN + "\r");
    makeMenu(3, 1, 1, 10, 3);
    MenuChoice choice = menuSelect(1, false);
    EXPECT_EQ(choice.index, 2);
    EXPECT_EQ(spoken(), "beep _onze _doze beep _onze _doze");
    EXPECT_EQ(colourAt(1, 1), 2);
    EXPECT_EQ(colourAt(1, 2), 14);
    EXPECT_EQ(colourAt(1, 3), 15);

    // "*" marks every item, "-" unmarks the current one, "/" clears all,
    // "+" marks the current one.
    struct Case {
        std::string keys;
        std::vector<int> colours;  // of rows 1..3 when the selection ends
    };
    const Case cases[] = {
        {DOWN + "*\r", {2, 14, 2}},
        {DOWN + "*-" + DOWN + "\r", {2, 15, 14}},
        {DOWN + "*/\r", {15, 14, 15}},
        {"+" + DOWN + "\r", {2, 14, 15}},
    };
    for (const Case& c : cases) {
        type(c.keys);
        makeMenu(3, 1, 1, 10, 3);
        menuSelect(1, false);
        EXPECT_EQ((std::vector<int>{colourAt(1, 1), colourAt(1, 2), colourAt(1, 3)}), c.colours) << c.keys;
    }
}

TEST_F(SelectionMenuTest, PagesScrollTheRows) {
    type(PAGE_DOWN + "\r");
    makeMenu(12, 1, 1, 10, 3);
    EXPECT_EQ(menuSelect(1, false).index, 11);
    EXPECT_EQ(screenRowText(1), "19");
    EXPECT_EQ(screenRowText(3), "21");
    EXPECT_EQ(keys->cursorAtKey.back(), std::make_pair(1, 3));
}

TEST_F(SelectionMenuTest, ClearingBlanksTheRectangleInTheCurrentBackground) {
    type("\r");
    put(1, 2, std::string(30, '#'));
    makeMenu(2, 5, 2, 12, 4);
    menuSelect(1, false);
    setBackgroundColour(1);
    menuClear();
    EXPECT_FALSE(menuExists());
    EXPECT_EQ(screenRowText(2), "####        " + std::string(18, '#'));
    EXPECT_EQ(screenAttrAt(12, 4) >> 4, 1);
    EXPECT_EQ(screenAttrAt(13, 4) >> 4, 0);
    EXPECT_EQ(cursorColumn(), 5);
    EXPECT_EQ(cursorRow(), 2);
}

TEST_F(SelectionMenuTest, RectanglesAreKeptOnTheScreen) {
    EXPECT_FALSE(menuCreate(10, 5, 9, 8));
    EXPECT_FALSE(menuCreate(10, 5, 20, 4));
    EXPECT_FALSE(menuCreate(81, 1, 90, 3));

    // A rectangle past the right and bottom edges is cut: nothing wraps or
    // scrolls, and a control character in an item shows as "?".
    type("\r");
    put(1, 1, "top");
    ASSERT_TRUE(menuCreate(75, 24, 99, 40));
    menuAdd("ab\r\ncd efgh");
    menuAdd("x");
    menuSelect(1, false);
    EXPECT_EQ(screenRowText(1), "top");
    EXPECT_EQ(screenRowText(24), std::string(74, ' ') + "ab??cd");
    EXPECT_EQ(screenRowText(25), std::string(74, ' ') + "x");
}

} // namespace
