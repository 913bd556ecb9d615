// The process-wide pseudo-random generator shared by the engine and the hosts:
// a 32-bit linear congruential generator, seeded from the UTC time of day.
#include <chrono>

#include "engine/gradient.h"

namespace Gradient {

namespace {
uint32_t gSeed = 0;
}  // namespace

void SetRandomSeed(uint32_t seed) { gSeed = seed; }

uint32_t RandomSeed() { return gSeed; }

void SeedRandomFromClock() {
  // Unix time counts every UTC day as 86,400 s, so the milliseconds since the
  // epoch modulo one day are ((h*60+m)*60+s)*1000+ms of the UTC time of day.
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  constexpr int64_t kDay = 86'400'000;
  gSeed = static_cast<uint32_t>(((ms % kDay) + kDay) % kDay);
}

int32_t Random(int32_t n) {
  gSeed = gSeed * 134775813u + 1u;
  // The range is taken as an unsigned 32-bit number, as the multiply does.
  const uint64_t product = uint64_t{gSeed} * static_cast<uint32_t>(n);
  return static_cast<int32_t>(product >> 32);
}

}  // namespace Gradient
