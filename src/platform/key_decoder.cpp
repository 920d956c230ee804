// Terminal byte stream -> console input events.
#include "platform/key_decoder.h"

#include "platform/encoding.h"

namespace {

// A CSI sequence longer than this is garbage, not a key.
constexpr size_t MAX_SEQUENCE = 40;

InputEvent character(uint8_t ch, bool shift = false, bool ctrl = false, bool alt = false) {
    InputEvent e;
    e.kind = InputEvent::Character;
    e.ch = ch;
    e.shift = shift;
    e.ctrl = ctrl;
    e.alt = alt;
    return e;
}

// xterm modifier parameter: 1 + (1 Shift, 2 Alt, 4 Ctrl, 8 Meta); lock bits above are ignored.
void addModifiers(InputEvent& e, int modifierParam) {
    int bits = modifierParam > 1 ? modifierParam - 1 : 0;
    e.shift = e.shift || (bits & 1);
    e.alt = e.alt || (bits & 2) || (bits & 8);
    e.ctrl = e.ctrl || (bits & 4);
}

InputEvent special(SpecialKey key, int modifierParam) {
    InputEvent e;
    e.kind = InputEvent::Special;
    e.key = key;
    addModifiers(e, modifierParam);
    return e;
}

SpecialKey plus(SpecialKey base, int n) { return static_cast<SpecialKey>(static_cast<int>(base) + n); }

// The VT220 numbers of "CSI n ~". `shift` is set for the numbers that the
// Linux console and rxvt send for Shift+F3..F10 (F13..F20).
SpecialKey tildeKey(int n, bool& shift) {
    shift = false;
    switch (n) {
    case 1: case 7: return SpecialKey::Home;
    case 2: return SpecialKey::Insert;
    case 3: return SpecialKey::Delete;
    case 4: case 8: return SpecialKey::End;
    case 5: return SpecialKey::PageUp;
    case 6: return SpecialKey::PageDown;
    case 11: case 12: case 13: case 14: case 15: return plus(SpecialKey::F1, n - 11);
    case 17: case 18: case 19: case 20: case 21: return plus(SpecialKey::F6, n - 17);
    case 23: case 24: return plus(SpecialKey::F11, n - 23);
    case 25: case 26: shift = true; return plus(SpecialKey::F3, n - 25);
    case 28: case 29: shift = true; return plus(SpecialKey::F5, n - 28);
    case 31: case 32: case 33: case 34: shift = true; return plus(SpecialKey::F7, n - 31);
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

// rxvt's lower-case arrow finals: a..d are Up, Down, Right, Left.
SpecialKey rxvtArrow(char c) { return (c >= 'a' && c <= 'd') ? letterKey(static_cast<char>(c - 32)) : SpecialKey::None; }

// A plain typed byte: control codes carry Ctrl, capitals Shift (what
// modifiers() reports for them).
InputEvent typed(uint8_t c) {
    bool ctrl = (c >= 1 && c <= 31 && c != 9 && c != 13 && c != 27);
    bool shift = c >= 'A' && c <= 'Z';
    return character(c, shift, ctrl);
}

// A key reported by its code point (modifyOtherKeys, CSI u).
void pushCodePoint(std::vector<InputEvent>& events, int codePoint, int modifierParam) {
    InputEvent e;
    if (codePoint == 13 || codePoint == 9 || codePoint == 27) e = character(static_cast<uint8_t>(codePoint));
    else if (codePoint == 127 || codePoint == 8) e = character(8);
    else if (codePoint < 32) return;
    else {
        int b = unicodeToCp1252(static_cast<uint32_t>(codePoint));
        if (b <= 0) return;
        e = character(static_cast<uint8_t>(b));
    }
    addModifiers(e, modifierParam);
    if (e.ch >= 'a' && e.ch <= 'z' && e.shift) e.ch = static_cast<uint8_t>(e.ch - 32);
    // Ctrl with a letter is the control code, as the plain byte would be.
    if (e.ctrl && ((e.ch >= 'a' && e.ch <= 'z') || (e.ch >= 'A' && e.ch <= 'Z'))) e.ch &= 0x1F;
    events.push_back(e);
}

// Length of the UTF-8 sequence a lead byte starts (1 when it starts none).
size_t utf8Length(unsigned char c) {
    return (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
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

size_t KeyDecoder::decodeAltPrefix(std::string_view b, bool final, std::vector<InputEvent>& events) {
    size_t before = events.size();
    size_t used = decodeOne(b.substr(1), final, events);
    if (used == 0) return 0;
    for (size_t k = before; k < events.size(); ++k) events[k].alt = true;
    return used + 1;
}

size_t KeyDecoder::decodeEscape(std::string_view b, bool final, std::vector<InputEvent>& events) {
    if (b.size() == 1) {
        if (!final) return 0;
        events.push_back(character(27));
        return 1;
    }
    char n = b[1];
    if (n == 27) {
        // ESC ESC [ A: rxvt's Alt+Up. Elsewhere two ESC are two Esc presses.
        if (!fromTerminal_) {
            events.push_back(character(27));
            return 1;
        }
        if (b.size() == 2 && !final) return 0;
        if (b.size() > 2 && (b[2] == '[' || b[2] == 'O')) {
            size_t before = events.size();
            size_t used = decodeEscape(b.substr(1), final, events);
            if (used == 0) return 0;
            for (size_t k = before; k < events.size(); ++k) events[k].alt = true;
            return used + 1;
        }
        events.push_back(character(27));
        return 1;
    }
    if (n == 'O') {
        // SS3: an optional modifier digit run, then the final byte.
        size_t i = 2;
        int mod = 0;
        while (i < b.size() && b[i] >= '0' && b[i] <= '9' && i < 6) mod = mod * 10 + (b[i++] - '0');
        if (i >= b.size()) return final ? decodeAltPrefix(b, final, events) : 0;
        char f = b[i];
        if (f < 0x40 || f > 0x7E) return decodeAltPrefix(b, final, events);
        if (SpecialKey k = letterKey(f); k != SpecialKey::None) events.push_back(special(k, mod));
        else if (SpecialKey a = rxvtArrow(f); a != SpecialKey::None) events.push_back(special(a, 5));
        else if (f == 'M') events.push_back(character(13));
        return i + 1;
    }
    if (n != '[') return decodeAltPrefix(b, final, events);

    // CSI. The Linux console sends ESC [ [ A .. E for F1 .. F5.
    if (b.size() > 2 && b[2] == '[') {
        if (b.size() < 4) return final ? decodeAltPrefix(b, final, events) : 0;
        char f = b[3];
        if (f >= 'A' && f <= 'E') events.push_back(special(plus(SpecialKey::F1, f - 'A'), 0));
        return 4;
    }
    int params[4] = {0, 0, 0, 0};
    int index = 0;
    bool anyParam = false, subParam = false, privateMarker = false, intermediate = false;
    size_t i = 2;
    for (; i < b.size(); ++i) {
        char c = b[i];
        if (c >= '0' && c <= '9') {
            if (!subParam && index < 4 && params[index] < 100000) params[index] = params[index] * 10 + (c - '0');
            anyParam = true;
        } else if (c == ';') {
            ++index;
            subParam = false;
            anyParam = true;
        } else if (c == ':') {
            subParam = true;  // alternate key codes of "CSI u": only the first counts
        } else if (c >= '<' && c <= '?') {
            privateMarker = true;  // mouse reports and answers to queries, not keys
        } else if (c >= 0x20 && c <= 0x2F && c != '$') {
            intermediate = true;
        } else {
            break;
        }
    }
    // A run this long is garbage, not a key: dropped.
    bool tooLong = i > MAX_SEQUENCE;
    if (i >= b.size()) {
        if (tooLong) return i;
        return final ? decodeAltPrefix(b, final, events) : 0;
    }
    char f = b[i];
    // A control byte inside the sequence: drop what came so far.
    if (f < 0x24 || f > 0x7E) return i;
    ++i;
    if (tooLong || privateMarker || intermediate) return i;
    int count = anyParam ? index + 1 : 0;
    int mod = count >= 2 ? params[1] : 0;
    if (f == '~' || f == '$' || f == '^' || f == '@') {
        if (params[0] == 27 && count >= 3 && f == '~') {
            pushCodePoint(events, params[2], params[1]);
            return i;
        }
        bool shift;
        SpecialKey k = tildeKey(params[0], shift);
        if (k == SpecialKey::None) return i;
        InputEvent e = special(k, mod);
        e.shift = e.shift || shift || f == '$' || f == '@';
        e.ctrl = e.ctrl || f == '^' || f == '@';
        events.push_back(e);
    } else if (f == 'u') {
        if (count >= 1) pushCodePoint(events, params[0], mod);
    } else if (f == 'Z') {
        events.push_back(character(9, true));
    } else if (SpecialKey a = rxvtArrow(f); a != SpecialKey::None) {
        events.push_back(special(a, 2));
    } else if (SpecialKey k = letterKey(f); k != SpecialKey::None) {
        // "CSI 1;5A" and the older "CSI 5A": the modifier is the last parameter.
        events.push_back(special(k, count >= 2 ? params[1] : (count == 1 ? params[0] : 0)));
    }
    return i;
}

size_t KeyDecoder::decodeOne(std::string_view b, bool final, std::vector<InputEvent>& events) {
    unsigned char c = static_cast<unsigned char>(b[0]);
    if (c == 27) return decodeEscape(b, final, events);
    if (c == 13) {
        events.push_back(character(13));
        // CR LF from a key file is one Enter.
        return (!fromTerminal_ && b.size() > 1 && b[1] == '\n') ? 2 : 1;
    }
    if (c == 10) {
        events.push_back(fromTerminal_ ? character(13, false, true) : character(13));
        return 1;
    }
    if (c == 127 || c == 8) {
        // Most terminals send DEL for Backspace and ^H for Ctrl+Backspace.
        events.push_back(character(8, false, c != backspaceByte_));
        return 1;
    }
    if (c == 0) return 1;
    if (c < 128) {
        events.push_back(typed(c));
        return 1;
    }
    // UTF-8 sequence; a byte that starts none is taken as Windows-1252.
    size_t len = utf8Length(c);
    size_t have = len < b.size() ? len : b.size();
    bool continuationOk = true;
    for (size_t k = 1; k < have; ++k)
        if ((static_cast<unsigned char>(b[k]) & 0xC0) != 0x80) continuationOk = false;
    if (len == 1 || !continuationOk) {
        events.push_back(character(c));
        return 1;
    }
    if (b.size() < len) {
        if (!final) return 0;
        events.push_back(character(c));
        return 1;
    }
    std::string_view seq = b.substr(0, len);
    if (!isValidUtf8(seq)) {
        events.push_back(character(c));
        return 1;
    }
    std::string one = utf8ToCp1252(seq, 0);
    if (!one.empty()) events.push_back(character(static_cast<uint8_t>(one[0])));
    return len;
}
