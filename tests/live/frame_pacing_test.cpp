// The frame pacing on a virtual clock: the drift catches up by the whole
// 10 ms steps elapsed, the state sequence is the plain 10 ms timer's whatever
// frames are drawn (hidden spells, 60 Hz, irregular), no frame is due while
// the display has not asked for one, and the gap between frames keeps its
// beat.
#include "live/frame_pacing.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using live::FramePacing;
using live::FrameRequests;
using live::PaceTime;
using std::chrono::microseconds;
using std::chrono::milliseconds;

const PaceTime t0 = PaceTime(std::chrono::hours(5));

PaceTime At(double ms) { return t0 + microseconds(static_cast<long long>(ms * 1000)); }

TEST(FramePacing, TheDriftTakesTheWholeStepsElapsedSinceTheLastFrame) {
  FramePacing p(t0);
  EXPECT_EQ(p.TakeFrame(At(3)), 0);       // before the first step
  EXPECT_EQ(p.TakeFrame(At(25)), 2);      // 10 and 20 ms
  EXPECT_EQ(p.TakeFrame(At(29.9)), 0);
  EXPECT_EQ(p.TakeFrame(At(30)), 1);
  EXPECT_EQ(p.TakeFrame(At(1005)), 97);   // hidden for a second: caught up at once
  EXPECT_EQ(p.StepsTaken(), 100);
  EXPECT_EQ(p.FramesDrawn(), 5);
  EXPECT_EQ(p.TakeFrame(At(500)), 0);     // a clock that went back takes nothing back
  EXPECT_EQ(p.TakeFrame(t0 - milliseconds(50)), 0);
  EXPECT_EQ(p.StepsTaken(), 100);
  EXPECT_EQ(p.StepsDueBy(At(1009)), 100);
}

TEST(FramePacing, FromTheDisplayNothingIsDueUntilItAsks) {
  FramePacing p(t0, milliseconds(10), FrameRequests::FromDisplay);
  EXPECT_TRUE(p.FrameDue(t0));  // a new surface's first frame
  p.TakeFrame(t0);
  EXPECT_FALSE(p.NextFrameAt());
  EXPECT_FALSE(p.FrameDue(At(60000)));  // a minute without a frame callback
  p.DisplayAsks();
  EXPECT_EQ(p.NextFrameAt(), At(10));
  EXPECT_TRUE(p.FrameDue(At(60000)));
  EXPECT_EQ(p.TakeFrame(At(60000)), 6000);
  EXPECT_FALSE(p.FrameDue(At(60100)));
  // A timer's pacing never waits for the display.
  FramePacing timer(t0, milliseconds(10));
  timer.TakeFrame(t0);
  EXPECT_EQ(timer.NextFrameAt(), At(10));
}

// On time, the frames keep a 10 ms beat (100 a second, not a little less for
// each wake-up's lateness); a frame later than a whole gap restarts the beat
// from itself, so that the next still waits a gap.
TEST(FramePacing, TheGapIsTheShortestTimeBetweenFramesAndKeepsItsBeat) {
  FramePacing p(t0, milliseconds(10));
  EXPECT_TRUE(p.FrameDue(t0));
  p.TakeFrame(At(0.2));
  EXPECT_EQ(p.NextFrameAt(), At(10));
  EXPECT_FALSE(p.FrameDue(At(9.9)));
  p.TakeFrame(At(10.3));
  EXPECT_EQ(p.NextFrameAt(), At(20));
  p.TakeFrame(At(35));  // late by more than a gap
  EXPECT_EQ(p.NextFrameAt(), At(45));
  FramePacing none(t0);  // no gap: always due
  none.TakeFrame(At(1));
  EXPECT_TRUE(none.FrameDue(At(1)));
  FramePacing negative(t0, microseconds(-5));
  EXPECT_EQ(negative.Gap(), microseconds(0));
}

struct DriftValues {
  float phaseA, phaseB, phaseC, velocityA, velocityB, velocityC, offsetX, offsetY, velocityX, velocityY;
  uint32_t seed;
  bool operator==(const DriftValues&) const = default;
};

DriftValues ValuesOf(const Gradient::PatternState& s) {
  return {s.PhaseA,  s.PhaseB,         s.PhaseC,         s.PhaseAVelocity, s.PhaseBVelocity, s.PhaseCVelocity,
          s.OffsetX, s.OffsetY, s.OffsetXVelocity, s.OffsetYVelocity, Gradient::RandomSeed()};
}

// A fast speed, so that the phases and offsets turn at their bounds (where
// the generator is drawn from) many times in 3,000 steps.
std::unique_ptr<Gradient::PatternState> FreshPattern(uint32_t seed) {
  Gradient::SetRandomSeed(seed);
  auto s = std::make_unique<Gradient::PatternState>();
  s->Speed = 50;
  s->Algorithm = 7;
  Gradient::InitPattern(*s, 120, 90);
  return s;
}

// The values after each tick of a plain 10 ms timer: index n after n ticks.
std::vector<DriftValues> TimerSequence(uint32_t seed, int ticks) {
  auto s = FreshPattern(seed);
  std::vector<DriftValues> values{ValuesOf(*s)};
  for (int i = 0; i < ticks; ++i) {
    Gradient::DriftFrame(*s);
    values.push_back(ValuesOf(*s));
  }
  return values;
}

TEST(FramePacing, TheStateSequenceIsThePlainTimersWhateverFramesAreDrawn) {
  const uint32_t seed = 0x5eed;
  const std::vector<DriftValues> timer = TimerSequence(seed, 3000);
  auto s = FreshPattern(seed);
  FramePacing p(t0, microseconds(0), FrameRequests::FromDisplay);
  // 60 Hz for a second, hidden for 12 s, irregular frames, a 16.7 ms beat again.
  std::vector<double> frames;
  for (double ms = 0; ms < 1000; ms += 1000.0 / 60) frames.push_back(ms);
  for (double ms = 13000, step = 1; ms < 20000; ms += step, step = step * 1.7 + 3) frames.push_back(ms);
  for (double ms = 20003; ms < 29990; ms += 16.7) frames.push_back(ms);
  for (double ms : frames) {
    p.DisplayAsks();
    live::AdvanceDrift(*s, p, At(ms));
    const int64_t n = p.StepsTaken();
    ASSERT_EQ(n, static_cast<int64_t>(ms / 10)) << ms;
    ASSERT_TRUE(ValuesOf(*s) == timer[n]) << "after " << n << " steps, at " << ms << " ms";
  }
  int turns = 0;  // the test means something only if velocities turned
  for (size_t i = 1; i < timer.size(); ++i) turns += timer[i].velocityA != timer[i - 1].velocityA;
  EXPECT_GT(turns, 3);
}

// The mesh's sweep runs where the drift moved and on a first frame; a frame
// before the next step keeps the grid it has.
TEST(FramePacing, TheSweepRunsOnlyWhereThePatternMoved) {
  auto s = FreshPattern(7);
  FramePacing p(t0);
  live::AdvanceMeshFrame(*s, p, At(1));
  const float swept = s->ColourGrid.R[45][60];
  s->ColourGrid.R[45][60] = -5;  // a marker the sweep would overwrite
  live::AdvanceMeshFrame(*s, p, At(9));
  EXPECT_EQ(s->ColourGrid.R[45][60], -5);
  live::AdvanceMeshFrame(*s, p, At(10));
  EXPECT_NE(s->ColourGrid.R[45][60], -5);
  EXPECT_NE(s->ColourGrid.R[45][60], swept);
}

}  // namespace
