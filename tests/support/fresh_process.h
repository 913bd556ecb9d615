// The forms' unit tests share one process: this puts the process-wide state
// the windows use (the application and the headless world, the pattern
// record, the settings variables) back to how a new process starts.
#pragma once

#include <cstring>

#include "engine/gradient.h"
#include "platform/headless/headless.h"
#include "settings/settings.h"

inline void ResetProcessState() {
  ui::headless::Reset();
  std::memset(static_cast<void*>(&Gradient::Pattern), 0, sizeof Gradient::Pattern);
  Settings::WallpaperSizeChoice = 0;
  Settings::RandomAlgorithm = false;
  Settings::WallpaperFolder.clear();
  Settings::PixelView = false;
  Settings::BatteryChoice = Settings::kDefaultBatteryChoice;
}
