// The Windows power reports read as mains or battery.
#include "platform/power_status.h"

#include <cstring>

namespace power {

namespace {

constexpr uint8_t kLineOffline = 0;
constexpr uint8_t kNoSystemBattery = 128;
constexpr uint8_t kBatteryFlagUnknown = 255;
constexpr uint32_t kSourceMains = 0;

}  // namespace

bool OnBatteryFromStatus(uint8_t acLineStatus, uint8_t batteryFlag) {
  const bool noBattery = batteryFlag != kBatteryFlagUnknown && (batteryFlag & kNoSystemBattery) != 0;
  return acLineStatus == kLineOffline && !noBattery;
}

std::optional<bool> OnBatteryFromSourceData(const void* data, std::size_t length) {
  uint32_t source = 0;
  if (!data || length < sizeof source) return std::nullopt;
  std::memcpy(&source, data, sizeof source);
  return source != kSourceMains;
}

}  // namespace power
