// The pattern every engine benchmark measures: the saver's grid, speed 25,
// the given algorithm, drawn from one fixed seed, so that runs and builds
// measure the same phases.
#pragma once

#include <memory>

#include "engine/gradient.h"

inline std::unique_ptr<Gradient::PatternState> StartedState(int algorithm) {
  auto s = std::make_unique<Gradient::PatternState>();
  Gradient::SetRandomSeed(20240601);
  Gradient::InitPattern(*s, 120, 90);
  s->Algorithm = algorithm;
  s->Speed = 25;
  return s;
}
