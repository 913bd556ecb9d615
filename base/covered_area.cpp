// Rectangles taken away from rectangles: what is left of a monitor is kept
// as pieces, each cover cutting every piece it meets into at most four.
#include "base/covered_area.h"

#include <algorithm>

namespace Areas {

namespace {

bool Empty(const Area& a) { return a.width <= 0 || a.height <= 0; }

// `piece` less `cover`, appended to `out`: the bands above and below the
// cover, and the parts left and right of it between them.
void Subtract(const Area& piece, const Area& cover, std::vector<Area>& out) {
  const long long px1 = piece.x, py1 = piece.y, px2 = px1 + piece.width, py2 = py1 + piece.height;
  const long long cx1 = cover.x, cy1 = cover.y, cx2 = cx1 + cover.width, cy2 = cy1 + cover.height;
  if (Empty(cover) || cx2 <= px1 || cx1 >= px2 || cy2 <= py1 || cy1 >= py2) {
    out.push_back(piece);
    return;
  }
  const long long top = std::max(py1, cy1), bottom = std::min(py2, cy2);
  auto add = [&out](long long x1, long long y1, long long x2, long long y2) {
    if (x2 > x1 && y2 > y1) out.push_back({int(x1), int(y1), int(x2 - x1), int(y2 - y1)});
  };
  add(px1, py1, px2, top);                           // above
  add(px1, bottom, px2, py2);                        // below
  add(px1, top, std::max(px1, cx1), bottom);         // left
  add(std::min(px2, cx2), top, px2, bottom);         // right
}

bool InSight(const Area& monitor, const std::vector<Area>& covers) {
  if (Empty(monitor)) return false;
  std::vector<Area> left{monitor}, next;
  for (const Area& cover : covers) {
    next.clear();
    for (const Area& piece : left) Subtract(piece, cover, next);
    left.swap(next);
    if (left.empty()) return false;
    if (left.size() > kMaxPieces) return true;
  }
  return true;
}

}  // namespace

std::vector<bool> MonitorsInSight(const std::vector<Area>& monitors, const std::vector<Area>& covers) {
  std::vector<bool> seen;
  seen.reserve(monitors.size());
  for (const Area& m : monitors) seen.push_back(InSight(m, covers));
  return seen;
}

}  // namespace Areas
