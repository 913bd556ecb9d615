// The Windows power reports read as mains or battery: the power-status
// call's line status with its battery flags, and the power-source
// notification's data. Mains online decides; what is unknown is mains.
#include "platform/power_status.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using power::OnBatteryFromSourceData;
using power::OnBatteryFromStatus;

constexpr uint8_t kOffline = 0, kOnline = 1, kLineUnknown = 255;
constexpr uint8_t kHigh = 1, kLow = 2, kCharging = 8, kNoBattery = 128, kFlagUnknown = 255;

TEST(PowerStatus, OnlyAnOfflineLineWithABatteryIsBattery) {
  EXPECT_TRUE(OnBatteryFromStatus(kOffline, kHigh));
  EXPECT_TRUE(OnBatteryFromStatus(kOffline, kLow));
  EXPECT_TRUE(OnBatteryFromStatus(kOffline, 0));             // a battery between high and low
  EXPECT_TRUE(OnBatteryFromStatus(kOffline, kFlagUnknown));  // the battery unknown, the line known offline
  EXPECT_FALSE(OnBatteryFromStatus(kOnline, kHigh));
  EXPECT_FALSE(OnBatteryFromStatus(kOnline, kCharging | kLow));
  EXPECT_FALSE(OnBatteryFromStatus(kOnline, 0));  // held at a charge limit: not charging, yet plugged in
  EXPECT_FALSE(OnBatteryFromStatus(kLineUnknown, kHigh));
  EXPECT_FALSE(OnBatteryFromStatus(kLineUnknown, kFlagUnknown));
  EXPECT_FALSE(OnBatteryFromStatus(kOffline, kNoBattery));  // a desktop that reports its line oddly
  EXPECT_FALSE(OnBatteryFromStatus(kOnline, kNoBattery));
}

TEST(PowerStatus, SourceDataZeroIsMainsAnythingElseBatteryShortDataNothing) {
  const uint32_t mains = 0, dc = 1, shortTerm = 2, other = 0x01000000;
  EXPECT_EQ(OnBatteryFromSourceData(&mains, sizeof mains), false);
  EXPECT_EQ(OnBatteryFromSourceData(&dc, sizeof dc), true);
  EXPECT_EQ(OnBatteryFromSourceData(&shortTerm, sizeof shortTerm), true);
  EXPECT_EQ(OnBatteryFromSourceData(&other, sizeof other), true);  // all four bytes are read
  EXPECT_EQ(OnBatteryFromSourceData(&dc, 3), std::nullopt);
  EXPECT_EQ(OnBatteryFromSourceData(&dc, 0), std::nullopt);
  EXPECT_EQ(OnBatteryFromSourceData(nullptr, 4), std::nullopt);
  const unsigned char unaligned[6] = {0xff, 1, 0, 0, 0, 0xff};  // the value need not be aligned
  EXPECT_EQ(OnBatteryFromSourceData(unaligned + 1, 5), true);
}

}  // namespace
