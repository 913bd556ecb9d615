// The frame-rate log's lines: the frames drawn in about a second, the time
// spent hidden (a pause longer than the pacing's gap by over a quarter
// second), the drift steps since the start; nothing at all when switched off.
#include "live/frame_rate_log.h"

#include <gtest/gtest.h>

namespace {

using live::FramePacing;
using live::PaceTime;
using std::chrono::milliseconds;

const PaceTime t0 = PaceTime(std::chrono::hours(1));

PaceTime At(int ms) { return t0 + milliseconds(ms); }

// Frames every `every` ms from `from` to `to`, each taken by the pacing first.
void Frames(live::FrameRateLog& log, FramePacing& pacing, int from, int to, int every) {
  for (int ms = from; ms <= to; ms += every) {
    pacing.TakeFrame(At(ms));
    log.Frame(At(ms), pacing);
  }
}

TEST(FrameRateLog, ALineASecondWithTheFramesDrawnTheHiddenTimeAndTheDrift) {
  testing::internal::CaptureStderr();
  live::FrameRateLog log("HEADLESS-2", true);
  FramePacing pacing(t0, milliseconds(10));
  Frames(log, pacing, 20, 1000, 20);  // 50 frames in the first second
  EXPECT_EQ(log.LastLine(),
            "prismora: HEADLESS-2: 50.0 fps: 50 frames drawn in 1.00 s, hidden 0.00 s; drift 100 steps in 1.00 s");
  // Unseen for 20 s: the first frame after it reports the time hidden.
  Frames(log, pacing, 21000, 21000, 1);
  EXPECT_EQ(log.LastLine(),
            "prismora: HEADLESS-2: 0.1 fps: 1 frames drawn in 20.00 s, hidden 19.99 s; drift 2100 steps in 21.00 s");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(log.LastLine() + "\n"), std::string::npos) << err;
}

TEST(FrameRateLog, PausesWithinTheGapAndAQuarterSecondAreNotHidden) {
  testing::internal::CaptureStderr();
  live::FrameRateLog log("", true);
  FramePacing pacing(t0, milliseconds(500));  // --delay 500000
  Frames(log, pacing, 700, 2100, 700);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(log.LastLine().rfind("prismora: 1.4 fps: 2 frames drawn in 1.40 s, hidden 0.00 s", 0), 0u)
      << log.LastLine();
}

TEST(FrameRateLog, SwitchedOffItPrintsNothing) {
  testing::internal::CaptureStderr();
  live::FrameRateLog log("HEADLESS-1", false);
  FramePacing pacing(t0);
  Frames(log, pacing, 0, 3000, 10);
  log.Note("drawn at 1 x 1 pixels");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(log.LastLine(), "");
}

}  // namespace
