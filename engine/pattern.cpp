// The process-wide PatternState, InitPattern and the live frame's drift
// (the velocity guards and the reflection of the phases and offsets).
// Every value is computed in extended precision and stored as a single float.
#include <algorithm>

#include "engine/algorithms.h"
#include "engine/gradient.h"

namespace Gradient {

PatternState Pattern;

namespace {

using detail::L;
using detail::kTwoPi;

// a/100000 - b/100000 with a drawn before b.
float RandomOffsetVelocity() {
  const L a = Random(100);
  const L b = Random(100);
  return a / 100000 - b / 100000;
}

// A phase's drift: advance by speed times velocity, then turn the velocity
// back with a new random magnitude above 2 pi and below 0.
void DriftPhase(float& phase, float& velocity, int32_t speed) {
  phase = L(phase) + L(speed) * L(velocity);
  if (phase > kTwoPi) velocity = -0.0001L - Random(10) * 0.0001L;
  if (phase < 0) velocity = Random(10) * 0.0001L + 0.0001L;
}

// An offset is tested before it moves, against inclusive bounds +-2 pi.
void DriftOffset(float& offset, float& velocity, int32_t speed) {
  if (offset >= kTwoPi) velocity = -0.0001L - Random(100) / 100000.0L;
  if (offset <= -kTwoPi) velocity = Random(100) / 100000.0L + 0.0001L;
  offset = L(offset) + L(speed) * L(velocity);
}

}  // namespace

void InitPattern(PatternState& s, int32_t columns, int32_t rows) {
  s.GridColumns = columns;
  s.GridRows = rows;
  // The vertex planes hold at most 151 x 201 points; nothing beyond is written.
  const int32_t lastRow = std::min(rows, kPlaneRows - 1);
  const int32_t lastColumn = std::min(columns, kPlaneColumns - 1);
  for (int32_t r = 0; r <= lastRow; ++r) {
    for (int32_t c = 0; c <= lastColumn; ++c) {
      s.VertexX[r][c] = L(c) / columns - 0.5L;
      s.VertexY[r][c] = L(r) / rows - 0.5L;
    }
  }
  s.PhaseA = L(Random(628)) / 100;
  s.PhaseB = L(Random(628)) / 100;
  s.PhaseC = L(Random(628)) / 100;
  s.PhaseAVelocity = Random(10) * 0.0001L + 0.0001L;
  s.PhaseBVelocity = Random(10) * 0.0001L + 0.0001L;
  s.PhaseCVelocity = Random(10) * 0.0001L + 0.0001L;
  s.OffsetX = L(Random(1570)) / 1000;
  s.OffsetY = L(Random(1570)) / 1000;
  s.OffsetXVelocity = RandomOffsetVelocity();
  s.OffsetYVelocity = RandomOffsetVelocity();
}

void DriftFrame(PatternState& s) {
  // A zero phase velocity (a record InitPattern never set up) gets a fresh one.
  if (s.PhaseAVelocity == 0) s.PhaseAVelocity = -0.001L - Random(10) * 0.0001L;
  if (s.PhaseBVelocity == 0) s.PhaseBVelocity = Random(10) * 0.0001L + 0.001L;
  if (s.PhaseCVelocity == 0) s.PhaseCVelocity = Random(10) * 0.0001L + 0.001L;
  DriftPhase(s.PhaseA, s.PhaseAVelocity, s.Speed);
  DriftPhase(s.PhaseB, s.PhaseBVelocity, s.Speed);
  DriftPhase(s.PhaseC, s.PhaseCVelocity, s.Speed);
  if (s.OffsetXVelocity == 0) s.OffsetXVelocity = RandomOffsetVelocity();
  if (s.OffsetYVelocity == 0) s.OffsetYVelocity = RandomOffsetVelocity();
  DriftOffset(s.OffsetX, s.OffsetXVelocity, s.Speed);
  DriftOffset(s.OffsetY, s.OffsetYVelocity, s.Speed);
}

}  // namespace Gradient
