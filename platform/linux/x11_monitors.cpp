// The desktop on X11: the root window of the default screen, and its monitors
// from XRandR (1.5 monitors, the primary first), else from Xinerama, else the
// root window as the one monitor. The screen's width and height are the
// primary monitor's, as on Windows; windows are centred on it.
#include "platform/linux/fltk_internal.h"

#include <X11/extensions/Xinerama.h>
#include <X11/extensions/Xrandr.h>

namespace ui {

namespace fltk {

namespace {

std::vector<Rect> RandrMonitors(Display* d) {
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XRRQueryExtension(d, &eventBase, &errorBase) || !XRRQueryVersion(d, &major, &minor)) return {};
  if (major < 1 || (major == 1 && minor < 5)) return {};  // monitors came with 1.5
  int count = 0;
  XRRMonitorInfo* info = XRRGetMonitors(d, DefaultRootWindow(d), True, &count);
  std::vector<Rect> monitors;
  for (int i = 0; i < count; ++i) {
    const Rect r{info[i].x, info[i].y, info[i].width, info[i].height};
    if (info[i].primary)
      monitors.insert(monitors.begin(), r);
    else
      monitors.push_back(r);
  }
  if (info) XRRFreeMonitors(info);
  return monitors;
}

// Xinerama knows no primary head; the first one stands for it.
std::vector<Rect> XineramaHeads(Display* d) {
  int eventBase = 0, errorBase = 0;
  if (!XineramaQueryExtension(d, &eventBase, &errorBase) || !XineramaIsActive(d)) return {};
  int count = 0;
  XineramaScreenInfo* heads = XineramaQueryScreens(d, &count);
  std::vector<Rect> monitors;
  for (int i = 0; i < count; ++i)
    monitors.push_back(Rect{heads[i].x_org, heads[i].y_org, heads[i].width, heads[i].height});
  if (heads) XFree(heads);
  return monitors;
}

Rect PrimaryMonitor() { return Desktop().monitors.front(); }

}  // namespace

Point CentredOnPrimary(int width, int height) {
  const Rect m = PrimaryMonitor();
  return Point{m.left + (m.width - width) / 2, m.top + (m.height - height) / 2};
}

}  // namespace fltk

DesktopGeometry Desktop() {
  Display* d = fltk::TheDisplay();
  const int screen = DefaultScreen(d);
  DesktopGeometry desktop;
  desktop.bounds = Rect{0, 0, DisplayWidth(d, screen), DisplayHeight(d, screen)};
  desktop.monitors = fltk::RandrMonitors(d);
  if (desktop.monitors.empty()) desktop.monitors = fltk::XineramaHeads(d);
  if (desktop.monitors.empty()) desktop.monitors.push_back(desktop.bounds);
  return desktop;
}

int ScreenWidth() { return fltk::PrimaryMonitor().width; }
int ScreenHeight() { return fltk::PrimaryMonitor().height; }

}  // namespace ui
