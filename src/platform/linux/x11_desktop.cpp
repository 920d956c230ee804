// The X11 desktop: keys and clicks through the XTest extension, windows
// through the window manager's EWMH hints (_NET_CLIENT_LIST_STACKING,
// _NET_ACTIVE_WINDOW, _NET_WM_NAME, _NET_FRAME_EXTENTS, _NET_WM_STATE,
// _NET_CLOSE_WINDOW), with plain X fallbacks when no such manager runs.
// One connection, used from the interpreter's thread only.

// The typographic keysyms (dashes, quotation marks) for the code page's
// 0x80..0x9F characters.
#define XK_PUBLISHING
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/encoding.h"
#include "platform/linux/x11_support.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstring>

namespace {

// Windows virtual-key codes and the keys they stand for. Cursor and
// editing keys are the ones beside the letters, not the keypad's: that is
// what the extended-key flag chose.
KeySym virtualKeySym(int vk) {
    if (vk >= '0' && vk <= '9') return static_cast<KeySym>(vk);
    if (vk >= 'A' && vk <= 'Z') return static_cast<KeySym>(vk - 'A' + 'a');
    if (vk >= 96 && vk <= 105) return XK_KP_0 + static_cast<KeySym>(vk - 96);
    if (vk >= 112 && vk <= 135) return XK_F1 + static_cast<KeySym>(vk - 112);
    switch (vk) {
    case 3: return XK_Break;
    case 8: return XK_BackSpace;
    case 9: return XK_Tab;
    case 12: return XK_Clear;
    case 13: return XK_Return;
    case 16: return XK_Shift_L;
    case 17: return XK_Control_L;
    case 18: return XK_Alt_L;
    case 19: return XK_Pause;
    case 20: return XK_Caps_Lock;
    case 27: return XK_Escape;
    case 32: return XK_space;
    case 33: return XK_Prior;
    case 34: return XK_Next;
    case 35: return XK_End;
    case 36: return XK_Home;
    case 37: return XK_Left;
    case 38: return XK_Up;
    case 39: return XK_Right;
    case 40: return XK_Down;
    case 41: return XK_Select;
    case 42: return XK_Print;
    case 43: return XK_Execute;
    case 44: return XK_Print;  // Print Screen
    case 45: return XK_Insert;
    case 46: return XK_Delete;
    case 47: return XK_Help;
    case 91: return XK_Super_L;
    case 92: return XK_Super_R;
    case 93: return XK_Menu;
    case 106: return XK_KP_Multiply;
    case 107: return XK_KP_Add;
    case 108: return XK_KP_Separator;
    case 109: return XK_KP_Subtract;
    case 110: return XK_KP_Decimal;
    case 111: return XK_KP_Divide;
    case 144: return XK_Num_Lock;
    case 145: return XK_Scroll_Lock;
    case 160: return XK_Shift_L;
    case 161: return XK_Shift_R;
    case 162: return XK_Control_L;
    case 163: return XK_Control_R;
    case 164: return XK_Alt_L;
    case 165: return XK_Alt_R;
    // The punctuation keys, by the US layout the codes are named after.
    case 186: return XK_semicolon;
    case 187: return XK_equal;
    case 188: return XK_comma;
    case 189: return XK_minus;
    case 190: return XK_period;
    case 191: return XK_slash;
    case 192: return XK_grave;
    case 219: return XK_bracketleft;
    case 220: return XK_backslash;
    case 221: return XK_bracketright;
    case 222: return XK_apostrophe;
    case 226: return XK_less;
    default: return NoSymbol;
    }
}

KeySym deadKeySym(uint8_t accent) {
    switch (accent) {
    case 96: return XK_dead_grave;
    case 180: return XK_dead_acute;
    case 94: return XK_dead_circumflex;
    case 126: return XK_dead_tilde;
    case 168: return XK_dead_diaeresis;
    default: return NoSymbol;
    }
}

// The keysym of a Windows-1252 character: Latin-1 keysyms are the code
// points themselves, others the Unicode keysym range.
KeySym characterSym(uint8_t ch) {
    if (ch == 127) return XK_Delete;
    uint32_t u = cp1252ToUnicode(ch);
    if (u < 0x20 || (u >= 0x80 && u < 0xA0)) return NoSymbol;
    return u < 0x100 ? u : 0x1000000 | u;
}

// Older keyboard maps name some characters of the code page's 0x80..0x9F
// row with legacy keysyms; they are looked for too.
KeySym legacySym(uint32_t unicode) {
    switch (unicode) {
    case 0x20AC: return XK_EuroSign;
    case 0x0152: return XK_OE;
    case 0x0153: return XK_oe;
    case 0x0178: return XK_Ydiaeresis;
    case 0x0160: return XK_Scaron;
    case 0x0161: return XK_scaron;
    case 0x017D: return XK_Zcaron;
    case 0x017E: return XK_zcaron;
    case 0x2018: return XK_leftsinglequotemark;
    case 0x2019: return XK_rightsinglequotemark;
    case 0x201C: return XK_leftdoublequotemark;
    case 0x201D: return XK_rightdoublequotemark;
    case 0x201E: return XK_doublelowquotemark;
    case 0x2013: return XK_endash;
    case 0x2014: return XK_emdash;
    case 0x2026: return XK_ellipsis;
    case 0x2022: return XK_enfilledcircbullet;
    case 0x2020: return XK_dagger;
    case 0x2021: return XK_doubledagger;
    case 0x2030: return XK_permille;
    case 0x2122: return XK_trademark;
    default: return NoSymbol;
    }
}

// A spare key keeps its character this long after its last use, so the
// program that got the key reads the map as it was when the key came.
constexpr int SPARE_KEY_HOLD_MS = 150;

class X11Desktop : public Desktop {
public:
    explicit X11Desktop(Display* display) : d_(display), root_(DefaultRootWindow(display)) {
        int event, error, major, minor;
        xtest_ = XTestQueryExtension(d_, &event, &error, &major, &minor);
        XDisplayKeycodes(d_, &minKeycode_, &maxKeycode_);
        int perCode = 0;
        KeySym* map = XGetKeyboardMapping(d_, static_cast<KeyCode>(minKeycode_),
                                          maxKeycode_ - minKeycode_ + 1, &perCode);
        if (map) {
            // Keys with nothing on them may carry a character for a moment.
            for (int code = minKeycode_; code <= maxKeycode_; ++code) {
                const KeySym* syms = map + (code - minKeycode_) * perCode;
                if (std::all_of(syms, syms + perCode, [](KeySym s) { return s == NoSymbol; }))
                    spare_.push_back(Binding{static_cast<KeyCode>(code), NoSymbol, 0});
            }
            XFree(map);
        }
    }

    ~X11Desktop() override { restoreSpareKeys(); }

    bool alive() const { return !x11ConnectionLost(d_); }

    void keyEvent(int key, bool down) override {
        if (!alive()) return;
        KeyCode code = 0;
        if (key >= MAP_KEY) code = static_cast<KeyCode>(key - MAP_KEY);
        else if (key == LEVEL3_KEY) code = level3Keycode();
        else if (KeySym sym = virtualKeySym(key & 0xFF)) code = keycodeFor(sym);
        if (code == 0 || !xtest_) return;
        XTestFakeKeyEvent(d_, code, down ? True : False, CurrentTime);
        XFlush(d_);
    }

    bool characterKey(uint8_t ch, bool dead, CharacterKey& key) override {
        if (!alive()) return false;
        KeySym sym = dead ? deadKeySym(ch) : characterSym(ch);
        if (sym == NoSymbol) return false;
        KeySym legacy = dead ? NoSymbol : legacySym(cp1252ToUnicode(ch));
        int perCode = 0;
        int count = maxKeycode_ - minKeycode_ + 1;
        KeySym* map = XGetKeyboardMapping(d_, static_cast<KeyCode>(minKeycode_), count, &perCode);
        if (map) {
            // Columns of the core map: 0 plain, 1 Shift, 4 the third level,
            // 5 the third level with Shift (2 and 3 are another group's).
            const int columns[] = {0, 1, 4, 5};
            bool haveLevel3 = level3Keycode() != 0;
            for (int column : columns) {
                if (column >= perCode || (column >= 4 && !haveLevel3)) break;
                for (int i = 0; i < count; ++i) {
                    KeySym s = map[i * perCode + column];
                    if (s == NoSymbol || (s != sym && s != legacy)) continue;
                    XFree(map);
                    key.key = MAP_KEY + minKeycode_ + i;
                    key.shift = column == 1 || column == 5;
                    key.level3 = column >= 4;
                    touch(static_cast<KeyCode>(minKeycode_ + i));
                    return true;
                }
            }
            XFree(map);
        }
        // A dead key only composes where the layout has it; elsewhere the
        // accented character itself is typed.
        if (dead) return false;
        KeyCode code = bindSpare(sym);
        if (code == 0) return false;
        key.key = MAP_KEY + code;
        key.shift = key.level3 = false;
        return true;
    }

    void releaseSpareKeys() override { restoreSpareKeys(); }

    void toggleNumLock() override {
        if (!alive()) return;
        unsigned mask = XkbKeysymToModifiers(d_, XK_Num_Lock);
        XkbStateRec state;
        if (mask == 0 || XkbGetState(d_, XkbUseCoreKbd, &state) != Success) return;
        XkbLockModifiers(d_, XkbUseCoreKbd, mask, (state.locked_mods & mask) ? 0 : mask);
        XFlush(d_);
    }

    void movePointer(int x, int y) override {
        if (!alive() || !xtest_) return;
        XTestFakeMotionEvent(d_, DefaultScreen(d_), x, y, CurrentTime);
        XFlush(d_);
        // The server moves the pointer in its own time; like the move of
        // the system it stands for, ours is done once the pointer is there.
        int w = DisplayWidth(d_, DefaultScreen(d_)), h = DisplayHeight(d_, DefaultScreen(d_));
        int wantX = std::clamp(x, 0, w - 1), wantY = std::clamp(y, 0, h - 1);
        for (int i = 0; i < 100; ++i) {
            int px, py;
            if (!pointerPosition(px, py) || (px == wantX && py == wantY)) break;
            systemClock().sleepMs(2);
        }
    }

    void leftButton(bool down) override {
        if (!alive() || !xtest_) return;
        XTestFakeButtonEvent(d_, 1, down ? True : False, CurrentTime);
        XFlush(d_);
    }

    bool pointerPosition(int& x, int& y) override {
        if (!alive()) return false;
        Window rootReturn, child;
        int wx, wy;
        unsigned mask;
        return XQueryPointer(d_, root_, &rootReturn, &child, &x, &y, &wx, &wy, &mask);
    }

    std::vector<DesktopWindow> windows() override {
        std::vector<DesktopWindow> list;
        if (!alive()) return list;
        drainEvents();
        std::vector<unsigned long> ids = x11CardinalProperty(d_, root_, atom("_NET_CLIENT_LIST_STACKING"));
        if (!ids.empty()) {
            std::reverse(ids.begin(), ids.end());  // the property lists the bottom first
        } else {
            ids = x11CardinalProperty(d_, root_, atom("_NET_CLIENT_LIST"));
        }
        if (ids.empty() && !windowManagerRuns()) ids = mappedTopLevels();
        for (unsigned long id : ids) {
            DesktopWindow w;
            if (windowInfo(id, w)) list.push_back(std::move(w));
        }
        return list;
    }

    uint64_t activeWindow() override {
        if (!alive()) return 0;
        drainEvents();
        return currentActive();
    }

    bool windowInfo(uint64_t id, DesktopWindow& w) override {
        if (!alive() || id == 0) return false;
        Window window = static_cast<Window>(id);
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(d_, window, &attributes)) return false;
        int x = 0, y = 0;
        Window child;
        if (!XTranslateCoordinates(d_, window, root_, 0, 0, &x, &y, &child)) return false;
        w.id = id;
        w.title = utf8ToCp1252(x11WindowTitle(d_, window));
        std::vector<unsigned long> pid = x11CardinalProperty(d_, window, atom("_NET_WM_PID"));
        w.pid = pid.empty() ? 0 : static_cast<int>(pid[0]);
        w.client = ScreenRect{x, y, attributes.width, attributes.height};
        w.shown = attributes.map_state == IsViewable;
        // _NET_FRAME_EXTENTS: left, right, top, bottom borders the manager added.
        std::vector<unsigned long> e = x11CardinalProperty(d_, window, atom("_NET_FRAME_EXTENTS"));
        if (e.size() < 4) e.assign(4, 0);
        int left = static_cast<int>(e[0]), right = static_cast<int>(e[1]);
        int top = static_cast<int>(e[2]), bottom = static_cast<int>(e[3]);
        w.frame = ScreenRect{x - left, y - top, attributes.width + left + right,
                             attributes.height + top + bottom};
        return true;
    }

    void closeWindow(uint64_t id) override {
        if (!alive()) return;
        Window window = static_cast<Window>(id);
        if (supported("_NET_CLOSE_WINDOW")) {
            sendToRoot(window, "_NET_CLOSE_WINDOW", CurrentTime, 2);
        } else if (acceptsDelete(window)) {
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = window;
            e.xclient.message_type = atom("WM_PROTOCOLS");
            e.xclient.format = 32;
            e.xclient.data.l[0] = static_cast<long>(atom("WM_DELETE_WINDOW"));
            e.xclient.data.l[1] = CurrentTime;
            XSendEvent(d_, window, False, NoEventMask, &e);
        } else {
            XDestroyWindow(d_, window);
        }
        XFlush(d_);
        // The close is answered in the other program's own time; a program
        // that asks the user first stays, and we go on after a moment.
        for (int i = 0; i < 50 && stillListed(window); ++i) systemClock().sleepMs(20);
    }

    void showNormal(uint64_t id) override {
        if (!alive()) return;
        Window window = static_cast<Window>(id);
        sendToRoot(window, "_NET_WM_STATE", 0, static_cast<long>(atom("_NET_WM_STATE_MAXIMIZED_VERT")),
                   static_cast<long>(atom("_NET_WM_STATE_MAXIMIZED_HORZ")), 2);
        activate(window);
    }

    void showMaximised(uint64_t id) override {
        if (!alive()) return;
        Window window = static_cast<Window>(id);
        sendToRoot(window, "_NET_WM_STATE", 1, static_cast<long>(atom("_NET_WM_STATE_MAXIMIZED_VERT")),
                   static_cast<long>(atom("_NET_WM_STATE_MAXIMIZED_HORZ")), 2);
        activate(window);
    }

    void minimise(uint64_t id) override {
        if (!alive()) return;
        XIconifyWindow(d_, static_cast<Window>(id), DefaultScreen(d_));
        XSync(d_, False);
    }

    void watchActiveWindow(bool on) override {
        if (!alive() || on == watching_) return;
        watching_ = on;
        XSelectInput(d_, root_, on ? PropertyChangeMask : NoEventMask);
        XSync(d_, False);
        lastActive_ = currentActive();
        changes_.clear();
    }

    void activeWindowChanges(std::vector<uint64_t>& changes) override {
        if (!alive()) return;
        drainEvents();
        changes.insert(changes.end(), changes_.begin(), changes_.end());
        changes_.clear();
    }

private:
    struct Binding {
        KeyCode code;
        KeySym sym;
        int64_t usedAt;
    };

    Atom atom(const char* name) { return x11Atom(d_, name); }

    // Reads what the server sent us: changes of the active window while
    // they are watched, and keyboard map changes (ours among them), which
    // would otherwise pile up.
    void drainEvents() {
        while (alive() && XPending(d_) > 0) {
            XEvent e;
            XNextEvent(d_, &e);
            if (e.type == MappingNotify) {
                XRefreshKeyboardMapping(&e.xmapping);
            } else if (e.type == PropertyNotify && watching_ &&
                       e.xproperty.atom == atom("_NET_ACTIVE_WINDOW")) {
                uint64_t now = currentActive();
                if (now != lastActive_) {
                    lastActive_ = now;
                    changes_.push_back(now);
                }
            }
        }
    }

    uint64_t currentActive() {
        std::vector<unsigned long> v = x11CardinalProperty(d_, root_, atom("_NET_ACTIVE_WINDOW"));
        if (!v.empty()) return v[0];
        if (windowManagerRuns()) return 0;
        // No manager: the top-level window that holds the keyboard focus.
        Window focus;
        int revert;
        XGetInputFocus(d_, &focus, &revert);
        if (focus == None || focus == PointerRoot) return 0;
        while (true) {
            Window rootReturn, parent, *children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(d_, focus, &rootReturn, &parent, &children, &count)) return 0;
            if (children) XFree(children);
            if (parent == root_ || parent == None) return focus == root_ ? 0 : focus;
            focus = parent;
        }
    }

    bool windowManagerRuns() {
        return !x11CardinalProperty(d_, root_, atom("_NET_SUPPORTING_WM_CHECK")).empty();
    }

    bool supported(const char* name) {
        std::vector<unsigned long> list = x11CardinalProperty(d_, root_, atom("_NET_SUPPORTED"));
        return std::find(list.begin(), list.end(), atom(name)) != list.end();
    }

    // Without a window manager: the mapped children of the root, topmost first.
    std::vector<unsigned long> mappedTopLevels() {
        std::vector<unsigned long> ids;
        Window rootReturn, parent, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(d_, root_, &rootReturn, &parent, &children, &count)) return ids;
        for (unsigned i = count; i-- > 0;) {
            XWindowAttributes a;
            if (XGetWindowAttributes(d_, children[i], &a) && a.map_state == IsViewable &&
                !a.override_redirect)
                ids.push_back(children[i]);
        }
        if (children) XFree(children);
        return ids;
    }

    bool stillListed(Window window) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d_, window, &a)) return false;
        std::vector<unsigned long> ids = x11CardinalProperty(d_, root_, atom("_NET_CLIENT_LIST"));
        if (ids.empty()) return a.map_state != IsUnmapped;
        return std::find(ids.begin(), ids.end(), window) != ids.end();
    }

    bool acceptsDelete(Window window) {
        Atom* protocols = nullptr;
        int count = 0;
        bool found = false;
        if (XGetWMProtocols(d_, window, &protocols, &count)) {
            for (int i = 0; i < count; ++i) found = found || protocols[i] == atom("WM_DELETE_WINDOW");
            XFree(protocols);
        }
        return found;
    }

    // An EWMH request to the window manager about `window`; source 2 says
    // it comes from a pager-like tool acting for the user.
    void sendToRoot(Window window, const char* type, long l0, long l1 = 0, long l2 = 0, long l3 = 0) {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = window;
        e.xclient.message_type = atom(type);
        e.xclient.format = 32;
        e.xclient.data.l[0] = l0;
        e.xclient.data.l[1] = l1;
        e.xclient.data.l[2] = l2;
        e.xclient.data.l[3] = l3;
        XSendEvent(d_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    }

    void activate(Window window) {
        if (windowManagerRuns()) {
            sendToRoot(window, "_NET_ACTIVE_WINDOW", 2, CurrentTime, 0);
        } else {
            XMapRaised(d_, window);
            XSetInputFocus(d_, window, RevertToParent, CurrentTime);
        }
        XSync(d_, False);
    }

    KeyCode level3Keycode() {
        KeyCode code = XKeysymToKeycode(d_, XK_ISO_Level3_Shift);
        return code ? code : XKeysymToKeycode(d_, XK_Mode_switch);
    }

    KeyCode keycodeFor(KeySym sym) {
        for (Binding& b : spare_)
            if (b.sym == sym) {
                b.usedAt = systemClock().monotonicMs();
                return b.code;
            }
        KeyCode code = XKeysymToKeycode(d_, sym);
        return code ? code : bindSpare(sym);
    }

    void touch(KeyCode code) {
        for (Binding& b : spare_)
            if (b.code == code && b.sym != NoSymbol) b.usedAt = systemClock().monotonicMs();
    }

    // Puts the keysym on a spare key: a free one, else the one used
    // longest ago, once its hold has passed.
    KeyCode bindSpare(KeySym sym) {
        if (spare_.empty()) return 0;
        Binding* chosen = nullptr;
        for (Binding& b : spare_) {
            if (b.sym == sym) {
                chosen = &b;
                break;
            }
            if (!chosen || (chosen->sym != NoSymbol && (b.sym == NoSymbol || b.usedAt < chosen->usedAt)))
                chosen = &b;
        }
        if (chosen->sym != sym) {
            if (chosen->sym != NoSymbol) holdUntilRead(chosen->usedAt);
            setKeySyms(chosen->code, sym);
            chosen->sym = sym;
        }
        chosen->usedAt = systemClock().monotonicMs();
        return chosen->code;
    }

    void holdUntilRead(int64_t usedAt) {
        int64_t wait = usedAt + SPARE_KEY_HOLD_MS - systemClock().monotonicMs();
        if (wait > 0) systemClock().sleepMs(static_cast<int>(wait));
    }

    void setKeySyms(KeyCode code, KeySym sym) {
        // The same symbol with and without Shift, so a held Shift changes nothing.
        KeySym syms[2] = {sym, sym};
        XChangeKeyboardMapping(d_, code, 2, syms, 1);
        XSync(d_, False);
    }

    void restoreSpareKeys() {
        int64_t last = 0;
        bool any = false;
        for (const Binding& b : spare_)
            if (b.sym != NoSymbol) {
                any = true;
                last = std::max(last, b.usedAt);
            }
        if (!any || !alive()) return;
        holdUntilRead(last);
        for (Binding& b : spare_)
            if (b.sym != NoSymbol) {
                setKeySyms(b.code, NoSymbol);
                b.sym = NoSymbol;
            }
        drainEvents();
    }

    Display* d_;
    Window root_;
    bool xtest_ = false;
    int minKeycode_ = 8, maxKeycode_ = 255;
    std::vector<Binding> spare_;
    bool watching_ = false;
    uint64_t lastActive_ = 0;
    std::vector<uint64_t> changes_;
};

std::unique_ptr<Desktop> current;
std::unique_ptr<Desktop> previous;
bool opened = false;

} // namespace

Desktop* desktop() {
    if (!opened) {
        opened = true;
        if (Display* d = openX11Display()) current = std::make_unique<X11Desktop>(d);
    }
    if (auto* x = dynamic_cast<X11Desktop*>(current.get()); x && !x->alive()) return nullptr;
    return current.get();
}

void setDesktopForTests(std::unique_ptr<Desktop> replacement) {
    opened = true;
    previous = std::move(current);
    current = std::move(replacement);
}
