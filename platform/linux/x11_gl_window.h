// The X windows that OpenGL draws to: a child window with the visual that
// GLX chose, placed inside a parent window.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace glx {

// Creates and maps a child of `parent` at (x, y) with the given size. With a
// null visual the parent's visual is used (nothing will draw there). Only
// `eventMask` is selected: input the window does not select passes on to
// the parent. Returns 0 on failure.
Window CreateDrawableWindow(Display* display, Window parent, XVisualInfo* visual, int x, int y, int width,
                            int height, long eventMask, bool overrideRedirect = false);

}  // namespace glx
