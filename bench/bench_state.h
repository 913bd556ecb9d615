// The pattern every engine benchmark measures: the designed grid, speed 25,
// the given algorithm, drawn from one fixed seed, so that runs and builds
// measure the same phases. With seed 42 it is the pattern that
// `prismora-wallpaper --algorithm N --seed 42` renders.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/gradient.h"

inline std::unique_ptr<Gradient::PatternState> StartedState(int algorithm, uint32_t seed = 20240601) {
  auto s = std::make_unique<Gradient::PatternState>();
  Gradient::SetRandomSeed(seed);
  Gradient::InitPattern(*s, Gradient::kGridColumns, Gradient::kGridRows);
  s->Algorithm = algorithm;
  s->Speed = 25;
  return s;
}
