// The desktop the interpreter automates: synthetic keys and pointer clicks
// for whichever window has the focus, the list of top-level windows with
// their titles and frames, the active window, and closing, restoring,
// maximising, minimising and activating a window. The real one is the X
// display of DISPLAY (platform/linux/x11_desktop: XTest for input, the
// window manager's EWMH hints for the window list); without a display there
// is no desktop and `desktop()` is null. Titles are Windows-1252.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Keys of keyEvent: a Windows virtual-key code (0..255); LEVEL3_KEY, the key
// that picks the third level of a key (AltGr); or MAP_KEY plus the number of
// a key of the keyboard map, as characterKey reported it.
constexpr int LEVEL3_KEY = 0x100;
constexpr int MAP_KEY = 0x200;

// The key that types a character, and the modifiers its level needs.
struct CharacterKey {
    int key = 0;  // MAP_KEY + the key's number
    bool shift = false;
    bool level3 = false;
};

struct ScreenRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool contains(int x, int y) const {
        return x >= left && y >= top && x < left + width && y < top + height;
    }
};

struct DesktopWindow {
    uint64_t id = 0;
    std::string title;  // Windows-1252; may be empty
    int pid = 0;        // the owning process, 0 when the window does not say
    ScreenRect frame;   // the whole window with its decorations, screen pixels
    ScreenRect client;  // the area the program draws in
    bool shown = true;  // on the screen (not minimised)
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // One key down or up (see the key numbers above). A virtual key the
    // keyboard map lacks is bound to a spare key for the moment.
    virtual void keyEvent(int key, bool down) = 0;
    // The key for a Windows-1252 character (32..255), or with `dead` the dead
    // key of an accent character (96 grave, 180 acute, 94 circumflex, 126
    // tilde, 168 diaeresis). A character the map lacks is bound to a spare
    // key until releaseSpareKeys; a dead key the map lacks is not. False when
    // there is no key for it.
    virtual bool characterKey(uint8_t ch, bool dead, CharacterKey& key) = 0;
    // Gives the spare keys back to the map once the programs have had the
    // time to read the keys typed with them.
    virtual void releaseSpareKeys() = 0;
    // Inverts the NumLock state without a key event.
    virtual void toggleNumLock() = 0;

    virtual void movePointer(int x, int y) = 0;
    virtual void leftButton(bool down) = 0;
    // The pointer's screen position; false when it cannot be told.
    virtual bool pointerPosition(int& x, int& y) = 0;

    // The top-level windows, the topmost first.
    virtual std::vector<DesktopWindow> windows() = 0;
    // The active window, or 0 when there is none.
    virtual uint64_t activeWindow() = 0;
    // The window's data; false when it is gone.
    virtual bool windowInfo(uint64_t id, DesktopWindow& window) = 0;

    // Asks the window to close and waits a moment for it to go.
    virtual void closeWindow(uint64_t id) = 0;
    // Restored from minimised or maximised, and activated.
    virtual void showNormal(uint64_t id) = 0;
    virtual void showMaximised(uint64_t id) = 0;
    virtual void minimise(uint64_t id) = 0;

    // Start or stop noticing changes of the active window.
    virtual void watchActiveWindow(bool on) = 0;
    // The active windows noticed since the last call, in order (0 for none).
    virtual void activeWindowChanges(std::vector<uint64_t>& changes) = 0;
};

// The desktop of the display named by DISPLAY, opened at the first call;
// null when there is none.
Desktop* desktop();
// Puts another desktop in place of the real one (tests); null puts back
// "no desktop". The previous one is kept alive until the next call.
void setDesktopForTests(std::unique_ptr<Desktop> replacement);
