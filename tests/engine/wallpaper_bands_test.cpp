// The wallpaper in bands: the elements of the whole-picture render on every
// engine and thread count, each row once, bands whole and in order on the
// calling thread, a few planes reused, the state untouched, and a sink that
// fails stopping every thread.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine_test_support.h"

namespace {

using namespace enginetest;

// Every row the bands carried, copied into planes of the whole picture, and
// what the calls looked like.
struct CollectingSink : WallpaperBandSink {
  CollectingSink(int32_t rows, int32_t columns)
      : columns(columns), R(size_t(rows) * columns, 0xDEAD), G(R), B(R), seen(size_t(rows), 0) {}
  void TakeBand(const PlaneView& band, int32_t first, int32_t last) override {
    otherThread |= std::this_thread::get_id() != caller;
    firstRows.push_back(first);
    lastRows.push_back(last);
    planes.insert(band.R);
    EXPECT_EQ(band.firstRow, first);
    for (int32_t r = first; r <= last; ++r) {
      ++seen[size_t(r)];
      const size_t from = size_t(r - band.firstRow) * size_t(band.stride), to = size_t(r) * size_t(columns);
      std::memcpy(&R[to], band.R + from, sizeof(uint16_t) * size_t(columns));
      std::memcpy(&G[to], band.G + from, sizeof(uint16_t) * size_t(columns));
      std::memcpy(&B[to], band.B + from, sizeof(uint16_t) * size_t(columns));
    }
  }
  int32_t columns;
  std::vector<uint16_t> R, G, B;
  std::vector<int> seen;
  std::vector<int32_t> firstRows, lastRows;
  std::set<const uint16_t*> planes;
  std::thread::id caller = std::this_thread::get_id();
  bool otherThread = false;
};

// The whole-picture render of rows 0..H, columns 0..W, for comparison.
struct WholePicture {
  WholePicture(PatternState& s, int32_t W, int32_t H, int threads)
      : stride(W + 1), R(size_t(H + 1) * stride), G(R), B(R) {
    RenderWallpaperInto(s, {R.data(), G.data(), B.data(), stride}, threads);
  }
  int32_t stride;
  std::vector<uint16_t> R, G, B;
};

// Compares rows first..last of the collected bands with the whole picture.
int Mismatches(const CollectingSink& sink, const WholePicture& whole, int32_t first, int32_t last) {
  int mismatches = 0;
  for (int32_t r = first; r <= last; ++r) {
    for (int32_t c = 0; c < sink.columns; ++c) {
      const size_t i = size_t(r) * size_t(sink.columns) + size_t(c), j = size_t(r) * size_t(whole.stride) + size_t(c);
      mismatches += sink.R[i] != whole.R[j] || sink.G[i] != whole.G[j] || sink.B[i] != whole.B[j];
    }
  }
  return mismatches;
}

struct EngineScope {
  explicit EngineScope(Engine e) { ok = SelectEngine(e); }
  ~EngineScope() { SelectEngine(Engine::Auto); }
  bool ok;
};

TEST(WallpaperBands, EqualTheWholePictureForEveryAlgorithmOrderAndThreadCount) {
  const int32_t W = 97, H = 61;  // odd sizes; rows 1..H as the command renders them
  for (int alg = 1; alg <= 12; ++alg) {
    auto s = Picture(alg, W, H);
    const WholePicture whole(*s, W, H, 1);
    for (bool descending : {false, true}) {
      for (int threads : {1, 2, 3, 8}) {
        CollectingSink sink(H + 1, W + 1);
        RenderWallpaperBands(*s, {1, H, W, descending}, threads, sink);
        EXPECT_EQ(Mismatches(sink, whole, 1, H), 0) << "algorithm " << alg << ", " << threads << " threads";
        EXPECT_EQ(sink.seen[0], 0);
      }
    }
  }
}

TEST(WallpaperBands, EqualTheWholePictureOnEveryEngine) {
  std::string skipped;
  for (Engine e : {Engine::X87, Engine::Sse2, Engine::Avx2, Engine::Avx512}) {
    const EngineScope scope(e);
    if (!scope.ok) {
      skipped += std::string(" ") + EngineName(e);
      continue;
    }
    for (int alg : {1, 4, 6, 12}) {
      auto s = Picture(alg, 203, 37);
      const WholePicture whole(*s, 203, 37, 2);
      CollectingSink sink(38, 204);
      RenderWallpaperBands(*s, {0, 37, 203, true}, 2, sink);
      EXPECT_EQ(Mismatches(sink, whole, 0, 37), 0) << EngineName(e) << ", algorithm " << alg;
    }
  }
  if (!skipped.empty()) std::printf("engines skipped (not on this processor):%s\n", skipped.c_str());
}

TEST(WallpaperBands, EveryRowOnceInWholeBandsInOrderOnTheCallingThread) {
  auto s = Picture(7, 300, 1000);
  for (bool descending : {false, true}) {
    CollectingSink sink(1001, 301);
    RenderWallpaperBands(*s, {1, 1000, 300, descending}, 3, sink);
    EXPECT_FALSE(sink.otherThread);
    for (int32_t r = 1; r <= 1000; ++r) ASSERT_EQ(sink.seen[size_t(r)], 1) << "row " << r;
    ASSERT_GT(sink.firstRows.size(), 4u);
    for (size_t b = 1; b < sink.firstRows.size(); ++b) {
      // Each band follows on from the one before, in the plan's direction.
      if (descending) {
        EXPECT_EQ(sink.lastRows[b], sink.firstRows[b - 1] - 1);
      } else {
        EXPECT_EQ(sink.firstRows[b], sink.lastRows[b - 1] + 1);
      }
    }
    // A few planes, reused from band to band: memory for bands, not the picture.
    EXPECT_LE(sink.planes.size(), 4u);
  }
}

TEST(WallpaperBands, OneRowOnePointAndMoreThreadsThanRows) {
  for (int32_t H : {1, 2, 5}) {
    auto s = Picture(3, 1, H);
    const WholePicture whole(*s, 1, H, 1);
    CollectingSink sink(H + 1, 2);
    RenderWallpaperBands(*s, {H, H, 1, false}, 16, sink);
    EXPECT_EQ(sink.firstRows.size(), 1u);
    EXPECT_EQ(Mismatches(sink, whole, H, H), 0) << H;
  }
}

TEST(WallpaperBands, LeaveTheStateAsItWas) {
  auto s = Picture(11, 160, 120);
  s->CellU = 99;  // stale scratch must neither matter nor change
  const auto before = std::make_unique<PatternState>(*s);
  CollectingSink sink(121, 161);
  RenderWallpaperBands(*s, {0, 120, 160, false}, 2, sink);
  EXPECT_EQ(std::memcmp(s.get(), before.get(), sizeof(PatternState)), 0);
}

TEST(WallpaperBands, UnknownAlgorithmGivesZeros) {
  for (int alg : {0, 13}) {
    auto s = Picture(alg, 40, 30);
    CollectingSink sink(31, 41);
    RenderWallpaperBands(*s, {1, 30, 40, false}, 2, sink);
    for (int32_t r = 1; r <= 30; ++r) {
      for (int32_t c = 0; c <= 40; ++c) ASSERT_EQ(sink.R[size_t(r) * 41 + size_t(c)], 0) << alg;
    }
  }
}

// A sink that fails (a full disk, say) on its third band.
struct FailingSink : WallpaperBandSink {
  void TakeBand(const PlaneView&, int32_t, int32_t) override {
    if (++bands == 3) throw std::runtime_error("disk full");
  }
  int bands = 0;
};

TEST(WallpaperBands, ASinkThatFailsStopsEveryThreadAndItsErrorArrives) {
  for (int threads : {1, 2, 4}) {
    auto s = Picture(1, 400, 2000);
    FailingSink sink;
    try {
      RenderWallpaperBands(*s, {1, 2000, 400, false}, threads, sink);
      ADD_FAILURE() << "no error with " << threads << " threads";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "disk full");
    }
    EXPECT_EQ(sink.bands, 3) << "a band was handed over after the failure";
  }
}

}  // namespace
