// EGL display, configuration, context and window surfaces on Wayland.
#include "platform/wayland/egl_context.h"

#include <EGL/eglext.h>

#include <cstring>
#include <vector>

namespace egl {

namespace {

EGLDisplay DisplayOf(wl_display* display) {
  // The platform display where EGL 1.5 or the extension has it; older
  // drivers guess the platform from the native display.
  const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  const bool wayland = extensions && (std::strstr(extensions, "EGL_KHR_platform_wayland") ||
                                      std::strstr(extensions, "EGL_EXT_platform_wayland"));
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (wayland && getPlatformDisplay) return getPlatformDisplay(EGL_PLATFORM_WAYLAND_KHR, display, nullptr);
  return eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(display));
}

// eglChooseConfig takes the sizes as minimums and puts deeper configurations
// first: a configuration with alpha would make the pattern's clear colour
// (alpha 0) show the layers below. Only an opaque one is taken.
EGLConfig OpaqueConfig(EGLDisplay display) {
  const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_WINDOW_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_RED_SIZE, 8,
                           EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 0, EGL_NONE};
  EGLint count = 0;
  if (!eglChooseConfig(display, wanted, nullptr, 0, &count) || count <= 0) return nullptr;
  std::vector<EGLConfig> configs(static_cast<size_t>(count));
  eglChooseConfig(display, wanted, configs.data(), count, &count);
  for (EGLConfig config : configs) {
    EGLint alpha = -1, red = 0;
    eglGetConfigAttrib(display, config, EGL_ALPHA_SIZE, &alpha);
    eglGetConfigAttrib(display, config, EGL_RED_SIZE, &red);
    if (alpha == 0 && red == 8) return config;
  }
  return nullptr;
}

}  // namespace

bool Open(wl_display* display, Context& c) {
  c.display = DisplayOf(display);
  if (c.display == EGL_NO_DISPLAY) return false;
  EGLint major = 0, minor = 0;
  if (!eglInitialize(c.display, &major, &minor)) {
    c.display = EGL_NO_DISPLAY;
    return false;
  }
  c.config = eglBindAPI(EGL_OPENGL_API) ? OpaqueConfig(c.display) : nullptr;
  if (c.config) c.context = eglCreateContext(c.display, c.config, EGL_NO_CONTEXT, nullptr);
  if (c.context == EGL_NO_CONTEXT) {
    Close(c);
    return false;
  }
  return true;
}

EGLSurface MakeSurface(const Context& c, wl_egl_window* window) {
  return eglCreateWindowSurface(c.display, c.config, reinterpret_cast<EGLNativeWindowType>(window), nullptr);
}

bool MakeCurrent(const Context& c, EGLSurface surface, bool firstTime) {
  if (!eglMakeCurrent(c.display, surface, surface, c.context)) return false;
  if (firstTime) eglSwapInterval(c.display, 0);
  return true;
}

bool Swap(const Context& c, EGLSurface surface) { return eglSwapBuffers(c.display, surface); }

void DestroySurface(const Context& c, EGLSurface surface) {
  if (surface == EGL_NO_SURFACE) return;
  if (eglGetCurrentSurface(EGL_DRAW) == surface) eglMakeCurrent(c.display, EGL_NO_SURFACE, EGL_NO_SURFACE, c.context);
  eglDestroySurface(c.display, surface);
}

// The display is not terminated: that unloads Mesa's driver, whose caches
// would then be reported as leaks in sanitizer builds, and the process ends
// right after (the X11 window keeps its connection for the same reason).
void Close(Context& c) {
  if (c.display == EGL_NO_DISPLAY) return;
  eglMakeCurrent(c.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  if (c.context != EGL_NO_CONTEXT) eglDestroyContext(c.display, c.context);
  c = Context();
}

}  // namespace egl
