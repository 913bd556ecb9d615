// Shared by the control socket's and the settings watch's tests: a folder of
// the test's own, a main loop to drive them (LoopWake, as the real windows
// use it) and a wait for a condition with a deadline.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/linux/descriptor_watcher.h"
#include "platform/linux/loop_wake.h"

namespace control_test {

using Clock = std::chrono::steady_clock;

class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/prismora-control-XXXXXX";
    path_ = mkdtemp(pattern) ? pattern : "";
    EXPECT_FALSE(path_.empty());
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The loop a mode runs, without a window: waits and runs what is ready.
class Loop {
 public:
  posix::DescriptorWatcher Watcher() {
    return {[this](int fd, std::function<void()> ready) { wake_.Watch(fd, std::move(ready)); },
            [this](int fd) { wake_.Unwatch(fd); }};
  }
  // Runs the loop until `done` holds or the time is up; returns `done()`.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = Clock::now() + limit;
    while (!done()) {
      if (Clock::now() >= deadline) return false;
      wake_.Wait(-1, std::min(deadline, Clock::now() + std::chrono::milliseconds(50)));
      wake_.RunReady();
    }
    return true;
  }
  // Runs the loop for a while (to see that nothing happens).
  void RunFor(std::chrono::milliseconds time) {
    RunUntil([] { return false; }, time);
  }
  posix::LoopWake& Wake() { return wake_; }

 private:
  posix::LoopWake wake_;
};

}  // namespace control_test
