// What the window console asks of X11 itself, kept apart from the rest so
// Xlib's macros (None, Bool, ...) stay out of the backend's code.
#pragma once

struct SDL_Window;

// The X11 id of an SDL window, 0 when it is not an X11 window.
unsigned long x11WindowId(SDL_Window* window);
// Rings the bell of the window's display.
void x11Bell(SDL_Window* window);
