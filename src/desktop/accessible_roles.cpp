// The table from the bus's role names to Windows accessibility roles.
#include "desktop/accessible_roles.h"

namespace {

// Windows roles used below.
enum : int {
    TITLEBAR = 1, MENUBAR = 2, SCROLLBAR = 3, SOUND = 5, ALERT = 8, WINDOW = ROLE_WINDOW,
    CLIENT = ROLE_CLIENT, MENUPOPUP = 11, MENUITEM = 12, TOOLTIP = 13, APPLICATION = 14,
    DOCUMENT = 15, PANE = 16, CHART = 17, DIALOG = 18, GROUPING = 20, SEPARATOR = 21,
    TOOLBAR = 22, STATUSBAR = 23, TABLE = 24, COLUMNHEADER = 25, ROWHEADER = 26, ROW = 28,
    CELL = 29, LINK = 30, LIST = 33, LISTITEM = 34, OUTLINE = 35, OUTLINEITEM = 36,
    PAGETAB = 37, PROPERTYPAGE = 38, GRAPHIC = 40, STATICTEXT = 41, TEXT = 42,
    PUSHBUTTON = 43, CHECKBUTTON = 44, RADIOBUTTON = 45, COMBOBOX = 46, PROGRESSBAR = 48,
    DIAL = 49, SLIDER = 51, SPINBUTTON = 52, ANIMATION = 54, EQUATION = 55, BUTTONMENU = 57,
    PAGETABLIST = 60, CLOCK = 61,
};

struct RoleEntry {
    const char* name;
    int code;
};

// Every role name of the bus, in its own order.
const RoleEntry ROLES[] = {
    {"invalid", 0},
    {"accelerator label", STATICTEXT},
    {"alert", ALERT},
    {"animation", ANIMATION},
    {"arrow", GRAPHIC},
    {"calendar", TABLE},
    {"canvas", GRAPHIC},
    {"check box", CHECKBUTTON},
    {"check menu item", MENUITEM},
    {"color chooser", DIALOG},
    {"column header", COLUMNHEADER},
    {"combo box", COMBOBOX},
    {"date editor", COMBOBOX},
    {"desktop icon", LISTITEM},
    {"desktop frame", PANE},
    {"dial", DIAL},
    {"dialog", DIALOG},
    {"directory pane", PANE},
    {"drawing area", GRAPHIC},
    {"file chooser", DIALOG},
    {"filler", PANE},
    {"focus traversable", CLIENT},
    {"font chooser", DIALOG},
    {"frame", WINDOW},
    {"glass pane", PANE},
    {"html container", DOCUMENT},
    {"icon", GRAPHIC},
    {"image", GRAPHIC},
    {"internal frame", WINDOW},
    {"label", STATICTEXT},
    {"layered pane", PANE},
    {"list", LIST},
    {"list item", LISTITEM},
    {"menu", MENUITEM},  // an item that opens a submenu
    {"menu bar", MENUBAR},
    {"menu item", MENUITEM},
    {"option pane", PANE},
    {"page tab", PAGETAB},
    {"page tab list", PAGETABLIST},
    {"panel", GROUPING},
    {"password text", TEXT},
    {"popup menu", MENUPOPUP},
    {"progress bar", PROGRESSBAR},
    {"push button", PUSHBUTTON},
    {"radio button", RADIOBUTTON},
    {"radio menu item", MENUITEM},
    {"root pane", PANE},
    {"row header", ROWHEADER},
    {"scroll bar", SCROLLBAR},
    {"scroll pane", PANE},
    {"separator", SEPARATOR},
    {"slider", SLIDER},
    {"spin button", SPINBUTTON},
    {"split pane", PANE},
    {"status bar", STATUSBAR},
    {"table", TABLE},
    {"table cell", CELL},
    {"table column header", COLUMNHEADER},
    {"table row header", ROWHEADER},
    {"tearoff menu item", MENUITEM},
    {"terminal", TEXT},
    {"text", TEXT},
    {"toggle button", PUSHBUTTON},
    {"tool bar", TOOLBAR},
    {"tool tip", TOOLTIP},
    {"tree", OUTLINE},
    {"tree table", OUTLINE},
    {"unknown", CLIENT},
    {"viewport", PANE},
    {"window", WINDOW},
    {"extended", CLIENT},
    {"header", STATICTEXT},
    {"footer", STATICTEXT},
    {"paragraph", STATICTEXT},
    {"ruler", GRAPHIC},
    {"application", APPLICATION},
    {"autocomplete", COMBOBOX},
    {"editbar", TEXT},
    {"embedded", CLIENT},
    {"entry", TEXT},
    {"chart", CHART},
    {"caption", STATICTEXT},
    {"document frame", DOCUMENT},
    {"heading", STATICTEXT},
    {"page", PROPERTYPAGE},
    {"section", GROUPING},
    {"redundant object", CLIENT},
    {"form", GROUPING},
    {"link", LINK},
    {"input method window", WINDOW},
    {"table row", ROW},
    {"tree item", OUTLINEITEM},
    {"document spreadsheet", DOCUMENT},
    {"document presentation", DOCUMENT},
    {"document text", DOCUMENT},
    {"document web", DOCUMENT},
    {"document email", DOCUMENT},
    {"comment", STATICTEXT},
    {"list box", LIST},
    {"grouping", GROUPING},
    {"image map", GRAPHIC},
    {"notification", ALERT},
    {"info bar", STATUSBAR},
    {"level bar", PROGRESSBAR},
    {"title bar", TITLEBAR},
    {"block quote", GROUPING},
    {"audio", SOUND},
    {"video", ANIMATION},
    {"definition", STATICTEXT},
    {"article", DOCUMENT},
    {"landmark", GROUPING},
    {"log", DOCUMENT},
    {"marquee", ANIMATION},
    {"math", EQUATION},
    {"rating", SLIDER},
    {"timer", CLOCK},
    {"static", STATICTEXT},
    {"math fraction", EQUATION},
    {"math root", EQUATION},
    {"subscript", STATICTEXT},
    {"superscript", STATICTEXT},
    {"description list", LIST},
    {"description term", LISTITEM},
    {"description value", LISTITEM},
    {"footnote", STATICTEXT},
    {"content deletion", STATICTEXT},
    {"content insertion", STATICTEXT},
    {"mark", STATICTEXT},
    {"suggestion", GROUPING},
    {"push button menu", BUTTONMENU},
};

const RoleEntry* find(std::string_view name) {
    for (const RoleEntry& r : ROLES)
        if (name == r.name) return &r;
    return nullptr;
}

} // namespace

int accessibleRoleCode(std::string_view roleName) {
    if (roleName.empty()) return 0;
    const RoleEntry* r = find(roleName);
    return r ? r->code : CLIENT;
}

bool accessibleRoleKnown(std::string_view roleName) { return find(roleName) != nullptr; }
