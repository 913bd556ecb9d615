// The root window's monitors and the top-levels over them, gathered from
// the server; the decision is the covered area's.
#include "platform/linux/x11_root_cover.h"

#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>

#include <algorithm>

namespace x11 {

void RootCover::Watch(Display* display, Window root, long mask) {
  display_ = display;
  root_ = root;
  XSelectInput(display, root, mask | SubstructureNotifyMask);
  int eventBase = 0, errorBase = 0;
  hasShape_ = XShapeQueryExtension(display, &eventBase, &errorBase);
  watching_ = true;
  stale_ = true;
}

bool RootCover::Note(const XEvent& e) {
  if (!watching_) return false;
  switch (e.type) {
    case MapNotify:
    case UnmapNotify:
    case ConfigureNotify:
    case CreateNotify:
    case DestroyNotify:
    case ReparentNotify:
    case CirculateNotify:
      // Events about the root's children come to the root's selection; the
      // root's own ConfigureNotify is a new screen size.
      stale_ = true;
      return true;
    default:
      return false;
  }
}

bool RootCover::InSight() {
  if (!watching_) return true;
  if (stale_) {
    stale_ = false;
    monitors_ = Monitors();
    inSight_ = Areas::MonitorsInSight(monitors_, Covers());
    any_ = std::find(inSight_.begin(), inSight_.end(), true) != inSight_.end();
  }
  return any_;
}

bool RootCover::DrawOnly(Areas::Area& box) const {
  if (!watching_ || std::find(inSight_.begin(), inSight_.end(), false) == inSight_.end()) return false;
  long long x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool first = true;
  for (size_t i = 0; i < monitors_.size() && i < inSight_.size(); ++i) {
    if (!inSight_[i]) continue;
    const Areas::Area& m = monitors_[i];
    x1 = first ? m.x : std::min<long long>(x1, m.x);
    y1 = first ? m.y : std::min<long long>(y1, m.y);
    x2 = first ? 0LL + m.x + m.width : std::max<long long>(x2, 0LL + m.x + m.width);
    y2 = first ? 0LL + m.y + m.height : std::max<long long>(y2, 0LL + m.y + m.height);
    first = false;
  }
  if (first) return false;
  box = {int(x1), int(y1), int(x2 - x1), int(y2 - y1)};
  return true;
}

std::vector<Areas::Area> RootCover::Monitors() const {
  std::vector<Areas::Area> monitors;
  int count = 0;
  if (XRRMonitorInfo* m = XRRGetMonitors(display_, root_, True, &count)) {
    for (int i = 0; i < count; ++i) monitors.push_back({m[i].x, m[i].y, m[i].width, m[i].height});
    XRRFreeMonitors(m);
  }
  if (monitors.empty()) {
    XWindowAttributes a{};
    if (XGetWindowAttributes(display_, root_, &a)) monitors.push_back({0, 0, a.width, a.height});
  }
  return monitors;
}

// The mapped, viewable top-levels in stacking order; a window that goes
// while it is asked about simply covers nothing (its error is ignored by the
// window's handler).
std::vector<Areas::Area> RootCover::Covers() const {
  std::vector<Areas::Area> covers;
  Window rootReturn = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display_, root_, &rootReturn, &parent, &children, &count)) return covers;
  for (unsigned i = 0; i < count; ++i) AddCover(children[i], covers);
  if (children) XFree(children);
  return covers;
}

void RootCover::AddCover(Window w, std::vector<Areas::Area>& covers) const {
  XWindowAttributes a{};
  if (!XGetWindowAttributes(display_, w, &a) || a.map_state != IsViewable || a.c_class == InputOnly) return;
  // The border is drawn too and covers as much as the window.
  const int bx = a.x, by = a.y, bw = a.width + 2 * a.border_width, bh = a.height + 2 * a.border_width;
  if (hasShape_) {
    int n = 0, ordering = 0;
    if (XRectangle* r = XShapeGetRectangles(display_, w, ShapeBounding, &n, &ordering)) {
      // Relative to the window's origin inside its border.
      for (int i = 0; i < n; ++i)
        covers.push_back({a.x + a.border_width + r[i].x, a.y + a.border_width + r[i].y, r[i].width, r[i].height});
      XFree(r);
      return;
    }
  }
  covers.push_back({bx, by, bw, bh});
}

}  // namespace x11
