// Timers on Linux timer descriptors watched by FLTK's event loop. A timer
// descriptor counts the periods that passed since it was last read, so ticks
// that came due while a slow frame ran make one tick, as the system timers
// the forms were designed with do. (FLTK's own timeouts, rescheduled from a
// callback that overran its period, fire again without returning to the
// event loop, which would starve input behind a slow frame.)
#include "platform/linux/fltk_internal.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdint>


namespace ui {

namespace {

class FltkTimer : public NativeTimer {
 public:
  explicit FltkTimer(Timer& timer) : timer_(timer), fd_(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {
    if (fd_ >= 0) Fl::add_fd(fd_, FL_READ, &FltkTimer::Ready, this);
  }
  ~FltkTimer() override {
    if (fd_ < 0) return;
    Fl::remove_fd(fd_);
    close(fd_);
  }
  void Start(int intervalMs) override { Arm(intervalMs > 0 ? intervalMs : 1); }
  void Stop() override { Arm(0); }

 private:
  void Arm(int periodMs) {
    if (fd_ < 0) return;
    itimerspec period{};
    period.it_interval.tv_sec = periodMs / 1000;
    period.it_interval.tv_nsec = static_cast<long>(periodMs % 1000) * 1000000L;
    period.it_value = period.it_interval;  // all zero disarms
    timerfd_settime(fd_, 0, &period, nullptr);
  }
  static void Ready(int fd, void* self) {
    std::uint64_t periods = 0;
    if (read(fd, &periods, sizeof periods) != static_cast<ssize_t>(sizeof periods) || periods == 0) return;
    static_cast<FltkTimer*>(self)->timer_.NativeTick();  // may delete the timer: nothing follows
  }

  Timer& timer_;
  int fd_;
};

}  // namespace

std::unique_ptr<NativeTimer> CreateNativeTimer(Timer& timer) { return std::make_unique<FltkTimer>(timer); }

}  // namespace ui
