// The wallpaper rasteriser: extent, untouched planes, wrap-around of values
// outside 0..1, bit-identity with the plain formulas, independence from the
// thread count and from the entry point, and progress reports.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "engine_test_support.h"

namespace {

using namespace enginetest;

// Caller-owned planes of rows x stride elements.
struct Planes {
  Planes(int32_t rows, int32_t stride, uint16_t fill)
      : stride(stride), R(size_t(rows) * stride, fill), G(R), B(R) {}
  PlaneView View() { return {R.data(), G.data(), B.data(), stride}; }
  bool operator==(const Planes& o) const { return R == o.R && G == o.G && B == o.B; }
  int32_t stride;
  std::vector<uint16_t> R, G, B;
};

void FillStaticPlanes(uint16_t v) {
  for (auto* plane : {&WallpaperPlanes.R, &WallpaperPlanes.G, &WallpaperPlanes.B}) {
    std::fill(&(*plane)[0][0], &(*plane)[0][0] + kWallpaperRows * kWallpaperColumns, v);
  }
}

TEST(RenderWallpaper, Fills641By481AndLeavesTheRest) {
  FillStaticPlanes(0xABCD);
  auto s = Picture(10, 640, 480);
  const auto before = *s;
  RenderWallpaper(*s);
  int written = 0;
  for (int r = 0; r < kWallpaperRows; ++r) {
    for (int c = 0; c < kWallpaperColumns; ++c) {
      const bool changed = WallpaperPlanes.B[r][c] != 0xABCD;
      if (changed != (r <= 480 && c <= 640)) FAIL() << r << " " << c;
      written += changed;
    }
  }
  EXPECT_EQ(written, 641 * 481);
  EXPECT_LE(WallpaperPlanes.R[480][640], 255);
  EXPECT_EQ(s->Column, 641);
  EXPECT_EQ(s->Row, 481);
  EXPECT_EQ(s->PhaseA, before.PhaseA);
  EXPECT_EQ(s->PhaseBVelocity, before.PhaseBVelocity);
  EXPECT_EQ(s->OffsetY, before.OffsetY);
  EXPECT_EQ(std::memcmp(&s->ColourGrid, &before.ColourGrid, sizeof s->ColourGrid), 0);
}

TEST(RenderWallpaper, UnknownAlgorithmStoresNothing) {
  FillStaticPlanes(0x1234);
  for (int alg : {0, 13}) {
    auto s = Picture(alg, 640, 480);
    RenderWallpaper(*s);
    EXPECT_EQ(WallpaperPlanes.G[0][0], 0x1234);
    EXPECT_EQ(WallpaperPlanes.R[480][640], 0x1234);
    EXPECT_EQ(s->Row, 481);
  }
}

TEST(RenderWallpaper, EqualsThePlainFormulasAtEveryPixel) {
  for (int alg = 1; alg <= 12; ++alg) {
    auto s = Picture(alg, 97, 61);
    Planes planes(62, 98, 0xFFFF);
    RenderWallpaperInto(*s, planes.View(), 2);
    auto plain = NewState();
    *plain = *s;
    int mismatches = 0;
    for (plain->Row = 0; plain->Row <= 61; ++plain->Row) {
      for (plain->Column = 0; plain->Column <= 97; ++plain->Column) {
        L R, G, B;
        PlainEvaluate(*plain, R, G, B, false);
        const size_t i = size_t(plain->Row) * 98 + plain->Column;
        mismatches += planes.R[i] != PlainQuantise(alg, R);
        mismatches += planes.G[i] != PlainQuantise(alg, G);
        mismatches += planes.B[i] != PlainQuantise(alg, B);
      }
    }
    EXPECT_EQ(mismatches, 0) << "algorithm " << alg;
    // The record holds what the last pixel left.
    plain->Column = 97;
    plain->Row = 61;
    L R, G, B;
    PlainEvaluate(*plain, R, G, B, false);
    EXPECT_EQ(s->PixelR, R) << alg;
    EXPECT_EQ(s->PixelB, B) << alg;
    EXPECT_EQ(s->CellV, plain->CellV) << alg;
    EXPECT_EQ(s->SeqZ[2], plain->SeqZ[2]) << alg;
  }
}

TEST(RenderWallpaper, BytesDoNotDependOnThreadsOrEntryPoint) {
  const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
  for (int alg : {1, 5, 11}) {
    auto s = Picture(alg, 333, 201);
    Planes one(202, 400, 0), reference(202, 400, 0);
    RenderWallpaperInto(*s, one.View(), 1);
    for (int threads : {2, 3, int(cores), 64, 0}) {
      Planes many(202, 400, 0);
      RenderWallpaperInto(*s, many.View(), threads);
      EXPECT_TRUE(many == one) << "algorithm " << alg << ", " << threads << " threads";
    }
    RenderWallpaper(*s);
    int differ = 0;
    for (int r = 0; r <= 201; ++r) {
      for (int c = 0; c <= 333; ++c) {
        differ += WallpaperPlanes.R[r][c] != one.R[size_t(r) * 400 + c];
        differ += WallpaperPlanes.B[r][c] != one.B[size_t(r) * 400 + c];
      }
    }
    EXPECT_EQ(differ, 0) << "static planes, algorithm " << alg;
  }
}

TEST(RenderWallpaper, IdenticalStateGivesIdenticalPlanes) {
  auto s = Picture(3, 160, 120);
  Planes first(121, 161, 0), second(121, 161, 7);
  RenderWallpaperInto(*s, first.View());
  s->CellU = 99;  // stale scratch must not matter
  s->SeqX[3] = -5;
  RenderWallpaperInto(*s, second.View());
  EXPECT_TRUE(first == second);
}

TEST(RenderWallpaper, ReportsProgressFromTheCallingThread) {
  struct Log {
    std::thread::id caller = std::this_thread::get_id();
    std::vector<int> percents;
    bool otherThread = false;
  } log;
  auto s = Picture(8, 300, 400);
  Planes planes(401, 301, 0);
  RenderWallpaperInto(*s, planes.View(), 2, [](int percent, void* user) {
    auto* l = static_cast<Log*>(user);
    l->otherThread |= std::this_thread::get_id() != l->caller;
    l->percents.push_back(percent);
  }, &log);
  EXPECT_FALSE(log.otherThread);
  ASSERT_FALSE(log.percents.empty());
  EXPECT_EQ(log.percents.back(), 100);
  for (size_t i = 1; i < log.percents.size(); ++i) EXPECT_LT(log.percents[i - 1], log.percents[i]);
}

TEST(RenderWallpaper, StaticPlanesAreNeverOverrun) {
  FillStaticPlanes(0xABCD);
  auto s = Picture(6, 1700, 1300);  // larger than the planes: cut at 1600 x 1200
  RenderWallpaper(*s);
  EXPECT_NE(WallpaperPlanes.R[1200][1600], 0xABCD);
  EXPECT_EQ(s->GridColumns, 1700);
}

TEST(RenderWallpaper, ZeroSizeGivesNotANumberQuantisedToZero) {
  for (int alg : {2, 9}) {
    auto s = Picture(alg, 0, 0);
    Planes planes(1, 1, 0xABCD);
    RenderWallpaperInto(*s, planes.View());
    EXPECT_EQ(planes.G[0], 0) << alg;  // 0/0 positions, NaN channels
    EXPECT_EQ(s->Column, 1);
    EXPECT_EQ(s->Row, 1);
  }
  auto negative = Picture(2, 5, -1);
  Planes untouched(1, 1, 0xABCD);
  RenderWallpaperInto(*negative, untouched.View());
  EXPECT_EQ(untouched.R[0], 0xABCD);
}

TEST(Quantise, WrapsValuesOutsideZeroToOne) {
  auto s = NewState();
  s->Algorithm = 7;
  const struct {
    L value;
    uint16_t element;
  } table[] = {{0, 0x0000},      {0.5L, 0x0080}, {1, 0x00FF},  {-0.5L, 0xFF80},
               {1.5L, 0x017E},   {1.2L, 0x0132}, {-1, 0xFF01}, {std::numeric_limits<L>::quiet_NaN(), 0},
               {std::numeric_limits<L>::infinity(), 0}, {-std::numeric_limits<L>::infinity(), 0}};
  for (const auto& t : table) {
    s->PixelG = t.value;
    EXPECT_EQ(QuantiseChannel(*s, 1), t.element) << double(t.value);
  }
  EXPECT_EQ(QuantiseChannel(*s, 1) & 0xFF, 0);
  s->PixelG = 1.2L;
  EXPECT_EQ(QuantiseChannel(*s, 1) & 0xFF, 50);
  // Algorithm 2 squares inside the scaling, algorithm 3 takes sin^2.
  s->PixelR = 0.5L;
  s->Algorithm = 2;
  EXPECT_EQ(QuantiseChannel(*s, 0), 64);  // 63.75
  s->Algorithm = 3;
  EXPECT_EQ(QuantiseChannel(*s, 0), uint16_t(x87::RoundToInt64(Sq(x87::Sin(0.5L)) * 255)));
}

}  // namespace
