// Keys and clicks for other programs, in the terms scripts use: Windows
// virtual-key codes with Shift, Ctrl and Alt, characters typed as the
// keyboard layout types them (with dead keys for accented letters), the
// key names of ACIONA, and pointer positions relative to the screen or to
// the foreground window. The events go to the desktop (platform/desktop.h)
// and reach whichever window has the focus. Nothing happens without a
// desktop; callers check desktopAvailable first.
#pragma once

#include <cstdint>
#include <string_view>

constexpr int VK_ENTER = 13;
constexpr int VK_SHIFT = 16;
constexpr int VK_CONTROL = 17;
constexpr int VK_ALT = 18;
constexpr int VK_END = 35;
constexpr int VK_HOME = 36;
constexpr int VK_INSERT = 45;
constexpr int VK_NUMLOCK = 144;

// A key (a virtual-key code, or a key of the desktop's map) and the
// modifiers pressed around it. level3 is the layout's third-level key
// (AltGr), which some characters need.
struct KeyWithModifiers {
    int key = 0;
    bool shift = false, ctrl = false, alt = false, level3 = false;
};

bool desktopAvailable();

// One key down or up, then the console takes what input it has, so keys
// aimed at our own window reach its queue at once.
void sendKeyEvent(int key, bool up);
// `count` presses (each released too when `release`); NumLock is toggled
// once instead, with no key event.
void pressKey(int key, int count, bool release);
void releaseKey(int key);
// Shift, Ctrl, Alt (and the third level) down in that order, pressKey, then
// the same modifiers up in the same order.
void pressWithModifiers(const KeyWithModifiers& key, int count, bool release);
// The key with the modifiers asked for, pressed and released, then `pauseMs`.
void pressCombination(int virtualKey, bool ctrl, bool shift, bool alt, int pauseMs);
// The key under a character with its own modifiers not pressed, 1 ms
// pauses around its release; other characters are typed.
void tapKey(uint8_t ch);
void typeChar(uint8_t ch, int pauseMs);
void typeText(std::string_view text, int pauseMs);
// Gives back the keys borrowed for characters the layout lacks; at the end
// of each command that typed.
void finishTyping();

// The dead key and base letter of a Windows-1252 character from 128 to
// 255; the dead key is '_' when the character needs none (its base is
// then the character itself).
void deadKeyFor(uint8_t ch, uint8_t& deadKey, uint8_t& base);
// The virtual key of an ACIONA key name (upper case), or -1.
int virtualKeyByName(std::string_view name);

// The point (0, 0) of positions relative to the foreground window: its
// left edge plus its left border, and its top edge plus 4 pixels. The
// screen's corner when no window is active.
void foregroundOrigin(int& x, int& y);
void movePointerTo(int x, int y);
void mouseClick(int x, int y);
void mouseDoubleClick(int x, int y);
// The pointer's position on the screen or relative to the foreground
// window; false without a desktop.
bool pointerPosition(bool screen, int& x, int& y);
