// The main-loop wake-up of the X11 and Wayland windows (POSIX): a pipe to
// which Wake writes a byte after setting a flag, so that other threads and
// signal handlers can end the loop's wait without touching Xlib or
// libwayland, and the wait itself on the connection, the pipe, the other
// descriptors the loop watches (a socket, a file watch, a bus) and a deadline.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace posix {

class LoopWake {
 public:
  // Without a pipe (no descriptors left) wake-ups are flags only: the loop
  // sees them when its connection or a deadline ends the wait.
  LoopWake();
  ~LoopWake();
  LoopWake(const LoopWake&) = delete;
  LoopWake& operator=(const LoopWake&) = delete;

  // Sets the flag and wakes the loop. Safe from any thread and from a
  // signal handler (errno is left as it was).
  void Wake(std::atomic<bool>& flag);
  // From now on SIGTERM, SIGINT and SIGHUP set `endFlag` and wake this
  // loop, until it is destroyed. Process-wide: for a mode that owns the process.
  void EndOnTerminationSignals(std::atomic<bool>& endFlag);
  // What those signals do: the end flag set, the loop woken.
  void WakeToEnd() {
    if (endFlag_) Wake(*endFlag_);
  }
  // Waits until `fd` has input or hangs up, a wake-up arrives or the
  // deadline passes (none: no limit), then empties the pipe. Returns the
  // descriptor's poll events (0: it was something else), or -1 when the
  // wait itself failed.
  int Wait(int fd, std::optional<std::chrono::steady_clock::time_point> deadline);

  // Another descriptor that Wait watches for input (or a hang-up); `ready`
  // runs from RunReady. Watching a descriptor again replaces its callback.
  void Watch(int fd, std::function<void()> ready);
  void Unwatch(int fd);
  // Runs, on the loop's thread, the callbacks of the watched descriptors that
  // the last Wait found ready. A callback may watch or unwatch descriptors.
  void RunReady();

 private:
  struct Watched {
    int fd;
    std::function<void()> ready;
    bool fired = false;
  };
  int read_ = -1, write_ = -1;
  std::atomic<bool>* endFlag_ = nullptr;
  std::vector<Watched> watched_;
};

}  // namespace posix
