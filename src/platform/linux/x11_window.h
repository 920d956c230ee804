// What the window console asks of X11 itself, kept apart from the rest so
// Xlib's macros (None, Bool, ...) stay out of the backend's code.
#pragma once

struct SDL_Window;

// The X11 id of an SDL window, 0 when it is not an X11 window.
unsigned long x11WindowId(SDL_Window* window);
// Rings the bell of the window's display.
void x11Bell(SDL_Window* window);
// Makes X errors about windows that no longer exist harmless (before SDL
// starts its video): SDL wakes a waiting event loop by sending a message to
// the window over a second connection, and when the window is destroyed
// meanwhile (the program ending), Xlib's default handler would end the
// process with status 1. Other errors go to the handler that was in place.
void x11IgnoreVanishedWindows();
