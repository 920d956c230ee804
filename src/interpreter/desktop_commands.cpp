// Desktop automation commands: the reading of their arguments; the work is
// the desktop layer's.
#include "interpreter/desktop_commands.h"

#include "console/console.h"
#include "desktop/accessibility_monitor.h"
#include "desktop/input_synthesis.h"
#include "desktop/sensor.h"
#include "desktop/window_search.h"
#include "interpreter/script.h"
#include "interpreter/values.h"
#include "platform/desktop.h"
#include "platform/text.h"

#include <cstdint>
#include <string>

namespace {

// The console's own window on the desktop; 0 for the terminal and headless
// consoles, which have none.
uint64_t consoleWindowHandle() {
    ConsoleBackend* backend = consoleBackend();
    return backend ? backend->nativeWindowId() : 0;
}

// Reads a value that must convert to an integer.
bool readNumber(std::string_view& args, int32_t& number) {
    std::string value;
    return readValue(args, value) && convertInteger(value, number);
}

// Removes `upperPrefix` from the front of `args` when it is there (compared
// upper-cased).
bool consume(std::string_view& args, std::string_view upperPrefix) {
    if (!startsWithUpperLatin(args, upperPrefix)) return false;
    args.remove_prefix(upperPrefix.size());
    return true;
}

// The first word (up to the first space) upper-cased, and the rest trimmed.
std::string firstWord(std::string_view args, std::string_view& rest) {
    size_t space = args.find(' ');
    rest = space == std::string_view::npos ? std::string_view() : trimView(args.substr(space + 1));
    return toUpperLatin(args.substr(0, space));
}

bool assignVariable(std::string_view& args, const std::string& value) {
    int target;
    if (!readVariable(args, target)) return false;
    variable(target) = value;
    return true;
}

} // namespace

void resetDesktopCommands() { resetAccessibilityMonitor(); }

bool commandDigita(std::string_view args) {
    bool noEnter = !args.empty() && args.back() == '&';
    if (noEnter) args = trimView(args.substr(0, args.size() - 1));
    std::string text;
    if (!readValue(args, text) || !args.empty() || !desktopAvailable()) return false;
    typeText(text, 100);
    if (!noEnter) pressCombination(VK_ENTER, false, false, false, 100);
    finishTyping();
    return true;
}

bool commandAciona(std::string_view args) {
    std::string value;
    if (!readValue(args, value) || value.empty() || !args.empty() || !desktopAvailable()) return false;
    if (value.size() == 1) {
        tapKey(static_cast<uint8_t>(value[0]));
        finishTyping();
        return true;
    }
    std::string upper = toUpperLatin(value);
    std::string_view rest = upper;
    // Each prefix at most once, and only in this order.
    bool ctrl = consume(rest, "CTRL+");
    bool shift = consume(rest, "SHIFT+");
    bool alt = consume(rest, "ALT+");
    if (rest.empty()) return false;
    int key = virtualKeyByName(rest);
    if (key < 0) {
        if (rest[0] == '#') {
            int32_t n;
            if (!convertInteger(rest.substr(1), n)) return false;
            key = n & 0xFF;
        } else if (rest.size() == 1) {
            key = static_cast<uint8_t>(rest[0]);
        } else {
            return false;
        }
    }
    pressCombination(key, ctrl, shift, alt, 100);
    finishTyping();
    return true;
}

bool commandClica(std::string_view args) {
    args = trimView(args);
    enum { Single, Double, MoveOnly } action = Single;
    if (consume(args, "DUPLO")) action = Double;
    else if (consume(args, "NULO")) action = MoveOnly;
    args = trimView(args);
    int originX = 0, originY = 0;
    bool screen = consume(args, "TELA");
    int32_t x, y;
    if (!readNumber(args, x)) return false;
    args = trimView(args);
    if (!args.empty() && args[0] == ',') args.remove_prefix(1);
    if (!readNumber(args, y) || !desktopAvailable()) return false;
    if (!screen) foregroundOrigin(originX, originY);
    x += originX;
    y += originY;
    if (action == Single) mouseClick(x, y);
    else if (action == Double) mouseDoubleClick(x, y);
    else movePointerTo(x, y);
    // Text after y fails the command, after the pointer has done its part.
    return trimView(args).empty();
}

bool commandJanela(std::string_view args) {
    runState.statusCode = 0;
    if (args.empty()) return false;
    std::string_view rest;
    std::string action = firstWord(args, rest);
    std::string pattern;
    if (!readValue(rest, pattern)) return false;
    uint64_t window = findWindowByTitle(parseTitlePattern(pattern));
    if (window == 0) {
        runState.statusCode = 1;
        return true;
    }
    Desktop* d = desktop();
    if (action == "FECHA") d->closeWindow(window);
    else if (action == "NORMAL") d->showNormal(window);
    else if (action == "MAXIMIZA") d->showMaximised(window);
    else if (action == "MINIMIZA") d->minimise(window);
    else return false;
    return true;
}

bool commandCaptura(std::string_view args) {
    if (args.empty()) return false;
    std::string_view rest;
    std::string word = firstWord(args, rest);
    int target;
    if (!readVariable(rest, target)) return false;
    std::string text;
    if (word == "T\xCDTULO" || word == "TITULO" || word == "ATIVA") {
        text = foregroundWindowTitle(254);
    } else if (word == "FOCO") {
        // The interpreter's own window, when it has the keyboard focus.
        Desktop* d = desktop();
        if (d && consoleWindowHandle() != 0 && d->activeWindow() == consoleWindowHandle())
            text = consoleTitle().substr(0, 254);
    } else if (word == "CAMPO") {
        // Select the focused field's line and copy it to the clipboard.
        if (desktopAvailable()) {
            pressCombination(VK_HOME, false, false, false, 100);
            pressCombination(VK_END, false, true, false, 100);
            pressCombination(VK_INSERT, true, false, false, 100);
            finishTyping();
        }
        text = pasteFromClipboard(255);
    }
    variable(target) = text;
    return true;
}

bool commandTransfere(std::string_view args) {
    bool toClipboard;
    if (consume(args, "DE ")) toClipboard = true;
    else if (consume(args, "PARA ")) toClipboard = false;
    else return false;
    int target;
    if (!readVariable(args, target) || !trimView(args).empty()) return false;
    if (toClipboard) copyToClipboard(std::string_view(variable(target)).substr(0, 1024));
    else variable(target) = pasteFromClipboard(1024);
    return true;
}

bool commandHandle(std::string_view args) {
    return assignVariable(args, decimal(static_cast<int64_t>(consoleWindowHandle())));
}

bool commandSensor(std::string_view args) {
    bool loaded = loadSensorPort();
    int target;
    if (!readVariable(args, target)) return false;
    if (loaded) scanSensors();
    variable(target) = decimal(firstClosedSwitch());
    return true;
}

bool commandMsaa(std::string_view args) {
    args = trimView(args);
    if (consume(args, "MONITORA")) {
        startAccessibilityMonitor();
        return true;
    }
    if (consume(args, "FIM")) {
        stopAccessibilityMonitor();
        return true;
    }
    if (consume(args, "CHECA")) {
        int target;
        if (!readVariable(args, target)) return false;
        variable(target).assign(1, nextAccessibleEvent() ? '1' : '0');
        return true;
    }
    if (consume(args, "CAPTURA")) {
        int32_t x, y;
        if (!readNumber(args, x) || !readNumber(args, y)) return false;
        accessibleAtPoint(x, y);
        return true;
    }
    const AccessibleInfo& info = accessibleInfo;
    if (consume(args, "AREA")) {
        for (int value : {info.left, info.top, info.width, info.height})
            if (!assignVariable(args, decimal(value))) return false;
        return true;
    }
    if (consume(args, "NOME")) return assignVariable(args, info.name);
    if (consume(args, "CODIGO") || consume(args, "C\xD3" "DIGO")) return assignVariable(args, decimal(info.roleCode));
    if (consume(args, "TIPO")) return assignVariable(args, info.roleText);
    if (consume(args, "ESTADO")) return assignVariable(args, info.stateText);
    if (consume(args, "VALOR")) return assignVariable(args, info.value);
    return false;
}
