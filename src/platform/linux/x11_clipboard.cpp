// The X CLIPBOARD selection. Holding a selection means answering every
// other program's request for it for as long as we hold it, whatever the
// interpreter is doing, so a thread of ours serves it on a connection of its
// own. The interpreter's thread hands it work (take the clipboard with this
// text, fetch the clipboard's text) and waits for the outcome.
#include "platform/clipboard.h"

#include "platform/encoding.h"
#include "platform/linux/x11_support.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// How long we wait for another program to hand over its clipboard text.
constexpr int FETCH_LIMIT_MS = 2000;

std::string latin1ToUtf8(std::string_view text) {
    std::string out;
    for (char c : text) appendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

std::string utf8ToLatin1(std::string_view text) {
    std::string cp = utf8ToCp1252(text);
    // Latin-1 has nothing where Windows-1252 puts its 0x80..0x9F characters.
    for (char& c : cp) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x80 && u < 0xA0) c = '?';
    }
    return cp;
}

class ClipboardServer {
public:
    explicit ClipboardServer(Display* display) : d_(display) {
        Window root = DefaultRootWindow(d_);
        window_ = XCreateSimpleWindow(d_, root, 0, 0, 1, 1, 0, 0, 0);
        XSelectInput(d_, window_, PropertyChangeMask);
        clipboard_ = x11Atom(d_, "CLIPBOARD");
        utf8_ = x11Atom(d_, "UTF8_STRING");
        targets_ = x11Atom(d_, "TARGETS");
        text_ = x11Atom(d_, "TEXT");
        textPlainUtf8_ = x11Atom(d_, "text/plain;charset=utf-8");
        timestamp_ = x11Atom(d_, "TIMESTAMP");
        incr_ = x11Atom(d_, "INCR");
        stamp_ = x11Atom(d_, "ONDARIA_STAMP");
        incoming_ = x11Atom(d_, "ONDARIA_CLIPBOARD");
        XFlush(d_);
        if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
        std::thread([this] { serve(); }).detach();
    }

    bool set(std::string_view utf8) {
        std::unique_lock<std::mutex> lock(m_);
        if (dead_) return false;
        pendingText_ = std::string(utf8);
        setWanted_ = true;
        long serial = ++setSerial_;
        wake();
        cv_.wait_for(lock, std::chrono::milliseconds(FETCH_LIMIT_MS),
                     [&] { return dead_ || setDoneSerial_ >= serial; });
        return !dead_;
    }

    bool get(std::string& utf8) {
        std::unique_lock<std::mutex> lock(m_);
        if (dead_) return false;
        if (owning_) {
            utf8 = ownText_;
            return true;
        }
        long serial = ++getSerial_;
        getWanted_ = true;
        wake();
        bool done = cv_.wait_for(lock, std::chrono::milliseconds(FETCH_LIMIT_MS),
                                 [&] { return dead_ || getDoneSerial_ >= serial; });
        if (dead_) return false;
        utf8 = done ? fetched_ : std::string();
        return true;
    }

private:
    void wake() {
        char b = 1;
        if (wake_[1] >= 0) [[maybe_unused]] ssize_t n = write(wake_[1], &b, 1);
    }

    void serve() {
        pollfd fds[2] = {{ConnectionNumber(d_), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        while (true) {
            {
                std::lock_guard<std::mutex> lock(m_);
                if (x11ConnectionLost(d_)) {
                    dead_ = true;
                    cv_.notify_all();
                    return;
                }
                if (setWanted_) {
                    setWanted_ = false;
                    // A server timestamp for the ownership: an empty append to
                    // a property of ours comes back as a PropertyNotify.
                    XChangeProperty(d_, window_, stamp_, XA_STRING, 8, PropModeAppend, nullptr, 0);
                    stampSerial_ = setSerial_;
                }
                if (getWanted_) {
                    getWanted_ = false;
                    startFetch();
                }
            }
            XFlush(d_);
            while (XPending(d_) > 0) {
                XEvent e;
                XNextEvent(d_, &e);
                std::lock_guard<std::mutex> lock(m_);
                handle(e);
            }
            if (poll(fds, 2, -1) > 0 && (fds[1].revents & POLLIN)) {
                char buffer[64];
                while (read(wake_[0], buffer, sizeof buffer) > 0) {}
            }
        }
    }

    void startFetch() {
        fetchSerial_ = getSerial_;
        if (XGetSelectionOwner(d_, clipboard_) == None) {
            finishFetch("");
            return;
        }
        fetchTarget_ = utf8_;
        XConvertSelection(d_, clipboard_, utf8_, incoming_, window_, CurrentTime);
    }

    void finishFetch(std::string text) {
        fetched_ = std::move(text);
        getDoneSerial_ = fetchSerial_;
        cv_.notify_all();
    }

    void handle(const XEvent& e) {
        switch (e.type) {
        case PropertyNotify:
            if (e.xproperty.atom == stamp_ && e.xproperty.window == window_ && stampSerial_ > 0) {
                ownText_ = pendingText_;
                ownTime_ = e.xproperty.time;
                XSetSelectionOwner(d_, clipboard_, window_, ownTime_);
                owning_ = XGetSelectionOwner(d_, clipboard_) == window_;
                setDoneSerial_ = stampSerial_;
                stampSerial_ = 0;
                cv_.notify_all();
            }
            break;
        case SelectionClear:
            if (e.xselectionclear.selection == clipboard_) {
                owning_ = false;
                ownText_.clear();
            }
            break;
        case SelectionRequest:
            answer(e.xselectionrequest);
            break;
        case SelectionNotify:
            received(e.xselection);
            break;
        default:
            break;
        }
    }

    void received(const XSelectionEvent& s) {
        if (s.selection != clipboard_ || fetchSerial_ == getDoneSerial_) return;
        if (s.property == None) {
            // No UTF-8 on offer: ask for Latin-1 text before giving up.
            if (fetchTarget_ == utf8_) {
                fetchTarget_ = XA_STRING;
                XConvertSelection(d_, clipboard_, XA_STRING, incoming_, window_, CurrentTime);
            } else {
                finishFetch("");
            }
            return;
        }
        Atom type;
        int format;
        unsigned long count, after;
        unsigned char* data = nullptr;
        std::string text;
        if (XGetWindowProperty(d_, window_, incoming_, 0, 1 << 20, True, AnyPropertyType, &type, &format,
                               &count, &after, &data) == Success &&
            data && format == 8 && type != incr_) {
            // An incremental transfer is for texts far longer than any
            // script takes; such a clipboard reads as empty.
            text.assign(reinterpret_cast<const char*>(data), count);
            if (type == XA_STRING) text = latin1ToUtf8(text);
        }
        if (data) XFree(data);
        finishFetch(std::move(text));
    }

    void answer(const XSelectionRequestEvent& r) {
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = r.requestor;
        reply.xselection.selection = r.selection;
        reply.xselection.target = r.target;
        reply.xselection.time = r.time;
        reply.xselection.property = None;
        bool ours = r.selection == clipboard_ && owning_ && (r.time == CurrentTime || r.time >= ownTime_);
        Atom property = r.property == None ? r.target : r.property;
        if (ours) {
            long limit = XMaxRequestSize(d_) * 4 - 256;
            if (r.target == targets_) {
                Atom list[] = {targets_, timestamp_, utf8_, textPlainUtf8_, XA_STRING, text_};
                XChangeProperty(d_, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<unsigned char*>(list), std::size(list));
                reply.xselection.property = property;
            } else if (r.target == timestamp_) {
                long stamp = static_cast<long>(ownTime_);
                XChangeProperty(d_, r.requestor, property, XA_INTEGER, 32, PropModeReplace,
                                reinterpret_cast<unsigned char*>(&stamp), 1);
                reply.xselection.property = property;
            } else if (r.target == utf8_ || r.target == textPlainUtf8_ || r.target == XA_STRING ||
                       r.target == text_) {
                bool latin1 = r.target == XA_STRING || r.target == text_;
                std::string data = latin1 ? utf8ToLatin1(ownText_) : ownText_;
                if (static_cast<long>(data.size()) < limit) {
                    XChangeProperty(d_, r.requestor, property, latin1 ? XA_STRING : r.target, 8,
                                    PropModeReplace, reinterpret_cast<const unsigned char*>(data.data()),
                                    static_cast<int>(data.size()));
                    reply.xselection.property = property;
                }
            }
        }
        XSendEvent(d_, r.requestor, False, NoEventMask, &reply);
    }

    Display* d_;
    Window window_;
    Atom clipboard_, utf8_, targets_, text_, textPlainUtf8_, timestamp_, incr_, stamp_, incoming_;
    int wake_[2] = {-1, -1};

    // Shared with the interpreter's thread, under m_.
    std::mutex m_;
    std::condition_variable cv_;
    bool dead_ = false;
    bool owning_ = false;
    std::string ownText_, pendingText_, fetched_;
    Time ownTime_ = 0;
    Atom fetchTarget_ = None;
    bool setWanted_ = false, getWanted_ = false;
    long setSerial_ = 0, setDoneSerial_ = 0, stampSerial_ = 0;
    long getSerial_ = 0, getDoneSerial_ = 0, fetchSerial_ = 0;
};

// Made at the first use and kept, with its thread, for the whole process.
ClipboardServer* server() {
    static ClipboardServer* s = [] {
        Display* d = openX11Display();
        return d ? new ClipboardServer(d) : nullptr;
    }();
    return s;
}

} // namespace

bool setDesktopClipboard(std::string_view cp1252Text) {
    ClipboardServer* s = server();
    return s && s->set(cp1252ToUtf8(cp1252Text));
}

bool getDesktopClipboard(std::string& cp1252Text) {
    ClipboardServer* s = server();
    std::string utf8;
    if (!s || !s->get(utf8)) return false;
    cp1252Text = utf8ToCp1252(utf8);
    return true;
}
