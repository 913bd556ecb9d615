// The saver's layout over the monitors: the window over the whole desktop and
// one viewport per monitor in the window's bottom-up GL coordinates, for the
// shapes real desks have (one monitor, two of different sizes side by side,
// one left of the primary, one above it) and for reports that are not sane.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/saver_layout.h"

namespace {

std::string Text(const ui::Rect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.width) + "x" +
         std::to_string(r.height);
}

std::vector<std::string> Texts(const std::vector<ui::Rect>& rects) {
  std::vector<std::string> out;
  for (const ui::Rect& r : rects) out.push_back(Text(r));
  return out;
}

using Strings = std::vector<std::string>;

TEST(SaverLayout, OneMonitorIsTheWholeWindow) {
  const SaverLayout l = LayOutSaver({{0, 0, 1280, 1024}, {{0, 0, 1280, 1024}}});
  EXPECT_EQ(Text(l.window), "0,0 1280x1024");
  EXPECT_EQ(Texts(l.viewports), Strings{"0,0 1280x1024"});
}

// 1024 x 768 beside 1280 x 1024, tops aligned: the smaller monitor's viewport
// sits at the top of the window, 256 rows above GL's bottom edge.
TEST(SaverLayout, TwoMonitorsOfDifferentSizesSideBySide) {
  const SaverLayout l = LayOutSaver({{0, 0, 2304, 1024}, {{0, 0, 1024, 768}, {1024, 0, 1280, 1024}}});
  EXPECT_EQ(Text(l.window), "0,0 2304x1024");
  EXPECT_EQ(Texts(l.viewports), (Strings{"0,256 1024x768", "1024,0 1280x1024"}));
}

// Windows: a monitor left of the primary has a negative origin, and so has
// the virtual screen; the window starts there and the primary stays first.
TEST(SaverLayout, AMonitorLeftOfThePrimaryGivesANegativeOrigin) {
  const SaverLayout l = LayOutSaver({{-1280, 0, 2304, 1024}, {{0, 0, 1024, 768}, {-1280, 0, 1280, 1024}}});
  EXPECT_EQ(Text(l.window), "-1280,0 2304x1024");
  EXPECT_EQ(Texts(l.viewports), (Strings{"1280,256 1024x768", "0,0 1280x1024"}));
}

// A monitor above: the upper one is at the top of the window, which is the
// high end of GL's y.
TEST(SaverLayout, AMonitorAboveThePrimary) {
  const SaverLayout l = LayOutSaver({{0, -1024, 1280, 1792}, {{0, 0, 1024, 768}, {0, -1024, 1280, 1024}}});
  EXPECT_EQ(Text(l.window), "0,-1024 1280x1792");
  EXPECT_EQ(Texts(l.viewports), (Strings{"0,0 1024x768", "0,768 1280x1024"}));
}

TEST(SaverLayout, EmptyBoundsTakeTheMonitorsUnion) {
  const SaverLayout l = LayOutSaver({{}, {{1920, 0, 1920, 1080}, {0, 120, 1920, 1080}}});
  EXPECT_EQ(Text(l.window), "0,0 3840x1200");
  EXPECT_EQ(Texts(l.viewports), (Strings{"1920,120 1920x1080", "0,0 1920x1080"}));
}

// Mirrored outputs report the same monitor twice; a monitor reaching past
// the desktop is cut to it; one wholly outside, or empty, gives no viewport.
TEST(SaverLayout, RepeatedOutsideAndEmptyMonitorsAreDropped) {
  const SaverLayout l = LayOutSaver(
      {{0, 0, 1920, 1080},
       {{0, 0, 1920, 1080}, {0, 0, 1920, 1080}, {1000, 500, 1920, 1080}, {5000, 0, 800, 600}, {10, 10, 0, 600}}});
  EXPECT_EQ(Texts(l.viewports), (Strings{"0,0 1920x1080", "1000,0 920x580"}));
}

TEST(SaverLayout, NothingUsableStillGivesOneViewport) {
  const SaverLayout none = LayOutSaver({{0, 0, 800, 600}, {}});
  EXPECT_EQ(Texts(none.viewports), Strings{"0,0 800x600"});
  const SaverLayout outside = LayOutSaver({{0, 0, 800, 600}, {{900, 0, 100, 100}}});
  EXPECT_EQ(Texts(outside.viewports), Strings{"0,0 800x600"});
  const SaverLayout empty = LayOutSaver({{0, 0, -5, 0}, {}});
  EXPECT_EQ(Text(empty.window), "0,0 1x1");
  EXPECT_EQ(Texts(empty.viewports), Strings{"0,0 1x1"});
}

}  // namespace
