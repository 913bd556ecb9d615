// The process-wide generator: exact recurrence, range mapping and seeding.
#include <gtest/gtest.h>

#include "engine/gradient.h"
#include "engine_test_support.h"

namespace {

using namespace Gradient;

TEST(Random, FollowsTheRecurrenceExactly) {
  // By hand: seed 0 -> 1 -> 134775814; Random(100) of those is 0 and 3.
  SetRandomSeed(0);
  EXPECT_EQ(Random(100), 0);
  EXPECT_EQ(RandomSeed(), 1u);
  EXPECT_EQ(Random(100), 3);
  EXPECT_EQ(RandomSeed(), 134775814u);

  // A long run against the 64-bit replica, wrapping the seed many times.
  const uint32_t ranges[] = {628, 10, 1570, 100, 12, 1, 0x7FFFFFFF};
  SetRandomSeed(0xDEADBEEF);
  enginetest::Lcg lcg{0xDEADBEEF};
  for (int i = 0; i < 10000; ++i) {
    const uint32_t n = ranges[i % 7];
    ASSERT_EQ(uint32_t(Random(int32_t(n))), lcg.Next(n)) << "draw " << i;
  }
  EXPECT_EQ(RandomSeed(), uint32_t(lcg.seed));
}

TEST(Random, StaysWithinRange) {
  SetRandomSeed(12345);
  for (int i = 0; i < 5000; ++i) {
    const int32_t v = Random(12);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 12);
  }
  EXPECT_EQ(Random(1), 0);
}

TEST(Random, SeedsFromTheTimeOfDay) {
  SeedRandomFromClock();
  EXPECT_LT(RandomSeed(), 86'400'000u);  // milliseconds in one day
}

}  // namespace
