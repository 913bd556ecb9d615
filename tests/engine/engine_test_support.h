// Shared helpers of the engine tests: a zeroed record on the heap, a replica
// of the generator in plain 64-bit arithmetic, and the plain evaluation of
// every algorithm (tests/support/plain_formulas.h).
#pragma once

#include <cmath>
#include <memory>

#include "engine/gradient.h"
#include "engine/x87.h"
#include "tests/support/plain_formulas.h"

namespace enginetest {

using L = long double;
using namespace Gradient;

inline std::unique_ptr<PatternState> NewState(int32_t columns = 120, int32_t rows = 90) {
  auto s = std::make_unique<PatternState>();
  s->GridColumns = columns;
  s->GridRows = rows;
  return s;
}

// A started pattern (seeded generator, InitPattern) whose wallpaper grid is
// width x height, for the render tests.
inline std::unique_ptr<PatternState> Picture(int alg, int32_t width, int32_t height, uint32_t seed = 31337) {
  auto s = NewState(width, height);
  SetRandomSeed(seed);
  InitPattern(*s, 120, 90);
  s->GridColumns = width;
  s->GridRows = height;
  s->Algorithm = alg;
  return s;
}

inline void SetPhases(PatternState& s, float a, float b, float c) {
  s.PhaseA = a;
  s.PhaseB = b;
  s.PhaseC = c;
}

// seed := seed * 134775813 + 1 (mod 2^32); result = high half of seed * n.
struct Lcg {
  uint64_t seed;
  uint32_t Next(uint32_t n) {
    seed = (seed * 134775813ull + 1ull) & 0xFFFFFFFFull;
    return uint32_t((seed * n) >> 32);
  }
};

using plain::kPi;
using plain::kTwoPi;
using plain::Ladder;
using plain::PlainEvaluate;
using plain::PlainQuantise;
using plain::Sq;

}  // namespace enginetest
