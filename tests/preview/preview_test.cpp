// The preview mode's portable half: the pump loop's order and stop test, and
// the preview's own pattern set-up.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/funcs_preview.h"

namespace {

struct PumpRun {
  std::vector<std::string> calls;
  int stopAfterSleeps = 0;
  void Run() {
    int sleeps = 0;
    funcs::PreviewPumpLoop([&] { calls.push_back("invalidate"); },
                           [&](int ms) {
                             calls.push_back("sleep " + std::to_string(ms));
                             if (++sleeps == stopAfterSleeps) funcs::StopRequested = true;
                           },
                           [&] { calls.push_back("finish"); });
  }
};

class PreviewPump : public ::testing::Test {
 protected:
  void SetUp() override { funcs::StopRequested = false; }
  void TearDown() override { funcs::StopRequested = false; }
};

TEST_F(PreviewPump, InvalidatesEvery40msUntilStopThenEndsTheWindowOnce) {
  PumpRun run;
  run.stopAfterSleeps = 3;
  run.Run();
  EXPECT_EQ(run.calls, (std::vector<std::string>{"invalidate", "sleep 40", "invalidate", "sleep 40", "invalidate",
                                                  "sleep 40", "finish"}));
}

TEST_F(PreviewPump, StopIsTestedAfterTheSleepSoAnEarlyStopStillDrawsOnce) {
  funcs::StopRequested = true;
  PumpRun run;
  run.Run();
  EXPECT_EQ(run.calls, (std::vector<std::string>{"invalidate", "sleep 40", "finish"}));
}

TEST(PreviewPattern, IgnoresTheSettingsSpeedAndUsesItsOwnGrid) {
  auto s = std::make_unique<Gradient::PatternState>();
  s->Speed = 7;  // as the settings would have left it
  s->Algorithm = 3;
  for (int run = 0; run < 50; ++run) {
    funcs::InitPreviewPattern(*s);
    EXPECT_EQ(s->Speed, 25);
    EXPECT_EQ(s->GridColumns, 100);
    EXPECT_EQ(s->GridRows, 75);
    EXPECT_GE(s->Algorithm, 1);
    EXPECT_LE(s->Algorithm, 12);
  }
}

}  // namespace
