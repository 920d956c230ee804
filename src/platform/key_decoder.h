// Decodes a terminal's byte stream into console input events: UTF-8
// characters become Windows-1252 codes (others are dropped), escape
// sequences become special keys with their modifiers, ESC followed by a
// character is that character with Alt. Used by the terminal and the
// headless backends.
#pragma once

#include "platform/console_backend.h"

#include <cstdint>
#include <string>
#include <vector>

class KeyDecoder {
public:
    // `lfIsCtrlEnter`: a terminal sends LF for Ctrl+Enter (Ctrl+J); in key
    // files LF is a plain Enter.
    explicit KeyDecoder(bool lfIsCtrlEnter) : lfIsCtrlEnter_(lfIsCtrlEnter) {}
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
    std::string buffer_;
    bool lfIsCtrlEnter_;
};
