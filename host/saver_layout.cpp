// The saver's window rectangle and per-monitor viewports.
#include "host/saver_layout.h"

#include <algorithm>
#include <limits>

namespace {

bool Empty(const ui::Rect& r) { return r.width <= 0 || r.height <= 0; }

bool Same(const ui::Rect& a, const ui::Rect& b) {
  return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

int Clamped(long long v) { return int(std::min<long long>(v, std::numeric_limits<int>::max())); }

// In 64 bits: a foreign report may carry any values.
ui::Rect Intersection(const ui::Rect& a, const ui::Rect& b) {
  const long long left = std::max<long long>(a.left, b.left), top = std::max<long long>(a.top, b.top);
  const long long right = std::min<long long>(0LL + a.left + a.width, 0LL + b.left + b.width);
  const long long bottom = std::min<long long>(0LL + a.top + a.height, 0LL + b.top + b.height);
  if (right <= left || bottom <= top) return ui::Rect{};
  return ui::Rect{int(left), int(top), int(right - left), int(bottom - top)};
}

ui::Rect Union(const std::vector<ui::Rect>& rects) {
  ui::Rect all;
  for (const ui::Rect& r : rects) {
    if (Empty(r)) continue;
    if (Empty(all)) {
      all = r;
      continue;
    }
    const long long left = std::min(all.left, r.left), top = std::min(all.top, r.top);
    const long long right = std::max(0LL + all.left + all.width, 0LL + r.left + r.width);
    const long long bottom = std::max(0LL + all.top + all.height, 0LL + r.top + r.height);
    all = ui::Rect{int(left), int(top), Clamped(right - left), Clamped(bottom - top)};
  }
  return all;
}

// From top-down desktop coordinates to the window's bottom-up GL ones.
ui::Rect ViewportOf(const ui::Rect& monitor, const ui::Rect& window) {
  const int fromBottom = window.top + window.height - (monitor.top + monitor.height);
  return ui::Rect{monitor.left - window.left, fromBottom, monitor.width, monitor.height};
}

}  // namespace

SaverLayout LayOutSaver(const ui::DesktopGeometry& desktop) {
  SaverLayout layout;
  layout.window = Empty(desktop.bounds) ? Union(desktop.monitors) : desktop.bounds;
  if (Empty(layout.window)) layout.window = ui::Rect{0, 0, 1, 1};
  for (const ui::Rect& m : desktop.monitors) {
    const ui::Rect shown = Intersection(m, layout.window);
    if (Empty(shown)) continue;
    const ui::Rect viewport = ViewportOf(shown, layout.window);
    const bool repeat = std::any_of(layout.viewports.begin(), layout.viewports.end(),
                                    [&](const ui::Rect& v) { return Same(v, viewport); });
    if (!repeat) layout.viewports.push_back(viewport);
  }
  if (layout.viewports.empty()) layout.viewports.push_back(ui::Rect{0, 0, layout.window.width, layout.window.height});
  return layout;
}
