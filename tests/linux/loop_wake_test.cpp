// The loop's wait on real pipes: a watched descriptor's callback runs after
// a wait that found it ready and not before, a wake-up or a deadline ends a
// wait without running any, and a callback may change what is watched.
#include "platform/linux/loop_wake.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Pipe {
  Pipe() { EXPECT_EQ(pipe(fd), 0); }
  ~Pipe() {
    close(fd[0]);
    close(fd[1]);
  }
  void Put() { ASSERT_EQ(write(fd[1], "x", 1), 1); }
  void Take() {
    char c;
    ASSERT_EQ(read(fd[0], &c, 1), 1);
  }
  int fd[2] = {-1, -1};
};

TEST(LoopWake, AWatchedDescriptorRunsItsCallbackAfterTheWaitThatFoundIt) {
  posix::LoopWake wake;
  Pipe connection, socket, other;
  int socketRuns = 0, otherRuns = 0;
  wake.Watch(socket.fd[0], [&] { ++socketRuns; socket.Take(); });
  wake.Watch(other.fd[0], [&] { ++otherRuns; });

  socket.Put();
  EXPECT_EQ(wake.Wait(connection.fd[0], Clock::now() + std::chrono::seconds(5)), 0);
  EXPECT_EQ(socketRuns, 0);  // not from inside the wait
  wake.RunReady();
  EXPECT_EQ(socketRuns, 1);
  EXPECT_EQ(otherRuns, 0);
  wake.RunReady();  // once per wait
  EXPECT_EQ(socketRuns, 1);

  // The deadline ends a wait with nothing ready.
  const auto start = Clock::now();
  EXPECT_EQ(wake.Wait(connection.fd[0], start + std::chrono::milliseconds(30)), 0);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(25));
  wake.RunReady();
  EXPECT_EQ(socketRuns, 1);
}

TEST(LoopWake, AWakeUpFromAnotherThreadEndsTheWait) {
  posix::LoopWake wake;
  Pipe connection, socket;
  int runs = 0;
  wake.Watch(socket.fd[0], [&] { ++runs; });
  std::atomic<bool> flag{false};
  std::thread waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    wake.Wake(flag);
  });
  EXPECT_EQ(wake.Wait(connection.fd[0], std::nullopt), 0);
  waker.join();
  EXPECT_TRUE(flag);
  wake.RunReady();
  EXPECT_EQ(runs, 0);
}

TEST(LoopWake, ACallbackMayUnwatchAndWatchAgain) {
  posix::LoopWake wake;
  Pipe connection, a, b;
  int aRuns = 0, bRuns = 0;
  wake.Watch(a.fd[0], [&] {
    ++aRuns;
    wake.Unwatch(a.fd[0]);
    wake.Unwatch(b.fd[0]);  // ready too, but gone before its turn
  });
  wake.Watch(b.fd[0], [&] { ++bRuns; });
  a.Put();
  b.Put();
  wake.Wait(connection.fd[0], Clock::now() + std::chrono::seconds(5));
  wake.RunReady();
  EXPECT_EQ(aRuns, 1);
  EXPECT_EQ(bRuns, 0);
  // Unwatched, still readable: no callback runs.
  wake.Wait(connection.fd[0], Clock::now() + std::chrono::milliseconds(10));
  wake.RunReady();
  EXPECT_EQ(aRuns, 1);
  // Watched again with a new callback: the new one runs.
  wake.Watch(b.fd[0], [&] { bRuns += 10; });
  wake.Wait(connection.fd[0], Clock::now() + std::chrono::seconds(5));
  wake.RunReady();
  EXPECT_EQ(bRuns, 10);
}

TEST(LoopWake, TheConnectionsEventsAreReturned) {
  posix::LoopWake wake;
  Pipe connection;
  connection.Put();
  EXPECT_NE(wake.Wait(connection.fd[0], Clock::now() + std::chrono::seconds(5)), 0);
}

}  // namespace
