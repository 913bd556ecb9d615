// Where no power service is followed: always on mains power.
#include "platform/power_source.h"

namespace power {

std::unique_ptr<PowerWatch> WatchPowerSource(const Loop&, std::function<void(bool)>) { return nullptr; }

}  // namespace power
