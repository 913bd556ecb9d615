// GLX contexts: visual choice, creation, current context, swap and release.
#include "platform/linux/glx_context.h"

namespace glx {

XVisualInfo* ChooseVisual(Display* display, int screen, int colourBits, int depthBits) {
  // 32 colour bits: 8 for each of red, green and blue (alpha is not asked for,
  // as a 32-bit Windows format does not count it either).
  const int channel = colourBits >= 24 ? 8 : (colourBits >= 15 ? 5 : 1);
  int attributes[] = {GLX_RGBA,      GLX_DOUBLEBUFFER, GLX_RED_SIZE,   channel,   GLX_GREEN_SIZE, channel,
                      GLX_BLUE_SIZE, channel,          GLX_DEPTH_SIZE, depthBits, None};
  if (XVisualInfo* v = glXChooseVisual(display, screen, attributes)) return v;
  // As the nearest-match choice on Windows would: take any double-buffered
  // RGBA visual with the depth buffer rather than none at all.
  int fallback[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_DEPTH_SIZE, depthBits, None};
  return glXChooseVisual(display, screen, fallback);
}

GLXContext CreateContext(Display* display, XVisualInfo* visual) {
  if (!visual) return nullptr;
  GLXContext context = glXCreateContext(display, visual, nullptr, True);
  if (!context) context = glXCreateContext(display, visual, nullptr, False);
  return context;
}

void MakeCurrent(Display* display, GLXDrawable drawable, GLXContext context) {
  if (context)
    glXMakeCurrent(display, drawable, context);
  else
    glXMakeCurrent(display, None, nullptr);
}

void SwapCurrent() {
  Display* display = glXGetCurrentDisplay();
  const GLXDrawable drawable = glXGetCurrentDrawable();
  if (display && drawable) glXSwapBuffers(display, drawable);
}

void Release(Display* display, GLXContext context) {
  if (!context) return;
  if (glXGetCurrentContext() == context) glXMakeCurrent(display, None, nullptr);
  glXDestroyContext(display, context);
}

}  // namespace glx
