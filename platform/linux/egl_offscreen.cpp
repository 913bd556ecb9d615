// An offscreen context on EGL: Mesa's surfaceless platform needs no X server
// or compositor; where the driver lacks it, the default display. Desktop
// OpenGL on a 1 x 1 pbuffer; the drawing goes to framebuffer objects.
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstring>

#include "platform/offscreen_gl.h"

namespace ui {

namespace {

EGLDisplay OffscreenDisplay() {
  const char* extensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (extensions && std::strstr(extensions, "EGL_MESA_platform_surfaceless") && getPlatformDisplay) {
    EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (d != EGL_NO_DISPLAY && eglInitialize(d, &major, &minor)) return d;
  }
  EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  EGLint major = 0, minor = 0;
  if (d != EGL_NO_DISPLAY && eglInitialize(d, &major, &minor)) return d;
  return EGL_NO_DISPLAY;
}

EGLConfig PbufferConfig(EGLDisplay display) {
  const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                           EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (!eglChooseConfig(display, wanted, &config, 1, &count) || count < 1) return nullptr;
  return config;
}

// The display is not terminated, as the layer window's is not (Mesa's
// caches would show as leaks in sanitizer builds); the process ends soon.
class EglOffscreen : public OffscreenGL {
 public:
  EglOffscreen(EGLDisplay d, EGLSurface s, EGLContext c) : display_(d), surface_(s), context_(c) {}
  ~EglOffscreen() override {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display_, context_);
    eglDestroySurface(display_, surface_);
  }

 private:
  EGLDisplay display_;
  EGLSurface surface_;
  EGLContext context_;
};

}  // namespace

std::unique_ptr<OffscreenGL> OpenOffscreenGL(std::string& why) {
  const EGLDisplay display = OffscreenDisplay();
  if (display == EGL_NO_DISPLAY) {
    why = "no EGL display (Debian: libegl-mesa0)";
    return nullptr;
  }
  const EGLConfig config = eglBindAPI(EGL_OPENGL_API) ? PbufferConfig(display) : nullptr;
  if (!config) {
    why = "EGL offers no desktop OpenGL on a pbuffer";
    return nullptr;
  }
  const EGLint size[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
  const EGLSurface surface = eglCreatePbufferSurface(display, config, size);
  const EGLContext context =
      surface == EGL_NO_SURFACE ? EGL_NO_CONTEXT : eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
  if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, surface, surface, context)) {
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
    why = "cannot make an OpenGL context with EGL";
    return nullptr;
  }
  return std::make_unique<EglOffscreen>(display, surface, context);
}

}  // namespace ui
