// The power source for a form's window (the full-screen saver): UPower's
// watch on FLTK's own loop, its bus descriptor watched with Fl::add_fd. The
// window itself takes no part: the system bus tells the whole session.
#include "platform/linux/fltk_internal.h"

#include <map>

#include "platform/power_source.h"

namespace power {

namespace {

// The callbacks of the descriptors FLTK watches for the power source; a
// map's nodes stay where they are, so FLTK holds a pointer to one.
std::map<int, std::function<void()>>& Ready() {
  static auto* ready = new std::map<int, std::function<void()>>;  // never destroyed: a watch may end after static destruction began
  return *ready;
}

void Call(int fd, void*) {
  const auto found = Ready().find(fd);
  if (found == Ready().end()) return;
  const std::function<void()> ready = found->second;  // the callback may stop watching
  ready();
}

void Watch(int fd, std::function<void()> ready) {
  Ready()[fd] = std::move(ready);
  Fl::add_fd(fd, FL_READ, &Call, nullptr);
}

void Stop(int fd) {
  Fl::remove_fd(fd);
  Ready().erase(fd);
}

}  // namespace

std::unique_ptr<PowerWatch> WatchPowerSourceOfWindow(ui::NativeHandle, std::function<void(bool)> changed) {
  return WatchPowerSource(Loop{&Watch, &Stop}, std::move(changed));
}

}  // namespace power
