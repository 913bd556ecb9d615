// The reasons for pausing and the battery choice.
#include "live/pause_reasons.h"

namespace live {

BatteryChoice BatteryChoiceFromValue(int32_t value) {
  if (value >= 0 && value <= 2) return static_cast<BatteryChoice>(value);
  return kDefaultBatteryChoice;
}

namespace {

constexpr const char* kBatteryWords[] = {"every", "slow", "pause"};

}  // namespace

bool BatteryChoiceFromWord(const std::string& word, BatteryChoice& choice) {
  for (int32_t i = 0; i < 3; ++i)
    if (word == kBatteryWords[i]) {
      choice = static_cast<BatteryChoice>(i);
      return true;
    }
  return false;
}

const char* BatteryChoiceWord(BatteryChoice choice) {
  return kBatteryWords[static_cast<int32_t>(BatteryChoiceFromValue(static_cast<int32_t>(choice)))];
}

void PauseReasons::Set(PauseReason reason, bool on) {
  if (on)
    bits_ |= static_cast<uint8_t>(reason);
  else
    bits_ &= static_cast<uint8_t>(~static_cast<uint8_t>(reason));
}

std::vector<std::string> PauseReasons::Names() const {
  std::vector<std::string> names;
  if (Has(PauseReason::Asked)) names.emplace_back("asked");
  if (Has(PauseReason::Covered)) names.emplace_back("covered");
  if (Has(PauseReason::DisplayOff)) names.emplace_back("display off");
  if (Has(PauseReason::OnBattery)) names.emplace_back("on battery");
  return names;
}

void ApplyPowerSource(bool onBattery, BatteryChoice choice, PauseReasons& reasons, FramePacing& pacing) {
  reasons.Set(PauseReason::OnBattery, onBattery && choice == BatteryChoice::Pause);
  pacing.SetFloorGap(onBattery && choice == BatteryChoice::Slow ? kBatteryGap : std::chrono::microseconds(0));
}

bool ApplyPauseReasons(const PauseReasons& reasons, FramePacing& pacing) {
  const bool was = pacing.Held();
  pacing.Hold(reasons.Any());
  return was != pacing.Held();
}

std::string ApplyPowerSourceNoted(bool onBattery, BatteryChoice choice, PauseReasons& reasons, FramePacing& pacing) {
  const auto gapBefore = pacing.Gap();
  ApplyPowerSource(onBattery, choice, reasons, pacing);
  const bool holdChanged = ApplyPauseReasons(reasons, pacing);
  if (!holdChanged && pacing.Gap() == gapBefore) return "";
  if (reasons.Has(PauseReason::OnBattery)) return "on battery: paused on the last frame";
  if (pacing.Held()) return "";  // still held, for another reason
  if (onBattery && choice == BatteryChoice::Slow) return "on battery: at most 20 frames a second";
  return onBattery ? "on battery: every frame again" : "on mains power: every frame again";
}

}  // namespace live
