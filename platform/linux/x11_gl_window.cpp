// Child windows for OpenGL drawing.
#include "platform/linux/x11_gl_window.h"

namespace glx {

Window CreateDrawableWindow(Display* display, Window parent, XVisualInfo* visual, int x, int y, int width,
                            int height, long eventMask, bool overrideRedirect) {
  if (width < 1) width = 1;
  if (height < 1) height = 1;
  XSetWindowAttributes attributes{};
  unsigned long mask = CWEventMask | CWBorderPixel | CWBackPixmap;
  attributes.event_mask = eventMask;
  attributes.border_pixel = 0;
  attributes.background_pixmap = None;  // no clearing by the server: GL paints every pixel
  int depth = CopyFromParent;
  Visual* xvisual = CopyFromParent;
  if (visual) {
    // A visual other than the parent's needs a colour map of its own.
    attributes.colormap = XCreateColormap(display, RootWindow(display, visual->screen), visual->visual, AllocNone);
    mask |= CWColormap;
    depth = visual->depth;
    xvisual = visual->visual;
  }
  if (overrideRedirect) {
    attributes.override_redirect = True;
    mask |= CWOverrideRedirect;
  }
  const Window window = XCreateWindow(display, parent, x, y, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), 0, depth, InputOutput, xvisual, mask,
                                      &attributes);
  if (window) XMapWindow(display, window);
  return window;
}

}  // namespace glx
