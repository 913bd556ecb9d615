// Pausing and battery power on a virtual clock: a held pacing draws nothing
// whatever the display asks and draws at once when released, with the drift
// caught up to the plain 10 ms timer; battery's "20 frames a second" draws
// at most 20 frames in a second with the same drift; the stored value and
// the command line's words read back to the choice, anything else the
// default.
#include "live/pause_reasons.h"

#include <gtest/gtest.h>

namespace {

using live::BatteryChoice;
using live::FramePacing;
using live::PaceTime;
using live::PauseReason;
using live::PauseReasons;
using std::chrono::microseconds;
using std::chrono::milliseconds;

const PaceTime t0 = PaceTime(std::chrono::hours(7));

// Frames drawn as often as they are due, every millisecond of [from, to).
int FramesBetween(FramePacing& p, int fromMs, int toMs) {
  int drawn = 0;
  for (int ms = fromMs; ms < toMs; ++ms)
    if (p.FrameDue(t0 + milliseconds(ms))) {
      p.TakeFrame(t0 + milliseconds(ms));
      ++drawn;
    }
  return drawn;
}

TEST(PauseReasons, HeldPacingDrawsNothingAndCatchesUpTheDriftWhenReleased) {
  FramePacing p(t0, milliseconds(10));
  PauseReasons r;
  EXPECT_EQ(FramesBetween(p, 0, 100), 10);
  r.Set(PauseReason::Asked, true);
  EXPECT_TRUE(live::ApplyPauseReasons(r, p));
  EXPECT_FALSE(p.NextFrameAt());
  p.DisplayAsks();
  EXPECT_EQ(FramesBetween(p, 100, 5000), 0);
  r.Set(PauseReason::Covered, true);
  r.Set(PauseReason::Asked, false);
  EXPECT_FALSE(live::ApplyPauseReasons(r, p));  // still held, for another reason
  EXPECT_EQ(r.Names(), std::vector<std::string>{"covered"});
  r.Set(PauseReason::Covered, false);
  EXPECT_TRUE(live::ApplyPauseReasons(r, p));
  ASSERT_TRUE(p.NextFrameAt());
  EXPECT_LE(*p.NextFrameAt(), t0 + milliseconds(5000));  // at once
  p.TakeFrame(t0 + milliseconds(5003));
  EXPECT_EQ(p.StepsTaken(), 500);  // what a 10 ms timer made meanwhile
}

TEST(PauseReasons, BatteryChoicesSetTheFloorGapOrThePause) {
  FramePacing p(t0, milliseconds(10));
  PauseReasons r;
  live::ApplyPowerSource(true, BatteryChoice::Slow, r, p);
  EXPECT_FALSE(r.Any());
  EXPECT_EQ(p.Gap(), live::kBatteryGap);
  EXPECT_LE(FramesBetween(p, 0, 1000), 20);
  EXPECT_EQ(p.StepsTaken(), 95);  // the last frame at 950 ms: the same drift
  live::ApplyPowerSource(true, BatteryChoice::Pause, r, p);
  EXPECT_EQ(p.Gap(), milliseconds(10));
  EXPECT_EQ(r.Names(), std::vector<std::string>{"on battery"});
  live::ApplyPowerSource(false, BatteryChoice::Pause, r, p);
  EXPECT_FALSE(r.Any());
  live::ApplyPowerSource(true, BatteryChoice::EveryFrame, r, p);
  EXPECT_FALSE(r.Any());
  EXPECT_EQ(p.Gap(), milliseconds(10));
  FramePacing slowDelay(t0, milliseconds(80));  // a --delay longer than the floor wins
  live::ApplyPowerSource(true, BatteryChoice::Slow, r, slowDelay);
  EXPECT_EQ(slowDelay.Gap(), milliseconds(80));
}

TEST(PauseReasons, NamesInTheirOrder) {
  PauseReasons r;
  EXPECT_TRUE(r.Names().empty());
  r.Set(PauseReason::OnBattery, true);
  r.Set(PauseReason::DisplayOff, true);
  r.Set(PauseReason::Asked, true);
  r.Set(PauseReason::Covered, true);
  EXPECT_EQ(r.Names(), (std::vector<std::string>{"asked", "covered", "display off", "on battery"}));
}

TEST(BatteryChoice, StoredValuesAndWords) {
  EXPECT_EQ(live::BatteryChoiceFromValue(0), BatteryChoice::EveryFrame);
  EXPECT_EQ(live::BatteryChoiceFromValue(2), BatteryChoice::Pause);
  EXPECT_EQ(live::BatteryChoiceFromValue(3), live::kDefaultBatteryChoice);
  EXPECT_EQ(live::BatteryChoiceFromValue(-1), live::kDefaultBatteryChoice);
  BatteryChoice c = BatteryChoice::EveryFrame;
  EXPECT_TRUE(live::BatteryChoiceFromWord("pause", c));
  EXPECT_EQ(c, BatteryChoice::Pause);
  EXPECT_FALSE(live::BatteryChoiceFromWord("Pause", c));
  EXPECT_FALSE(live::BatteryChoiceFromWord("", c));
  EXPECT_EQ(c, BatteryChoice::Pause);
  EXPECT_STREQ(live::BatteryChoiceWord(BatteryChoice::Slow), "slow");
}

// The frame-rate log's note says what changed, and only when something did:
// the choice changing while on battery included.
TEST(PauseReasons, PowerNotesSayWhatChangedAndOnlyThen) {
  FramePacing p(t0);
  PauseReasons r;
  EXPECT_EQ(live::ApplyPowerSourceNoted(false, BatteryChoice::Slow, r, p), "");
  EXPECT_EQ(live::ApplyPowerSourceNoted(true, BatteryChoice::Slow, r, p), "on battery: at most 20 frames a second");
  EXPECT_EQ(live::ApplyPowerSourceNoted(true, BatteryChoice::Slow, r, p), "");
  EXPECT_EQ(live::ApplyPowerSourceNoted(true, BatteryChoice::Pause, r, p), "on battery: paused on the last frame");
  EXPECT_TRUE(p.Held());
  EXPECT_EQ(live::ApplyPowerSourceNoted(true, BatteryChoice::Slow, r, p), "on battery: at most 20 frames a second");
  EXPECT_FALSE(p.Held());
  EXPECT_EQ(live::ApplyPowerSourceNoted(true, BatteryChoice::EveryFrame, r, p), "on battery: every frame again");
  EXPECT_EQ(live::ApplyPowerSourceNoted(true, BatteryChoice::Pause, r, p), "on battery: paused on the last frame");
  EXPECT_EQ(live::ApplyPowerSourceNoted(false, BatteryChoice::Pause, r, p), "on mains power: every frame again");
  // Covered: battery and mains change no frames, and say nothing.
  r.Set(PauseReason::Covered, true);
  live::ApplyPauseReasons(r, p);
  EXPECT_EQ(live::ApplyPowerSourceNoted(true, BatteryChoice::Pause, r, p), "");
  EXPECT_TRUE(r.Has(PauseReason::OnBattery));
  EXPECT_EQ(live::ApplyPowerSourceNoted(false, BatteryChoice::Pause, r, p), "");
  EXPECT_TRUE(p.Held());
}

}  // namespace
