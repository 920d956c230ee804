// X11 connections that never end the program, and property reads.
#include "platform/linux/x11_support.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex connectionsMutex;
// Our connections, and whether each has broken. Few and never closed.
struct OurConnection {
    Display* display;
    std::atomic<bool> lost{false};
};
OurConnection connections[4];
// Error handlers run on the clipboard's thread too: a connection is
// filled in before the count lets them see it.
std::atomic<int> connectionCount{0};
XErrorHandler previousErrorHandler = nullptr;
XIOErrorHandler previousIoErrorHandler = nullptr;

OurConnection* ours(Display* display) {
    int count = connectionCount.load();
    for (int i = 0; i < count; ++i)
        if (connections[i].display == display) return &connections[i];
    return nullptr;
}

// A window that vanished between the list and the question is normal on a
// desktop; errors on other connections (a window backend's) go on to the
// handler that was there before.
int ignoreOurErrors(Display* display, XErrorEvent* error) {
    if (ours(display) || !previousErrorHandler) return 0;
    return previousErrorHandler(display, error);
}

// Called instead of exit() when a connection of ours breaks (the display
// server ended): the connection is marked and every later call on it
// returns at once.
void connectionBroke(Display* display, void*) {
    static std::atomic<bool> told{false};
    if (OurConnection* c = ours(display)) {
        c->lost = true;
        if (!told.exchange(true))
            std::fprintf(stderr, "%s: the X display went away\n", program_invocation_short_name);
    }
}

// Xlib's own handler ends the program; ours lets connectionBroke take over.
int ioError(Display* display) {
    if (ours(display) || !previousIoErrorHandler) return 0;
    return previousIoErrorHandler(display);
}

} // namespace

Display* openX11Display() {
    std::lock_guard<std::mutex> lock(connectionsMutex);
    int count = connectionCount.load();
    if (count == static_cast<int>(std::size(connections))) return nullptr;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return nullptr;
    static bool initialised = false;
    if (!initialised) {
        // Our clipboard answers other programs from a thread of its own.
        XInitThreads();
        initialised = true;
    }
    Display* display = XOpenDisplay(name);
    if (!display) return nullptr;
    if (count == 0) {
        previousErrorHandler = XSetErrorHandler(ignoreOurErrors);
        previousIoErrorHandler = XSetIOErrorHandler(ioError);
    }
    connections[count].display = display;
    connectionCount.store(count + 1);
    XSetIOErrorExitHandler(display, connectionBroke, nullptr);
    return display;
}

bool x11ConnectionLost(Display* display) {
    OurConnection* c = ours(display);
    return c && c->lost.load();
}

Atom x11Atom(Display* display, const char* name) { return XInternAtom(display, name, False); }

std::vector<unsigned long> x11CardinalProperty(Display* display, Window window, Atom property) {
    std::vector<unsigned long> values;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 65536, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) != Success)
        return values;
    if (data && format == 32) {
        // Xlib hands 32-bit items over as longs.
        const unsigned long* items = reinterpret_cast<const unsigned long*>(data);
        values.assign(items, items + count);
    }
    if (data) XFree(data);
    return values;
}

std::string x11WindowTitle(Display* display, Window window) {
    std::string title;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, x11Atom(display, "_NET_WM_NAME"), 0, 4096, False,
                           x11Atom(display, "UTF8_STRING"), &type, &format, &count, &after,
                           &data) == Success &&
        data && format == 8 && count > 0)
        title.assign(reinterpret_cast<const char*>(data), count);
    if (data) XFree(data);
    if (!title.empty()) return title;
    XTextProperty text;
    if (XGetWMName(display, window, &text) && text.value) {
        char** list = nullptr;
        int n = 0;
        if (Xutf8TextPropertyToTextList(display, &text, &list, &n) >= Success && list) {
            if (n > 0 && list[0]) title = list[0];
            XFreeStringList(list);
        }
        XFree(text.value);
    }
    return title;
}
