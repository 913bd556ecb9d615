// The preview on X11 with raw Xlib and GLX: a child window of the given X
// window at the parent's size (or, for 0, an override-redirect top-level
// window of the screen's size that takes the keyboard focus), its own event
// loop, and a pump thread that sends the window an Expose event every 40 ms
// over a connection of its own, so that the two threads share no Xlib state.
// The preview ends when the parent (and so our child) is destroyed, or when
// the pump sees the stop request and sends the window our end message.
#include <GL/gl.h>
#include <GL/glu.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "host/funcs_password.h"
#include "host/funcs_preview.h"
#include "host/modes.h"
#include "platform/linux/glx_context.h"
#include "platform/linux/x11_gl_window.h"

namespace {

constexpr const char* kEndAtomName = "_PRISMORA_PREVIEW_END";

// Errors are answered by the requests that cause them (a window that vanished
// meanwhile); Xlib's default handler would end the process instead.
// The pump thread's connection reports through the same handler.
std::atomic<int> lastErrorCode{0};
int RecordError(Display*, XErrorEvent* e) {
  lastErrorCode = e->error_code;
  return 0;
}

struct Geometry {
  int width = 0, height = 0;
};

// The size of `parent`, or false when the id names no window.
bool ParentGeometry(Display* d, Window parent, Geometry& g) {
  lastErrorCode = 0;
  XWindowAttributes attributes{};
  const Status ok = XGetWindowAttributes(d, parent, &attributes);
  XSync(d, False);
  if (!ok || lastErrorCode) return false;
  g.width = attributes.width;
  g.height = attributes.height;
  return true;
}

void SendToWindow(Display* d, Window w, XEvent& e) {
  XSendEvent(d, w, False, NoEventMask, &e);
  XFlush(d);
}

// The pump thread, on an X connection of its own: an Expose event every
// 40 ms until StopRequested, then our end message (the window's destroy).
void PreviewPump(Window target) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return;
  XEvent expose{};
  expose.type = Expose;
  expose.xexpose.window = target;
  XEvent end{};
  end.type = ClientMessage;
  end.xclient.window = target;
  end.xclient.message_type = XInternAtom(d, kEndAtomName, False);
  end.xclient.format = 32;
  funcs::PreviewPumpLoop([&] { SendToWindow(d, target, expose); },
                         [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); },
                         [&] { SendToWindow(d, target, end); });
  XCloseDisplay(d);
}

// One frame: clear colour and depth, DrawFrame, swap the current drawable,
// then the pause that paces the preview.
void PaintPreview() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  Gradient::DrawFrame(Gradient::Pattern);
  glx::SwapCurrent();
  std::this_thread::sleep_for(std::chrono::milliseconds(funcs::kPreviewFrameMs));
}

// The preview variant of the surface: no depth buffer, the context current on
// this thread for the rest of the process, the projection without a viewport
// call (a new context's viewport is the whole window), black clear colour.
void SetupPreviewSurface(Display* d, Window w, XVisualInfo* visual) {
  glx::MakeCurrent(d, w, glx::CreateContext(d, visual));
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, 1.0, 0.1, 100.0);
  glMatrixMode(GL_MODELVIEW);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

class PreviewWindow {
 public:
  PreviewWindow(Display* d, Window parent, bool topLevel) : d_(d), parent_(parent), topLevel_(topLevel) {}
  bool Create(const Geometry& g);
  void Loop();
  Window Handle() const { return window_; }

 private:
  bool Ends(const XEvent& e) const;

  Display* d_;
  Window parent_;
  bool topLevel_;
  Window window_ = 0;
  Atom endAtom_ = None;
};

bool PreviewWindow::Create(const Geometry& g) {
  XVisualInfo* visual = glx::ChooseVisual(d_, DefaultScreen(d_), 32, 0);  // 32 colour bits, no depth
  // The child is disabled on its parent's behalf: it takes no input. The
  // top-level window takes keys. Pointer input is never selected: ignored.
  const long mask = ExposureMask | StructureNotifyMask | (topLevel_ ? KeyPressMask : 0);
  lastErrorCode = 0;
  window_ = glx::CreateDrawableWindow(d_, parent_, visual, 0, 0, g.width, g.height, mask, topLevel_);
  if (!topLevel_) XSelectInput(d_, parent_, StructureNotifyMask);  // to learn of the parent's end
  XSync(d_, False);
  if (!window_ || lastErrorCode) {
    if (visual) XFree(visual);
    return false;
  }
  endAtom_ = XInternAtom(d_, kEndAtomName, False);
  funcs::InitPreviewPattern(Gradient::Pattern);
  SetupPreviewSurface(d_, window_, visual);
  if (visual) XFree(visual);
  if (topLevel_) {
    XRaiseWindow(d_, window_);
    XSetInputFocus(d_, window_, RevertToParent, CurrentTime);
  }
  return true;
}

bool PreviewWindow::Ends(const XEvent& e) const {
  if (e.type == DestroyNotify) return e.xdestroywindow.window == window_ || e.xdestroywindow.window == parent_;
  return e.type == ClientMessage && e.xclient.window == window_ && e.xclient.message_type == endAtom_;
}

void PreviewWindow::Loop() {
  for (;;) {
    XEvent e;
    XNextEvent(d_, &e);
    if (Ends(e)) return;
    if (e.type == Expose && e.xexpose.window == window_) {
      // Pending redraw requests make one frame, as an invalid region does.
      XEvent more;
      while (XCheckTypedWindowEvent(d_, window_, Expose, &more)) {
      }
      PaintPreview();
    } else if (e.type == KeyPress) {
      funcs::StopRequested = CheckSaverPassword(window_);
    }
  }
}

}  // namespace

// Returns the exit status: 0 when the preview window is gone, 1 with a
// one-line message when there is no display or the id names no window.
int RunPreview(uint32_t parentWindow) {
  funcs::PreviewMode = true;
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    std::fprintf(stderr, "prismora: cannot open the X display\n");
    return 1;
  }
  XSetErrorHandler(RecordError);
  const bool topLevel = parentWindow == 0;
  const Window parent = topLevel ? DefaultRootWindow(d) : static_cast<Window>(parentWindow);
  Geometry g;
  if (!ParentGeometry(d, parent, g)) {
    std::fprintf(stderr, "prismora: there is no X window 0x%lx to preview in\n", static_cast<unsigned long>(parent));
    XCloseDisplay(d);
    return 1;
  }
  PreviewWindow preview(d, parent, topLevel);
  if (!preview.Create(g)) {
    std::fprintf(stderr, "prismora: cannot make the preview window in 0x%lx\n", static_cast<unsigned long>(parent));
    XCloseDisplay(d);
    return 1;
  }
  std::thread pump(PreviewPump, preview.Handle());
  preview.Loop();
  // The window is gone: let the pump finish its last sleep rather than leave
  // it sending to a window that no longer exists while the process ends.
  funcs::StopRequested = true;
  pump.join();
  return 0;
}
