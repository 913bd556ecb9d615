// The embedded GL window on raw Xlib and GLX, on an X connection of its own
// (FLTK plays no part): a child of the given window, drawing on the given
// window itself, or an override-redirect screen-sized window that takes the
// keyboard focus. The event loop waits on the X connection, the loop's
// wake-up (Invalidate and RequestEnd from other threads and signal handlers)
// and the time of a paint asked for. While the window cannot be seen
// (covered, unmapped, its monitor off) it paints nothing, and paints at once
// when it can be seen again.
// gl_window.h (and ui.h) before the X headers: X11 defines None as a macro,
// which the layer's enumerations must not meet.
#include "platform/gl_window.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "platform/linux/glx_context.h"
#include "platform/linux/loop_wake.h"
#include "platform/linux/x11_gl_window.h"
#include "platform/linux/x11_root_cover.h"
#include "platform/linux/x11_visibility.h"

namespace ui {

namespace {

// Errors are answered by the requests that cause them (a window that vanished
// meanwhile); Xlib's default handler would end the process instead.
std::atomic<int> lastErrorCode{0};
int RecordError(Display*, XErrorEvent* e) {
  lastErrorCode = e->error_code;
  return 0;
}

// True when the window exists; its attributes in `a`.
bool WindowAttributes(Display* d, Window w, XWindowAttributes& a) {
  lastErrorCode = 0;
  const Status ok = XGetWindowAttributes(d, w, &a);
  XSync(d, False);
  return ok && !lastErrorCode;
}

// The GLX visual of the window's own visual, when OpenGL can draw on it
// double-buffered in RGBA; null otherwise. The caller frees it with XFree.
XVisualInfo* GLVisualOf(Display* d, const XWindowAttributes& a) {
  XVisualInfo pattern{};
  pattern.visualid = XVisualIDFromVisual(a.visual);
  pattern.screen = XScreenNumberOfScreen(a.screen);
  int count = 0;
  XVisualInfo* v = XGetVisualInfo(d, VisualIDMask | VisualScreenMask, &pattern, &count);
  if (!v) return nullptr;
  int gl = 0, rgba = 0, doubleBuffer = 0;
  glXGetConfig(d, v, GLX_USE_GL, &gl);
  glXGetConfig(d, v, GLX_RGBA, &rgba);
  glXGetConfig(d, v, GLX_DOUBLEBUFFER, &doubleBuffer);
  if (gl && rgba && doubleBuffer) return v;
  XFree(v);
  return nullptr;
}

using Clock = std::chrono::steady_clock;

class X11GLWindow : public GLWindow {
 public:
  explicit X11GLWindow(GLWindowEvents& events) : events_(events) {}
  ~X11GLWindow() override;

  GLWindowResult Create(GLWindowPlace place, NativeHandle parent, const PixelFormat& format,
                        const char* title) override;
  NativeHandle Handle() const override { return drawable_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void Swap() override { glx::SwapCurrent(); }
  // Our own loop reads X's events whenever it runs: a plain sleep.
  void PauseAfterFrame(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
  void Run() override;
  void Invalidate() override { wake_.Wake(invalidated_); }
  void InvalidateAt(Clock::time_point when) override { paintAt_ = when; }
  void RequestEnd() override { wake_.Wake(endRequested_); }
  void EndOnTerminationSignals() override { wake_.EndOnTerminationSignals(endRequested_); }
  void WatchReadable(int fd, std::function<void()> ready) override { wake_.Watch(fd, std::move(ready)); }
  void StopWatching(int fd) override { wake_.Unwatch(fd); }
  void Release() override;

 private:
  bool OpenConnection();
  GLWindowResult MakeOwnWindow(Window parent, XVisualInfo* visual, long mask, int width, int height);
  GLWindowResult TakeWindow(Window target, const XWindowAttributes& a, const PixelFormat& format);
  void Dispatch(const XEvent& e);
  void Configure(const XConfigureEvent& e);
  bool PaintIfDue();
  bool RootInSight();
  void ScissorToMonitorsInSight();
  std::optional<Clock::time_point> WaitLimit();

  GLWindowEvents& events_;
  Display* d_ = nullptr;
  Window parent_ = 0;     // the window we live in (0 for the top-level window)
  Window own_ = 0;        // a window of our own, if we made one
  Window drawable_ = 0;   // where GL draws: own_, or the given window
  bool followParent_ = false;
  std::string title_;
  GLXContext context_ = nullptr;
  bool madeContext_ = false;
  int width_ = 0, height_ = 0;
  bool gone_ = false, exposed_ = false;
  std::optional<Clock::time_point> paintAt_;
  x11::WindowVisibility visibility_;
  x11::RootCover rootCover_;  // only on the root window
  bool rootInSight_ = true;
  posix::LoopWake wake_;
  std::atomic<bool> invalidated_{false}, endRequested_{false};
};

X11GLWindow::~X11GLWindow() {
  Release();
  // Once a context was made, the connection stays open until the process
  // ends, which follows at once: closing it unloads Mesa's driver, whose
  // caches would then be reported as leaks in sanitizer builds.
  if (d_ && !madeContext_) XCloseDisplay(d_);
}

bool X11GLWindow::OpenConnection() {
  d_ = XOpenDisplay(nullptr);
  if (!d_) return false;
  XSetErrorHandler(RecordError);
  return true;
}

GLWindowResult X11GLWindow::Create(GLWindowPlace place, NativeHandle parent, const PixelFormat& format,
                                   const char* title) {
  if (!d_ && !OpenConnection()) return GLWindowResult::NoDisplay;
  title_ = title ? title : "";
  const Window root = DefaultRootWindow(d_);
  Window target = place == GLWindowPlace::TopLevel || !parent ? root : static_cast<Window>(parent);
  XWindowAttributes a{};
  if (!WindowAttributes(d_, target, a)) return GLWindowResult::NoSuchWindow;
  if (place == GLWindowPlace::Into) return TakeWindow(target, a, format);
  XVisualInfo* visual = glx::ChooseVisual(d_, DefaultScreen(d_), format.colourBits, format.depthBits);
  const bool topLevel = place == GLWindowPlace::TopLevel;
  // The child is disabled on its parent's behalf: it takes no input. The
  // top-level window takes keys. Pointer input is never selected: ignored.
  const long mask = ExposureMask | StructureNotifyMask | VisibilityChangeMask | (topLevel ? KeyPressMask : 0);
  const GLWindowResult r = MakeOwnWindow(topLevel ? 0 : target, visual, mask, a.width, a.height);
  if (visual) XFree(visual);
  if (r == GLWindowResult::Created && topLevel) {
    XRaiseWindow(d_, own_);
    XSetInputFocus(d_, own_, RevertToParent, CurrentTime);
  }
  return r;
}

// A window of our own inside `parent` (0: the root window, as a top-level
// override-redirect window), with a context for the visual.
GLWindowResult X11GLWindow::MakeOwnWindow(Window parent, XVisualInfo* visual, long mask, int width, int height) {
  const Window in = parent ? parent : DefaultRootWindow(d_);
  lastErrorCode = 0;
  own_ = glx::CreateDrawableWindow(d_, in, visual, 0, 0, width, height, mask, parent == 0);
  if (parent) XSelectInput(d_, parent, StructureNotifyMask);  // to learn of the parent's end and size
  XSync(d_, False);
  if (!own_ || lastErrorCode) return GLWindowResult::Failed;
  XStoreName(d_, own_, title_.c_str());
  parent_ = parent;
  drawable_ = own_;
  width_ = width < 1 ? 1 : width;
  height_ = height < 1 ? 1 : height;
  context_ = glx::CreateContext(d_, visual);
  madeContext_ = context_ != nullptr;
  glx::MakeCurrent(d_, drawable_, context_);
  visibility_.Watch(d_, own_, parent);
  return GLWindowResult::Created;
}

// Drawing on the given window: a child window of our own over all of it,
// kept at its size and above the window's own children (an application's
// window is often covered by its widgets' windows), with the visual we
// choose. The root window gets none, as that would be a window of our own
// over the whole desktop: we draw on it directly, with its own visual.
GLWindowResult X11GLWindow::TakeWindow(Window target, const XWindowAttributes& a, const PixelFormat& format) {
  if (target != DefaultRootWindow(d_)) {
    XVisualInfo* visual = glx::ChooseVisual(d_, DefaultScreen(d_), format.colourBits, format.depthBits);
    followParent_ = true;
    const GLWindowResult r =
        MakeOwnWindow(target, visual, ExposureMask | StructureNotifyMask | VisibilityChangeMask, a.width, a.height);
    if (visual) XFree(visual);
    return r;
  }
  XVisualInfo* visual = GLVisualOf(d_, a);
  if (!visual) return GLWindowResult::Failed;
  lastErrorCode = 0;
  XSelectInput(d_, target, ExposureMask | StructureNotifyMask);
  context_ = glx::CreateContext(d_, visual);
  madeContext_ = context_ != nullptr;
  XFree(visual);
  XSync(d_, False);
  if (lastErrorCode) return GLWindowResult::Failed;
  parent_ = target;
  drawable_ = target;
  width_ = a.width;
  height_ = a.height;
  glx::MakeCurrent(d_, drawable_, context_);
  // The root window is never told it is covered (the windows on it are its
  // children): its top-levels are followed instead, and its monitor's power.
  visibility_.Watch(d_, target, 0);
  rootCover_.Watch(d_, target, ExposureMask | StructureNotifyMask);
  return GLWindowResult::Created;
}

void X11GLWindow::Configure(const XConfigureEvent& e) {
  if (e.window != parent_ && e.window != drawable_) return;
  if (e.window == parent_ && followParent_) {
    XResizeWindow(d_, own_, static_cast<unsigned>(e.width > 0 ? e.width : 1),
                  static_cast<unsigned>(e.height > 0 ? e.height : 1));
    return;  // our window's own ConfigureNotify follows
  }
  if (e.window != drawable_ || (e.width == width_ && e.height == height_)) return;
  width_ = e.width;
  height_ = e.height;
  events_.GLWindowResized(width_, height_);
  exposed_ = true;
}

void X11GLWindow::Dispatch(const XEvent& e) {
  visibility_.Note(e);
  rootCover_.Note(e);
  switch (e.type) {
    case DestroyNotify:
      if (e.xdestroywindow.window == drawable_ || e.xdestroywindow.window == parent_) gone_ = true;
      break;
    case ConfigureNotify:
      Configure(e.xconfigure);
      break;
    case Expose:
      if (e.xexpose.window == drawable_) exposed_ = true;
      break;
    case KeyPress:
      if (e.xkey.window == own_) {
        XKeyEvent key = e.xkey;
        events_.GLWindowKeyDown(static_cast<int>(XLookupKeysym(&key, 0)));
      }
      break;
    default:
      break;
  }
}

// A paint asked for (exposed, invalidated, or its time come) while the
// window can be seen; one that cannot keeps the request for when it can.
bool X11GLWindow::PaintIfDue() {
  const Clock::time_point now = Clock::now();
  if (invalidated_.exchange(false)) exposed_ = true;
  if (paintAt_ && now >= *paintAt_) {
    exposed_ = true;
    paintAt_.reset();
  }
  if (!exposed_ || endRequested_ || !visibility_.Seen(now) || !RootInSight()) return false;
  exposed_ = false;
  ScissorToMonitorsInSight();
  events_.GLWindowPaint();
  XFlush(d_);
  return true;
}

// Unseen, the window waits for the server's events alone, but for the
// monitor's power, which has none.
std::optional<Clock::time_point> X11GLWindow::WaitLimit() {
  if (!RootInSight()) return std::nullopt;
  if (!visibility_.Seen(Clock::now())) return visibility_.NextPowerCheck();
  return paintAt_;
}

// On the root window with some monitors covered, the frame is drawn only
// within the monitors in sight (a box round them): the covered ones keep
// what they had, which nobody sees. GL's scissor box counts from the
// bottom.
void X11GLWindow::ScissorToMonitorsInSight() {
  Areas::Area box;
  if (!rootCover_.DrawOnly(box)) {
    glDisable(GL_SCISSOR_TEST);
    return;
  }
  glEnable(GL_SCISSOR_TEST);
  glScissor(box.x, height_ - box.y - box.height, box.width, box.height);
}

// The root window's answer, told to the mode when it changes (before a
// paint, so that a mode that paused for it lets the paint through).
bool X11GLWindow::RootInSight() {
  const bool now = rootCover_.InSight();
  if (now != rootInSight_) {
    rootInSight_ = now;
    events_.GLWindowCovered(!now);
  }
  return now;
}

void X11GLWindow::Run() {
  if (!d_ || !drawable_) return;
  XFlush(d_);
  while (!gone_ && !endRequested_) {
    while (!gone_ && XPending(d_)) {
      XEvent e;
      XNextEvent(d_, &e);
      Dispatch(e);
    }
    if (gone_) break;
    if (PaintIfDue()) continue;  // look at what arrived meanwhile before sleeping
    if (wake_.Wait(ConnectionNumber(d_), WaitLimit()) < 0) break;
    wake_.RunReady();
  }
  if (gone_) events_.GLWindowGone();
}

void X11GLWindow::Release() {
  if (!d_) return;
  if (context_) {
    glx::Release(d_, context_);
    context_ = nullptr;
  }
  if (own_ && !gone_) XDestroyWindow(d_, own_);
  own_ = 0;
  drawable_ = 0;
  XSync(d_, False);
}

}  // namespace

std::unique_ptr<GLWindow> CreateGLWindow(GLWindowEvents& events) { return std::make_unique<X11GLWindow>(events); }

bool EmbeddedModeAvailable() { return true; }

std::uint32_t ProcessId() { return static_cast<std::uint32_t>(getpid()); }

}  // namespace ui
