// The self-pipe, its signal handler and the wait.
#include "platform/linux/loop_wake.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace posix {

namespace {

std::atomic<LoopWake*> signalTarget{nullptr};

void OnTerminationSignal(int) {
  if (LoopWake* w = signalTarget.load()) w->WakeToEnd();
}

timespec Remaining(std::chrono::steady_clock::time_point deadline) {
  const auto left = deadline - std::chrono::steady_clock::now();
  const long long ns = left.count() > 0 ? std::chrono::duration_cast<std::chrono::nanoseconds>(left).count() : 0;
  return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

}  // namespace

LoopWake::LoopWake() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  read_ = fds[0];
  write_ = fds[1];
}

LoopWake::~LoopWake() {
  LoopWake* self = this;
  signalTarget.compare_exchange_strong(self, nullptr);
  if (read_ >= 0) close(read_);
  if (write_ >= 0) close(write_);
}

void LoopWake::Wake(std::atomic<bool>& flag) {
  flag = true;
  if (write_ < 0) return;
  const int saved = errno;  // a signal handler must leave errno as it found it
  const char byte = 1;
  // A full pipe already holds a wake-up: a failed write loses nothing.
  [[maybe_unused]] const ssize_t n = write(write_, &byte, 1);
  errno = saved;
}

void LoopWake::EndOnTerminationSignals(std::atomic<bool>& endFlag) {
  endFlag_ = &endFlag;  // before the handler can see this loop
  signalTarget = this;
  struct sigaction action{};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &action, nullptr);
}

int LoopWake::Wait(int fd, std::optional<std::chrono::steady_clock::time_point> deadline) {
  // The pipe's place is kept even without a pipe (fd -1: poll skips it).
  std::vector<pollfd> fds = {{fd, POLLIN, 0}, {read_, POLLIN, 0}};
  for (const Watched& w : watched_) fds.push_back({w.fd, POLLIN, 0});
  timespec limit{};
  if (deadline) limit = Remaining(*deadline);
  if (ppoll(fds.data(), fds.size(), deadline ? &limit : nullptr, nullptr) < 0) {
    if (errno != EINTR) return -1;
    for (pollfd& p : fds) p.revents = 0;
  }
  char buffer[64];
  while (read_ >= 0 && read(read_, buffer, sizeof buffer) > 0) {
  }
  for (size_t i = 0; i < watched_.size(); ++i) watched_[i].fired = fds[i + 2].revents != 0;
  return fds[0].revents;
}

void LoopWake::Watch(int fd, std::function<void()> ready) {
  for (Watched& w : watched_) {
    if (w.fd == fd) {
      w.ready = std::move(ready);
      return;
    }
  }
  watched_.push_back({fd, std::move(ready)});
}

void LoopWake::Unwatch(int fd) {
  for (auto it = watched_.begin(); it != watched_.end(); ++it) {
    if (it->fd == fd) {
      watched_.erase(it);
      return;
    }
  }
}

void LoopWake::RunReady() {
  std::vector<int> ready;
  for (Watched& w : watched_) {
    if (w.fired) ready.push_back(w.fd);
    w.fired = false;
  }
  // By descriptor, not by place: a callback may change the list.
  for (int fd : ready) {
    for (const Watched& w : watched_) {
      if (w.fd != fd) continue;
      const std::function<void()> callback = w.ready;
      callback();
      break;
    }
  }
}

}  // namespace posix
