// Window console backend. It keeps its own copy of the 80 x 25 cells and
// renders them into a canvas surface of exactly the client area; what the
// window shows is the canvas with the picture over it and the caret, copied
// to SDL's window surface (the X11 framebuffer, no GPU) for the rectangles
// that changed. Glyphs are rendered once per character into coverage masks
// the size of a cell and blended with the cell's two colours. The magnifier
// shows a stretched snapshot of the client area while the right button is
// held; drawing goes on in the canvas meanwhile and shows on release.
#include "platform/linux/window_console.h"

#include "platform/encoding.h"
#include "platform/linux/x11_window.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int COLS = SCREEN_COLUMNS;
constexpr int ROWS = SCREEN_ROWS;
constexpr int CELLS = COLS * ROWS;
// How long open() waits for the window to be shown, so the first frame is
// drawn at once.
constexpr int SHOW_WAIT_MS = 1000;
// The caret under the character, as a text-mode cursor.
constexpr int CARET_HEIGHT = 2;
// Cell sizes the window accepts, in pixels.
constexpr int MIN_CELL_WIDTH = 4, MAX_CELL_WIDTH = 200;
constexpr int MIN_CELL_HEIGHT = 8, MAX_CELL_HEIGHT = 400;
// Scrolling moves pixels (LENTO) only when the window's bottom edge is this
// far above the bottom of the screen.
constexpr int SLOW_SCROLL_MARGIN = 32;
// Faces tried when fontconfig finds nothing (fonts-dejavu-core).
const char* const FALLBACK_FONTS[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
};

std::string videoKey(const char* key, const char* def) {
    bool found = false;
    std::string v = readProfileString(homeFile("FALARIS.INI"), "VIDEO", key, 80, &found);
    return found ? v : std::string(def);
}

bool firstIsS(const std::string& v) { return !v.empty() && (v[0] == 'S' || v[0] == 's'); }

// The [VIDEO] keys this backend reads when the window opens.
struct WindowSettings {
    int cellWidth = 0, cellHeight = 0;  // 0: from the work area
    std::string face;                   // Windows-1252
    int weight = 700;
    bool maximised = false;
    int zoom = 2;
    bool slowScroll = false;
};

WindowSettings readSettings() {
    WindowSettings s;
    std::string width = videoKey("LARGURALETRA", "");
    std::string height = videoKey("ALTURALETRA", "");
    if (!width.empty()) s.cellWidth = convertIntegerLenient(width);
    if (!height.empty()) s.cellHeight = convertIntegerLenient(height);
    s.face = videoKey("FONTE", "Lucida Console");
    s.weight = convertIntegerLenient(videoKey("PESOLETRA", "700"));
    s.maximised = !firstIsS(videoKey("CANTOTELA", "SIM"));
    // The low three bits of the first character; a factor of 0 cannot
    // magnify and counts as 2.
    std::string zoom = videoKey("AMPLIF", "2");
    s.zoom = zoom.empty() ? 2 : static_cast<uint8_t>(zoom[0]) & 7;
    if (s.zoom == 0) s.zoom = 2;
    s.slowScroll = firstIsS(videoKey("LENTO", "N"));
    return s;
}

// The font file of a monospaced face of that name and weight (OpenType
// scale, 400 regular, 700 bold); fontconfig gives its best match, DejaVu
// Sans Mono for a face it does not know. `synthBold` when the face has no
// weight near a bold one that was asked for.
bool findFont(const std::string& face, int weight, std::string& file, int& index, bool& synthBold) {
    if (!FcInit()) return false;
    FcPattern* pattern = FcPatternCreate();
    std::string family = cp1252ToUtf8(face);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    int wanted = FcWeightFromOpenType(std::clamp(weight, 1, 1000));
    FcPatternAddInteger(pattern, FC_WEIGHT, wanted);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* path = nullptr;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
    if (ok) {
        file = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
        int got = wanted;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &got);
        synthBold = wanted >= FC_WEIGHT_DEMIBOLD && got < FC_WEIGHT_DEMIBOLD;
    }
    FcPatternDestroy(match);
    return ok;
}

void measure(TTF_Font* font, int& height, int& advance) {
    height = TTF_FontHeight(font);
    int minx, maxx, miny, maxy;
    advance = 0;
    TTF_GlyphMetrics32(font, 'M', &minx, &maxx, &miny, &maxy, &advance);
}

// Opens the face with its height and character width fitted into the cell:
// the horizontal and vertical resolutions are set apart, so the glyphs are
// stretched to the cell's proportions as a font of that width and height.
TTF_Font* openFitted(const std::string& file, int index, bool bold, int cellWidth, int cellHeight) {
    const int points = cellHeight;
    TTF_Font* font = TTF_OpenFontIndexDPI(file.c_str(), points, index, 72, 72);
    if (!font) return nullptr;
    if (bold) TTF_SetFontStyle(font, TTF_STYLE_BOLD);
    int height, advance;
    measure(font, height, advance);
    if (height <= 0 || advance <= 0) {
        TTF_CloseFont(font);
        return nullptr;
    }
    unsigned hdpi = std::max(1, 72 * cellWidth / advance);
    unsigned vdpi = std::max(1, 72 * cellHeight / height);
    for (int step = 0; step < 64; ++step) {
        if (TTF_SetFontSizeDPI(font, points, hdpi, vdpi) != 0) break;
        measure(font, height, advance);
        if (height > cellHeight && vdpi > 1) --vdpi;
        else if (advance > cellWidth && hdpi > 1) --hdpi;
        else break;
    }
    return font;
}

uint32_t blend(uint32_t fg, uint32_t bg, unsigned coverage) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        unsigned f = (fg >> shift) & 255, b = (bg >> shift) & 255;
        out |= ((f * coverage + b * (255 - coverage) + 127) / 255) << shift;
    }
    return out;
}

SpecialKey specialKeyOf(SDL_Scancode sc, uint16_t mod) {
    if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12)
        return static_cast<SpecialKey>(static_cast<int>(SpecialKey::F1) + (sc - SDL_SCANCODE_F1));
    switch (sc) {
    case SDL_SCANCODE_INSERT: return SpecialKey::Insert;
    case SDL_SCANCODE_DELETE: return SpecialKey::Delete;
    case SDL_SCANCODE_HOME: return SpecialKey::Home;
    case SDL_SCANCODE_END: return SpecialKey::End;
    case SDL_SCANCODE_PAGEUP: return SpecialKey::PageUp;
    case SDL_SCANCODE_PAGEDOWN: return SpecialKey::PageDown;
    case SDL_SCANCODE_UP: return SpecialKey::Up;
    case SDL_SCANCODE_DOWN: return SpecialKey::Down;
    case SDL_SCANCODE_LEFT: return SpecialKey::Left;
    case SDL_SCANCODE_RIGHT: return SpecialKey::Right;
    default: break;
    }
    // The keypad's second meaning while Num Lock is off.
    if (mod & KMOD_NUM) return SpecialKey::None;
    switch (sc) {
    case SDL_SCANCODE_KP_0: return SpecialKey::Insert;
    case SDL_SCANCODE_KP_PERIOD: return SpecialKey::Delete;
    case SDL_SCANCODE_KP_7: return SpecialKey::Home;
    case SDL_SCANCODE_KP_1: return SpecialKey::End;
    case SDL_SCANCODE_KP_9: return SpecialKey::PageUp;
    case SDL_SCANCODE_KP_3: return SpecialKey::PageDown;
    case SDL_SCANCODE_KP_8: return SpecialKey::Up;
    case SDL_SCANCODE_KP_2: return SpecialKey::Down;
    case SDL_SCANCODE_KP_4: return SpecialKey::Left;
    case SDL_SCANCODE_KP_6: return SpecialKey::Right;
    default: return SpecialKey::None;
    }
}

// The braille side of a key: its letter by position on the keyboard (so the
// six dots stay under the same fingers on every layout), or the space bar.
uint8_t positionChar(SDL_Scancode sc) {
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return static_cast<uint8_t>('a' + (sc - SDL_SCANCODE_A));
    return sc == SDL_SCANCODE_SPACE ? ' ' : 0;
}

class WindowConsole : public ConsoleBackend {
public:
    ~WindowConsole() override { close(); }

    bool open() override;
    void close() override;
    void drawRange(int row, int colFrom, int colTo, const uint8_t* chars, const uint8_t* attrs) override;
    void drawAll(const uint8_t* chars, const uint8_t* attrs) override;
    void setCursor(int column, int row, bool visible) override;
    void setColourMap(const uint8_t map[16]) override;
    void pollInput(std::vector<InputEvent>& events, int timeoutMs, bool keyAwaited) override;
    void modifiers(bool& shift, bool& ctrl, bool& alt) override;
    bool keyTransitions() const override { return true; }
    void setTitle(std::string_view cp1252Title) override;
    void setWindowState(WindowState state) override;
    void beep() override;
    bool setClipboard(std::string_view cp1252Text) override;
    bool getClipboard(std::string& cp1252Text) override;
    void showPicture(const std::vector<uint8_t>& rgb, int width, int height, int x, int y) override;
    unsigned long nativeWindowId() override;

private:
    void renderCells(int row, int from, int to);
    const uint8_t* glyph(uint8_t ch);
    uint32_t colour(int logical) const;
    void present(SDL_Rect rect);
    void presentAll() { present(SDL_Rect{0, 0, canvasWidth_, canvasHeight_}); }
    SDL_Rect caretRect() const;
    bool scrollByPixels();
    void handle(const SDL_Event& ev, std::vector<InputEvent>& events);
    void keyDown(const SDL_KeyboardEvent& key, std::vector<InputEvent>& events);
    void textInput(const char* utf8, std::vector<InputEvent>& events);
    void magnify(int x, int y);
    void endMagnifier();

    WindowSettings settings_;
    SDL_Window* window_ = nullptr;
    SDL_Surface* canvas_ = nullptr;
    SDL_Surface* picture_ = nullptr;
    SDL_Surface* snapshot_ = nullptr;  // the magnifier's, while the right button is held
    TTF_Font* font_ = nullptr;
    int cellWidth_ = 0, cellHeight_ = 0, ascent_ = 0;
    int canvasWidth_ = 0, canvasHeight_ = 0;
    int pictureX_ = 0, pictureY_ = 0;
    std::array<std::vector<uint8_t>, 256> glyphs_;  // coverage per pixel of a cell; empty until rendered
    uint8_t chars_[CELLS];
    uint8_t attrs_[CELLS];
    uint8_t colourMap_[16];
    int cursorX_ = 0, cursorY_ = 0;
    bool caretOn_ = false;
    bool focused_ = false;
    bool exposed_ = false;
    bool closed_ = false;
    // The text event that follows a key already turned into its Alt or Ctrl
    // code is dropped.
    bool dropText_ = false;
    std::vector<InputEvent> pending_;  // input that came while open() waited
};

bool WindowConsole::open() {
    if (window_) return true;
    settings_ = readSettings();
    SDL_Rect work{0, 0, 1024, 734};
    SDL_GetDisplayUsableBounds(0, &work);
    cellWidth_ = settings_.cellWidth > 0 ? settings_.cellWidth : work.w * 13 / 1024;
    cellHeight_ = settings_.cellHeight > 0 ? settings_.cellHeight : work.h * 28 / 734;
    cellWidth_ = std::clamp(cellWidth_, MIN_CELL_WIDTH, MAX_CELL_WIDTH);
    cellHeight_ = std::clamp(cellHeight_, MIN_CELL_HEIGHT, MAX_CELL_HEIGHT);

    if (!TTF_WasInit() && TTF_Init() != 0) return false;
    std::string file;
    int index = 0;
    bool synthBold = false;
    if (findFont(settings_.face, settings_.weight, file, index, synthBold))
        font_ = openFitted(file, index, synthBold, cellWidth_, cellHeight_);
    for (const char* fallback : FALLBACK_FONTS) {
        if (font_) break;
        font_ = openFitted(fallback, 0, false, cellWidth_, cellHeight_);
    }
    if (!font_) {
        std::fprintf(stderr, "%s: no monospaced font for the window\n", program_invocation_short_name);
        return false;
    }
    ascent_ = std::min(TTF_FontAscent(font_), cellHeight_ - CARET_HEIGHT);

    canvasWidth_ = COLS * cellWidth_;
    canvasHeight_ = ROWS * cellHeight_;
    char exe[256] = {};
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string title = n > 0 ? std::string(exe, static_cast<size_t>(std::min<ssize_t>(n, 80))) : "rotalis";
    Uint32 flags = SDL_WINDOW_RESIZABLE | (settings_.maximised ? SDL_WINDOW_MAXIMIZED : 0);
    window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, canvasWidth_,
                               canvasHeight_, flags);
    if (!window_) {
        std::fprintf(stderr, "%s: the window cannot open (%s)\n", program_invocation_short_name, SDL_GetError());
        return false;
    }
    // Never larger than the 80 x 25 cells; at least 16 x 4 of them.
    SDL_SetWindowMaximumSize(window_, canvasWidth_, canvasHeight_);
    SDL_SetWindowMinimumSize(window_, 16 * cellWidth_, 4 * cellHeight_);
    canvas_ = SDL_CreateRGBSurfaceWithFormat(0, canvasWidth_, canvasHeight_, 32, SDL_PIXELFORMAT_XRGB8888);
    std::memset(chars_, ' ', sizeof chars_);
    std::memset(attrs_, 0, sizeof attrs_);
    for (int i = 0; i < 16; ++i) colourMap_[i] = static_cast<uint8_t>(i);
    SDL_FillRect(canvas_, nullptr, colour(0));
    SDL_StartTextInput();
    closed_ = false;

    // Wait for the window to be shown, keeping what is typed meanwhile.
    Uint32 deadline = SDL_GetTicks() + SHOW_WAIT_MS;
    while (!exposed_ && !closed_) {
        int left = static_cast<int>(deadline - SDL_GetTicks());
        if (left <= 0) break;
        SDL_Event ev;
        if (SDL_WaitEventTimeout(&ev, left)) handle(ev, pending_);
    }
    return true;
}

void WindowConsole::close() {
    if (!window_) return;
    endMagnifier();
    SDL_SetWindowTitle(window_, "Programa terminado");
    SDL_StopTextInput();
    if (picture_) SDL_FreeSurface(picture_);
    if (canvas_) SDL_FreeSurface(canvas_);
    picture_ = canvas_ = nullptr;
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    if (font_) TTF_CloseFont(font_);
    font_ = nullptr;
    for (auto& g : glyphs_) g.clear();
    TTF_Quit();
    FcFini();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

uint32_t WindowConsole::colour(int logical) const {
    int index = colourMap_[logical & 15];
    if (index > 15) return 0;
    const uint8_t* rgb = CONSOLE_PALETTE[index];
    return (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
}

const uint8_t* WindowConsole::glyph(uint8_t ch) {
    std::vector<uint8_t>& mask = glyphs_[ch];
    if (!mask.empty()) return mask.data();
    mask.assign(static_cast<size_t>(cellWidth_) * cellHeight_, 0);
    uint32_t code = cp1252ToUnicode(ch);
    if (code <= 32 || (code >= 127 && code < 160)) return mask.data();
    SDL_Surface* g = TTF_RenderGlyph32_Blended(font_, code, SDL_Color{255, 255, 255, 255});
    if (!g) return mask.data();
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(g, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(g);
    if (!argb) return mask.data();
    int w = std::min(argb->w, cellWidth_), h = std::min(argb->h, cellHeight_);
    for (int y = 0; y < h; ++y) {
        const uint32_t* src = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(argb->pixels) + y * argb->pitch);
        for (int x = 0; x < w; ++x) mask[static_cast<size_t>(y) * cellWidth_ + x] = static_cast<uint8_t>(src[x] >> 24);
    }
    SDL_FreeSurface(argb);
    return mask.data();
}

void WindowConsole::renderCells(int row, int from, int to) {
    uint8_t* base = static_cast<uint8_t*>(canvas_->pixels) + static_cast<size_t>(row) * cellHeight_ * canvas_->pitch;
    for (int col = from; col < to; ++col) {
        int i = row * COLS + col;
        uint32_t fg = colour(attrs_[i] & 15), bg = colour(attrs_[i] >> 4);
        const uint8_t* mask = glyph(chars_[i]);
        for (int y = 0; y < cellHeight_; ++y) {
            uint32_t* dst = reinterpret_cast<uint32_t*>(base + y * canvas_->pitch) + col * cellWidth_;
            const uint8_t* m = mask + y * cellWidth_;
            for (int x = 0; x < cellWidth_; ++x)
                dst[x] = m[x] == 0 ? bg : m[x] == 255 ? fg : blend(fg, bg, m[x]);
        }
    }
}

SDL_Rect WindowConsole::caretRect() const {
    return SDL_Rect{cursorX_ * cellWidth_, cursorY_ * cellHeight_ + ascent_, cellWidth_, CARET_HEIGHT};
}

// Copies a rectangle of the canvas, with the picture and the caret over it,
// to the window.
void WindowConsole::present(SDL_Rect rect) {
    if (!window_ || snapshot_) return;
    SDL_Surface* screen = SDL_GetWindowSurface(window_);
    if (!screen) return;
    SDL_Rect r = rect;
    SDL_BlitSurface(canvas_, &rect, screen, &r);
    if (picture_) {
        SDL_Rect pic{pictureX_, pictureY_, picture_->w, picture_->h}, both;
        if (SDL_IntersectRect(&pic, &rect, &both)) {
            SDL_Rect src{both.x - pictureX_, both.y - pictureY_, both.w, both.h};
            SDL_BlitSurface(picture_, &src, screen, &both);
        }
    }
    SDL_Rect caret = caretRect(), inRect, part;
    if (caretOn_ && focused_ && SDL_IntersectRect(&caret, &rect, &inRect) &&
        SDL_IntersectRect(&inRect, &screen->clip_rect, &part) && screen->format->BytesPerPixel == 4) {
        // The caret inverts what it covers.
        SDL_LockSurface(screen);
        for (int y = part.y; y < part.y + part.h; ++y) {
            uint32_t* p = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(screen->pixels) + y * screen->pitch);
            for (int x = part.x; x < part.x + part.w; ++x) p[x] ^= 0x00FFFFFF;
        }
        SDL_UnlockSurface(screen);
    }
    SDL_Rect shown;
    if (SDL_IntersectRect(&rect, &screen->clip_rect, &shown)) SDL_UpdateWindowSurfaceRects(window_, &shown, 1);
}

void WindowConsole::drawRange(int row, int colFrom, int colTo, const uint8_t* chars, const uint8_t* attrs) {
    if (!window_ || row < 0 || row >= ROWS) return;
    colFrom = std::max(colFrom, 0);
    colTo = std::min(colTo, COLS);
    if (colFrom >= colTo) return;
    std::memcpy(chars_ + row * COLS + colFrom, chars + colFrom, colTo - colFrom);
    std::memcpy(attrs_ + row * COLS + colFrom, attrs + colFrom, colTo - colFrom);
    renderCells(row, colFrom, colTo);
    present(SDL_Rect{colFrom * cellWidth_, row * cellHeight_, (colTo - colFrom) * cellWidth_, cellHeight_});
}

// With LENTO, a scroll by one row moves the pixels up instead of drawing
// every cell again, while the window has the focus and stands clear of the
// bottom of the screen.
bool WindowConsole::scrollByPixels() {
    if (!settings_.slowScroll || !focused_) return false;
    int x, y, w, h;
    SDL_GetWindowPosition(window_, &x, &y);
    SDL_GetWindowSize(window_, &w, &h);
    SDL_Rect screen;
    if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window_), &screen) != 0) return false;
    return y + h < screen.y + screen.h - SLOW_SCROLL_MARGIN;
}

void WindowConsole::drawAll(const uint8_t* chars, const uint8_t* attrs) {
    if (!window_) return;
    bool scrolled = std::memcmp(chars, chars_ + COLS, COLS * (ROWS - 1)) == 0 &&
                    std::memcmp(attrs, attrs_ + COLS, COLS * (ROWS - 1)) == 0;
    std::memcpy(chars_, chars, CELLS);
    std::memcpy(attrs_, attrs, CELLS);
    if (scrolled && scrollByPixels()) {
        size_t rowBytes = static_cast<size_t>(canvas_->pitch) * cellHeight_;
        uint8_t* pixels = static_cast<uint8_t*>(canvas_->pixels);
        std::memmove(pixels, pixels + rowBytes, rowBytes * (ROWS - 1));
        renderCells(ROWS - 1, 0, COLS);
    } else {
        for (int row = 0; row < ROWS; ++row) renderCells(row, 0, COLS);
    }
    presentAll();
}

void WindowConsole::setCursor(int column, int row, bool visible) {
    if (!window_) return;
    if (column == cursorX_ && row == cursorY_ && visible == caretOn_) return;
    SDL_Rect old = caretRect();
    bool wasOn = caretOn_;
    cursorX_ = column;
    cursorY_ = row;
    caretOn_ = visible;
    if (wasOn) present(old);
    if (caretOn_) present(caretRect());
}

void WindowConsole::setColourMap(const uint8_t map[16]) {
    std::memcpy(colourMap_, map, 16);
    if (!window_) return;
    for (int row = 0; row < ROWS; ++row) renderCells(row, 0, COLS);
    presentAll();
}

void WindowConsole::pollInput(std::vector<InputEvent>& events, int timeoutMs, bool) {
    if (!window_) {
        events.push_back(InputEvent{InputEvent::Closed});
        return;
    }
    events.insert(events.end(), pending_.begin(), pending_.end());
    pending_.clear();
    SDL_Event ev;
    bool got = timeoutMs > 0 && events.empty() ? SDL_WaitEventTimeout(&ev, timeoutMs) : SDL_PollEvent(&ev);
    while (got) {
        handle(ev, events);
        got = SDL_PollEvent(&ev);
    }
}

void WindowConsole::handle(const SDL_Event& ev, std::vector<InputEvent>& events) {
    switch (ev.type) {
    case SDL_QUIT:
        // Without a close of the window first, a signal asked the program to end.
        if (!closed_) events.push_back(InputEvent{InputEvent::Break});
        return;
    case SDL_WINDOWEVENT:
        switch (ev.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            closed_ = true;
            events.push_back(InputEvent{InputEvent::Closed});
            return;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
        case SDL_WINDOWEVENT_FOCUS_LOST:
            focused_ = ev.window.event == SDL_WINDOWEVENT_FOCUS_GAINED;
            if (!focused_) endMagnifier();
            if (caretOn_) present(caretRect());
            return;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            exposed_ = true;
            presentAll();
            return;
        default:
            return;
        }
    case SDL_KEYDOWN:
        keyDown(ev.key, events);
        return;
    case SDL_KEYUP: {
        InputEvent e{InputEvent::KeyUp};
        e.ch = positionChar(ev.key.keysym.scancode);
        e.scancode = ev.key.keysym.scancode;
        e.shift = ev.key.keysym.mod & KMOD_SHIFT;
        e.ctrl = ev.key.keysym.mod & KMOD_CTRL;
        e.alt = ev.key.keysym.mod & KMOD_ALT;
        events.push_back(e);
        return;
    }
    case SDL_TEXTINPUT:
        textInput(ev.text.text, events);
        return;
    case SDL_MOUSEBUTTONDOWN:
        if (ev.button.button == SDL_BUTTON_RIGHT) magnify(ev.button.x, ev.button.y);
        return;
    case SDL_MOUSEMOTION:
        if (snapshot_ && (ev.motion.state & SDL_BUTTON_RMASK)) magnify(ev.motion.x, ev.motion.y);
        return;
    case SDL_MOUSEBUTTONUP:
        if (ev.button.button == SDL_BUTTON_RIGHT) endMagnifier();
        return;
    default:
        return;
    }
}

void WindowConsole::keyDown(const SDL_KeyboardEvent& key, std::vector<InputEvent>& events) {
    SDL_Scancode sc = key.keysym.scancode;
    SDL_Keycode sym = key.keysym.sym;
    uint16_t mod = key.keysym.mod;
    InputEvent e;
    e.shift = mod & KMOD_SHIFT;
    e.ctrl = mod & KMOD_CTRL;
    e.alt = mod & KMOD_ALT;  // AltGr is KMOD_MODE and types characters
    // With Ctrl a key types no text: letters give their control codes below.
    dropText_ = e.ctrl;
    if (!key.repeat) {
        InputEvent down = e;
        down.kind = InputEvent::KeyDown;
        down.ch = positionChar(sc);
        down.scancode = sc;
        events.push_back(down);
    }
    if (sc == SDL_SCANCODE_PAUSE && e.ctrl) {
        events.push_back(InputEvent{InputEvent::Break});
        return;
    }
    SpecialKey special = specialKeyOf(sc, mod);
    if (special != SpecialKey::None) {
        // F10 without Ctrl is the desktop's menu key.
        if (special == SpecialKey::F10 && !e.ctrl) return;
        e.kind = InputEvent::Special;
        e.key = special;
        events.push_back(e);
        return;
    }
    e.kind = InputEvent::Character;
    bool letter = sym >= SDLK_a && sym <= SDLK_z;
    bool digit = sym >= SDLK_0 && sym <= SDLK_9;
    if (e.alt && (letter || digit)) {
        // Alt with a letter or digit is its two-byte code only.
        e.ch = static_cast<uint8_t>(sym);
        events.push_back(e);
        dropText_ = true;
        return;
    }
    if (e.alt && !e.ctrl) return;  // other Alt keys are the desktop's shortcuts
    uint8_t code = 0;
    if (e.ctrl && letter) code = static_cast<uint8_t>(sym - SDLK_a + 1);
    else if (e.ctrl && sym == SDLK_LEFTBRACKET) code = 27;
    else if (e.ctrl && sym == SDLK_BACKSLASH) code = 28;
    else if (e.ctrl && sym == SDLK_RIGHTBRACKET) code = 29;
    else if (e.ctrl && sym == SDLK_SPACE) code = ' ';
    else if (sym == SDLK_RETURN || sym == SDLK_KP_ENTER) code = 13;
    else if (sym == SDLK_BACKSPACE) code = 8;
    else if (sym == SDLK_TAB) code = 9;
    else if (sym == SDLK_ESCAPE) code = 27;
    if (code == 0) return;  // a typed character comes as text
    e.ch = code;
    e.alt = false;
    events.push_back(e);
    dropText_ = true;
}

// Typed text: every character the code page has, as its Windows-1252 code.
void WindowConsole::textInput(const char* utf8, std::vector<InputEvent>& events) {
    if (dropText_ || (SDL_GetModState() & KMOD_ALT)) {
        dropText_ = false;
        return;
    }
    std::string text = utf8ToCp1252(utf8, 0);
    for (char c : text) {
        InputEvent e;
        e.ch = static_cast<uint8_t>(c);
        events.push_back(e);
    }
}

void WindowConsole::modifiers(bool& shift, bool& ctrl, bool& alt) {
    SDL_Keymod mod = SDL_GetModState();
    shift = mod & KMOD_SHIFT;
    ctrl = mod & KMOD_CTRL;
    alt = mod & KMOD_ALT;
}

// The magnified view around (x, y): the snapshot's part from
// (x - x / zoom, y - y / zoom), a zoom-th of the window, fills the window.
void WindowConsole::magnify(int x, int y) {
    SDL_Surface* screen = SDL_GetWindowSurface(window_);
    if (!screen) return;
    if (!snapshot_) {
        snapshot_ = SDL_CreateRGBSurfaceWithFormat(0, screen->w, screen->h, 32, screen->format->format);
        if (!snapshot_) return;
        SDL_BlitSurface(screen, nullptr, snapshot_, nullptr);
    }
    int z = settings_.zoom;
    SDL_Rect src{std::max(0, x - x / z), std::max(0, y - y / z), snapshot_->w / z, snapshot_->h / z};
    src.w = std::max(1, std::min(src.w, snapshot_->w - src.x));
    src.h = std::max(1, std::min(src.h, snapshot_->h - src.y));
    SDL_BlitScaled(snapshot_, &src, screen, nullptr);
    SDL_UpdateWindowSurface(window_);
}

void WindowConsole::endMagnifier() {
    if (!snapshot_) return;
    SDL_FreeSurface(snapshot_);
    snapshot_ = nullptr;
    presentAll();
}

void WindowConsole::setTitle(std::string_view cp1252Title) {
    if (window_) SDL_SetWindowTitle(window_, cp1252ToUtf8(cp1252Title).c_str());
}

void WindowConsole::setWindowState(WindowState state) {
    if (!window_) return;
    if (state == WindowState::Hidden) {
        SDL_MinimizeWindow(window_);
    } else {
        SDL_RestoreWindow(window_);
        SDL_RaiseWindow(window_);
    }
}

unsigned long WindowConsole::nativeWindowId() { return x11WindowId(window_); }

// The desktop's bell.
void WindowConsole::beep() { x11Bell(window_); }

// The desktop's clipboard (on X11 the CLIPBOARD selection, which this
// program serves while it runs).
bool WindowConsole::setClipboard(std::string_view cp1252Text) {
    return SDL_SetClipboardText(cp1252ToUtf8(cp1252Text).c_str()) == 0;
}

bool WindowConsole::getClipboard(std::string& cp1252Text) {
    char* text = SDL_GetClipboardText();
    if (!text) return false;
    cp1252Text = utf8ToCp1252(text);
    SDL_free(text);
    return true;
}

void WindowConsole::showPicture(const std::vector<uint8_t>& rgb, int width, int height, int x, int y) {
    if (picture_) SDL_FreeSurface(picture_);
    picture_ = nullptr;
    if (width > 0 && height > 0 && rgb.size() >= static_cast<size_t>(width) * height * 3) {
        SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(rgb.data()), width, height, 24,
                                                                 width * 3, SDL_PIXELFORMAT_RGB24);
        if (source) {
            picture_ = SDL_ConvertSurfaceFormat(source, SDL_PIXELFORMAT_XRGB8888, 0);
            SDL_FreeSurface(source);
        }
        pictureX_ = x;
        pictureY_ = y;
    }
    presentAll();
}

} // namespace

namespace {

// SDL's video on the display of the environment. Once it is up it stays up
// for the window that follows (SDL counts the starts).
bool videoReady(std::string& error) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland)) {
        error = "the window console needs a display (DISPLAY is not set)";
        return false;
    }
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    // Draw through the X11 framebuffer: no GPU is needed, and what is drawn
    // is at once what the window shows.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    x11IgnoreVanishedWindows();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = std::string("the window console cannot use the display (") + SDL_GetError() + ")";
        return false;
    }
    return true;
}

} // namespace

bool windowConsoleUsable() {
    std::string error;
    return videoReady(error);
}

std::unique_ptr<ConsoleBackend> makeWindowConsole(std::string& error) {
    if (!videoReady(error)) return nullptr;
    return std::make_unique<WindowConsole>();
}
