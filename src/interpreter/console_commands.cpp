// Console, speech and sound commands.
#include "interpreter/console_commands.h"

#include "console/console.h"
#include "desktop/input_synthesis.h"
#include "desktop/program_execution.h"
#include "desktop/window_search.h"
#include "interpreter/commands.h"
#include "interpreter/file_commands.h"
#include "interpreter/script.h"
#include "interpreter/values.h"
#include "line_input/line_editor.h"
#include "platform/text.h"
#include "sound/mci.h"
#include "sound/wave_player.h"
#include "speech/midi.h"
#include "speech/speech.h"
#include "speech/spoken_numbers.h"

namespace {

bool midiIsOpen = false;

// Reads values until one fails and joins them into `joined`; `args` keeps
// what was not read. False when the joined text would be too long.
bool joinValues(std::string_view& args, std::string& joined) {
    std::string value;
    while (readValue(args, value))
        if (!appendWithinLimit(joined, value)) return false;
    return true;
}

// Removes a trailing "&" (then trims); true when there was one.
bool stripAmpersand(std::string_view& args) {
    if (args.empty() || args.back() != '&') return false;
    args = trimView(args.substr(0, args.size() - 1));
    return true;
}

} // namespace

void resetConsoleCommands() {
    if (midiIsOpen) midiClose();
    midiIsOpen = false;
    mciCloseAll();
}

std::string keyNotation(uint8_t key, uint8_t code) {
    if (key == 0) return "#0#" + decimal(code);
    if (key < 32) return "#" + decimal(key);
    return std::string(1, static_cast<char>(key));
}

std::string readKeyNotation(bool echo, bool withModifiers) {
    uint8_t key = echo ? readKeyEcho() : readKey();
    std::string notation = keyNotation(key, key == 0 ? readKey() : 0);
    if (withModifiers) notation = keyModifierFlags() + (key == 0 ? notation : "#" + decimal(key));
    return notation;
}

bool commandEscreve(std::string_view args) {
    runState.statusCode = 0;
    bool noLineEnd = stripAmpersand(args);
    if (!args.empty() && args[0] == '#') return writeToSlot(args, noLineEnd);
    bool mute = startsWithUpperLatin(args, "MUDO");
    if (mute) args.remove_prefix(4);
    args = trimView(args);
    if (args.empty()) {
        writeStandardOutput("\r\n");
    } else {
        std::string text;
        if (!joinValues(args, text)) return false;
        writeStandardOutput(text);
        if (!noLineEnd) writeStandardOutput("\r\n");
        if (!mute) speakText(text);
        if (!args.empty()) return false;
    }
    waitWhileSoundBusy();
    return true;
}

bool commandLe(std::string_view args) {
    runState.statusCode = 0;
    args = trimView(args);
    if (args.empty()) {
        readStandardInputLine();
        return true;
    }
    if (startsWithUpperLatin(args, "MOUSE ") || startsWithUpperLatin(args, "RATO ")) {
        std::string_view rest = trimView(args.substr(5));
        bool screen = startsWithUpperLatin(rest, "TELA");
        if (screen) rest.remove_prefix(4);
        // Without a desktop there is no pointer to ask about.
        int x, y, targetX, targetY;
        if (!pointerPosition(screen, x, y) || !readVariable(rest, targetX) || !readVariable(rest, targetY))
            return false;
        variable(targetX) = decimal(x);
        variable(targetY) = decimal(y);
        return rest.empty();
    }
    std::string text(args);
    bool withModifiers = false;
    std::string upper = toUpperLatin(text);
    size_t tecla = upper.find("TECLA ");
    if (tecla != std::string::npos) {
        text.erase(tecla, 6);
        text = trim(text);
        if (text.empty() || text.back() != '&') text += '&';
        withModifiers = true;
    }
    std::string_view rest = text;
    bool singleKey = stripAmpersand(rest);
    if (rest.empty()) {
        readKey();
        return true;
    }
    if (rest[0] == '#') return readFromSlot(rest);
    enum Mode { Talking, Edit, Plain, Hidden } mode = Talking;
    if (startsWithUpperLatin(rest, "EDITA")) {
        mode = Edit;
        rest.remove_prefix(5);
    } else if (startsWithUpperLatin(rest, "CONSOLE ")) {
        rest = trimView(rest.substr(8));
        int target;
        if (!readVariable(rest, target)) return false;
        variable(target) = readCapturedOutput();
        return true;
    } else if (startsWithUpperLatin(rest, "MUDO")) {
        mode = Plain;
        rest.remove_prefix(4);
    } else if (startsWithUpperLatin(rest, "SENHA")) {
        mode = Hidden;
        rest.remove_prefix(5);
    }
    int target;
    if (!readVariable(rest, target)) return false;
    if (singleKey) {
        variable(target) = readKeyNotation(mode == Talking || mode == Edit, withModifiers);
        return true;
    }
    uint8_t saved = textAttribute;
    if (mode == Hidden) textAttribute = 0;
    std::string line;
    if (mode == Talking) {
        readLineAtCursor(line);
    } else if (mode == Edit) {
        // The variable's value is offered for editing; Esc gives the empty text.
        line = variable(target);
        if (readTalkingLine(line, cursorColumn(), cursorRow(), true, 1024) == 27) line.clear();
    } else {
        line = readStandardInputLine();
    }
    textAttribute = saved;
    variable(target) = line;
    return true;
}

bool commandFala(std::string_view args) {
    bool noWait = stripAmpersand(args);
    if (args.empty()) {
        stopSound();
        if (!noWait) waitWhileSoundBusy();
        return true;
    }
    std::string text;
    if (!joinValues(args, text)) return false;
    speakText(text);
    if (!noWait) waitWhileSoundBusy();
    return args.empty();
}

bool commandSoletra(std::string_view args) {
    if (args.empty()) return false;
    std::string value;
    if (!readValue(args, value)) value.clear();
    spellText(value);
    writeStandardOutput(value);
    waitWhileSoundBusy();
    return true;
}

bool commandFalahora(std::string_view args) {
    if (args.empty()) return false;
    std::string value;
    if (!readValue(args, value) || value.size() != 5 || value[2] != ':') return false;
    int32_t hour, minute;
    std::string_view v = value;
    if (!convertInteger(v.substr(0, 2), hour) || !convertInteger(v.substr(3, 2), minute) || hour < 0 || minute < 0)
        return false;
    speakHourMinute(hour, minute);
    waitWhileSoundBusy();
    return true;
}

bool commandBipa(std::string_view args) {
    std::string value = "0";
    if (!args.empty() && !readValue(args, value)) return false;
    if (value == "1") clickSound();
    else errorBeep();
    return true;
}

bool commandAlarme(std::string_view args) {
    std::string frequencyText, durationText;
    int32_t frequency, duration;
    if (!readValue(args, frequencyText) || !readValue(args, durationText) ||
        !convertInteger(frequencyText, frequency) || !convertInteger(durationText, duration))
        return false;
    if (frequency < 0 || frequency > 20000 || duration < 0 || duration > 20000) return false;
    playTone(frequency, duration);
    return true;
}

bool commandEspera(std::string_view args) {
    if (args.empty()) return false;
    runState.statusCode = 0;
    bool milliseconds = startsWithUpperLatin(args, "MS");
    if (milliseconds) args.remove_prefix(2);
    std::string value;
    int32_t n;
    if (!readValue(args, value) || !convertInteger(value, n)) return false;
    if (args.empty()) {
        int64_t ms = milliseconds ? static_cast<int64_t>(n) : static_cast<int64_t>(n) * 1000;
        // The wait is a 16-bit count of milliseconds.
        waitMs(static_cast<int>(ms & 0xFFFF));
        return true;
    }
    std::string title;
    if (!readValue(args, title)) return true;
    std::string awaited = toUpperLatin(title);
    for (int64_t i = 0; i < 2 * static_cast<int64_t>(n); ++i) {
        if (toUpperLatin(foregroundWindowTitle(249)).find(awaited) != std::string::npos) return true;
        waitMs(500);
    }
    runState.statusCode = 1;
    return true;
}

bool commandTela(std::string_view args) {
    if (args.empty()) return false;
    std::string text = toUpperLatin(args);
    if (text.size() == 1 && text[0] >= 'A' && text[0] <= 'Z') text = variable(text[0]);
    if (text == "LIMPA") {
        clearScreen();
    } else if (text == "MINIMIZADA") {
        setConsoleWindowState(WindowState::Hidden);
    } else if (text == "NORMAL") {
        setConsoleWindowState(WindowState::Normal);
    } else if (!text.empty() && text[0] == '@') {
        size_t comma = text.find(',');
        if (comma == std::string::npos) return false;
        int32_t column, row;
        if (!convertInteger(trimView(std::string_view(text).substr(1, comma - 1)), column) ||
            !convertInteger(trimView(std::string_view(text).substr(comma + 1)), row))
            return false;
        moveCursor(column, row);
    } else {
        return false;
    }
    return true;
}

static bool readColour(std::string_view args, int32_t& colour) {
    std::string value;
    return !args.empty() && readValue(args, value) && convertInteger(value, colour);
}

bool commandCor(std::string_view args) {
    int32_t colour;
    if (!readColour(args, colour)) return false;
    setTextColour(colour);
    return true;
}

bool commandFundo(std::string_view args) {
    int32_t colour;
    if (!readColour(args, colour)) return false;
    setBackgroundColour(colour);
    return true;
}

bool commandTitulo(std::string_view args) {
    if (args.empty()) return false;
    std::string value;
    if (!readValue(args, value)) value.clear();
    setConsoleTitle(value);
    return true;
}

bool commandMensagem(std::string_view args) {
    std::string name;
    if (!readValue(args, name)) return false;
    name = toUpperLatin(name);
    if (name.find(".WAV") == std::string::npos) name += ".WAV";
    mciReleasePlayer();
    playWaveFile(name);
    return true;
}

bool commandToca(std::string_view args) {
    bool noWait = stripAmpersand(args);
    std::string file, reply;
    if (!readValue(args, file) || !args.empty()) return false;
    if (noWait) {
        mciSendString("play " + file, reply);
        return true;
    }
    if (mciSendString("open \"" + file + "\" alias myfile", reply) != MCI_OK) return true;
    mciSendString("play myfile", reply);
    do {
        waitMs(100);
        mciSendString("status myfile mode", reply);
    } while (!keyAvailable() && reply == "playing");
    discardKeys();
    mciSendString("stop myfile", reply);
    mciSendString("close myfile", reply);
    return true;
}

bool commandMci(std::string_view args) {
    int target;
    std::string command, reply;
    if (!readVariable(args, target) || !readValue(args, command) || !args.empty()) return false;
    mciSendString(command, reply);
    variable(target) = reply;
    return true;
}

bool commandMidi(std::string_view args) {
    std::string text = toUpperLatin(args);
    if (text == "INICIA") {
        if (midiIsOpen || !midiOpen()) return false;
        midiIsOpen = true;
        return true;
    }
    if (!midiIsOpen) return false;
    if (text == "TERMINA") {
        midiClose();
        midiIsOpen = false;
        return true;
    }
    if (text == "PANE") {
        for (int channel = 0; channel < 16; ++channel)
            for (int note = 0; note < 128; ++note) midiNote(channel, note, 0);
        return true;
    }
    std::string_view word = std::string_view(text).substr(0, 2);
    int count = word == "NL" ? 3 : (word == "ND" || word == "TT") ? 2 : 0;
    if (count == 0) return false;
    // Channel 1..16, then notes, velocities and programs 0..127.
    std::string_view rest = std::string_view(text).substr(2);
    int32_t numbers[3];
    for (int i = 0; i < count; ++i) {
        std::string value;
        if (!readValue(rest, value) || !convertInteger(value, numbers[i])) return false;
        if (numbers[i] < (i == 0 ? 1 : 0) || numbers[i] > (i == 0 ? 16 : 127)) return false;
    }
    if (!trimView(rest).empty()) return false;
    int channel = numbers[0] - 1;
    if (word == "TT") midiProgram(channel, numbers[1]);
    else midiNote(channel, numbers[1], word == "NL" ? numbers[2] : 0);
    return true;
}
