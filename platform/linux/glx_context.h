// OpenGL contexts on GLX: the visual for a pixel format request, a direct
// context, making it current, swapping the current drawable and releasing.
// Shared by the forms' GL surfaces and the preview window; the windows the
// contexts draw to are made in x11_gl_window.cpp.
#pragma once

#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace glx {

// A double-buffered RGBA visual with at least the requested colour bits and
// the requested depth bits (none preferred for 0); null when there is none.
// The caller frees it with XFree.
XVisualInfo* ChooseVisual(Display* display, int screen, int colourBits, int depthBits);

// A direct rendering context for the visual (indirect if direct fails);
// null on failure.
GLXContext CreateContext(Display* display, XVisualInfo* visual);

// Makes the context current on the calling thread for the drawable.
void MakeCurrent(Display* display, GLXDrawable drawable, GLXContext context);

// Swaps the buffers of whatever drawable is current on the calling thread.
void SwapCurrent();

// Makes nothing current (if the context is) and deletes the context.
void Release(Display* display, GLXContext context);

}  // namespace glx
