// The frame pacer's thread.
#include "host/frame_pacer.h"

#include <utility>

void FramePacer::Start(std::chrono::microseconds period, std::function<void()> tick) {
  Stop();
  tick_ = std::move(tick);
  stop_ = false;
  thread_ = std::thread([this, period] { Loop(period); });
}

void FramePacer::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void FramePacer::Loop(std::chrono::microseconds period) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point next = Clock::now();
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    next += period;
    const Clock::time_point now = Clock::now();
    if (next < now) next = now;
    if (wake_.wait_until(lock, next, [this] { return stop_; })) return;
    tick_();
  }
}
