// X11 details of the window console's SDL window.
#include "platform/linux/x11_window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

namespace {

XErrorHandler previousHandler = nullptr;

int ignoreVanishedWindow(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow || !previousHandler) return 0;
    return previousHandler(display, error);
}

bool x11Info(SDL_Window* window, SDL_SysWMinfo& info) {
    SDL_VERSION(&info.version);
    return window && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11;
}

} // namespace

unsigned long x11WindowId(SDL_Window* window) {
    SDL_SysWMinfo info;
    return x11Info(window, info) ? info.info.x11.window : 0;
}

void x11Bell(SDL_Window* window) {
    SDL_SysWMinfo info;
    if (!x11Info(window, info)) return;
    XBell(info.info.x11.display, 0);
    XFlush(info.info.x11.display);
}

void x11IgnoreVanishedWindows() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    previousHandler = XSetErrorHandler(ignoreVanishedWindow);
}
