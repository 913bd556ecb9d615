// A window's visibility from the server's events and its monitor's power
// from DPMS.
#include "platform/linux/x11_visibility.h"

#include <X11/Xmd.h>
#include <X11/extensions/dpms.h>

namespace x11 {

namespace {

constexpr std::chrono::seconds kPowerCheckEvery{1};

}  // namespace

void WindowVisibility::Watch(Display* display, Window window, Window parent) {
  display_ = display;
  window_ = window;
  parent_ = parent;
  int eventBase = 0, errorBase = 0;
  hasDpms_ = DPMSQueryExtension(display, &eventBase, &errorBase) && DPMSCapable(display);
  XWindowAttributes a{};
  covered_ = !XGetWindowAttributes(display, window, &a) || a.map_state != IsViewable;
  // A window that is viewable now was told its visibility before we asked:
  // it counts as seen until the server says otherwise.
}

// No event says when a window becomes unviewable (its own or its parent's
// unmapping): it counts as covered until the VisibilityNotify that follows
// its mapping.
bool WindowVisibility::Note(const XEvent& e) {
  const bool before = covered_;
  if (e.type == VisibilityNotify && e.xvisibility.window == window_)
    covered_ = e.xvisibility.state == VisibilityFullyObscured;
  else if (e.type == UnmapNotify && (e.xunmap.window == window_ || (parent_ && e.xunmap.window == parent_)))
    covered_ = true;
  return covered_ != before;
}

bool WindowVisibility::Seen(Time now) { return !covered_ && MonitorOn(now); }

std::optional<WindowVisibility::Time> WindowVisibility::NextPowerCheck() const {
  if (covered_ || powered_ || !lastPowerCheck_) return std::nullopt;
  return *lastPowerCheck_ + kPowerCheckEvery;
}

bool WindowVisibility::MonitorOn(Time now) {
  if (!hasDpms_) return true;
  if (lastPowerCheck_ && now - *lastPowerCheck_ < kPowerCheckEvery) return powered_;
  lastPowerCheck_ = now;
  CARD16 level = DPMSModeOn;
  BOOL enabled = False;
  // Power saving that is switched off leaves the monitor on, whatever level is reported.
  powered_ = !DPMSInfo(display_, &level, &enabled) || !enabled || level == DPMSModeOn;
  return powered_;
}

}  // namespace x11
