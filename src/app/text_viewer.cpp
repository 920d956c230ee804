// The talking text viewer (see text_viewer.h).
#include "app/text_viewer.h"

#include "console/console.h"
#include "platform/encoding.h"
#include "platform/text.h"
#include "speech/speech.h"

#include <algorithm>

namespace {

constexpr int PAGE_ROWS = SCREEN_ROWS - 1;  // the last row is the status line
constexpr int TAB_WIDTH = 8;
// Special-key codes (the second byte after 0).
constexpr uint8_t KEY_F1 = 59, KEY_HOME = 71, KEY_UP = 72, KEY_PAGE_UP = 73, KEY_END = 79,
                  KEY_DOWN = 80, KEY_PAGE_DOWN = 81;

// A line as the screen shows it: tabs expanded, control bytes as spaces, at
// most one screen row.
std::string screenLine(std::string_view line) {
    std::string shown;
    for (char c : line) {
        if (static_cast<int>(shown.size()) >= SCREEN_COLUMNS) break;
        if (c == '\t') shown.append(TAB_WIDTH - shown.size() % TAB_WIDTH, ' ');
        else shown += static_cast<unsigned char>(c) < 32 ? ' ' : c;
    }
    if (static_cast<int>(shown.size()) > SCREEN_COLUMNS) shown.resize(SCREEN_COLUMNS);
    return shown;
}

void writeRow(int row, std::string_view text, uint8_t attribute) {
    uint8_t normal = textAttribute;
    textAttribute = attribute;
    moveCursor(1, row);
    consoleWrite(text);
    if (static_cast<int>(text.size()) < SCREEN_COLUMNS) clearToLineEnd();
    textAttribute = normal;
}

// Text and background swapped, for the current line and the status line.
uint8_t inverse(uint8_t attribute) { return static_cast<uint8_t>((attribute << 4) | (attribute >> 4)); }

void show(std::string_view name, const std::vector<std::string>& lines, int top, int current) {
    for (int r = 0; r < PAGE_ROWS; ++r) {
        int i = top + r;
        std::string text = i < static_cast<int>(lines.size()) ? screenLine(lines[i]) : std::string();
        if (i == current) text.resize(SCREEN_COLUMNS, ' ');
        writeRow(r + 1, text, i == current ? inverse(textAttribute) : textAttribute);
    }
    std::string status = " " + std::string(name) + " - linha " + decimal(current + 1) + " de " +
                         decimal(static_cast<int64_t>(lines.size()));
    status = screenLine(status);
    status.resize(SCREEN_COLUMNS, ' ');
    writeRow(SCREEN_ROWS, status, inverse(textAttribute));
    moveCursor(1, current - top + 1);
}

void speakLine(const std::string& line) {
    if (trimView(line).empty()) speakText("em branco");
    else speakText(line);
}

} // namespace

std::vector<std::string> splitTextLines(std::string_view content) {
    size_t end = content.find('\x1A');
    if (end != std::string_view::npos) content = content.substr(0, end);
    std::string text = isValidUtf8(content) ? utf8ToCp1252(content) : std::string(content);
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t stop = text.find_first_of("\r\n", pos);
        if (stop == std::string::npos) stop = text.size();
        lines.push_back(text.substr(pos, stop - pos));
        pos = stop + 1;
        if (stop < text.size() && text[stop] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    }
    return lines;
}

void viewTextLines(std::string_view name, const std::vector<std::string>& fileLines) {
    // An empty file still has one (empty) line to stand on.
    std::vector<std::string> lines = fileLines.empty() ? std::vector<std::string>{""} : fileLines;
    const int last = static_cast<int>(lines.size()) - 1;
    int top = 0, current = 0;
    bool speak = true;
    while (true) {
        if (current < top) top = current;
        if (current >= top + PAGE_ROWS) top = current - PAGE_ROWS + 1;
        show(name, lines, top, current);
        if (speak) speakLine(lines[current]);
        uint8_t key = readKey();
        stopSound();
        if (key == 27) return;
        speak = true;
        if (key == 13) continue;  // says the line again
        int code = key == 0 ? readKey() : -1;
        if (code == KEY_F1) continue;
        int wanted = -1;
        switch (code) {
        case KEY_UP: wanted = current - 1; break;
        case KEY_DOWN: wanted = current + 1; break;
        case KEY_PAGE_UP: wanted = std::max(0, current - PAGE_ROWS); break;
        case KEY_PAGE_DOWN: wanted = std::min(last, current + PAGE_ROWS); break;
        case KEY_HOME: wanted = 0; break;
        case KEY_END: wanted = last; break;
        }
        // Other keys, and moves past either end, are refused.
        if (wanted < 0 || wanted > last || wanted == current) {
            speak = false;
            errorBeep();
            continue;
        }
        current = wanted;
    }
}
