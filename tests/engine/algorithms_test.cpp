// Worked values of the twelve algorithms in both forms, and the wallpaper
// elements they quantise to.
#include <gtest/gtest.h>

#include <cmath>

#include "engine_test_support.h"

namespace {

using namespace enginetest;

constexpr double kFourPlaces = 0.00005 + 1e-9;
constexpr double kSixPlaces = 0.0000005 + 1e-9;

struct Inputs {
  int alg;
  int32_t W = 120, H = 90, c = 0, r = 0;
  float A = 0, B = 0, C = 0, Ox = 0, Oy = 0;
};

std::unique_ptr<PatternState> Prepare(const Inputs& in) {
  auto s = NewState(in.W, in.H);
  s->Algorithm = in.alg;
  s->Column = in.c;
  s->Row = in.r;
  SetPhases(*s, in.A, in.B, in.C);
  s->OffsetX = in.Ox;
  s->OffsetY = in.Oy;
  return s;
}

struct Rgb {
  double R, G, B;
};

// The live form's three ColourGrid values at the point.
Rgb Live(const Inputs& in, std::unique_ptr<PatternState>* keep = nullptr) {
  auto s = Prepare(in);
  EvaluateLivePoint(*s);
  const Rgb v{s->ColourGrid.R[in.r][in.c], s->ColourGrid.G[in.r][in.c], s->ColourGrid.B[in.r][in.c]};
  if (keep) *keep = std::move(s);
  return v;
}

// The wallpaper form's PixelR/G/B and the three 16-bit elements.
struct Wall {
  Rgb v;
  uint16_t q[3];
};
Wall Wallpaper(const Inputs& in) {
  auto s = Prepare(in);
  EvaluateWallpaperPoint(*s);
  return {{double(s->PixelR), double(s->PixelG), double(s->PixelB)},
          {QuantiseChannel(*s, 0), QuantiseChannel(*s, 1), QuantiseChannel(*s, 2)}};
}

void ExpectRgb(const Rgb& got, const Rgb& want, double tolerance, const char* what) {
  EXPECT_NEAR(got.R, want.R, tolerance) << what << " red";
  EXPECT_NEAR(got.G, want.G, tolerance) << what << " green";
  EXPECT_NEAR(got.B, want.B, tolerance) << what << " blue";
}

// Both forms to the given places, and the elements when the test gives them.
void ExpectBoth(const Inputs& in, const Rgb& want, double tolerance = kFourPlaces) {
  ExpectRgb(Live(in), want, tolerance, "live");
  ExpectRgb(Wallpaper(in).v, want, tolerance, "wallpaper");
}

void ExpectBytes(const Inputs& in, uint16_t r, uint16_t g, uint16_t b) {
  const Wall w = Wallpaper(in);
  EXPECT_EQ(w.q[0], r);
  EXPECT_EQ(w.q[1], g);
  EXPECT_EQ(w.q[2], b);
}

TEST(Algorithm1, CentrePointSequence) {
  std::unique_ptr<PatternState> s;
  const Rgb v = Live({.alg = 1, .c = 60, .r = 45}, &s);
  EXPECT_EQ(s->SeqX[1], 0.0f);
  EXPECT_EQ(s->SeqY[1], 0.0f);
  EXPECT_EQ(s->BiasX, 0.0f);
  EXPECT_EQ(s->BiasY, 0.0f);
  EXPECT_EQ(s->SeqX[2], 1.0f);
  EXPECT_EQ(s->SeqY[2], 0.25f);
  EXPECT_NEAR(s->SeqZ[2], 0.0304, kFourPlaces);
  EXPECT_NEAR(s->SeqZ[3], 0.5728, kFourPlaces);
  EXPECT_NEAR(s->SeqZ[4], 0.6678, kFourPlaces);
  EXPECT_EQ(s->Step, 4);
  ExpectRgb(v, {0.8110, 0.6888, 0.0309}, kFourPlaces, "live");
  ExpectBoth({.alg = 1, .c = 60, .r = 45, .A = 1, .B = 2, .C = 3}, {0.8110, 0.6888, 0.0309});
}

TEST(Algorithm1, CornerAndWallpaperCentre) {
  std::unique_ptr<PatternState> s;
  ExpectRgb(Live({.alg = 1}, &s), {0.6192, 0.9264, 0.8227}, kFourPlaces, "live");
  EXPECT_EQ(s->SeqX[1], -2.0f);
  EXPECT_EQ(s->SeqY[1], -2.0f);
  EXPECT_EQ(s->BiasX, float(x87::Sin(2.0L)));
  EXPECT_EQ(s->BiasY, float(x87::Sin(2.0L)));
  ExpectBoth({.alg = 1}, {0.6192, 0.9264, 0.8227});
  ExpectBytes({.alg = 1, .W = 1600, .H = 1200, .c = 800, .r = 600}, 207, 176, 8);
}

TEST(Algorithm2And3, WorkedValues) {
  const Inputs two{.alg = 2, .A = 1, .B = 2, .C = 3};
  ExpectRgb(Live(two), {0.0621, 0.4929, 0.9133}, kFourPlaces, "live");
  ExpectBytes(two, 16, 126, 233);
  const Wall w2 = Wallpaper(two);
  EXPECT_NEAR(w2.v.R, 0.2492, kFourPlaces);  // folded, not yet squared
  Inputs three = two;
  three.alg = 3;
  ExpectRgb(Live(three), {0.9680, 0.4171, 0.6670}, kFourPlaces, "live");
  ExpectBytes(three, 247, 106, 170);
}

TEST(Algorithm2And3, LastPointUsesPiAndTwoPiAsSingles) {
  std::unique_ptr<PatternState> s;
  Live({.alg = 2, .c = 120, .r = 90}, &s);
  EXPECT_EQ(s->CellU, float(kPi));
  EXPECT_EQ(s->CellV, float(kPi));
  Live({.alg = 3, .W = 100, .H = 75, .c = 100, .r = 75}, &s);
  EXPECT_EQ(s->CellU, float(kTwoPi));
  EXPECT_EQ(s->CellV, float(kTwoPi));
}

TEST(Algorithm4, CentreAndCorner) {
  std::unique_ptr<PatternState> s;
  ExpectRgb(Live({.alg = 4, .c = 60, .r = 45}, &s), {0.1387, 0.6004, 0.0372}, kFourPlaces, "live");
  const double seqY[] = {0, 1, 0.0251, 0.9504};
  const double seqZ[] = {0.0043, -1.9734, -0.0394};
  for (int k = 1; k <= 4; ++k) {
    EXPECT_EQ(s->SeqX[k], 0.0f) << k;
    EXPECT_NEAR(s->SeqY[k], seqY[k - 1], kFourPlaces) << k;
    if (k >= 2) {
      EXPECT_NEAR(s->SeqZ[k], seqZ[k - 2], kFourPlaces) << k;
    }
  }
  EXPECT_EQ(s->Step, 4);
  ExpectBoth({.alg = 4, .c = 60, .r = 45}, {0.1387, 0.6004, 0.0372});
  ExpectBoth({.alg = 4}, {0.6398, 0.6398, 0.6865});
}

TEST(Algorithm5, ChainsUnfoldedValues) {
  ExpectBoth({.alg = 5}, {1.0, 0.4597, 0.0305});
  EXPECT_EQ(Live({.alg = 5}).R, 1.0);  // exactly 1: the fold needs more
  ExpectBytes({.alg = 5}, 255, 117, 8);
  // Red 7 raw folds to -1; the wallpaper element wraps below zero.
  ExpectBoth({.alg = 5, .A = 6}, {-1.0, 0.2461, 0.1821});
  ExpectBytes({.alg = 5, .A = 6}, uint16_t(-255), 63, 46);
}

TEST(Algorithm6, VanishesAtTheCorners) {
  ExpectBoth({.alg = 6, .A = 1, .B = 2, .C = 3}, {0, 0, 0}, 0);
  const Rgb far = Live({.alg = 6, .c = 120, .r = 90, .A = 1, .B = 2, .C = 3});
  ExpectRgb(far, {0, 0, 0}, 1e-12, "last point");
}

TEST(Algorithm7, CornerAndCentre) {
  ExpectBoth({.alg = 7, .A = 1, .B = 2, .C = 3}, {0.0199, 0.5728, 0.8268});
  ExpectBoth({.alg = 7, .c = 60, .r = 45}, {1, 1, 0});
}

TEST(Algorithm8, ShiftedCoordinates) {
  ExpectBoth({.alg = 8}, {1, 1, 0});
  ExpectBytes({.alg = 8}, 255, 255, 0);
  std::unique_ptr<PatternState> s;
  ExpectRgb(Live({.alg = 8, .A = 1, .B = 2, .C = 3}, &s), {0.7428, 0.7810, 0.1200}, kFourPlaces,
            "live");
  EXPECT_EQ(s->CellU, 0.2f);
  EXPECT_EQ(s->CellV, 0.4f);
  ExpectBoth({.alg = 8, .A = 1, .B = 2, .C = 3}, {0.7428, 0.7810, 0.1200});
}

TEST(Algorithm9, PairsAndConstantBlue) {
  ExpectBoth({.alg = 9}, {1, 0, 1});
  ExpectBytes({.alg = 9}, 255, 0, 255);
  ExpectBoth({.alg = 9, .A = 1, .B = 2, .C = 3}, {0.0250, 0.7699, 0.7396});
  for (int c = 0; c <= 120; c += 13) {
    for (int r = 0; r <= 90; r += 11) {
      EXPECT_NEAR(Live({.alg = 9, .c = c, .r = r, .A = 2.5f, .B = 4}).B, 1.0, 1e-6);
    }
  }
}

TEST(Algorithms10To12, WorkedTable) {
  struct Row {
    int alg;
    float A, B, C;
    Rgb v;
    uint16_t q[3];
  };
  const Row table[] = {
      {10, 0, 0, 0, {0.875469, 0.875469, 0.875469}, {223, 223, 223}},
      {11, 0, 0, 0, {0.678072, 0.678072, 0.678072}, {173, 173, 173}},
      {12, 0, 0, 0, {0, 0, 0}, {0, 0, 0}},
      {10, 1, 2, 3, {0.844957, 0.889592, 0.475085}, {215, 227, 121}},
      {11, 1, 2, 3, {0.802757, 0.699661, 0.874584}, {205, 178, 223}},
      {12, 1, 2, 3, {0.563166, 0.485645, 0}, {144, 124, 0}},
  };
  for (const Row& t : table) {
    SCOPED_TRACE(t.alg);
    const Inputs in{.alg = t.alg, .W = 640, .H = 480, .A = t.A, .B = t.B, .C = t.C};
    const Wall w = Wallpaper(in);
    ExpectRgb(w.v, t.v, kSixPlaces, "wallpaper");
    for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(w.q[ch], t.q[ch]);
    ExpectRgb(Live(in), t.v, kFourPlaces, "live");
  }
  ExpectRgb(Live({.alg = 12, .c = 30, .r = 20, .A = 1, .B = 2, .C = 3}), {0.077521, 0, 0.834249},
            kSixPlaces, "live (30, 20)");
}

TEST(Algorithms10To12, FirstAndLastColumn) {
  std::unique_ptr<PatternState> s;
  Live({.alg = 10, .A = 1, .B = 2}, &s);
  EXPECT_EQ(s->CellU, float(1.0L / 5));
  EXPECT_EQ(s->CellV, float(2.0L / 5));
  Live({.alg = 11, .c = 120, .r = 90, .A = 1, .B = 2}, &s);
  EXPECT_EQ(s->CellU, float(kPi + 1.0L / 5));
  EXPECT_EQ(s->CellV, float(kPi + 2.0L / 5));
  Live({.alg = 12, .c = 120, .r = 90, .A = 1, .B = 2}, &s);
  EXPECT_EQ(s->CellU, float(kTwoPi));
}

// Every algorithm's single evaluations against the plain formulas, bit for
// bit, at assorted points and inputs, in both forms.
TEST(AllAlgorithms, MatchThePlainFormulasBitForBit) {
  const float phases[][5] = {{0, 0, 0, 0, 0}, {1, 2, 3, 0.5f, -0.25f}, {6.1f, 0.3f, 4.4f, -6.2f, 6.2f}};
  for (int alg = 1; alg <= 12; ++alg) {
    for (const auto& p : phases) {
      for (int c : {0, 17, 60, 119, 120}) {
        for (int r : {0, 44, 90}) {
          Inputs in{.alg = alg, .c = c, .r = r, .A = p[0], .B = p[1], .C = p[2], .Ox = p[3], .Oy = p[4]};
          auto s = Prepare(in);
          auto plain = Prepare(in);
          EvaluateLivePoint(*s);
          float R, G, B;
          PlainEvaluate(*plain, R, G, B, true);
          ASSERT_EQ(s->ColourGrid.R[r][c], R) << alg << " " << c << " " << r;
          ASSERT_EQ(s->ColourGrid.G[r][c], G) << alg << " " << c << " " << r;
          ASSERT_EQ(s->ColourGrid.B[r][c], B) << alg << " " << c << " " << r;
          EvaluateWallpaperPoint(*s);
          L wr, wg, wb;
          PlainEvaluate(*plain, wr, wg, wb, false);
          ASSERT_EQ(s->PixelR, wr) << alg;
          ASSERT_EQ(s->PixelG, wg) << alg;
          ASSERT_EQ(s->PixelB, wb) << alg;
          EXPECT_EQ(QuantiseChannel(*s, 0), PlainQuantise(alg, wr));
          EXPECT_EQ(s->CellU, plain->CellU);
          EXPECT_EQ(s->SeqZ[4], plain->SeqZ[4]);
        }
      }
    }
  }
}

TEST(AllAlgorithms, OutsideOneToTwelveEvaluatesNothing) {
  for (int alg : {0, 13, -1}) {
    auto s = Prepare({.alg = alg, .c = 3, .r = 4});
    s->ColourGrid.R[4][3] = 0.5f;
    s->PixelG = 0.25L;
    EvaluateLivePoint(*s);
    EvaluateWallpaperPoint(*s);
    EXPECT_EQ(s->ColourGrid.R[4][3], 0.5f);
    EXPECT_EQ(s->PixelG, 0.25L);
    EXPECT_EQ(s->CellU, 0.0f);
  }
}

}  // namespace
