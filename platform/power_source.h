// Whether the machine runs on battery, as the system reports it, followed
// without polling: the modes of the live pattern slow or pause their frames
// on battery as the user chose. Decided on whether mains power is online,
// never on the battery's own state (a laptop held at a charge limit reports
// "not charging" while plugged in). Where the system says nothing (no
// system bus, no UPower, or a platform without such a service here) the
// machine counts as on mains power, and nothing is printed.
#pragma once

#include <functional>
#include <memory>

#include "platform/native_handle.h"

namespace power {

class PowerWatch {
 public:
  virtual ~PowerWatch() = default;
  virtual bool OnBattery() const = 0;
};

// The loop's descriptor watch (the windows' WatchReadable / StopWatching).
struct Loop {
  std::function<void(int fd, std::function<void()> ready)> watch;
  std::function<void(int fd)> stop;
};

// Follows the power source on `loop`; `changed` runs on the loop's thread
// when it changes (and after the machine wakes from sleep, when it may have
// changed unseen). Null where nothing can be followed: on mains power.
std::unique_ptr<PowerWatch> WatchPowerSource(const Loop& loop, std::function<void(bool onBattery)> changed);

// The same for a form's window on the windowing layer's own loop (the
// full-screen saver): on Windows the window hears the system's power
// broadcasts; on Linux UPower is followed on the toolkit's loop. The watch
// must end before the window does. Null where nothing can be followed.
std::unique_ptr<PowerWatch> WatchPowerSourceOfWindow(ui::NativeHandle window,
                                                     std::function<void(bool onBattery)> changed);
// How a form starts following the power source (tests give a fake one).
using WindowPowerWatcher =
    std::function<std::unique_ptr<PowerWatch>(ui::NativeHandle window, std::function<void(bool onBattery)> changed)>;

}  // namespace power
