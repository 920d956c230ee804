// Decodes a terminal's byte stream into console input events: UTF-8
// characters become Windows-1252 codes (others are dropped), escape
// sequences become special keys with their modifiers, ESC followed by a
// character is that character with Alt. Used by the terminal and the
// headless backends.
//
// Sequences understood (modifier parameter m = 1 + 1 Shift + 2 Alt + 4 Ctrl
// + 8 Meta, taken as Alt):
//   CSI A..D, H, F, P..S (optionally "1;m")  arrows, Home, End, F1..F4 (xterm, VTE, tmux)
//   SS3 A..D, H, F, P..S (optionally "m")    the same in application mode
//   CSI n~ / CSI n;m~                          Home 1/7, Insert 2, Delete 3, End 4/8,
//                                              PgUp 5, PgDn 6, F1..F12 11..24
//   CSI n$ / CSI n^ / CSI n@                   the same with Shift / Ctrl / both (rxvt)
//   CSI 25~..34~                               Shift+F3..F10 (Linux console, rxvt)
//   CSI [A..E                                  F1..F5 (Linux console)
//   CSI a..d / SS3 a..d                        Shift / Ctrl arrows (rxvt)
//   CSI Z                                      Shift+Tab
//   CSI 27;m;c~ and CSI c;m u                  a character with modifiers (xterm
//                                              modifyOtherKeys, "CSI u" terminals)
// Anything else that is a well-formed CSI or SS3 sequence is swallowed.
#pragma once

#include "platform/console_backend.h"

#include <cstdint>
#include <string>
#include <vector>

class KeyDecoder {
public:
    // `fromTerminal`: the bytes are typed on a terminal, where LF is Ctrl+J
    // (Ctrl+Enter) and ESC ESC [ A is Alt+Up. Otherwise they come from a key
    // file, where LF is a plain Enter and ESC ESC is two Esc presses.
    explicit KeyDecoder(bool fromTerminal) : fromTerminal_(fromTerminal) {}
    // The byte the Backspace key sends (the terminal's erase character):
    // DEL by default, ^H on some terminals. The other of the two is then
    // Ctrl+Backspace.
    void setBackspaceByte(uint8_t byte) { backspaceByte_ = byte; }
    // Adds bytes read from the input.
    void feed(std::string_view bytes);
    // Moves every complete key to `events`. With `final` set, a lone ESC or
    // an unfinished sequence at the end counts as typed (no more bytes will
    // come soon).
    // At most `maxEvents` keys are taken; the rest wait for the next call.
    void take(std::vector<InputEvent>& events, bool final, size_t maxEvents = SIZE_MAX);
    bool hasPending() const { return !buffer_.empty(); }

private:
    // Decodes one key at the front; returns bytes used, 0 when more are needed.
    size_t decodeOne(std::string_view b, bool final, std::vector<InputEvent>& events);
    size_t decodeEscape(std::string_view b, bool final, std::vector<InputEvent>& events);
    // ESC + the key that follows, with Alt.
    size_t decodeAltPrefix(std::string_view b, bool final, std::vector<InputEvent>& events);
    std::string buffer_;
    bool fromTerminal_;
    uint8_t backspaceByte_ = 127;
};
