// The elementary functions and the floating-point set-up.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

#include "engine/gradient.h"
#include "engine/x87.h"

namespace {

using namespace Gradient;
using L = long double;

TEST(X87, SineAndCosineGiveZeroFromTwoToTheSixtyThreeOn) {
  const L limit = 0x1p63L;
  for (L x : {limit, -limit, 2 * limit, 0x1p100L}) {
    EXPECT_EQ(x87::Sin(x), 0.0L) << double(x);
    EXPECT_EQ(x87::Cos(x), 0.0L) << double(x);
    L s = 1, c = 1;
    x87::SinCos(x, s, c);
    EXPECT_EQ(s, 0.0L);
    EXPECT_EQ(c, 0.0L);
  }
  // Just below the limit the processor still computes a value.
  const L below = std::nextafter(limit, L(0));
  const L s = x87::Sin(below), c = x87::Cos(below);
  EXPECT_TRUE(std::isfinite(s) && std::fabs(s) <= 1);
  EXPECT_NEAR(double(s * s + c * c), 1.0, 1e-9);
}

TEST(X87, NanAndInfinityGiveNan) {
  const L inf = std::numeric_limits<L>::infinity(), nan = std::numeric_limits<L>::quiet_NaN();
  for (L x : {inf, -inf, nan}) {
    EXPECT_TRUE(std::isnan(x87::Sin(x)));
    EXPECT_TRUE(std::isnan(x87::Cos(x)));
  }
  EXPECT_EQ(x87::Ln(0), -inf);
  EXPECT_TRUE(std::isnan(x87::Ln(-1)));
}

TEST(X87, SinCosMatchesSeparateSineAndCosine) {
  for (L x = -20; x < 20; x += 0.0123L) {
    L s, c;
    x87::SinCos(x, s, c);
    EXPECT_EQ(s, x87::Sin(x));
    EXPECT_EQ(c, x87::Cos(x));
  }
}

TEST(X87, Logarithms) {
  EXPECT_EQ(x87::Log10(100), 2.0L);
  EXPECT_EQ(x87::Log2(8), 3.0L);
  EXPECT_NEAR(double(x87::Ln(2.4L)), 0.875468737, 1e-9);
  EXPECT_EQ(x87::Sqrt(0.25L), 0.5L);
}

TEST(X87, RoundingIsToNearestEvenAndInvalidGivesIndefinite) {
  EXPECT_EQ(x87::RoundToInt64(2.5L), 2);
  EXPECT_EQ(x87::RoundToInt64(3.5L), 4);
  EXPECT_EQ(x87::RoundToInt64(-127.5L), -128);
  EXPECT_EQ(x87::RoundToInt64(382.5L), 382);
  EXPECT_EQ(x87::RoundToInt64(std::numeric_limits<L>::quiet_NaN()), INT64_MIN);
  EXPECT_EQ(x87::RoundToInt64(std::numeric_limits<L>::infinity()), INT64_MIN);
}

TEST(X87, ControlWordIsSetInEveryThreadThatAsks) {
#if PRISMORA_X87
  // Bit 6 is reserved and reads back as 1 whatever was loaded.
  constexpr uint16_t kReserved = 0x0040;
  EXPECT_EQ(FloatingPointControlWord() & ~kReserved, 0x133F);
  uint16_t inThread = 0;
  std::thread([&] {
    SetupFloatingPoint();
    inThread = FloatingPointControlWord();
  }).join();
  EXPECT_EQ(inThread & ~kReserved, 0x133F);
  // Extended precision really is in force: 1 + 2^-63 survives.
  volatile L tiny = 0x1p-63L;
  EXPECT_NE(1.0L + tiny, 1.0L);
#endif
}

}  // namespace
