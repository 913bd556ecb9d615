// Whether the root window can be seen where Prismora draws on it: the
// VisibilityNotify that windows get never comes for the root, so the
// top-level windows are followed instead (SubstructureNotify: map, unmap,
// configure, create, destroy, reparent) and, for each monitor (XRandR
// monitors; the whole screen without them), the root counts as seen while
// some pixel of some monitor is under no mapped, viewable top-level
// (override-redirect ones included; where the Shape extension gives a
// window's bounding shape, only the shape covers). Changes of a shape alone,
// without one of those events, are noticed at the next one.
#pragma once

#include <X11/Xlib.h>

#include <vector>

#include "base/covered_area.h"

namespace x11 {

class RootCover {
 public:
  // Starts following the root window's top-levels (selects
  // SubstructureNotifyMask on it, keeping `mask`, the events already chosen).
  void Watch(Display* display, Window root, long mask);
  // An event of the connection; true when it may change what is covered
  // (the next InSight looks again).
  bool Note(const XEvent& e);
  // True while some monitor has a pixel that no window covers.
  bool InSight();
  // Each monitor's answer, after InSight, for the logs and tests.
  const std::vector<bool>& MonitorsInSight() const { return inSight_; }
  // After InSight: the smallest rectangle that holds every monitor in
  // sight (root coordinates); false when that is all of the monitors, so
  // that nothing need be left out.
  bool DrawOnly(Areas::Area& box) const;

 private:
  std::vector<Areas::Area> Monitors() const;
  std::vector<Areas::Area> Covers() const;
  void AddCover(Window w, std::vector<Areas::Area>& covers) const;

  Display* display_ = nullptr;
  Window root_ = 0;
  bool watching_ = false;
  bool hasShape_ = false;
  bool stale_ = true;
  std::vector<Areas::Area> monitors_;
  std::vector<bool> inSight_;
  bool any_ = true;
};

}  // namespace x11
