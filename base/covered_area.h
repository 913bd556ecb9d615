// Which monitors of a desktop windows leave some part of in sight: the
// monitors' rectangles and the covering rectangles in (mapped windows, or
// the parts of their shapes, in root-window coordinates), one answer per
// monitor out. Portable and exact: a monitor is covered only when the
// covers leave none of its pixels. The X11 file only gathers the rectangles.
#pragma once

#include <cstddef>
#include <vector>

namespace Areas {

struct Area {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Area&) const = default;
};

// For each monitor, true when some pixel of it is under none of `covers`.
// A monitor of no size is never in sight. A puzzle of covers too fragmented
// to follow (more than kMaxPieces pieces left over at once) counts as in
// sight: drawing too much is the safe side.
std::vector<bool> MonitorsInSight(const std::vector<Area>& monitors, const std::vector<Area>& covers);

constexpr size_t kMaxPieces = 4096;

}  // namespace Areas
