// The Unix socket on which a running instance takes commands (the layer
// and the root-window modes), and the claim that makes it the only instance
// for its display and layer. The folder is $XDG_RUNTIME_DIR/prismora (mode
// 0700, ours alone), the socket NAME.sock in it (0600) and, beside it, the
// lock NAME.lock that the instance holds for its lifetime (control/instance.h
// makes the names). A peer of another user is refused. The server never
// blocks: accepts, reads and writes are non-blocking and driven by the main
// loop through a DescriptorWatcher; lines are at most 4 KiB of text, a client
// must finish each line within a second of the last, at most 16 clients at
// once, and a client that does not read its replies is dropped. What a line
// means is the handler's business (control/reply.h's Respond).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/descriptor_watcher.h"

namespace posix {

// $XDG_RUNTIME_DIR/prismora and the socket's path in it.
std::string ControlFolder(const std::string& runtimeDir);
std::string ControlSocketPath(const std::string& runtimeDir, const std::string& name);

// The instance's claim on its name: the lock held, its folder made safe.
// Destroying it removes the lock file and lets the next instance in.
class InstanceClaim {
 public:
  InstanceClaim(int lockFd, std::string socketPath, std::string lockPath);
  ~InstanceClaim();
  InstanceClaim(const InstanceClaim&) = delete;
  InstanceClaim& operator=(const InstanceClaim&) = delete;
  const std::string& SocketPath() const { return socketPath_; }

 private:
  int lockFd_;
  std::string socketPath_, lockPath_;
};

struct ClaimOutcome {
  enum Result {
    Claimed,          // `claim` holds the name: ControlServer listens on it
    AnotherInstance,  // another instance has the name: end with status 1
    NoSocket,         // no socket can be had: go on without one
  } result = NoSocket;
  std::string message;  // for the last two: one line, without the program's name
  std::unique_ptr<InstanceClaim> claim;
};

// Claims `name` in the runtime folder (`runtimeDir`: XDG_RUNTIME_DIR; null,
// empty or relative: no socket). A name held by a running instance is
// refused, or with `replace` taken over: that instance (whose process the
// socket's peer credentials name) is asked to end with SIGTERM, and the claim
// waits up to `takeoverWait` for its lock. A socket file that nothing
// listens on is stale and replaced.
ClaimOutcome ClaimInstance(const char* runtimeDir, const std::string& name, bool replace,
                           std::chrono::milliseconds takeoverWait = std::chrono::seconds(5));

struct ControlLimits {
  size_t maxClients = 16;
  size_t maxLineBytes = 4096;  // longer lines get an error and the client is dropped
  std::chrono::milliseconds lineTimeout{1000};  // to finish a line after connecting or after the last line
  size_t acceptsPerWake = 32;  // so a crowd of clients cannot hold the loop
};

class ControlServer {
 public:
  // A request line (text, without its line end) in, the reply lines out
  // (without line ends). Runs on the loop's thread; must not destroy the
  // server. An exception it throws becomes an error reply.
  using Handler = std::function<std::vector<std::string>(std::string_view line)>;

  ControlServer(std::unique_ptr<InstanceClaim> claim, DescriptorWatcher watcher, Handler handler,
                ControlLimits limits = {});
  // Stops watching, closes every client, removes the socket file (if it is
  // still ours) and then the lock.
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Binds the claimed name and starts taking clients. False, with `why` (one
  // line), when the socket cannot be made.
  bool Listen(std::string& why);
  const std::string& SocketPath() const { return claim_->SocketPath(); }
  size_t ClientCount() const { return clients_.size(); }

 private:
  struct Client {
    int fd;
    std::string pending;  // the line begun
    std::chrono::steady_clock::time_point deadline;
  };

  void AcceptReady();
  void Accept(int fd);
  void ClientReady(int fd);
  // False when the client was dropped.
  bool TakeBytes(int fd, std::string_view bytes);
  bool Answer(int fd, std::string_view line);
  void TimerReady();
  void ArmTimer();
  void Drop(int fd);
  void DropWithError(int fd, std::string_view error);
  Client* Find(int fd);

  std::unique_ptr<InstanceClaim> claim_;
  DescriptorWatcher watcher_;
  Handler handler_;
  ControlLimits limits_;
  int listenFd_ = -1, timerFd_ = -1;
  dev_t socketDevice_ = 0;
  ino_t socketInode_ = 0;
  bool accepting_ = false;
  std::chrono::steady_clock::time_point acceptAgainAt_{};
  std::vector<Client> clients_;
};

}  // namespace posix
