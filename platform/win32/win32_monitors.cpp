// The desktop on Windows: the virtual screen (SM_XVIRTUALSCREEN ...
// SM_CYVIRTUALSCREEN, whose origin lies left of or above the primary monitor
// when another monitor does) and each monitor from EnumDisplayMonitors, the
// primary first. The screen's width and height stay the primary's
// (SM_CXSCREEN, SM_CYSCREEN; win32_app.cpp).
#include <windows.h>

#include "platform/ui.h"

namespace ui {

namespace {

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto& monitors = *reinterpret_cast<std::vector<Rect>*>(data);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoA(monitor, &info)) return TRUE;
  const RECT& r = info.rcMonitor;
  const Rect rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
  if (info.dwFlags & MONITORINFOF_PRIMARY)
    monitors.insert(monitors.begin(), rect);
  else
    monitors.push_back(rect);
  return TRUE;
}

}  // namespace

DesktopGeometry Desktop() {
  DesktopGeometry desktop;
  desktop.bounds = Rect{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                        GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&desktop.monitors));
  if (desktop.monitors.empty())
    desktop.monitors.push_back(Rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
  return desktop;
}

}  // namespace ui
