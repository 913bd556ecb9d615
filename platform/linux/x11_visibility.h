// Whether an X window's drawing can be seen: the window viewable and not
// fully covered by other windows (VisibilityNotify, which the server sends on
// every change while it is mapped), and the monitor powered (DPMS, where the
// server has the extension: it sends no event, so the state is asked again
// at most once a second). The embedded window and the forms' GL surfaces
// draw nothing while it says no. Behind a compositing manager every window
// counts as uncovered: the server cannot tell.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <optional>

namespace x11 {

class WindowVisibility {
 public:
  using Time = std::chrono::steady_clock::time_point;

  // Follows `window` (which selects VisibilityChangeMask and
  // StructureNotifyMask) and, when not 0, the window it lives in, whose
  // unmapping hides it too (its StructureNotifyMask selected by the caller).
  void Watch(Display* display, Window window, Window parent);
  // An event of the connection; true when it changed whether the window is seen.
  bool Note(const XEvent& e);
  // Whether the drawing can be seen at `now`.
  bool Seen(Time now);
  // While only the monitor's power keeps it unseen: when to ask again.
  std::optional<Time> NextPowerCheck() const;

 private:
  bool MonitorOn(Time now);

  Display* display_ = nullptr;
  Window window_ = 0, parent_ = 0;
  bool covered_ = false;   // fully obscured, or unmapped until the server says otherwise
  bool hasDpms_ = false;
  bool powered_ = true;
  std::optional<Time> lastPowerCheck_;
};

}  // namespace x11
