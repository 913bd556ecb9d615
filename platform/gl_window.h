// The windowing layer's embedded GL window: one OpenGL window inside a window
// that another program owns (the display settings' preview picture, a
// screen-saver daemon's window) or over the whole screen, with its own event
// loop. The modes that use it (the preview, the daemon's hack mode) are written
// once in host/ on this interface; each platform only makes the OS calls and
// reports paint, key, size and gone events back. A window that cannot be
// seen (covered, unmapped, its monitor off: as far as the platform can tell)
// reports no paint until it can. One per process, driven from the main
// thread, except for the two calls marked as safe from anywhere.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/ui.h"

namespace ui {

enum class GLWindowPlace {
  // A child window of the parent at the parent's size at creation; it takes
  // no input (the parent's program keeps it) and ends with its parent.
  ChildOf,
  // Drawing over the whole of the given window, following its size, taking
  // no input from it (0: the root window, the whole screen). A platform may
  // draw on the window itself or on a child window of its own above the
  // window's children (X11 does the latter, except on the root window).
  Into,
  // A topmost, screen-sized pop-up window that takes the keys.
  TopLevel,
};

// What the window reports, on the main thread, from inside Run.
class GLWindowEvents {
 public:
  virtual ~GLWindowEvents() = default;
  // The window needs a frame (it was exposed or invalidated); the context
  // is current.
  virtual void GLWindowPaint() = 0;
  // A key went down (only a window that takes keys reports them).
  virtual void GLWindowKeyDown(int /*key*/) {}
  // The drawable's size changed.
  virtual void GLWindowResized(int /*width*/, int /*height*/) {}
  // The window, or the window it lives in, was destroyed; Run returns next.
  virtual void GLWindowGone() {}
  // Windows came over all of the drawing or went from it (the root
  // window: its top-levels cover every monitor). While covered the window
  // paints nothing; told before the first paint after.
  virtual void GLWindowCovered(bool /*covered*/) {}
};

enum class GLWindowResult {
  Created,       // the context is current on the calling thread
  NoDisplay,     // there is no window system to connect to
  NoSuchWindow,  // the parent handle names no window
  Failed,        // the window or its surface could not be made
};

class GLWindow {
 public:
  virtual ~GLWindow() = default;
  // Makes the window (ChildOf, Into) or takes the given one (Into), sets the
  // pixel format and makes a context current on the calling thread. The
  // parent is ignored for TopLevel. A pixel format that cannot be had leaves
  // the window without a context: later GL calls draw nothing. The title
  // names a window of our own.
  virtual GLWindowResult Create(GLWindowPlace place, NativeHandle parent, const PixelFormat& format,
                                const char* title) = 0;
  virtual NativeHandle Handle() const = 0;  // the window drawn on
  virtual int Width() const = 0;            // the drawable's size now
  virtual int Height() const = 0;
  // Swaps the buffers of the current drawable.
  virtual void Swap() = 0;
  // The pause after a frame that paces a mode, on the main thread. Input
  // that arrives meanwhile is read by the window system as it comes (see
  // the Windows version), even when the pause is part of a paint.
  virtual void PauseAfterFrame(int ms) = 0;
  // Shows the window and reports its events until it is gone or an end was
  // requested; then returns.
  virtual void Run() = 0;
  // Asks for a paint; pending requests make one paint. Safe from any thread
  // and from a signal handler.
  virtual void Invalidate() = 0;
  // Asks for a paint at `when` (on the clock of ui::Now; a time past: at
  // once), from the main thread; a later call replaces an earlier one.
  virtual void InvalidateAt(std::chrono::steady_clock::time_point when) = 0;
  // Asks Run to return. Safe from any thread and from a signal handler.
  virtual void RequestEnd() = 0;
  // From now on SIGTERM, SIGINT and SIGHUP request the end (where the
  // platform has them). Process-wide: only for a mode that owns the process.
  virtual void EndOnTerminationSignals() = 0;
  // Watches a descriptor of the mode's own (a socket, a file watch, a bus
  // connection), from the main thread: `ready` runs on the main thread, from
  // inside Run, whenever it has input or hangs up. A platform without such
  // descriptors (Windows) ignores it.
  virtual void WatchReadable(int /*fd*/, std::function<void()> /*ready*/) {}
  virtual void StopWatching(int /*fd*/) {}
  // The context made non-current and deleted, a window of our own destroyed.
  virtual void Release() = 0;
};

std::unique_ptr<GLWindow> CreateGLWindow(GLWindowEvents& events);

// Whether this platform has the screen-saver daemons' hack mode (the Into
// placement and the long options): X11 yes, Windows no (it has the preview).
bool EmbeddedModeAvailable();

// The process id, which sets apart the pictures of processes started in the
// same millisecond (one per monitor).
std::uint32_t ProcessId();

}  // namespace ui
