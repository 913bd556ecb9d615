// A thread that asks for a frame at a steady period (the embedded mode's
// --delay) until it is stopped: the window's thread-safe invalidate is the
// only thing it calls. Requests that find a frame still pending make one
// frame, so a slow frame lowers the rate instead of piling up requests.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class FramePacer {
 public:
  FramePacer() = default;
  ~FramePacer() { Stop(); }
  FramePacer(const FramePacer&) = delete;
  FramePacer& operator=(const FramePacer&) = delete;

  // Calls `tick` every `period` (more than 0), measured from the start so
  // that the rate does not drift; after a late tick the schedule starts
  // again from now.
  void Start(std::chrono::microseconds period, std::function<void()> tick);
  // Wakes the thread and waits for it; nothing is called afterwards.
  void Stop();

 private:
  void Loop(std::chrono::microseconds period);

  std::function<void()> tick_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};
