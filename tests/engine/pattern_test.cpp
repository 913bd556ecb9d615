// InitPattern (mesh vertices, the twelve draws) and the live frame's drift.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine_test_support.h"

namespace {

using namespace enginetest;

// The values InitPattern must draw, computed from the replica generator.
struct ExpectedStart {
  float phase[3], phaseVelocity[3], offset[2], offsetVelocity[2];
};

ExpectedStart ExpectStart(uint32_t seed) {
  Lcg g{seed};
  ExpectedStart e{};
  for (float& p : e.phase) p = L(g.Next(628)) / 100;
  for (float& v : e.phaseVelocity) v = g.Next(10) * 0.0001L + 0.0001L;
  for (float& o : e.offset) o = L(g.Next(1570)) / 1000;
  for (float& v : e.offsetVelocity) {
    const L a = g.Next(100);
    const L b = g.Next(100);
    v = a / 100000 - b / 100000;
  }
  return e;
}

TEST(InitPattern, DrawsTwelveValuesInOrder) {
  for (uint32_t seed : {0u, 1u, 777u, 86'399'999u, 0xFFFFFFFFu}) {
    auto s = NewState();
    SetRandomSeed(seed);
    InitPattern(*s, 120, 90);
    const ExpectedStart e = ExpectStart(seed);
    EXPECT_EQ(s->PhaseA, e.phase[0]);
    EXPECT_EQ(s->PhaseB, e.phase[1]);
    EXPECT_EQ(s->PhaseC, e.phase[2]);
    EXPECT_EQ(s->PhaseAVelocity, e.phaseVelocity[0]);
    EXPECT_EQ(s->PhaseBVelocity, e.phaseVelocity[1]);
    EXPECT_EQ(s->PhaseCVelocity, e.phaseVelocity[2]);
    EXPECT_EQ(s->OffsetX, e.offset[0]);
    EXPECT_EQ(s->OffsetY, e.offset[1]);
    EXPECT_EQ(s->OffsetXVelocity, e.offsetVelocity[0]);
    EXPECT_EQ(s->OffsetYVelocity, e.offsetVelocity[1]);
    Lcg g{seed};
    for (int i = 0; i < 12; ++i) g.Next(1);
    EXPECT_EQ(RandomSeed(), uint32_t(g.seed)) << "exactly twelve draws";
  }
}

TEST(InitPattern, FillsTheMeshOnlyWithinTheGrid) {
  auto s = NewState();
  std::fill(&s->VertexX[0][0], &s->VertexX[0][0] + kPlaneRows * kPlaneColumns, 9.0f);
  std::fill(&s->VertexY[0][0], &s->VertexY[0][0] + kPlaneRows * kPlaneColumns, 9.0f);
  InitPattern(*s, 120, 90);
  for (int r = 0; r <= 90; ++r) {
    EXPECT_EQ(s->VertexX[r][0], -0.5f);
    EXPECT_EQ(s->VertexX[r][60], 0.0f);
    EXPECT_EQ(s->VertexX[r][120], 0.5f);
    EXPECT_EQ(s->VertexX[r][121], 9.0f);
  }
  for (int c = 0; c <= 120; ++c) {
    EXPECT_EQ(s->VertexY[0][c], -0.5f);
    EXPECT_EQ(s->VertexY[90][c], 0.5f);
    EXPECT_EQ(s->VertexY[91][c], 9.0f);
  }
  EXPECT_EQ(s->VertexX[7][3], float(L(3) / 120 - 0.5L));

  auto p = NewState();
  std::fill(&p->VertexY[0][0], &p->VertexY[0][0] + kPlaneRows * kPlaneColumns, 9.0f);
  InitPattern(*p, 100, 75);
  EXPECT_EQ(p->VertexY[75][100], 0.5f);
  EXPECT_EQ(p->VertexY[75][101], 9.0f);
  EXPECT_EQ(p->VertexY[76][0], 9.0f);
}

TEST(InitPattern, LeavesSpeedAlgorithmAndColoursAlone) {
  auto s = NewState();
  s->Speed = 33;
  s->Algorithm = 9;
  s->ColourGrid.G[4][5] = 0.25f;
  InitPattern(*s, 120, 90);
  EXPECT_EQ(s->Speed, 33);
  EXPECT_EQ(s->Algorithm, 9);
  EXPECT_EQ(s->ColourGrid.G[4][5], 0.25f);
  EXPECT_EQ(s->GridColumns, 120);
  EXPECT_EQ(s->GridRows, 90);
}

// A record in the middle of its ranges, every velocity non-zero: a frame
// draws nothing unless the test pushes a value out.
std::unique_ptr<PatternState> QuietState(int32_t speed) {
  auto s = NewState();
  SetPhases(*s, 1, 2, 3);
  s->PhaseAVelocity = s->PhaseBVelocity = s->PhaseCVelocity = 0.0005f;
  s->OffsetX = s->OffsetY = 0.5f;
  s->OffsetXVelocity = s->OffsetYVelocity = 0.0003f;
  s->Speed = speed;
  return s;
}

TEST(DriftFrame, QuietFrameAdvancesWithoutDrawing) {
  auto s = QuietState(25);
  SetRandomSeed(42);
  DriftFrame(*s);
  EXPECT_EQ(RandomSeed(), 42u);
  EXPECT_EQ(s->PhaseA, float(1.0L + 25 * L(0.0005f)));
  EXPECT_EQ(s->OffsetY, float(L(0.5f) + 25 * L(0.0003f)));
}

TEST(DriftFrame, PhaseIsReflectedAfterItsStepAndNotClamped) {
  auto s = QuietState(25);
  s->PhaseA = 6.27f;
  s->PhaseAVelocity = 0.001f;
  SetRandomSeed(7);
  Lcg g{7};
  DriftFrame(*s);
  EXPECT_EQ(s->PhaseA, float(L(6.27f) + 25 * L(0.001f)));
  EXPECT_NEAR(s->PhaseA, 6.295, 1e-6);
  EXPECT_EQ(s->PhaseAVelocity, float(-0.0001L - g.Next(10) * 0.0001L));
  EXPECT_LE(s->PhaseAVelocity, -0.0001f);
  EXPECT_GE(s->PhaseAVelocity, -0.001f);
  EXPECT_EQ(RandomSeed(), uint32_t(g.seed));

  // Still above 2 pi after the next step: a fresh negative velocity again.
  s->PhaseAVelocity = -0.0001f;
  DriftFrame(*s);
  EXPECT_GT(s->PhaseA, kTwoPi);
  EXPECT_EQ(s->PhaseAVelocity, float(-0.0001L - g.Next(10) * 0.0001L));
}

TEST(DriftFrame, PhaseBoundsAreStrict) {
  auto s = QuietState(0);
  s->PhaseB = 0.0f;                      // equal to 0: keeps its velocity
  s->PhaseC = 6.2831850f;                // the float just below 2 pi
  s->PhaseA = 6.2831855f;                // the float just above 2 pi
  s->PhaseBVelocity = -0.0005f;
  SetRandomSeed(99);
  Lcg g{99};
  DriftFrame(*s);
  EXPECT_EQ(s->PhaseBVelocity, -0.0005f);
  EXPECT_EQ(s->PhaseCVelocity, 0.0005f);
  EXPECT_EQ(s->PhaseAVelocity, float(-0.0001L - g.Next(10) * 0.0001L));
  EXPECT_EQ(RandomSeed(), uint32_t(g.seed));

  s->PhaseB = -1e-7f;  // below 0: a fresh positive velocity
  DriftFrame(*s);
  g.Next(10);  // PhaseA is still above 2 pi (Speed 0) and draws again
  EXPECT_EQ(s->PhaseBVelocity, float(g.Next(10) * 0.0001L + 0.0001L));
}

TEST(DriftFrame, OffsetIsReflectedBeforeItsStep) {
  auto s = QuietState(1);
  s->OffsetX = 6.2831855f;  // above 2 pi with a positive velocity
  s->OffsetXVelocity = 0.0005f;
  s->OffsetY = -6.2831855f;  // below -2 pi with a negative velocity
  s->OffsetYVelocity = -0.0005f;
  SetRandomSeed(5);
  Lcg g{5};
  DriftFrame(*s);
  const float vx = -0.0001L - g.Next(100) / 100000.0L;
  const float vy = g.Next(100) / 100000.0L + 0.0001L;
  EXPECT_EQ(s->OffsetXVelocity, vx);
  EXPECT_EQ(s->OffsetYVelocity, vy);
  // Moved with the new velocities already.
  EXPECT_EQ(s->OffsetX, float(L(6.2831855f) + L(vx)));
  EXPECT_EQ(s->OffsetY, float(L(-6.2831855f) + L(vy)));
  EXPECT_GE(vy, 0.0001f);
  EXPECT_LE(vy, 0.00109f * 1.0001f);
}

TEST(DriftFrame, GuardsReplaceZeroVelocitiesInOrder) {
  auto s = NewState();  // never set up: every velocity is zero
  SetRandomSeed(2024);
  Lcg g{2024};
  DriftFrame(*s);
  EXPECT_EQ(s->PhaseAVelocity, float(-0.001L - g.Next(10) * 0.0001L));
  EXPECT_EQ(s->PhaseBVelocity, float(g.Next(10) * 0.0001L + 0.001L));
  EXPECT_EQ(s->PhaseCVelocity, float(g.Next(10) * 0.0001L + 0.001L));
  for (float v : {s->OffsetXVelocity, s->OffsetYVelocity}) {
    const L a = g.Next(100);
    const L b = g.Next(100);
    EXPECT_EQ(v, float(a / 100000 - b / 100000));
  }
  EXPECT_EQ(RandomSeed(), uint32_t(g.seed));
  EXPECT_LT(s->PhaseAVelocity, 0);
  EXPECT_GT(s->PhaseBVelocity, 0);
}

TEST(DriftFrame, ZeroOffsetVelocityMayStayZeroAndIsRetried) {
  // Find a seed whose guard draws a == b for OffsetYVelocity.
  uint32_t seed = 0;
  for (;; ++seed) {
    Lcg g{seed};
    const uint32_t xa = g.Next(100), xb = g.Next(100);  // OffsetXVelocity's pair
    const uint32_t ya = g.Next(100), yb = g.Next(100);
    if (xa != xb && ya == yb) break;
  }
  auto s = QuietState(25);
  s->OffsetXVelocity = 0;
  s->OffsetYVelocity = 0;
  SetRandomSeed(seed);
  DriftFrame(*s);
  EXPECT_EQ(s->OffsetYVelocity, 0.0f);
  EXPECT_EQ(s->OffsetY, 0.5f);
  Lcg g{seed};
  for (int i = 0; i < 4; ++i) g.Next(1);
  const L a = g.Next(100);
  const L b = g.Next(100);
  DriftFrame(*s);
  EXPECT_EQ(s->OffsetYVelocity, float(a / 100000 - b / 100000));
}

TEST(DriftFrame, NegativeSpeedRunsPastTheBounds) {
  auto s = QuietState(-25);
  s->PhaseA = 0.001f;
  s->PhaseAVelocity = 0.001f;
  SetRandomSeed(3);
  float previous = s->PhaseA;
  for (int i = 0; i < 20; ++i) {
    DriftFrame(*s);
    EXPECT_LT(s->PhaseA, previous);  // a positive velocity times -25
    EXPECT_GT(s->PhaseAVelocity, 0);
    previous = s->PhaseA;
  }
  EXPECT_LT(s->PhaseA, -0.1f);
}

TEST(DriftFrame, SpeedZeroMovesNothing) {
  auto s = QuietState(0);
  s->OffsetX = -7.0f;  // outside: new velocity each frame, but no movement
  SetRandomSeed(11);
  for (int i = 0; i < 3; ++i) DriftFrame(*s);
  EXPECT_EQ(s->PhaseA, 1.0f);
  EXPECT_EQ(s->OffsetX, -7.0f);
  EXPECT_GT(s->OffsetXVelocity, 0);
  Lcg g{11};
  for (int i = 0; i < 3; ++i) g.Next(100);
  EXPECT_EQ(RandomSeed(), uint32_t(g.seed));
}

}  // namespace
