// Six-key braille typing on the ordinary keyboard: F D S J K L are dots 1 to
// 6 and the space bar a seventh key; a chord of keys pressed together gives
// one character when the last of them is released, and that character goes
// into the console's key queue like a typed key. Mode 1 types the table's
// characters as they are; mode 2 adds the number sign (# then a..j give
// digits) and the capital sign ({ once for one capital, twice for caps
// lock). Owns the mode, the chord being typed and the sign flags. It needs a
// backend that reports key presses and releases (the window); the console
// routes them here.
#pragma once

#include <cstdint>

// 0 off, 1 plain, 2 with number and capital signs.
extern int brailleMode;

// Switches braille typing, sounding the switch's tones: mode 0 (off) a 100 Hz
// tone when it was on; modes 1 and 2 an 800 Hz tone followed by 1600 Hz
// (mode 1) or 400 Hz (mode 2), 200 ms each. A mode above 2 counts as 1.
void setBrailleMode(int mode);
// The mode that follows `mode` on the next-mode key: 0 -> 1 -> 2 -> 1.
int nextBrailleMode(int mode);

// A key pressed (Ctrl and Alt not held): `key` is 'a'..'z' for a letter key,
// ' ' for the space bar. True when it is one of the seven braille keys and
// was taken into the chord.
bool brailleKeyDown(char key);
// A key released (Alt not held): `key` as above, 0 for any other key. Ctrl
// or another key clears the signs; releasing the last key held completes
// the chord and queues its character.
void brailleKeyUp(char key, bool ctrl);

// The character of a chord's six dot bits (dot n is bit n - 1), Windows-1252.
uint8_t brailleCharacter(int dots);

// Mode 0 and no chord, without tones (tests).
void resetBraille();
