// The console screen model, key queue and message processing.
#include "console/console.h"

#include "console/braille.h"
#include "platform/clipboard.h"
#include "platform/encoding.h"
#include "platform/exit.h"
#include "platform/headless/headless_console.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"

#include <cstring>
#include <vector>

uint8_t textAttribute = 0x0F;

namespace {

constexpr int COLS = SCREEN_COLUMNS;
constexpr int ROWS = SCREEN_ROWS;
constexpr int KEY_QUEUE_SIZE = 64;

std::unique_ptr<ConsoleBackend> backend;
int closedExitCode = 3;

bool created = false;
bool reading = false;
uint8_t chars[COLS * ROWS];
uint8_t attrs[COLS * ROWS];
int curX = 0, curY = 0;
uint8_t colourMap[16];
bool fixedColours = false;
uint8_t keyQueue[KEY_QUEUE_SIZE];
int keyCount = 0;
std::string title;
std::string ownClipboard;
void (*audioProgress)() = nullptr;
void (*tonePlayer)(std::string_view waveImage) = nullptr;
void (*toneStopper)() = nullptr;
void (*desktopEvents)() = nullptr;

// Alt+letter and Alt+digit codes.
const uint8_t ALT_LETTER[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};

struct SpecialCodes {
    uint8_t plain, ctrl;
};
// Indexed by SpecialKey.
const SpecialCodes SPECIAL_CODES[] = {
    {0, 0},                                                  // None
    {59, 94}, {60, 95}, {61, 96}, {62, 97}, {63, 98}, {64, 99}, {65, 100}, {66, 101},
    {67, 102}, {68, 103}, {69, 104}, {70, 105},              // F1..F12
    {82, 255}, {83, 83}, {71, 119}, {79, 117}, {73, 132}, {81, 118},  // Ins Del Home End PgUp PgDn
    {72, 113}, {80, 114}, {75, 115}, {77, 116},              // Up Down Left Right
};

std::string readVideo(const char* section, const char* key, const char* def) {
    bool found = false;
    std::string v = readProfileString(homeFile("FALARIS.INI"), section, key, 80, &found);
    return found ? v : std::string(def);
}

ConsoleBackend& out() {
    if (!backend) backend = makeHeadlessConsole(HeadlessOptions{});
    return *backend;
}

void drawRow(int row, int from, int to) {
    if (from < to) out().drawRange(row, from, to, chars + row * COLS, attrs + row * COLS);
}

void updateCursor() { out().setCursor(curX, curY, reading); }

void newLine(int& dirtyL, int& dirtyR) {
    drawRow(curY, dirtyL, dirtyR);
    dirtyL = dirtyR = 0;
    if (curY < ROWS - 1) {
        ++curY;
        return;
    }
    std::memmove(chars, chars + COLS, COLS * (ROWS - 1));
    std::memmove(attrs, attrs + COLS, COLS * (ROWS - 1));
    std::memset(chars + COLS * (ROWS - 1), ' ', COLS);
    std::memset(attrs + COLS * (ROWS - 1), textAttribute, COLS);
    out().drawAll(chars, attrs);
}

void pushSpecial(uint8_t code) {
    if (keyCount <= KEY_QUEUE_SIZE - 2) {
        keyQueue[keyCount++] = 0;
        keyQueue[keyCount++] = code;
    }
}

// Ctrl+Alt+F11 (next braille mode) and Ctrl+Alt+F12 (braille off), and
// Ctrl+Shift with the same keys for desktops that take Ctrl+Alt+F-keys to
// switch terminals. Only where the backend reports key presses and releases.
bool brailleSwitch(const InputEvent& e) {
    if (!e.ctrl || !(e.alt || e.shift) || !out().keyTransitions()) return false;
    if (e.key == SpecialKey::F11) setBrailleMode(nextBrailleMode(brailleMode));
    else if (e.key == SpecialKey::F12) setBrailleMode(0);
    else return false;
    return true;
}

void translate(const InputEvent& e) {
    switch (e.kind) {
    case InputEvent::Character: {
        uint8_t c = e.ch;
        // Braille typing makes the space and the letters itself.
        bool brailleKey = c == ' ' || isAsciiLetter(static_cast<char>(c));
        if (e.alt) {
            // Ctrl+Alt+letter reaches a terminal as ESC and a control byte.
            if (c >= 1 && c <= 26 && c != 8 && c != 9 && c != 13) c = static_cast<uint8_t>('a' + c - 1);
            if (c >= 'a' && c <= 'z') return pushSpecial(ALT_LETTER[c - 'a']);
            if (c >= 'A' && c <= 'Z') return pushSpecial(ALT_LETTER[c - 'A']);
            if (c >= '1' && c <= '9') return pushSpecial(static_cast<uint8_t>(120 + c - '1'));
            if (c == '0') return pushSpecial(129);
        }
        if (brailleMode != 0 && brailleKey) return;
        if (keyCount >= KEY_QUEUE_SIZE) return;
        if (c == 8 && e.ctrl) c = 127;
        else if (c == 13 && e.ctrl) c = 10;
        keyQueue[keyCount++] = c;
        return;
    }
    case InputEvent::Special: {
        if (e.key == SpecialKey::None) return;
        const SpecialCodes& codes = SPECIAL_CODES[static_cast<int>(e.key)];
        // Alt does not change the code: whoever needs to know (the line
        // editor's Alt+F1, Alt+Ctrl+F9) asks for the modifiers held. Alt+F4
        // stays the desktop's.
        if (e.alt && !e.ctrl && e.key == SpecialKey::F4) return;
        if (brailleSwitch(e)) return;
        if (e.ctrl) return pushSpecial(codes.ctrl);
        if (e.key == SpecialKey::Insert && e.shift) return pushSpecial(254);
        return pushSpecial(codes.plain);
    }
    case InputEvent::KeyDown:
        if (brailleMode != 0 && !e.ctrl && !e.alt) brailleKeyDown(static_cast<char>(e.ch));
        return;
    case InputEvent::KeyUp:
        // A release with Alt held is the desktop's (Alt shortcuts).
        if (brailleMode != 0 && !e.alt) brailleKeyUp(static_cast<char>(e.ch), e.ctrl);
        return;
    case InputEvent::Break:
        programExit(255);
    case InputEvent::Closed:
        closeConsole();
    default:
        return;
    }
}

// What else is serviced with every processing of messages: the wave
// player's finished blocks and the desktop's events.
void serviceHandlers() {
    if (audioProgress) audioProgress();
    if (desktopEvents) desktopEvents();
}

// Takes input from the backend (waiting at most timeoutMs) and pumps audio.
void pump(int timeoutMs, bool keyAwaited) {
    // Its own list: a key may switch braille typing, whose tones wait and
    // so process messages again.
    std::vector<InputEvent> events;
    out().pollInput(events, timeoutMs, keyAwaited);
    for (size_t i = 0; i < events.size(); ++i) translate(events[i]);
    serviceHandlers();
}

} // namespace

void setConsoleBackend(std::unique_ptr<ConsoleBackend> b) {
    backend = std::move(b);
    created = false;
}
ConsoleBackend* consoleBackend() { return backend.get(); }
void setConsoleClosedExitCode(int code) { closedExitCode = code; }

void openConsole() {
    if (created) return;
    for (int i = 0; i < 16; ++i) colourMap[i] = static_cast<uint8_t>(i);
    // TABCORES: comma-separated integers, filling stops at the first bad item.
    std::string map = readVideo("VIDEO", "TABCORES", "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15");
    size_t pos = 0;
    for (int i = 0; i < 16 && pos <= map.size(); ++i) {
        size_t comma = map.find(',', pos);
        std::string_view item = std::string_view(map).substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        int32_t v;
        if (item.find(' ') != std::string_view::npos || !convertInteger(item, v)) break;
        colourMap[i] = static_cast<uint8_t>(v & 255);
        if (comma == std::string::npos) break;
        pos = comma + 1;
    }
    std::string fixed = readVideo("VIDEO", "CORESFIXAS", "N");
    fixedColours = !fixed.empty() && (fixed[0] == 'S' || fixed[0] == 's');
    int back = convertIntegerLenient(readVideo("VIDEO", "CORFUNDO", "0"));
    int fore = convertIntegerLenient(readVideo("VIDEO", "CORLETRA", "15"));
    textAttribute = static_cast<uint8_t>(((back & 15) << 4) | (fore & 15));
    std::memset(chars, ' ', sizeof chars);
    std::memset(attrs, textAttribute, sizeof attrs);
    curX = curY = 0;
    if (!out().open()) {
        created = false;
        return;
    }
    created = true;
    out().setColourMap(colourMap);
    if (!title.empty()) out().setTitle(title);
    out().drawAll(chars, attrs);
    updateCursor();
    // [BRAILLE] MODO: the low two bits of its first character.
    std::string mode = readVideo("BRAILLE", "MODO", "0");
    if (out().keyTransitions() && !mode.empty()) setBrailleMode(static_cast<uint8_t>(mode[0]) & 3);
}

bool consoleIsOpen() { return created; }

void consoleWrite(std::string_view bytes) {
    openConsole();
    out().written(bytes);
    int dirtyL = curX, dirtyR = curX;
    for (char ch : bytes) {
        uint8_t c = static_cast<uint8_t>(ch);
        if (c == 7) {
            out().beep();
        } else if (c == 8) {
            if (curX > 0) {
                --curX;
                chars[curY * COLS + curX] = ' ';
                attrs[curY * COLS + curX] = textAttribute;
                if (curX < dirtyL) dirtyL = curX;
                if (dirtyR < curX + 1) dirtyR = curX + 1;
            }
        } else if (c == 10) {
            newLine(dirtyL, dirtyR);
            curX = 0;
        } else if (c == 13) {
            drawRow(curY, dirtyL, dirtyR);
            curX = 0;
            dirtyL = dirtyR = 0;
        } else if (c >= 32) {
            if (curX == COLS) {
                curX = 0;
                newLine(dirtyL, dirtyR);
            }
            chars[curY * COLS + curX] = c;
            attrs[curY * COLS + curX] = textAttribute;
            if (curX < dirtyL) dirtyL = curX;
            ++curX;
            if (dirtyR < curX) dirtyR = curX;
        }
    }
    drawRow(curY, dirtyL, dirtyR);
    updateCursor();
}

std::string consoleReadLine(int capacity) {
    openConsole();
    std::string line;
    while (true) {
        uint8_t k = readKey();
        if (k == 13) break;
        if (k == 8) {
            if (!line.empty()) {
                line.pop_back();
                consoleWrite("\b");
            }
        } else if (k >= 32 && static_cast<int>(line.size()) < capacity - 2) {
            line += static_cast<char>(k);
            consoleWrite(std::string_view(reinterpret_cast<const char*>(&k), 1));
        }
    }
    consoleWrite("\r\n");
    return line;
}

void clearScreen() {
    openConsole();
    std::memset(chars, ' ', sizeof chars);
    std::memset(attrs, textAttribute, sizeof attrs);
    curX = curY = 0;
    out().drawAll(chars, attrs);
    updateCursor();
}

void clearToLineEnd() {
    openConsole();
    int from = curX < COLS ? curX : COLS;
    std::memset(chars + curY * COLS + from, ' ', COLS - from);
    std::memset(attrs + curY * COLS + from, textAttribute, COLS - from);
    drawRow(curY, from, COLS);
}

void moveCursor(int column, int row) {
    curX = column - 1 < 0 ? 0 : (column - 1 > COLS - 1 ? COLS - 1 : column - 1);
    curY = row - 1 < 0 ? 0 : (row - 1 > ROWS - 1 ? ROWS - 1 : row - 1);
    if (created) updateCursor();
}

int cursorColumn() { return curX + 1; }
int cursorRow() { return curY + 1; }

void setTextColour(int colour) {
    openConsole();
    if (!fixedColours) textAttribute = static_cast<uint8_t>((textAttribute & 0xF0) | (colour & 15));
}

void setBackgroundColour(int colour) {
    openConsole();
    if (!fixedColours) textAttribute = static_cast<uint8_t>((textAttribute & 0x0F) | ((colour & 15) << 4));
}

static bool inScreen(int column, int row) { return column >= 1 && column <= COLS && row >= 1 && row <= ROWS; }

uint8_t screenCharAt(int column, int row) { return inScreen(column, row) ? chars[(row - 1) * COLS + column - 1] : ' '; }
uint8_t screenAttrAt(int column, int row) { return inScreen(column, row) ? attrs[(row - 1) * COLS + column - 1] : 0; }

std::string screenRowText(int row) {
    if (row < 1 || row > ROWS) return {};
    std::string s(reinterpret_cast<const char*>(chars + (row - 1) * COLS), COLS);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

bool keyAvailable() {
    openConsole();
    pump(0, false);
    return keyCount > 0;
}

uint8_t readKey() {
    openConsole();
    if (keyCount == 0) {
        reading = true;
        updateCursor();
        while (keyCount == 0) pump(20, true);
        reading = false;
        updateCursor();
    }
    uint8_t k = keyQueue[0];
    --keyCount;
    std::memmove(keyQueue, keyQueue + 1, keyCount);
    return k;
}

void discardKeys() { keyCount = 0; }

bool queueKey(uint8_t code) {
    if (keyCount >= KEY_QUEUE_SIZE) return false;
    keyQueue[keyCount++] = code;
    return true;
}

void processMessages() {
    if (created) {
        pump(0, false);
        return;
    }
    serviceHandlers();
}

void waitMs(int ms) {
    if (ms < 0) ms = 0;
    Clock& clock = systemClock();
    int64_t deadline = clock.monotonicMs() + ms;
    while (true) {
        int64_t left = deadline - clock.monotonicMs();
        if (left <= 0) break;
        if (created) pump(static_cast<int>(left < 10 ? left : 10), false);
        else clock.sleepMs(static_cast<int>(left < 10 ? left : 10));
    }
    processMessages();
}

void waitForMessage(int maxMs) {
    if (created) pump(maxMs, false);
    else {
        systemClock().sleepMs(maxMs);
        serviceHandlers();
    }
}

bool waitForReady(int fd, bool forWrite, int maxMs) {
    if (maxMs < 0) maxMs = 0;
    if (!created) {
        if (socketWaitReady(fd, forWrite, 0) != 0) return true;
        waitForMessage(maxMs < 10 ? maxMs : 10);
        return socketWaitReady(fd, forWrite, 0) != 0;
    }
    std::vector<InputEvent> events;  // its own list, as in pump
    bool ready = out().pollInputOrReady(events, maxMs, fd, forWrite);
    for (size_t i = 0; i < events.size(); ++i) translate(events[i]);
    serviceHandlers();
    return ready;
}

int queuedKeyCount() { return keyCount; }

bool takeQueuedKey(uint8_t code, int from) {
    keyAvailable();
    for (int i = from < 0 ? 0 : from; i < keyCount; ++i) {
        if (keyQueue[i] == 0) {
            ++i;  // a special key's code
            continue;
        }
        if (keyQueue[i] != code) continue;
        --keyCount;
        std::memmove(keyQueue + i, keyQueue + i + 1, static_cast<size_t>(keyCount - i));
        return true;
    }
    return false;
}

std::string keyModifierFlags() {
    bool s = false, c = false, a = false;
    out().modifiers(s, c, a);
    return std::string(s ? "1" : "0") + (c ? "1" : "0") + (a ? "1" : "0");
}

void setAudioProgressHandler(void (*handler)()) { audioProgress = handler; }
void setDesktopEventHandler(void (*handler)()) { desktopEvents = handler; }

void setConsoleTonePlayer(void (*play)(std::string_view waveImage), void (*stop)()) {
    tonePlayer = play;
    toneStopper = stop;
}

std::string consoleToneImage(int frequency) {
    constexpr int RATE = 11025;
    constexpr int HEADER = 44;
    if (frequency <= 0 || frequency > RATE) return {};
    int period = RATE / frequency;
    std::string image(HEADER + RATE + 2, '\x80');
    uint8_t* data = reinterpret_cast<uint8_t*>(image.data()) + HEADER;
    // Whole periods, each half low and half high, while they fit.
    int size = 0;
    for (int k = 0;; ++k) {
        int start = static_cast<int>(static_cast<int64_t>(k) * RATE / frequency);
        size = start;
        if (start + HEADER > RATE - period) break;
        for (int i = 0; i < period; ++i) data[start + i] = i < period / 2 ? 96 : 160;
    }
    if (size > 0) data[size - 1] = 128;
    image.resize(HEADER + size);
    auto put = [&](int at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) image[at + i] = static_cast<char>(v >> (8 * i));
    };
    image.replace(0, 4, "RIFF");
    put(4, static_cast<uint32_t>(size + 36), 4);
    image.replace(8, 8, "WAVEfmt ");
    put(16, 16, 4);
    put(20, 1, 2);         // PCM
    put(22, 1, 2);         // mono
    put(24, RATE, 4);      // samples per second
    put(28, RATE, 4);      // bytes per second
    put(32, 1, 2);         // block alignment
    put(34, 8, 2);         // bits per sample
    image.replace(36, 4, "data");
    put(40, static_cast<uint32_t>(size), 4);
    return image;
}

void playConsoleTone(int frequency) {
    std::string image = consoleToneImage(frequency);
    if (image.empty()) stopConsoleTone();
    else if (tonePlayer) tonePlayer(image);
}

void stopConsoleTone() {
    if (toneStopper) toneStopper();
}

void setConsoleTitle(std::string_view t) {
    title = std::string(t.substr(0, 249));
    if (created) out().setTitle(title);
}
const std::string& consoleTitle() { return title; }
void setConsoleWindowState(WindowState state) {
    openConsole();
    out().setWindowState(state);
}

// The desktop's clipboard when there is a display, whatever the console;
// else the backend's, else one of our own.
void copyToClipboard(std::string_view text) {
    if (setDesktopClipboard(text)) return;
    if (!out().setClipboard(text)) ownClipboard = std::string(text);
}

std::string pasteFromClipboard(int capacity) {
    if (capacity <= 0) return {};
    std::string text;
    if (!getDesktopClipboard(text) && !out().getClipboard(text)) text = ownClipboard;
    if (static_cast<int>(text.size()) > capacity - 1) text.resize(capacity - 1);
    return text;
}

void currentDate(int& year, int& month, int& day, int& weekday) {
    LocalTime t = systemClock().localTime();
    year = t.year;
    month = t.month;
    day = t.day;
    weekday = t.weekday;
}

void currentTime(int& hour, int& minute, int& second, int& hundredths) {
    LocalTime t = systemClock().localTime();
    hour = t.hour;
    minute = t.minute;
    second = t.second;
    hundredths = t.hundredths;
}

void writeStandardOutput(std::string_view text) {
    consoleWrite(text);
    keyAvailable();
}

std::string readStandardInputLine() { return consoleReadLine(128); }

void closeConsole() {
    discardKeys();
    programExit(closedExitCode);
}

std::string screenDump() {
    std::string outText;
    for (int r = 1; r <= ROWS; ++r) {
        outText += cp1252ToUtf8(screenRowText(r));
        outText += '\n';
    }
    return outText;
}

void resetConsole() {
    created = false;
    reading = false;
    keyCount = 0;
    curX = curY = 0;
    title.clear();
    ownClipboard.clear();
    textAttribute = 0x0F;
    fixedColours = false;
    resetBraille();
}
