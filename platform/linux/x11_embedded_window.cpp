// The embedded GL window on raw Xlib and GLX, on an X connection of its own
// (FLTK plays no part): a child of the given window, drawing on the given
// window itself, or an override-redirect screen-sized window that takes the
// keyboard focus. The event loop waits on the X connection and on a pipe:
// Invalidate and RequestEnd only set a flag and write a byte to the pipe, so
// that other threads and signal handlers can call them without touching Xlib.
// gl_window.h (and ui.h) before the X headers: X11 defines None as a macro,
// which the layer's enumerations must not meet.
#include "platform/gl_window.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "platform/linux/glx_context.h"
#include "platform/linux/x11_gl_window.h"

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

class X11GLWindow;
std::atomic<X11GLWindow*> signalTarget{nullptr};
void OnTerminationSignal(int);

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
  void Invalidate() override { Wake(invalidated_); }
  void RequestEnd() override { Wake(endRequested_); }
  void EndOnTerminationSignals() override;
  void Release() override;

 private:
  bool OpenConnection();
  GLWindowResult MakeOwnWindow(Window parent, XVisualInfo* visual, long mask, int width, int height);
  GLWindowResult TakeWindow(Window target, const XWindowAttributes& a, const PixelFormat& format);
  void Wake(std::atomic<bool>& flag);
  void Dispatch(const XEvent& e);
  void Configure(const XConfigureEvent& e);
  bool DrainWakePipe();

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
  int wakeRead_ = -1, wakeWrite_ = -1;
  std::atomic<bool> invalidated_{false}, endRequested_{false};
};

X11GLWindow::~X11GLWindow() {
  Release();
  X11GLWindow* self = this;
  signalTarget.compare_exchange_strong(self, nullptr);
  if (wakeRead_ >= 0) close(wakeRead_);
  if (wakeWrite_ >= 0) close(wakeWrite_);
  // Once a context was made, the connection stays open until the process
  // ends, which follows at once: closing it unloads Mesa's driver, whose
  // caches would then be reported as leaks in sanitizer builds.
  if (d_ && !madeContext_) XCloseDisplay(d_);
}

bool X11GLWindow::OpenConnection() {
  d_ = XOpenDisplay(nullptr);
  if (!d_) return false;
  XSetErrorHandler(RecordError);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
  }
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
  const long mask = ExposureMask | StructureNotifyMask | (topLevel ? KeyPressMask : 0);
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
    const GLWindowResult r = MakeOwnWindow(target, visual, ExposureMask | StructureNotifyMask, a.width, a.height);
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
  return GLWindowResult::Created;
}

void X11GLWindow::Wake(std::atomic<bool>& flag) {
  flag = true;
  if (wakeWrite_ < 0) return;
  const int saved = errno;  // a signal handler must leave errno as it found it
  const char byte = 1;
  // A full pipe already holds a wake-up: a failed write loses nothing.
  [[maybe_unused]] const ssize_t n = write(wakeWrite_, &byte, 1);
  errno = saved;
}

bool X11GLWindow::DrainWakePipe() {
  char buffer[64];
  bool any = false;
  while (wakeRead_ >= 0 && read(wakeRead_, buffer, sizeof buffer) > 0) any = true;
  return any;
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
    if (invalidated_.exchange(false)) exposed_ = true;
    if (exposed_ && !endRequested_) {
      exposed_ = false;
      events_.GLWindowPaint();
      XFlush(d_);
      continue;  // look at what arrived meanwhile before sleeping
    }
    pollfd fds[2] = {{ConnectionNumber(d_), POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    if (poll(fds, wakeRead_ >= 0 ? 2 : 1, -1) < 0 && errno != EINTR) break;
    DrainWakePipe();
  }
  if (gone_) events_.GLWindowGone();
}

void OnTerminationSignal(int) {
  if (X11GLWindow* w = signalTarget.load()) w->RequestEnd();
}

void X11GLWindow::EndOnTerminationSignals() {
  signalTarget = this;
  struct sigaction action{};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &action, nullptr);
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
