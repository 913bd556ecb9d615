// Monitors in sight of windows: whole covers, covers pieced together from
// several windows, a one-pixel gap, windows beyond the desktop's edge,
// borders shared by two monitors, and shapes given as many rectangles.
#include "base/covered_area.h"

#include <gtest/gtest.h>

namespace {

using Areas::Area;
using Areas::MonitorsInSight;

const Area left{0, 0, 1024, 768}, right{1024, 0, 800, 600};

TEST(CoveredArea, AWindowOverAMonitorCoversItAloneEvenPastTheDesktopsEdge) {
  EXPECT_EQ(MonitorsInSight({left, right}, {}), (std::vector<bool>{true, true}));
  EXPECT_EQ(MonitorsInSight({left, right}, {left}), (std::vector<bool>{false, true}));
  EXPECT_EQ(MonitorsInSight({left, right}, {{-50, -50, 1200, 900}}), (std::vector<bool>{false, true}));
  EXPECT_EQ(MonitorsInSight({left, right}, {{-10, -10, 5000, 5000}}), (std::vector<bool>{false, false}));
}

TEST(CoveredArea, WindowsPiecedTogetherCoverButAOnePixelGapDoesNot) {
  const std::vector<Area> quarters = {{0, 0, 512, 384}, {512, 0, 512, 384}, {0, 384, 512, 384}, {512, 384, 512, 384}};
  EXPECT_EQ(MonitorsInSight({left}, quarters), std::vector<bool>{false});
  std::vector<Area> gap = quarters;
  gap[3] = {513, 384, 511, 384};  // column 512 of the lower half left open
  EXPECT_EQ(MonitorsInSight({left}, gap), std::vector<bool>{true});
  gap[3] = {512, 384, 512, 383};  // the bottom row of the lower right quarter open
  EXPECT_EQ(MonitorsInSight({left}, gap), std::vector<bool>{true});
  // Overlapping windows in any order.
  EXPECT_EQ(MonitorsInSight({left}, {{0, 0, 700, 768}, {300, 0, 724, 768}}), std::vector<bool>{false});
}

TEST(CoveredArea, AShapeOfManyRowsCoversOnlyWhereItIs) {
  std::vector<Area> rows;
  for (int y = 0; y < 768; y += 2) rows.push_back({0, y, 1024, 1});  // every other row
  EXPECT_EQ(MonitorsInSight({left}, rows), std::vector<bool>{true});
  for (int y = 1; y < 768; y += 2) rows.push_back({0, y, 1024, 1});
  EXPECT_EQ(MonitorsInSight({left}, rows), std::vector<bool>{false});
}

TEST(CoveredArea, EmptyMonitorsAndCoversAndTooManyPieces) {
  EXPECT_EQ(MonitorsInSight({{0, 0, 0, 768}}, {}), std::vector<bool>{false});
  EXPECT_EQ(MonitorsInSight({left}, {{0, 0, 1024, 0}, {0, 0, -5, 768}}), std::vector<bool>{true});
  // A checkerboard of single pixels leaves more pieces than are followed:
  // counted as in sight, never as covered.
  std::vector<Area> dots;
  for (int y = 0; y < 200; y += 2)
    for (int x = 0; x < 200; x += 2) dots.push_back({x, y, 1, 1});
  EXPECT_EQ(MonitorsInSight({{0, 0, 200, 200}}, dots), std::vector<bool>{true});
  // Far coordinates do not overflow.
  EXPECT_EQ(MonitorsInSight({{2147483000, 0, 600, 10}}, {{2147483000, 0, 600, 10}}), std::vector<bool>{false});
}

}  // namespace
