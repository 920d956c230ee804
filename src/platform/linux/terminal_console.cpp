// Terminal console backend. The terminal's own state (its modes, the
// alternate screen) is owned by this module from open() to close(); a copy
// of what the 80 x 25 cells show on the terminal lets every draw send only
// the cells that changed. Signal handlers share a few plain variables with
// the main code and use only async-signal-safe calls (write, tcsetattr,
// tcsetpgrp, sigaction, sigprocmask, raise, alarm, kill, waitpid, poll,
// _exit).
#include "platform/linux/terminal_console.h"

#include "platform/clock.h"
#include "platform/encoding.h"
#include "platform/key_decoder.h"
#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int COLS = SCREEN_COLUMNS;
constexpr int ROWS = SCREEN_ROWS;
constexpr int CELLS = COLS * ROWS;
// How long a lone ESC waits for the rest of a sequence before it is the Esc key.
constexpr int ESCAPE_WAIT_MS = 40;
// After an ending signal, how long the program has to reach a console
// operation and end cleanly before the terminal is given back the hard way.
constexpr unsigned END_GRACE_SECONDS = 1;

struct Rgb {
    int r, g, b;
};

// The console's palette.
const Rgb PALETTE[16] = {
    {0, 0, 0},       {0, 0, 255},     {0, 255, 0},     {0, 255, 255},
    {255, 0, 0},     {142, 0, 142},   {68, 34, 34},    {192, 192, 192},
    {128, 128, 128}, {128, 128, 255}, {128, 255, 128}, {128, 255, 255},
    {255, 128, 128}, {255, 128, 255}, {255, 255, 0},   {255, 255, 255},
};

// The 16 ANSI colours as most terminals show them by default (the classic
// VGA text colours): black, red, green, yellow, blue, magenta, cyan, white,
// then their bright forms.
const Rgb ANSI[16] = {
    {0, 0, 0},      {187, 0, 0},     {0, 187, 0},     {187, 187, 0},
    {0, 0, 187},    {187, 0, 187},   {0, 187, 187},   {187, 187, 187},
    {85, 85, 85},   {255, 85, 85},   {85, 255, 85},   {255, 255, 85},
    {85, 85, 255},  {255, 85, 255},  {85, 255, 255},  {255, 255, 255},
};

// ---- Shared with the signal handlers: plain data only. ----
int ttyIn = -1;
int ttyOut = -1;
termios savedMode{};
termios rawMode{};
volatile sig_atomic_t active = 0;     // a backend is open
volatile sig_atomic_t taken = 0;      // our modes and screen are on the terminal
volatile sig_atomic_t endSignal = 0;  // SIGINT, SIGTERM, SIGHUP or SIGQUIT came
volatile sig_atomic_t resized = 0;
volatile sig_atomic_t resumed = 0;
volatile sig_atomic_t released = 0;   // the terminal is lent to a program in the foreground
int wakePipe[2] = {-1, -1};

// Alternate screen, save the title, colours reset, no autowrap (the last
// cell must not scroll), cursor hidden, screen cleared.
const char ENTER_SEQUENCE[] = "\x1b[?1049h\x1b[22;0t\x1b[0m\x1b[?7l\x1b[?25l\x1b[H\x1b[2J";
// CAN first: it cancels any sequence the main code was in the middle of.
const char LEAVE_SEQUENCE[] = "\x18\x1b[0m\x1b[r\x1b[?7h\x1b[?25h\x1b[?1049l\x1b[23;0t";
// The Linux console has no alternate screen: the screen is cleared instead.
const char LEAVE_SEQUENCE_LINUX[] = "\x18\x1b[0m\x1b[r\x1b[?7h\x1b[?25h\x1b[H\x1b[2J";
const char* leaveSequence = LEAVE_SEQUENCE;

struct HandledSignal {
    int number;
    struct sigaction previous;
    bool installed;
};
HandledSignal handled[] = {
    {SIGINT, {}, false},  {SIGTERM, {}, false}, {SIGHUP, {}, false},  {SIGQUIT, {}, false},
    {SIGTSTP, {}, false}, {SIGCONT, {}, false}, {SIGWINCH, {}, false}, {SIGALRM, {}, false},
    {SIGSEGV, {}, false}, {SIGBUS, {}, false},  {SIGFPE, {}, false},  {SIGILL, {}, false},
    {SIGABRT, {}, false},
};
struct sigaction stopAction {};

void writeAll(int fd, const char* data, size_t length) {
    int tries = 0;
    while (length > 0) {
        ssize_t n = write(fd, data, length);
        if (n > 0) {
            data += n;
            length -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN && ++tries < 50) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
            continue;
        }
        return;  // the terminal is gone
    }
}

void writeText(int fd, const char* text) { writeAll(fd, text, std::strlen(text)); }

void takeTerminal() {
    tcsetattr(ttyIn, TCSADRAIN, &rawMode);
    writeText(ttyOut, ENTER_SEQUENCE);
    taken = 1;
}

void giveBackTerminal() {
    if (!taken) return;
    taken = 0;
    writeText(ttyOut, leaveSequence);
    // Flushing drops keys typed for the program, so the shell does not run them.
    tcsetattr(ttyIn, TCSAFLUSH, &savedMode);
}

// Makes our process group the terminal's foreground group again. SIGTTOU is
// held meanwhile: a background group that takes the terminal would get it.
void becomeForeground() {
    sigset_t ttou, old;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    sigprocmask(SIG_BLOCK, &ttou, &old);
    tcsetpgrp(ttyIn, getpgrp());
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

// When the program ends while the terminal is lent: the program holding it
// (and its process group) is ended and waited for, and the terminal is ours
// again, to be given back with our saved modes. Without this the program
// would live on as an orphan over a terminal left in its raw mode.
void endLending() {
    if (!released) return;
    endTerminalChild();
    becomeForeground();
    released = 0;
    // Whatever modes and screen the program left are replaced by the ones saved at the start.
    taken = 1;
}

void wake() {
    if (wakePipe[1] < 0) return;
    ssize_t n = write(wakePipe[1], "!", 1);
    (void)n;
}

void onEndSignal(int) {
    // Keys typed at a program we lent the terminal to reach its process
    // group, not ours: a signal that comes here was sent to us.
    int saved = errno;
    if (endSignal) {
        // Asked twice: end now, without waiting for the program.
        endLending();
        giveBackTerminal();
        _exit(255);
    }
    endSignal = 1;
    wake();
    // The program ends cleanly at its next console operation; if it is busy
    // elsewhere the alarm ends it.
    alarm(END_GRACE_SECONDS);
    errno = saved;
}

void onAlarm(int) {
    if (!endSignal) return;
    endLending();
    giveBackTerminal();
    _exit(255);
}

void onResize(int) {
    int saved = errno;
    resized = 1;
    wake();
    errno = saved;
}

void onStop(int) {
    int saved = errno;
    giveBackTerminal();
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    sigaction(SIGTSTP, &dfl, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(SIGTSTP);
    // Continued (SIGCONT, blocked until this handler returns, then takes the
    // terminal again), or never stopped (an orphaned process group).
    sigaction(SIGTSTP, &stopAction, nullptr);
    if (active && !taken && !released) {
        takeTerminal();
        resumed = 1;
        wake();
    }
    errno = saved;
}

void onContinue(int) {
    int saved = errno;
    if (active && !released) {
        takeTerminal();
        resumed = 1;
        wake();
    }
    errno = saved;
}

void onFatal(int number, siginfo_t* info, void*) {
    endLending();
    giveBackTerminal();
    for (HandledSignal& h : handled)
        if (h.number == number && h.installed) sigaction(number, &h.previous, nullptr);
    // A fault happens again when the instruction is retried, now reaching the
    // previous handler; a signal that was sent has to be sent again.
    if (info == nullptr || info->si_code <= 0 || number == SIGABRT) raise(number);
}

void installHandlers() {
    sigset_t mask;
    sigemptyset(&mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP, SIGCONT, SIGWINCH, SIGALRM, SIGTTOU}) sigaddset(&mask, s);
    for (HandledSignal& h : handled) {
        struct sigaction action {};
        action.sa_mask = mask;
        action.sa_flags = SA_RESTART;
        switch (h.number) {
        case SIGINT: case SIGTERM: case SIGHUP: case SIGQUIT: action.sa_handler = onEndSignal; break;
        case SIGTSTP: action.sa_handler = onStop; break;
        case SIGCONT: action.sa_handler = onContinue; break;
        case SIGWINCH: action.sa_handler = onResize; break;
        case SIGALRM: action.sa_handler = onAlarm; break;
        default:
            action.sa_sigaction = onFatal;
            action.sa_flags = SA_SIGINFO;
            sigemptyset(&action.sa_mask);
            break;
        }
        h.installed = false;
        if (sigaction(h.number, nullptr, &h.previous) != 0) continue;
        // Signals ignored when the program started (nohup, background jobs) stay ignored.
        if (h.previous.sa_handler == SIG_IGN && !(h.previous.sa_flags & SA_SIGINFO)) continue;
        if (sigaction(h.number, &action, nullptr) == 0) h.installed = true;
        if (h.number == SIGTSTP) stopAction = action;
    }
}

void restoreHandlers() {
    for (HandledSignal& h : handled) {
        if (h.installed) sigaction(h.number, &h.previous, nullptr);
        h.installed = false;
    }
}

void appendNumber(std::string& out, int n) { out += std::to_string(n); }

class TerminalConsole : public ConsoleBackend {
public:
    explicit TerminalConsole(bool leaveLastScreen) : decoder_(true), leaveLastScreen_(leaveLastScreen) {
        for (int i = 0; i < 16; ++i) ansi_[i] = ansiColourForPalette(i);
    }
    ~TerminalConsole() override { close(); }

    bool open() override {
        if (opened_) return true;
        if (active || !isatty(0) || !isatty(1)) return false;
        ttyIn = 0;
        ttyOut = 1;
        if (tcgetattr(ttyIn, &savedMode) != 0) return false;
        if (savedMode.c_cc[VERASE] == 8) decoder_.setBackspaceByte(8);
        rawMode = savedMode;
        rawMode.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
        rawMode.c_oflag &= ~OPOST;
        // ISIG stays: Ctrl+C and Ctrl+Z keep their meaning. Ctrl+\ is a key
        // here (the line editor dials with it), so it raises no SIGQUIT.
        rawMode.c_lflag &= ~(ECHO | ECHONL | ICANON | IEXTEN);
        rawMode.c_cc[VQUIT] = _POSIX_VDISABLE;
        rawMode.c_cflag &= ~(CSIZE | PARENB);
        rawMode.c_cflag |= CS8;
        rawMode.c_cc[VMIN] = 0;
        rawMode.c_cc[VTIME] = 0;
        const char* term = std::getenv("TERM");
        linuxConsole_ = term && std::strncmp(term, "linux", 5) == 0;
        leaveSequence = linuxConsole_ ? LEAVE_SEQUENCE_LINUX : LEAVE_SEQUENCE;
        if (pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) wakePipe[0] = wakePipe[1] = -1;
        endSignal = 0;
        resized = 0;
        resumed = 0;
        active = 1;
        installHandlers();
        takeTerminal();
        opened_ = true;
        querySize();
        forgetTerminal();
        return true;
    }

    void close() override {
        if (!opened_) return;
        opened_ = false;
        out_.clear();
        sigset_t mask, old;
        sigfillset(&mask);
        sigprocmask(SIG_BLOCK, &mask, &old);
        alarm(0);
        endLending();
        giveBackTerminal();
        // The last screen stays readable on the normal screen, below the
        // command that started the program.
        if (leaveLastScreen_) {
            std::string text = finalText();
            writeAll(ttyOut, text.data(), text.size());
        }
        // An alarm that came before it was cancelled would meet the default
        // handling (the end of the process) once the handlers are restored.
        const timespec noWait{0, 0};
        sigset_t alarmOnly;
        sigemptyset(&alarmOnly);
        sigaddset(&alarmOnly, SIGALRM);
        sigtimedwait(&alarmOnly, nullptr, &noWait);
        restoreHandlers();
        active = 0;
        released = 0;
        for (int& fd : wakePipe) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
        // Signals that came meanwhile now meet their previous handlers.
        sigprocmask(SIG_SETMASK, &old, nullptr);
    }

    void drawRange(int row, int colFrom, int colTo, const uint8_t* chars, const uint8_t* attrs) override {
        if (!opened_ || row < 0 || row >= ROWS) return;
        serviceSignals(nullptr);
        if (colFrom < 0) colFrom = 0;
        if (colTo > COLS) colTo = COLS;
        for (int c = colFrom; c < colTo; ++c) updateCell(row * COLS + c, chars[c], attrs[c]);
        flush();
    }

    void drawAll(const uint8_t* chars, const uint8_t* attrs) override {
        if (!opened_) return;
        serviceSignals(nullptr);
        if (scrolledByOneRow(chars, attrs)) scrollTerminal();
        for (int i = 0; i < CELLS; ++i) updateCell(i, chars[i], attrs[i]);
        flush();
    }

    void setCursor(int column, int row, bool visible) override {
        cursorCol_ = column < 0 ? 0 : (column > COLS - 1 ? COLS - 1 : column);
        cursorRow_ = row < 0 ? 0 : (row > ROWS - 1 ? ROWS - 1 : row);
        cursorVisible_ = visible;
        if (opened_) flush();
    }

    void setColourMap(const uint8_t map[16]) override {
        for (int i = 0; i < 16; ++i) ansi_[i] = ansiColourForPalette(map[i]);
        // Every cell may look different now.
        for (bool& s : stale_) s = true;
    }

    void pollInput(std::vector<InputEvent>& events, int timeoutMs, bool keyAwaited) override {
        serviceInput(events, timeoutMs, keyAwaited, -1, false);
    }

    bool pollInputOrReady(std::vector<InputEvent>& events, int timeoutMs, int fd, bool forWrite) override {
        return serviceInput(events, timeoutMs, false, fd, forWrite);
    }

    // Takes input, waiting at most `timeoutMs`; with a descriptor `fd` (not
    // -1) the wait also ends once it is ready, and the answer says so.
    bool serviceInput(std::vector<InputEvent>& events, int timeoutMs, bool keyAwaited, int fd, bool forWrite) {
        Clock& clock = systemClock();
        short fdEvents = forWrite ? POLLOUT : POLLIN;
        auto isReady = [](const pollfd& p) {
            return p.fd >= 0 && (p.revents & (POLLIN | POLLOUT | POLLHUP | POLLERR | POLLNVAL)) != 0;
        };
        if (!opened_) {
            // Without a terminal an awaited key never comes.
            if (keyAwaited) events.push_back(closedEvent());
            else if (fd >= 0) return socketWaitReady(fd, forWrite, timeoutMs) != 0;
            else clock.sleepMs(timeoutMs);
            return false;
        }
        if (released) {
            // The terminal's input belongs to the program in front; only an
            // ending signal is ours.
            if (serviceSignals(&events)) return false;
            pollfd fds[2] = {{wakePipe[0], POLLIN, 0}, {fd, fdEvents, 0}};
            if (poll(fds, 2, timeoutMs > 0 ? timeoutMs : 0) > 0 && (fds[0].revents & POLLIN)) {
                char drain[64];
                while (read(wakePipe[0], drain, sizeof drain) > 0) {
                }
            }
            serviceSignals(&events);
            return isReady(fds[1]);
        }
        int64_t deadline = clock.monotonicMs() + (timeoutMs > 0 ? timeoutMs : 0);
        while (true) {
            if (serviceSignals(&events)) return false;
            if (inputEnded_) {
                events.push_back(closedEvent());
                return false;
            }
            int64_t now = clock.monotonicMs();
            int64_t wait = deadline > now ? deadline - now : 0;
            if (decoder_.hasPending()) {
                int64_t escape = lastByteMs_ + ESCAPE_WAIT_MS - now;
                if (escape < wait) wait = escape > 0 ? escape : 0;
            }
            // poll passes over entries whose descriptor is negative.
            pollfd fds[3] = {{ttyIn, POLLIN, 0}, {wakePipe[0], POLLIN, 0}, {fd, fdEvents, 0}};
            int ready = poll(fds, 3, static_cast<int>(wait));
            if (ready > 0 && wakePipe[0] >= 0 && (fds[1].revents & POLLIN)) {
                char drain[64];
                while (read(wakePipe[0], drain, sizeof drain) > 0) {
                }
            }
            if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) readTerminal();
            now = clock.monotonicMs();
            bool final = decoder_.hasPending() && now - lastByteMs_ >= ESCAPE_WAIT_MS;
            size_t before = events.size();
            decoder_.take(events, final);
            for (size_t i = before; i < events.size(); ++i) {
                shift_ = events[i].shift;
                ctrl_ = events[i].ctrl;
                alt_ = events[i].alt;
            }
            bool fdReady = ready > 0 && isReady(fds[2]);
            if (events.size() > before || fdReady) return fdReady;
            if (now >= deadline && !inputEnded_ && !endSignal && !resized && !resumed) return false;
        }
    }

    void modifiers(bool& shift, bool& ctrl, bool& alt) override {
        shift = shift_;
        ctrl = ctrl_;
        alt = alt_;
    }

    bool releaseTerminal() override {
        if (!opened_ || released) return false;
        flush();
        sigset_t mask, old;
        sigfillset(&mask);
        sigprocmask(SIG_BLOCK, &mask, &old);
        giveBackTerminal();
        released = 1;
        sigprocmask(SIG_SETMASK, &old, nullptr);
        return true;
    }

    void retakeTerminal() override {
        if (!opened_ || !released) return;
        sigset_t mask, old;
        sigfillset(&mask);
        sigprocmask(SIG_BLOCK, &mask, &old);
        released = 0;
        becomeForeground();
        takeTerminal();
        sigprocmask(SIG_SETMASK, &old, nullptr);
        resized = 0;
        resumed = 0;
        querySize();
        repaint();
        // Taking the terminal saved the title the program left; ours goes up again.
        if (!title_.empty()) setTitle(title_);
    }

    void setTitle(std::string_view cp1252Title) override {
        title_ = std::string(cp1252Title);
        // The Linux console would print an OSC title as text.
        if (!opened_ || linuxConsole_) return;
        out_ += "\x1b]2;";
        for (char ch : cp1252Title) {
            uint32_t cp = cp1252ToUnicode(static_cast<uint8_t>(ch));
            // Control characters would end the sequence early or start another.
            if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) continue;
            appendUtf8(out_, cp);
        }
        out_ += '\x07';
        flush();
    }

    void beep() override {
        if (!opened_) return;
        out_ += '\x07';
        flush();
    }

private:
    static InputEvent closedEvent() {
        InputEvent e;
        e.kind = InputEvent::Closed;
        return e;
    }

    // Acts on what the signal handlers noted; true when an ending signal
    // was turned into a Break event.
    bool serviceSignals(std::vector<InputEvent>* events) {
        if (endSignal && events) {
            InputEvent e;
            e.kind = InputEvent::Break;
            events->push_back(e);
            return true;
        }
        if (!released && (resized || resumed)) {
            resized = 0;
            resumed = 0;
            querySize();
            repaint();
        }
        return false;
    }

    void readTerminal() {
        char buf[256];
        ssize_t n = read(ttyIn, buf, sizeof buf);
        if (n > 0) {
            decoder_.feed(std::string_view(buf, static_cast<size_t>(n)));
            lastByteMs_ = systemClock().monotonicMs();
        } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
            // Readable yet empty: the terminal hung up.
            inputEnded_ = true;
        }
    }

    void querySize() {
        winsize ws{};
        if (ioctl(ttyOut, TIOCGWINSZ, &ws) == 0 && ws.ws_row > 0 && ws.ws_col > 0) {
            termRows_ = ws.ws_row;
            termCols_ = ws.ws_col;
        } else {
            termRows_ = ROWS;
            termCols_ = COLS;
        }
    }

    // Nothing on the terminal can be trusted (just opened, cleared).
    void forgetTerminal() {
        for (bool& s : stale_) s = true;
        termRow_ = termCol_ = -1;
        lastFg_ = lastBg_ = -1;
        cursorShown_ = false;
    }

    // Draws every cell again on a cleared terminal.
    void repaint() {
        out_ += "\x1b[0m\x1b[?25l\x1b[H\x1b[2J";
        forgetTerminal();
        for (int i = 0; i < CELLS; ++i) {
            if (!visible(i)) continue;
            emitCell(i);
            stale_[i] = false;
        }
        flush();
    }

    bool visible(int index) const { return index / COLS < termRows_ && index % COLS < termCols_; }

    void updateCell(int index, uint8_t ch, uint8_t attr) {
        if (!stale_[index] && shownChars_[index] == ch && shownAttrs_[index] == attr) return;
        shownChars_[index] = ch;
        shownAttrs_[index] = attr;
        if (visible(index)) {
            emitCell(index);
            stale_[index] = false;
        } else {
            stale_[index] = true;
        }
    }

    void moveTo(int row, int col) {
        out_ += "\x1b[";
        appendNumber(out_, row + 1);
        out_ += ';';
        appendNumber(out_, col + 1);
        out_ += 'H';
        termRow_ = row;
        termCol_ = col;
    }

    void emitCell(int index) {
        int row = index / COLS, col = index % COLS;
        if (termRow_ != row || termCol_ != col) moveTo(row, col);
        uint8_t attr = shownAttrs_[index];
        int fg = ansi_[attr & 15], bg = ansi_[attr >> 4];
        if (fg != lastFg_ || bg != lastBg_) {
            out_ += "\x1b[";
            appendNumber(out_, fg < 8 ? 30 + fg : 90 + fg - 8);
            out_ += ';';
            appendNumber(out_, bg < 8 ? 40 + bg : 100 + bg - 8);
            out_ += 'm';
            lastFg_ = fg;
            lastBg_ = bg;
        }
        appendUtf8(out_, shownCodePoint(shownChars_[index]));
        // In the last column the cursor stays put (no autowrap): position unknown.
        termCol_ = col + 1 < termCols_ ? col + 1 : -1;
    }

    // The screen as plain text lines (UTF-8, CR LF), up to its last row that
    // holds more than blanks, trailing blanks removed.
    std::string finalText() const {
        std::string text;
        int rows = 0;
        for (int row = 0; row < ROWS; ++row)
            for (int col = 0; col < COLS; ++col)
                if (!isBlank(shownChars_[row * COLS + col])) rows = row + 1;
        for (int row = 0; row < rows; ++row) {
            const uint8_t* cells = shownChars_ + row * COLS;
            int end = COLS;
            while (end > 0 && isBlank(cells[end - 1])) --end;
            for (int col = 0; col < end; ++col) appendUtf8(text, shownCodePoint(cells[col]));
            text += "\r\n";
        }
        return text;
    }

    static bool isBlank(uint8_t ch) { return ch == ' ' || ch == 0; }

    // The character a cell shows; control codes would move the cursor or
    // start a sequence, so they show as a box.
    static uint32_t shownCodePoint(uint8_t ch) {
        uint32_t cp = cp1252ToUnicode(ch);
        return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0) ? 0xFFFD : cp;
    }

    // True when the new screen is the shown one moved up one row (a line
    // feed on the last row): the terminal can scroll instead of redrawing.
    bool scrolledByOneRow(const uint8_t* chars, const uint8_t* attrs) const {
        if (termRows_ < ROWS) return false;
        size_t body = static_cast<size_t>(COLS) * (ROWS - 1);
        if (std::memcmp(chars, shownChars_ + COLS, body) != 0 || std::memcmp(attrs, shownAttrs_ + COLS, body) != 0)
            return false;
        return std::memcmp(chars, shownChars_, CELLS) != 0 || std::memcmp(attrs, shownAttrs_, CELLS) != 0;
    }

    void scrollTerminal() {
        // Scroll region = the console's rows, a line feed on its last row, region reset.
        out_ += "\x1b[1;";
        appendNumber(out_, ROWS);
        out_ += "r\x1b[";
        appendNumber(out_, ROWS);
        out_ += ";1H\n\x1b[r";
        termRow_ = termCol_ = 0;  // resetting the region homes the cursor
        size_t body = static_cast<size_t>(COLS) * (ROWS - 1);
        std::memmove(shownChars_, shownChars_ + COLS, body);
        std::memmove(shownAttrs_, shownAttrs_ + COLS, body);
        std::memmove(stale_, stale_ + COLS, body * sizeof(bool));
        for (int i = COLS * (ROWS - 1); i < CELLS; ++i) stale_[i] = true;
    }

    // Leaves the terminal's cursor on the console's (screen readers follow
    // it) and sends what was gathered.
    void flush() {
        if (released) {
            // Drawn again in full when the terminal comes back.
            out_.clear();
            return;
        }
        int row = cursorRow_ < termRows_ ? cursorRow_ : termRows_ - 1;
        int col = cursorCol_ < termCols_ ? cursorCol_ : termCols_ - 1;
        if (termRow_ != row || termCol_ != col) moveTo(row, col);
        if (cursorVisible_ != cursorShown_) {
            out_ += cursorVisible_ ? "\x1b[?25h" : "\x1b[?25l";
            cursorShown_ = cursorVisible_;
        }
        if (!out_.empty()) writeAll(ttyOut, out_.data(), out_.size());
        out_.clear();
    }

    KeyDecoder decoder_;
    bool leaveLastScreen_;
    std::string out_;
    std::string title_;
    bool opened_ = false;
    bool linuxConsole_ = false;
    uint8_t shownChars_[CELLS] = {};
    uint8_t shownAttrs_[CELLS] = {};
    bool stale_[CELLS] = {};
    int ansi_[16] = {};
    int termRows_ = ROWS, termCols_ = COLS;
    int termRow_ = -1, termCol_ = -1;  // the terminal's cursor, -1 when unknown
    int lastFg_ = -1, lastBg_ = -1;    // colours last selected on the terminal
    int cursorCol_ = 0, cursorRow_ = 0;
    bool cursorVisible_ = false, cursorShown_ = false;
    int64_t lastByteMs_ = 0;
    bool inputEnded_ = false;
    bool shift_ = false, ctrl_ = false, alt_ = false;
};

} // namespace

int ansiColourForPalette(int paletteIndex) {
    if (paletteIndex < 0 || paletteIndex > 15) return 0;
    const Rgb& p = PALETTE[paletteIndex];
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < 16; ++i) {
        long dr = p.r - ANSI[i].r, dg = p.g - ANSI[i].g, db = p.b - ANSI[i].b;
        long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

std::unique_ptr<ConsoleBackend> makeTerminalConsole(bool leaveLastScreen) {
    return std::make_unique<TerminalConsole>(leaveLastScreen);
}
