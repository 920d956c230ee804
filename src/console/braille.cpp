// Braille typing: the chord, the table and the signs of mode 2.
#include "console/braille.h"

#include "console/console.h"

int brailleMode = 0;

namespace {

constexpr int SPACE_BIT = 1 << 6;
// The character that stands for "nothing to type" (a sign was typed).
constexpr uint8_t NO_CHARACTER = 254;
constexpr int SWITCH_TONE_MS = 200;

int chordBits = 0;  // dots pressed since the chord began
int heldBits = 0;   // dots still held down
bool capitalSign = false, capsLock = false, numberSign = false;

// Row = dots 4 5 6 (bits 3..5), column = dots 1 2 3 (bits 0..2).
const uint8_t BRAILLE_TABLE[64] = {
    ' ',  'a',  ',',  'b',  '\'', 'k',  ';',  'l',   // 0
    '^',  'c',  'i',  'f',  0xED, 'm',  's',  'p',   // 1: í
    '~',  'e',  ':',  'h',  '*',  'o',  '!',  'r',   // 2
    0xAC, 'd',  'j',  'g',  0xE3, 'n',  't',  'q',   // 3: ¬ ã
    0xFD, 0xE2, '?',  0xEA, '-',  'u',  '"',  'v',   // 4: ý â ê
    '{',  0xEE, 0xF5, 0xE0, 0xF3, 'x',  0xE8, 0xE7,  // 5: î õ à ó è ç
    '$',  0xFB, 0xFF, 0xFC, '}',  'z',  '=',  0xE1,  // 6: û ÿ ü á
    '_',  0xF4, 'w',  0xEF, '#',  'y',  0xFA, 0xE9,  // 7: ô ï ú é
};

// The dot bit of a key, 0 for a key that is not one of the seven.
int keyBit(char key) {
    switch (key) {
    case 'f': return 1 << 0;
    case 'd': return 1 << 1;
    case 's': return 1 << 2;
    case 'j': return 1 << 3;
    case 'k': return 1 << 4;
    case 'l': return 1 << 5;
    case ' ': return SPACE_BIT;
    default: return 0;
    }
}

void clearSigns() { capitalSign = capsLock = numberSign = false; }

// Mode 2: the apostrophe types a full stop and û the at sign; the number
// sign turns a..j into digits until a tilde; the capital sign raises the
// next letter, twice in a row every letter until the signs are cleared.
uint8_t applySigns(uint8_t c) {
    if (c == '\'') c = '.';
    else if (c == 0xFB) c = '@';
    if (numberSign) {
        if (c >= 'a' && c <= 'i') c = static_cast<uint8_t>('1' + (c - 'a'));
        else if (c == 'j') c = '0';
        else if (c == '~') numberSign = false;
    }
    if ((capitalSign || capsLock) && c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 32);
    if (c == '#') {
        numberSign = true;
        return NO_CHARACTER;
    }
    if (c == '{') {
        if (capitalSign) capsLock = true;
        capitalSign = true;
        return NO_CHARACTER;
    }
    capitalSign = false;
    return c;
}

void completeChord() {
    uint8_t c;
    if (chordBits & SPACE_BIT) {
        clearSigns();
        int dots = chordBits & ~SPACE_BIT;
        c = dots == 0 ? ' ' : static_cast<uint8_t>(BRAILLE_TABLE[dots] & 31);
    } else {
        c = BRAILLE_TABLE[chordBits];
        if (brailleMode == 2) c = applySigns(c);
    }
    if (c != NO_CHARACTER) queueKey(c);
    chordBits = 0;
}

void tone(int frequency) {
    playConsoleTone(frequency);
    waitMs(SWITCH_TONE_MS);
}

} // namespace

void setBrailleMode(int mode) {
    if (mode > 2 || mode < 0) mode = 1;
    bool wasOn = brailleMode != 0;
    brailleMode = mode;
    if (mode == 0) {
        chordBits = heldBits = 0;
        clearSigns();
        if (!wasOn) return;
        tone(100);
    } else {
        tone(800);
        tone(mode == 1 ? 1600 : 400);
    }
    stopConsoleTone();
}

int nextBrailleMode(int mode) { return mode == 1 ? 2 : 1; }

bool brailleKeyDown(char key) {
    int bit = keyBit(key);
    if (brailleMode == 0 || bit == 0) return false;
    chordBits |= bit;
    heldBits |= bit;
    return true;
}

void brailleKeyUp(char key, bool ctrl) {
    if (brailleMode == 0) return;
    bool letter = key >= 'a' && key <= 'z';
    if (ctrl || (!letter && key != ' ')) {
        clearSigns();
        return;
    }
    heldBits &= ~keyBit(key);
    if (heldBits == 0) completeChord();
}

uint8_t brailleCharacter(int dots) { return BRAILLE_TABLE[dots & 63]; }

void resetBraille() {
    brailleMode = 0;
    chordBits = heldBits = 0;
    clearSigns();
}
