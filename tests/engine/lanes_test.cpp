// The lane engines against the x87 path: their elementary functions within
// the bounds the engines assume and the same on every width, and the live
// grids and wallpaper planes of every algorithm identical to the x87 ones for
// random states and sizes and for states far outside the drift's range.
// Every width this processor runs is tested; the others are named as skipped.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/lane_engine.h"
#include "engine_test_support.h"

namespace {

using namespace enginetest;

// Selects an engine for one test and the widest again afterwards.
struct EngineScope {
  explicit EngineScope(Engine e) { ok = SelectEngine(e); }
  ~EngineScope() { SelectEngine(Engine::Auto); }
  bool ok;
};

std::vector<Engine> LaneEnginesHere() {
  std::vector<Engine> here;
  std::string skipped;
  for (Engine e : {Engine::Sse2, Engine::Avx2, Engine::Avx512}) {
    if (EngineAvailable(e) && detail::LaneEngineFor(e)) {
      here.push_back(e);
    } else {
      skipped += std::string(skipped.empty() ? "" : ", ") + EngineName(e);
    }
  }
  static bool told = false;
  if (!told && !skipped.empty()) std::printf("lane engines skipped (not on this processor): %s\n", skipped.c_str());
  told = true;
  return here;
}

// ---- Elementary functions ----

double UlpsOf(long double difference, long double reference) {
  const long double ulp = std::ldexp(1.0L, std::ilogb(std::fmax(std::fabs(reference), 0x1p-1022L)) - 52);
  return double(std::fabs(difference) / ulp);
}

struct KernelRun {
  std::vector<double> x, sin, cos, ln, log2, log10;
  explicit KernelRun(std::vector<double> in)
      : x(std::move(in)), sin(x.size()), cos(x.size()), ln(x.size()), log2(x.size()), log10(x.size()) {}
  void Run(const detail::LaneEngine& lanes) {
    lanes.kernels({x.data(), int(x.size()), sin.data(), cos.data(), ln.data(), log2.data(), log10.data()});
  }
};

std::vector<double> TrigArguments() {
  std::vector<double> x;
  for (int i = -400000; i <= 400000; ++i) x.push_back(i * 1e-4);  // -40..40, where the formulas are
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> wide(-detail::kTrigLimit, detail::kTrigLimit);
  for (int i = 0; i < 200000; ++i) x.push_back(wide(random));
  for (int k = 1; k < 2000; ++k) {  // next to the multiples of pi/2, where sin or cos vanishes
    const double m = double(k * kPi / 2);
    for (double d : {0.0, 1e-9, -1e-9}) x.push_back(std::nextafter(m, m + d));
  }
  return x;
}

TEST(LaneKernels, SineAndCosineWithinTheirBoundAndTheSameOnEveryWidth) {
  const std::vector<Engine> engines = LaneEnginesHere();
  if (engines.empty()) GTEST_SKIP() << "no lane engine here";
  KernelRun first(TrigArguments());
  first.Run(*detail::LaneEngineFor(engines[0]));
  double worstUlps = 0, worstNear = 0;
  for (size_t i = 0; i < first.x.size(); ++i) {
    const long double x = first.x[i];
    const long double bound = detail::kTrigError + std::fabs(x) * detail::kTrigPerArgument;
    const long double ds = first.sin[i] - x87::Sin(x), dc = first.cos[i] - x87::Cos(x);
    ASSERT_LE(std::fabs(ds), bound) << "sin " << first.x[i];
    ASSERT_LE(std::fabs(dc), bound) << "cos " << first.x[i];
    if (std::fabs(x) <= 40) {
      worstUlps = std::max({worstUlps, UlpsOf(ds, 1), UlpsOf(dc, 1)});
      worstNear = std::max(worstNear, double(std::max(std::fabs(ds), std::fabs(dc)) / detail::kTrigError));
    }
  }
  std::printf("sin/cos on |x| <= 40: largest difference from the processor %.2f ulps of 1 (%.3f of the bound)\n",
              worstUlps, worstNear);
  for (size_t e = 1; e < engines.size(); ++e) {
    KernelRun other(first.x);
    other.Run(*detail::LaneEngineFor(engines[e]));
    EXPECT_EQ(std::memcmp(other.sin.data(), first.sin.data(), first.x.size() * 8), 0) << EngineName(engines[e]);
    EXPECT_EQ(std::memcmp(other.cos.data(), first.cos.data(), first.x.size() * 8), 0) << EngineName(engines[e]);
  }
}

TEST(LaneKernels, LogarithmsWithinTheirBoundAndTheSameOnEveryWidth) {
  const std::vector<Engine> engines = LaneEnginesHere();
  if (engines.empty()) GTEST_SKIP() << "no lane engine here";
  std::vector<double> x;
  for (int i = 1; i <= 600000; ++i) x.push_back(i * 1e-5);  // 0.00001..6, where the formulas are
  for (int i = 0; i < 4000; ++i) x.push_back(1 + (i - 2000) * 1e-12);  // next to 1, where they vanish
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> exponent(-1000, 1000);
  for (int i = 0; i < 100000; ++i) x.push_back(std::exp2(exponent(random)));
  KernelRun first(x);
  first.Run(*detail::LaneEngineFor(engines[0]));
  double worst = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    const long double refs[3] = {x87::Ln(x[i]), x87::Log2(x[i]), x87::Log10(x[i])};
    const double got[3] = {first.ln[i], first.log2[i], first.log10[i]};
    for (int f = 0; f < 3; ++f) {
      const long double d = got[f] - refs[f];
      ASSERT_LE(std::fabs(d), std::fabs(refs[f]) * detail::kLogError) << f << " of " << x[i];
      if (refs[f] != 0) worst = std::max(worst, UlpsOf(d, refs[f]));
    }
  }
  std::printf("ln/log2/log10: largest difference from the processor %.2f ulps of the result\n", worst);
  for (size_t e = 1; e < engines.size(); ++e) {
    KernelRun other(x);
    other.Run(*detail::LaneEngineFor(engines[e]));
    EXPECT_EQ(std::memcmp(other.ln.data(), first.ln.data(), x.size() * 8), 0) << EngineName(engines[e]);
    EXPECT_EQ(std::memcmp(other.log10.data(), first.log10.data(), x.size() * 8), 0) << EngineName(engines[e]);
  }
}

// ---- Whole sweeps ----

struct Phases {
  float a, b, c, ox, oy;
};

// Phases and offsets across the drift's range and a little past its bounds.
Phases RandomPhases(std::mt19937& random) {
  std::uniform_real_distribution<float> phase(-0.05f, 6.35f), offset(-6.35f, 6.35f);
  return {phase(random), phase(random), phase(random), offset(random), offset(random)};
}

std::unique_ptr<PatternState> StateWith(int alg, int32_t w, int32_t h, const Phases& p) {
  auto s = NewState(w, h);
  s->Algorithm = alg;
  SetPhases(*s, p.a, p.b, p.c);
  s->OffsetX = p.ox;
  s->OffsetY = p.oy;
  return s;
}

// The record after a live sweep on `engine`: grid, counters and scratch.
std::unique_ptr<PatternState> SweptOn(Engine engine, int alg, int32_t w, int32_t h, const Phases& p) {
  EngineScope scope(engine);
  auto s = StateWith(alg, w, h, p);
  SweepFrame(*s);
  return s;
}

std::vector<uint16_t> RenderedOn(Engine engine, int alg, int32_t w, int32_t h, const Phases& p) {
  EngineScope scope(engine);
  auto s = StateWith(alg, w, h, p);
  const size_t plane = size_t(w + 1) * size_t(h + 1);
  std::vector<uint16_t> planes(3 * plane, 0xABCD);
  RenderWallpaperInto(*s, {planes.data(), planes.data() + plane, planes.data() + 2 * plane, w + 1}, 2);
  return planes;
}

std::string Describe(Engine e, int alg, int32_t w, int32_t h, const Phases& p) {
  char text[200];
  std::snprintf(text, sizeof text, "%s, algorithm %d, %dx%d, phases %g %g %g, offsets %g %g", EngineName(e),
                alg, w, h, double(p.a), double(p.b), double(p.c), double(p.ox), double(p.oy));
  return text;
}

void ExpectLiveAlike(int alg, int32_t w, int32_t h, const Phases& p) {
  const auto reference = SweptOn(Engine::X87, alg, w, h, p);
  for (Engine e : LaneEnginesHere()) {
    const auto lanes = SweptOn(e, alg, w, h, p);
    EXPECT_EQ(std::memcmp(&lanes->ColourGrid, &reference->ColourGrid, sizeof reference->ColourGrid), 0)
        << Describe(e, alg, w, h, p);
    // Counters and scratch fields as the x87 sweep leaves them.
    EXPECT_EQ(std::memcmp(lanes.get(), reference.get(), sizeof(PatternState)), 0) << Describe(e, alg, w, h, p);
  }
}

void ExpectWallpaperAlike(int alg, int32_t w, int32_t h, const Phases& p) {
  const std::vector<uint16_t> reference = RenderedOn(Engine::X87, alg, w, h, p);
  for (Engine e : LaneEnginesHere()) {
    EXPECT_TRUE(RenderedOn(e, alg, w, h, p) == reference) << Describe(e, alg, w, h, p);
  }
}

TEST(LaneSweeps, LiveGridsOfEveryAlgorithmAreTheX87Ones) {
  if (LaneEnginesHere().empty()) GTEST_SKIP() << "no lane engine here";
  std::mt19937 random(2024);
  std::uniform_int_distribution<int32_t> columns(1, 200), rows(1, 150);
  for (int alg = 1; alg <= 12; ++alg) {
    for (int i = 0; i < 8; ++i) {
      const Phases p = RandomPhases(random);
      ExpectLiveAlike(alg, 120, 90, p);
      ExpectLiveAlike(alg, 100, 75, p);
      ExpectLiveAlike(alg, columns(random), rows(random), p);
    }
  }
}

TEST(LaneSweeps, WallpapersOfEveryAlgorithmAreTheX87Ones) {
  if (LaneEnginesHere().empty()) GTEST_SKIP() << "no lane engine here";
  std::mt19937 random(1600);
  std::uniform_int_distribution<int32_t> side(1, 260);
  for (int alg = 1; alg <= 12; ++alg) {
    for (int i = 0; i < 3; ++i) {
      const Phases p = RandomPhases(random);
      ExpectWallpaperAlike(alg, side(random), side(random), p);
    }
    ExpectWallpaperAlike(alg, 640, 480, RandomPhases(random));
  }
}

// Values no drift reaches, as the command line or a damaged record can give
// them: past the lanes' range reduction, past the processor's (2^63), not
// finite, not a number; and grids of one cell or none.
TEST(LaneSweeps, StatesFarOutsideTheDriftAreTheX87Ones) {
  if (LaneEnginesHere().empty()) GTEST_SKIP() << "no lane engine here";
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const Phases edges[] = {
      {1e10f, 3e19f, 6.2f, 0.5f, -0.5f},   {0x1p63f, -0x1p63f, 0x1p62f, 0x1p63f, 1e30f},
      {inf, -inf, 1.0f, inf, 2.0f},        {nan, 0.0f, nan, nan, 1.0f},
      {1048575.0f, 1048577.0f, -3e6f, 1048576.0f, -1048577.0f},
      {0.0f, 0.0f, 0.0f, 0.0f, 0.0f},      {-0.0f, 6.2831855f, 6.2831850f, -6.2831855f, 6.2831855f},
      {3.4e38f, -3.4e38f, 1e-40f, 1e-30f, -1e-38f},
  };
  const uint64_t fallbacksBefore = detail::LaneFallbacks();
  for (int alg = 1; alg <= 12; ++alg) {
    for (const Phases& p : edges) {
      ExpectLiveAlike(alg, 120, 90, p);
      ExpectWallpaperAlike(alg, 37, 23, p);
    }
    const Phases ordinary{1.0f, 2.0f, 3.0f, 0.25f, -0.25f};
    for (auto [w, h] : {std::pair{1, 1}, std::pair{0, 0}, std::pair{0, 5}, std::pair{7, 0}}) {
      ExpectLiveAlike(alg, w, h, ordinary);
      ExpectWallpaperAlike(alg, w, h, ordinary);
    }
  }
  // The states past the lanes' reach went to the x87 path.
  EXPECT_GT(detail::LaneFallbacks(), fallbacksBefore);
}

TEST(LaneSweeps, OrdinaryFramesFallBackRarely) {
  const std::vector<Engine> engines = LaneEnginesHere();
  if (engines.empty()) GTEST_SKIP() << "no lane engine here";
  EngineScope scope(engines.back());
  std::mt19937 random(99);
  uint64_t points = 0;
  const uint64_t before = detail::LaneFallbacks();
  for (int alg = 1; alg <= 12; ++alg) {
    for (int i = 0; i < 10; ++i) {
      auto s = StateWith(alg, 120, 90, RandomPhases(random));
      SweepFrame(*s);
      points += 121 * 91;
    }
  }
  const uint64_t fallbacks = detail::LaneFallbacks() - before;
  std::printf("x87 fallbacks: %llu of %llu points\n", (unsigned long long)fallbacks, (unsigned long long)points);
  EXPECT_LT(fallbacks * 1000, points);  // under one in a thousand
}

// ---- Memory of the lanes ----

// Arrays of vector types, and of structures that hold them, come from `new`
// and the containers at their own alignment on every target. (32-bit
// Windows' malloc aligns to 8 bytes: there, before the build asked for the
// aligned operator new, half of them were misaligned and the SSE2 engine
// faulted on its first load.)
template <size_t Bytes>
void ExpectAlignedArrays() {
  // As a lane unit compiled for its instruction set sees its vectors.
  struct alignas(Bytes) Terms {
    float single;
    double lanes[2][Bytes / sizeof(double)];
  };
  const auto aligned = [](const void* p) { return reinterpret_cast<uintptr_t>(p) % Bytes == 0; };
  std::vector<std::unique_ptr<Terms[]>> arrays;
  std::vector<std::vector<Terms>> vectors;
  for (size_t n = 1; n <= 64; ++n) {
    arrays.emplace_back(new Terms[n]);
    vectors.emplace_back(n);
    EXPECT_TRUE(aligned(arrays.back().get())) << Bytes << "-byte lanes, new[] of " << n;
    EXPECT_TRUE(aligned(vectors.back().data())) << Bytes << "-byte lanes, vector of " << n;
  }
}

TEST(LaneMemory, ArraysOfLanesHaveTheirOwnAlignment) {
  ExpectAlignedArrays<16>();
  ExpectAlignedArrays<32>();
  ExpectAlignedArrays<64>();
}

// ---- Choosing the engine ----

TEST(Engines, NamesAndChoices) {
  for (Engine e : {Engine::Auto, Engine::X87, Engine::Sse2, Engine::Avx2, Engine::Avx512}) {
    Engine parsed;
    ASSERT_TRUE(ParseEngineName(EngineName(e), parsed));
    EXPECT_EQ(parsed, e);
  }
  Engine unused;
  EXPECT_FALSE(ParseEngineName("AVX2", unused));
  EXPECT_FALSE(ParseEngineName("", unused));
  EXPECT_TRUE(EngineAvailable(Engine::X87));
  EXPECT_EQ(SelectEngineByName("x87"), "");
  EXPECT_EQ(SelectedEngine(), Engine::X87);
  const std::string unknown = SelectEngineByName("avx3");
  EXPECT_NE(unknown.find("unknown engine 'avx3'"), std::string::npos) << unknown;
  EXPECT_EQ(SelectedEngine(), Engine::X87);  // a refused name changes nothing
  // A terminal's escape codes are shown, not sent; a caller's own names are listed too.
  EXPECT_EQ(SelectEngineByName("\x1b[2Javx", "gpu"),
            "unknown engine '\\x1b[2Javx', expected one of auto, x87, sse2, avx2, avx512, gpu");
  for (Engine e : {Engine::Sse2, Engine::Avx2, Engine::Avx512}) {
    if (!EngineAvailable(e)) {
      EXPECT_NE(SelectEngineByName(EngineName(e)).find("cannot run"), std::string::npos);
    }
  }
  EXPECT_EQ(SelectEngineByName("auto"), "");
  EXPECT_EQ(SelectedEngine(), WidestEngine());
}

}  // namespace
