// The fold ladders of both forms, at and around their thresholds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/gradient.h"

namespace {

using namespace Gradient;
using L = long double;

struct Case {
  L in, out;
};

TEST(FoldLadder, ThreeTwoOne) {
  const Case cases[] = {{0.4L, 0.4L}, {1.0L, 1.0L}, {1.5L, 0.5L}, {2.5L, 0.5L}, {3.5L, 0.5L},
                        {3.0L, 1.0L}, {6.0L, 0.0L}, {6.5L, -0.5L}, {7.0L, -1.0L}, {-0.2L, -0.2L},
                        {2.0L, 0.0L}};
  for (int alg : {1, 2, 4, 5}) {
    for (const Case& c : cases) {
      EXPECT_EQ(FoldWallpaper(c.in, alg), c.out) << "alg " << alg << " in " << double(c.in);
      EXPECT_EQ(FoldLive(float(c.in), alg), float(c.out)) << "alg " << alg;
    }
  }
}

TEST(FoldLadder, FourThreeTwoOne) {
  const Case cases[] = {{7, 1}, {8, 0}, {9, -1}, {4, 0}, {3, 1}, {2, 0}, {1, 1}, {5, 1}, {1.2L, 0.8L}};
  for (int alg = 6; alg <= 12; ++alg) {
    for (const Case& c : cases) {
      EXPECT_NEAR(double(FoldWallpaper(c.in, alg)), double(c.out), 1e-18) << "alg " << alg;
      EXPECT_NEAR(FoldLive(float(c.in), alg), double(c.out), 1e-7) << "alg " << alg;
    }
  }
}

TEST(FoldLadder, JustAboveAThresholdFolds) {
  const float above1 = std::nextafter(1.0f, 2.0f);
  EXPECT_EQ(FoldLive(above1, 7), float(2.0L - above1));
  EXPECT_LT(FoldLive(above1, 7), 1.0f);
  const L aboveThree = std::nextafter(3.0L, 4.0L);
  // 6 - v just below 3, then folded at 2 and left at 1.
  EXPECT_EQ(FoldWallpaper(aboveThree, 1), 2 - (4 - (6 - aboveThree)));
  EXPECT_EQ(FoldWallpaper(std::nextafter(1.0L, 0.0L), 1), std::nextafter(1.0L, 0.0L));
}

TEST(FoldLadder, IsTheTriangleWaveUpToTwiceTheFirstThreshold) {
  for (L v = 0; v <= 8; v += 0.125L) {
    const L wave = std::fabs(std::fmod(v + 1, L(2)) - 1);
    EXPECT_EQ(FoldWallpaper(v, 9), wave) << double(v);
    if (v <= 6) {
      EXPECT_EQ(FoldWallpaper(v, 2), wave) << double(v);
    }
  }
}

TEST(FoldLadder, PassesNanAndHasNoneForAlgorithmThree) {
  EXPECT_TRUE(std::isnan(FoldLive(std::numeric_limits<float>::quiet_NaN(), 6)));
  EXPECT_TRUE(std::isnan(FoldWallpaper(std::numeric_limits<L>::quiet_NaN(), 1)));
  EXPECT_EQ(FoldWallpaper(5, 3), 5);
  EXPECT_EQ(FoldLive(-std::numeric_limits<float>::infinity(), 8),
            -std::numeric_limits<float>::infinity());
  EXPECT_EQ(FoldLive(std::numeric_limits<float>::infinity(), 8),
            -std::numeric_limits<float>::infinity());
}

}  // namespace
