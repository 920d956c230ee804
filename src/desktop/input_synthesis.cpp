// Key and pointer synthesis: the order of key events, the modifiers and
// the pauses that let the other program keep up.
#include "desktop/input_synthesis.h"

#include "console/console.h"
#include "platform/clock.h"
#include "platform/desktop.h"

#include <cstring>

namespace {

void pause(int ms) {
    if (ms > 0) systemClock().sleepMs(ms);
}

// The layout's key for a character (or for a dead key) with the modifiers
// its level needs; false when the layout has none.
bool keyScan(uint8_t ch, bool dead, KeyWithModifiers& out) {
    CharacterKey key;
    if (!desktop()->characterKey(ch, dead, key)) return false;
    out = KeyWithModifiers{};
    out.key = key.key;
    out.shift = key.shift;
    out.level3 = key.level3;
    return true;
}

bool typeWithLayout(uint8_t ch, bool dead) {
    KeyWithModifiers key;
    if (!keyScan(ch, dead, key)) return false;
    pressWithModifiers(key, 1, true);
    return true;
}

struct Accent {
    uint8_t deadKey;
    const char* accented;  // Windows-1252 letters with this accent
    const char* bases;     // the same letters without it
};

const Accent ACCENTS[] = {
    {96, "\xC0\xC8\xCC\xD2\xD9\xE0\xE8\xEC\xF2\xF9", "AEIOUaeiou"},             // grave
    {180, "\xC1\xC9\xCD\xD3\xDA\xDD\xE1\xE9\xED\xF3\xFA\xFD", "AEIOUYaeiouy"},   // acute
    {94, "\xC2\xCA\xCE\xD4\xDB\xE2\xEA\xEE\xF4\xFB", "AEIOUaeiou"},             // circumflex
    {126, "\xC3\xD1\xD5\xE3\xF1\xF5", "ANOano"},                                 // tilde
    {168, "\xC4\xCB\xCF\xD6\xDC\xE4\xEB\xEF\xF6\xFC\xFF", "AEIOUaeiouy"},       // diaeresis
};

struct KeyName {
    const char* name;
    int key;
};

const KeyName KEY_NAMES[] = {
    {"UP", 38},        {"DOWN", 40},    {"LEFT", 37},      {"RIGHT", 39},     {"ESCAPE", 27},
    {"ESC", 27},       {"ENTER", 13},   {"RETURN", 13},    {"BACKSPACE", 8},  {"TAB", 9},
    {"F1", 112},       {"F2", 113},     {"F3", 114},       {"F4", 115},       {"F5", 116},
    {"F6", 117},       {"F7", 118},     {"F8", 119},       {"F9", 120},       {"F10", 121},
    {"F11", 122},      {"F12", 123},    {"INS", 45},       {"HOME", 36},      {"DEL", 46},
    {"DELETE", 46},    {"END", 35},     {"PAGEUP", 33},    {"PRIOR", 33},     {"PAGEDN", 34},
    {"NEXT", 34},      {"SNAPSHOT", 44},
};

} // namespace

bool desktopAvailable() { return desktop() != nullptr; }

void sendKeyEvent(int key, bool up) {
    if (Desktop* d = desktop()) d->keyEvent(key, !up);
    processMessages();
}

void pressKey(int key, int count, bool release) {
    if (key == VK_NUMLOCK) {
        if (Desktop* d = desktop()) d->toggleNumLock();
        return;
    }
    for (int i = 0; i < count; ++i) {
        sendKeyEvent(key, false);
        if (release) sendKeyEvent(key, true);
    }
}

void releaseKey(int key) { sendKeyEvent(key, true); }

void pressWithModifiers(const KeyWithModifiers& key, int count, bool release) {
    if (key.shift) pressKey(VK_SHIFT, 1, false);
    if (key.ctrl) pressKey(VK_CONTROL, 1, false);
    if (key.alt) pressKey(VK_ALT, 1, false);
    if (key.level3) pressKey(LEVEL3_KEY, 1, false);
    pressKey(key.key, count, release);
    if (key.shift) releaseKey(VK_SHIFT);
    if (key.ctrl) releaseKey(VK_CONTROL);
    if (key.alt) releaseKey(VK_ALT);
    if (key.level3) releaseKey(LEVEL3_KEY);
}

void pressCombination(int virtualKey, bool ctrl, bool shift, bool alt, int pauseMs) {
    KeyWithModifiers key;
    key.key = virtualKey;
    key.ctrl = ctrl;
    key.shift = shift;
    key.alt = alt;
    pressWithModifiers(key, 1, true);
    pause(pauseMs);
}

void tapKey(uint8_t ch) {
    KeyWithModifiers key;
    if (ch >= 32 && ch <= 127) {
        // The bare key: the modifiers the layout needs for ch stay up.
        if (keyScan(ch, false, key)) {
            pressKey(key.key, 1, false);
            pause(1);
            releaseKey(key.key);
            pause(1);
        }
        return;
    }
    typeChar(ch, 1);
}

void typeChar(uint8_t ch, int pauseMs) {
    if (ch < 32) {
        // A control character is Ctrl with its letter (Ctrl+M for CR).
        pressCombination(ch + 64, true, false, false, pauseMs);
    } else if (ch < 128) {
        typeWithLayout(ch, false);
    } else {
        uint8_t dead, base;
        deadKeyFor(ch, dead, base);
        bool typed = false;
        KeyWithModifiers deadKey;
        if (dead != '_' && keyScan(dead, true, deadKey)) {
            pressWithModifiers(deadKey, 1, true);
            typed = typeWithLayout(base, false);
        } else {
            // A layout without the dead key gets the accented letter itself.
            typed = typeWithLayout(ch, false);
        }
        if (!typed) typeWithLayout(' ', false);
    }
    pause(pauseMs);
}

void typeText(std::string_view text, int pauseMs) {
    for (char c : text) typeChar(static_cast<uint8_t>(c), pauseMs);
}

void finishTyping() {
    if (Desktop* d = desktop()) d->releaseSpareKeys();
}

void deadKeyFor(uint8_t ch, uint8_t& deadKey, uint8_t& base) {
    for (const Accent& a : ACCENTS) {
        if (const char* p = std::strchr(a.accented, static_cast<char>(ch)); p && ch != 0) {
            deadKey = a.deadKey;
            base = static_cast<uint8_t>(a.bases[p - a.accented]);
            return;
        }
    }
    deadKey = '_';
    base = ch;
}

int virtualKeyByName(std::string_view name) {
    for (const KeyName& k : KEY_NAMES)
        if (name == k.name) return k.key;
    return -1;
}

void foregroundOrigin(int& x, int& y) {
    x = y = 0;
    Desktop* d = desktop();
    DesktopWindow w;
    if (!d || !d->windowInfo(d->activeWindow(), w)) return;
    x = w.client.left;
    y = w.frame.top + 4;
}

void movePointerTo(int x, int y) {
    if (Desktop* d = desktop()) d->movePointer(x, y);
}

void mouseClick(int x, int y) {
    Desktop* d = desktop();
    if (!d) return;
    d->movePointer(x, y);
    d->leftButton(true);
    d->leftButton(false);
}

void mouseDoubleClick(int x, int y) {
    Desktop* d = desktop();
    if (!d) return;
    d->movePointer(x, y);
    for (int i = 0; i < 2; ++i) {
        d->leftButton(true);
        d->leftButton(false);
    }
}

bool pointerPosition(bool screen, int& x, int& y) {
    Desktop* d = desktop();
    if (!d || !d->pointerPosition(x, y)) return false;
    if (!screen) {
        int ox, oy;
        foregroundOrigin(ox, oy);
        x -= ox;
        y -= oy;
    }
    return true;
}
