// Why a live picture draws fewer frames or none, in one place for every
// mode: the facts the platform reports (a pause asked for by a command, the
// picture covered by windows, the display off, the machine on battery) and
// the user's choice of what battery power does. Portable: the platform files
// only report facts; this decides, and the pacing applies the decision as a
// longer shortest gap or no frames. The drift keeps its 10 ms clock whatever
// is decided.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "live/frame_pacing.h"

namespace live {

enum class PauseReason : uint8_t {
  Asked = 1,       // a command paused it
  Covered = 2,     // windows cover all of it, or a full-screen window is over it
  DisplayOff = 4,  // the display it is on is off
  OnBattery = 8,   // on battery, with "paused" chosen for battery power
};

// What battery power does to the live pattern: every frame (as on mains),
// at most 20 frames a second, or paused with the last frame left on screen.
// The numbers are the stored values.
enum class BatteryChoice : int32_t { EveryFrame = 0, Slow = 1, Pause = 2 };
constexpr BatteryChoice kDefaultBatteryChoice = BatteryChoice::Slow;
// "20 frames a second": the shortest gap between frames on battery.
constexpr std::chrono::microseconds kBatteryGap{50000};

// The stored value read back: 0 to 2 as themselves, anything else the default.
BatteryChoice BatteryChoiceFromValue(int32_t value);
// The command line's words: "every", "slow", "pause" (false for another).
bool BatteryChoiceFromWord(const std::string& word, BatteryChoice& choice);
const char* BatteryChoiceWord(BatteryChoice choice);

class PauseReasons {
 public:
  void Set(PauseReason reason, bool on);
  bool Has(PauseReason reason) const { return (bits_ & static_cast<uint8_t>(reason)) != 0; }
  bool Any() const { return bits_ != 0; }
  // "asked", "covered", "display off", "on battery", in that order.
  std::vector<std::string> Names() const;
  bool operator==(const PauseReasons&) const = default;

 private:
  uint8_t bits_ = 0;
};

// Applies mains or battery and the user's choice: the OnBattery reason
// (only with Pause) and the pacing's floor gap (only with Slow).
void ApplyPowerSource(bool onBattery, BatteryChoice choice, PauseReasons& reasons, FramePacing& pacing);

// The pacing holds its frames while any reason stands. Returns true when
// the pause began or ended here (for the frame-rate log's note).
bool ApplyPauseReasons(const PauseReasons& reasons, FramePacing& pacing);

// ApplyPowerSource, then ApplyPauseReasons, for a mode that follows the
// power source: what changed, in the frame-rate log's words ("on battery:
// paused on the last frame", "on battery: at most 20 frames a second",
// "on battery: every frame again", "on mains power: every frame again"), or
// "" when the frames go on as they did.
std::string ApplyPowerSourceNoted(bool onBattery, BatteryChoice choice, PauseReasons& reasons, FramePacing& pacing);

}  // namespace live
