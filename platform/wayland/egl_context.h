// EGL on a Wayland connection for the layer-shell window: one desktop-OpenGL
// context (the GL 1.1 mesh code of every other surface) and one window
// surface per output's wl_egl_window. Only EGL calls; the window file owns
// the Wayland objects.
#pragma once

#include <EGL/egl.h>
#include <wayland-client.h>
#include <wayland-egl.h>

namespace egl {

struct Context {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  EGLContext context = EGL_NO_CONTEXT;
};

// Initialises EGL on the connection and makes the context. False (with
// nothing left open) when EGL, desktop OpenGL or an opaque RGB window
// configuration cannot be had.
bool Open(wl_display* display, Context& c);
EGLSurface MakeSurface(const Context& c, wl_egl_window* window);
// Makes the context current on the surface; the first time for a surface
// also sets its swap interval to 0, so that a swap never waits for the
// compositor's frame callback (the window asks for each surface's callback
// itself and draws on it, and one covered output must not hold up the others).
bool MakeCurrent(const Context& c, EGLSurface surface, bool firstTime);
bool Swap(const Context& c, EGLSurface surface);
void DestroySurface(const Context& c, EGLSurface surface);
void Close(Context& c);

}  // namespace egl
