// The display and keyboard behind the 80 x 25 console. The console module
// keeps the screen model and the key queue; a backend shows the model and
// reports input. Backends: window and terminal (platform/linux), headless
// (platform/headless).
#pragma once

#include "platform/clock.h"
#include "platform/sockets.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int SCREEN_COLUMNS = 80;
constexpr int SCREEN_ROWS = 25;

// The RGB colour of each palette index (what a colour map entry names).
inline constexpr uint8_t CONSOLE_PALETTE[16][3] = {
    {0, 0, 0},       {0, 0, 255},     {0, 255, 0},     {0, 255, 255},
    {255, 0, 0},     {142, 0, 142},   {68, 34, 34},    {192, 192, 192},
    {128, 128, 128}, {128, 128, 255}, {128, 255, 128}, {128, 255, 255},
    {255, 128, 128}, {255, 128, 255}, {255, 255, 0},   {255, 255, 255},
};

enum class SpecialKey : uint8_t {
    None,
    F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
    Insert, Delete, Home, End, PageUp, PageDown, Up, Down, Left, Right,
};

struct InputEvent {
    enum Kind : uint8_t {
        Character,  // a typed character: Windows-1252 code in `ch` (Enter 13, Backspace 8, Esc 27)
        Special,    // a key of the special-key table in `key`
        KeyDown,    // raw key transitions, only from backends that see them:
        KeyUp,      //   `ch` is 'a'..'z' for a letter key, ' ' for the space bar,
                    //   0 for any other key; `scancode` the backend's key number.
                    //   A held key's repeats bring no further KeyDown.
        Mouse,      // button (1 left, 2 middle, 3 right, 0 move) at x, y pixels
        Break,      // the user asked to end the program at once (Ctrl+Break, a signal)
        Closed,     // the window was closed or the input ended
    };
    Kind kind = Character;
    uint8_t ch = 0;
    SpecialKey key = SpecialKey::None;
    bool shift = false, ctrl = false, alt = false;
    int scancode = 0;
    int button = 0;
    bool pressed = false;
    int x = 0, y = 0;
};

enum class WindowState : uint8_t { Normal, Hidden };

class ConsoleBackend {
public:
    virtual ~ConsoleBackend() = default;

    // Makes the display ready; false when it cannot be used.
    virtual bool open() = 0;
    // Gives the display back (restores the terminal); safe to call twice.
    virtual void close() = 0;

    // Every byte handed to the console, before wrapping: the headless
    // transcript is made of these. Called before the screen model changes.
    virtual void written(std::string_view bytes) { (void)bytes; }
    // Cells [colFrom, colTo) of `row` changed; `chars`/`attrs` are the row's 80 cells.
    virtual void drawRange(int row, int colFrom, int colTo, const uint8_t* chars,
                           const uint8_t* attrs) = 0;
    // The whole screen changed (clear, scroll); buffers are 80 x 25, row-major.
    virtual void drawAll(const uint8_t* chars, const uint8_t* attrs) = 0;
    // Cursor at 0-based column (0..80) and row; `visible` while a key is awaited.
    virtual void setCursor(int column, int row, bool visible) = 0;
    // Logical colour i (attribute nibble) is shown with palette index map[i];
    // indexes above 15 show black.
    virtual void setColourMap(const uint8_t map[16]) { (void)map; }

    // Waits at most `timeoutMs` (0 = just look) for input and appends what
    // came to `events`. `keyAwaited` is true when the program is blocked
    // waiting for a key; a backend may read its input only then.
    virtual void pollInput(std::vector<InputEvent>& events, int timeoutMs, bool keyAwaited) = 0;
    // As pollInput with no key awaited, but also ends as soon as the
    // descriptor `fd` is ready (readable, or writable when `forWrite`; its
    // end or an error count as ready); true then. This default looks at the
    // descriptor between short input waits; a backend that can wait on both
    // at once does so.
    virtual bool pollInputOrReady(std::vector<InputEvent>& events, int timeoutMs, int fd, bool forWrite) {
        Clock& clock = systemClock();
        int64_t deadline = clock.monotonicMs() + (timeoutMs > 0 ? timeoutMs : 0);
        size_t before = events.size();
        while (true) {
            if (socketWaitReady(fd, forWrite, 0) != 0) return true;
            int64_t left = deadline - clock.monotonicMs();
            if (left <= 0 || events.size() > before) return false;
            pollInput(events, static_cast<int>(left < 10 ? left : 10), false);
        }
    }
    // Shift, Ctrl and Alt held now, as well as the backend can tell.
    virtual void modifiers(bool& shift, bool& ctrl, bool& alt) {
        shift = ctrl = alt = false;
    }
    // True when pollInput reports KeyDown and KeyUp (braille typing needs them).
    virtual bool keyTransitions() const { return false; }

    // Hands the terminal to a program started in the foreground: true when
    // this backend holds a terminal and gave it back (normal modes and
    // screen). Until retakeTerminal it draws nothing and reads no input, and
    // the keys Ctrl+C and Ctrl+\ are left to that program.
    virtual bool releaseTerminal() { return false; }
    // Takes the terminal again after releaseTerminal and repaints the console.
    virtual void retakeTerminal() {}

    virtual void setTitle(std::string_view cp1252Title) { (void)cp1252Title; }
    virtual void setWindowState(WindowState state) { (void)state; }
    virtual void beep() {}
    // The desktop clipboard; false when the backend has none.
    virtual bool setClipboard(std::string_view cp1252Text) { (void)cp1252Text; return false; }
    virtual bool getClipboard(std::string& cp1252Text) { (void)cp1252Text; return false; }
    // A picture of width x height RGB pixels (3 bytes each, top row first)
    // drawn over the text at pixel x, y; an empty picture removes it.
    virtual void showPicture(const std::vector<uint8_t>& rgb, int width, int height, int x, int y) {
        (void)rgb; (void)width; (void)height; (void)x; (void)y;
    }
    // The X11 id of the console's window, 0 when it has none.
    virtual unsigned long nativeWindowId() { return 0; }
};
