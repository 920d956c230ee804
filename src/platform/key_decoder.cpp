// Terminal byte stream -> console input events.
#include "platform/key_decoder.h"

#include "platform/encoding.h"

namespace {

InputEvent character(uint8_t ch, bool shift = false, bool ctrl = false, bool alt = false) {
    InputEvent e;
    e.kind = InputEvent::Character;
    e.ch = ch;
    e.shift = shift;
    e.ctrl = ctrl;
    e.alt = alt;
    return e;
}

InputEvent special(SpecialKey key, int modifierParam) {
    InputEvent e;
    e.kind = InputEvent::Special;
    e.key = key;
    // xterm modifier parameter: 1 + (1 shift, 2 alt, 4 ctrl, 8 meta).
    int bits = modifierParam > 1 ? modifierParam - 1 : 0;
    e.shift = bits & 1;
    e.alt = (bits & 2) || (bits & 8);
    e.ctrl = bits & 4;
    return e;
}

SpecialKey tildeKey(int n) {
    switch (n) {
    case 1: case 7: return SpecialKey::Home;
    case 2: return SpecialKey::Insert;
    case 3: return SpecialKey::Delete;
    case 4: case 8: return SpecialKey::End;
    case 5: return SpecialKey::PageUp;
    case 6: return SpecialKey::PageDown;
    case 11: return SpecialKey::F1;
    case 12: return SpecialKey::F2;
    case 13: return SpecialKey::F3;
    case 14: return SpecialKey::F4;
    case 15: return SpecialKey::F5;
    case 17: return SpecialKey::F6;
    case 18: return SpecialKey::F7;
    case 19: return SpecialKey::F8;
    case 20: return SpecialKey::F9;
    case 21: return SpecialKey::F10;
    case 23: return SpecialKey::F11;
    case 24: return SpecialKey::F12;
    default: return SpecialKey::None;
    }
}

SpecialKey letterKey(char c) {
    switch (c) {
    case 'A': return SpecialKey::Up;
    case 'B': return SpecialKey::Down;
    case 'C': return SpecialKey::Right;
    case 'D': return SpecialKey::Left;
    case 'H': return SpecialKey::Home;
    case 'F': return SpecialKey::End;
    case 'P': return SpecialKey::F1;
    case 'Q': return SpecialKey::F2;
    case 'R': return SpecialKey::F3;
    case 'S': return SpecialKey::F4;
    default: return SpecialKey::None;
    }
}

} // namespace

void KeyDecoder::feed(std::string_view bytes) { buffer_.append(bytes); }

void KeyDecoder::take(std::vector<InputEvent>& events, bool final, size_t maxEvents) {
    size_t pos = 0, taken = 0;
    while (pos < buffer_.size() && taken < maxEvents) {
        size_t before = events.size();
        size_t used = decodeOne(std::string_view(buffer_).substr(pos), final, events);
        if (used == 0) break;
        pos += used;
        taken += events.size() - before;
    }
    buffer_.erase(0, pos);
}

size_t KeyDecoder::decodeOne(std::string_view b, bool final, std::vector<InputEvent>& events) {
    unsigned char c = static_cast<unsigned char>(b[0]);
    if (c == 27) {
        if (b.size() == 1) {
            if (!final) return 0;
            events.push_back(character(27));
            return 1;
        }
        char n = b[1];
        if (n == '[' || n == 'O') {
            // CSI or SS3: parameters (digits and ';'), then a final byte.
            size_t i = 2;
            // The Linux console sends ESC [ [ A .. E for F1 .. F5.
            if (n == '[' && i < b.size() && b[i] == '[') {
                if (i + 1 >= b.size()) return final ? (events.push_back(character(27)), 1) : 0;
                char f = b[i + 1];
                if (f >= 'A' && f <= 'E')
                    events.push_back(special(static_cast<SpecialKey>(static_cast<int>(SpecialKey::F1) + (f - 'A')), 0));
                return i + 2;
            }
            int params[4] = {0, 0, 0, 0};
            int count = 0;
            bool any = false;
            while (i < b.size() && ((b[i] >= '0' && b[i] <= '9') || b[i] == ';')) {
                if (b[i] == ';') {
                    if (count < 3) ++count;
                } else {
                    params[count] = params[count] * 10 + (b[i] - '0');
                    if (params[count] > 1000) params[count] = 1000;
                    any = true;
                }
                ++i;
            }
            if (i >= b.size()) {
                if (!final) return 0;
                events.push_back(character(27));
                return 1;
            }
            char f = b[i];
            ++i;
            if (f == '~') {
                SpecialKey k = tildeKey(params[0]);
                if (k != SpecialKey::None) events.push_back(special(k, params[1]));
            } else if (f == 'Z') {
                events.push_back(character(9, true));
            } else {
                SpecialKey k = letterKey(f);
                // ESC O 2 P style: the modifier is the only parameter.
                int mod = count >= 1 ? params[1] : (any ? params[0] : 0);
                if (k != SpecialKey::None) events.push_back(special(k, mod));
            }
            return i;
        }
        if (n == 27) {
            // ESC ESC [ A: some terminals send Alt+key this way.
            size_t before = events.size();
            size_t used = decodeOne(b.substr(1), final, events);
            if (used == 0) return 0;
            for (size_t k = before; k < events.size(); ++k) events[k].alt = true;
            return used + 1;
        }
        // ESC and a character: that character with Alt.
        size_t before = events.size();
        size_t used = decodeOne(b.substr(1), final, events);
        if (used == 0) return 0;
        for (size_t k = before; k < events.size(); ++k) events[k].alt = true;
        return used + 1;
    }
    if (c == 13) {
        events.push_back(character(13));
        // CR LF from a key file is one Enter.
        return (!lfIsCtrlEnter_ && b.size() > 1 && b[1] == '\n') ? 2 : 1;
    }
    if (c == 10) {
        events.push_back(lfIsCtrlEnter_ ? character(13, false, true) : character(13));
        return 1;
    }
    if (c == 127) {
        events.push_back(character(8));
        return 1;
    }
    if (c == 8) {
        events.push_back(character(8, false, true));
        return 1;
    }
    if (c == 0) return 1;
    if (c < 128) {
        events.push_back(character(c));
        return 1;
    }
    // UTF-8 sequence; a byte that starts none is taken as Windows-1252.
    size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    if (len == 1) {
        events.push_back(character(c));
        return 1;
    }
    if (b.size() < len) {
        if (!final) return 0;
        events.push_back(character(c));
        return 1;
    }
    std::string seq(b.substr(0, len));
    if (!isValidUtf8(seq)) {
        events.push_back(character(c));
        return 1;
    }
    std::string one = utf8ToCp1252(seq, 0);
    if (!one.empty()) events.push_back(character(static_cast<uint8_t>(one[0])));
    return len;
}
