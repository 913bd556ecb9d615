// The control socket's folder, lock and takeover, and its non-blocking server.
#include "platform/linux/control_socket.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <thread>

#include "control/reply.h"
#include "platform/linux/unix_socket.h"

namespace posix {

namespace {

using Clock = std::chrono::steady_clock;

std::string Why(const std::string& what, int error) { return what + ": " + std::strerror(error); }

// Our folder, ours alone: made 0700, or an existing one checked (a real
// folder, not a link, of our user) and its mode narrowed to 0700.
bool MakePrivateFolder(const std::string& folder, std::string& why) {
  if (mkdir(folder.c_str(), 0700) == 0) return true;
  if (errno != EEXIST) {
    why = Why("cannot make the folder " + folder, errno);
    return false;
  }
  struct stat st;
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    why = folder + " is not a folder";
    return false;
  }
  if (st.st_uid != geteuid()) {
    why = folder + " belongs to another user";
    return false;
  }
  if ((st.st_mode & 07777) != 0700 && chmod(folder.c_str(), 0700) != 0) {
    why = Why("cannot make " + folder + " private", errno);
    return false;
  }
  return true;
}

enum class Lock { Held, Busy, Failed };

// The lock file, locked. Its holder removes it at the end while still
// holding it, so a lock taken on a file that is no longer at the path is
// worth nothing: take it again on the new one.
Lock TakeLock(const std::string& path, int& fd, std::string& why) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
      why = Why("cannot open the lock " + path, errno);
      return Lock::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      close(fd);
      fd = -1;
      if (error == EWOULDBLOCK) return Lock::Busy;
      why = Why("cannot lock " + path, error);
      return Lock::Failed;
    }
    struct stat held, named;
    if (fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino)
      return Lock::Held;
    close(fd);
  }
  fd = -1;
  why = "the lock " + path + " keeps changing";
  return Lock::Failed;
}

// The process listening on the socket, if one does and it is ours to ask.
pid_t ListeningProcess(const std::string& socketPath) {
  int error = 0;
  const int fd = ConnectUnix(socketPath, Clock::now() + std::chrono::milliseconds(200), error);
  if (fd < 0) return 0;
  const std::optional<ucred> peer = PeerOf(fd);
  close(fd);
  if (!peer || peer->uid != geteuid() || peer->pid <= 0 || peer->pid == getpid()) return 0;
  return peer->pid;
}

// "5 seconds", "1 second", "250 ms".
std::string Duration(std::chrono::milliseconds t) {
  const long long ms = t.count();
  if (ms % 1000 != 0) return std::to_string(ms) + " ms";
  return std::to_string(ms / 1000) + (ms == 1000 ? " second" : " seconds");
}

std::string Process(pid_t pid) { return pid > 0 ? " (process " + std::to_string(pid) + ")" : ""; }

// Asks the holder of the lock to end (SIGTERM to the process on the socket)
// and waits for the lock.
Lock TakeOver(const std::string& socketPath, const std::string& lockPath, std::chrono::milliseconds wait, int& fd,
              pid_t& holder, std::string& why) {
  const auto deadline = Clock::now() + wait;
  bool asked = false;
  for (;;) {
    if (!asked && (holder = ListeningProcess(socketPath)) > 0) asked = kill(holder, SIGTERM) == 0;
    const Lock lock = TakeLock(lockPath, fd, why);
    if (lock != Lock::Busy || Clock::now() >= deadline) return lock;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = send(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // a full socket: the client does not read
    bytes.remove_prefix(size_t(n));
  }
  return true;
}

bool IsLineByte(unsigned char b) { return b >= 0x20 || b == '\t' || b == '\r' || b == '\n'; }

}  // namespace

std::string ControlFolder(const std::string& runtimeDir) { return runtimeDir + "/prismora"; }

std::string ControlSocketPath(const std::string& runtimeDir, const std::string& name) {
  return ControlFolder(runtimeDir) + "/" + name + ".sock";
}

InstanceClaim::InstanceClaim(int lockFd, std::string socketPath, std::string lockPath)
    : lockFd_(lockFd), socketPath_(std::move(socketPath)), lockPath_(std::move(lockPath)) {}

InstanceClaim::~InstanceClaim() {
  // Removed while still held: whoever waits for it takes it on a new file.
  unlink(lockPath_.c_str());
  close(lockFd_);
}

ClaimOutcome ClaimInstance(const char* runtimeDir, const std::string& name, bool replace,
                           std::chrono::milliseconds takeoverWait) {
  ClaimOutcome out;
  const std::string after = "; prismora --send cannot reach this instance";
  if (!runtimeDir || !*runtimeDir) {
    out.message = "XDG_RUNTIME_DIR is not set: no control socket" + after;
    return out;
  }
  if (runtimeDir[0] != '/') {
    out.message = "XDG_RUNTIME_DIR is not an absolute path: no control socket" + after;
    return out;
  }
  const std::string dir = runtimeDir;
  const std::string socketPath = ControlSocketPath(dir, name);
  const std::string lockPath = ControlFolder(dir) + "/" + name + ".lock";
  std::string why;
  sockaddr_un address;
  if (!SocketAddress(socketPath, address)) {
    out.message = "the control socket's path would be too long (" + socketPath + ")" + after;
    return out;
  }
  if (!MakePrivateFolder(ControlFolder(dir), why)) {
    out.message = why + ": no control socket" + after;
    return out;
  }
  int fd = -1;
  pid_t holder = 0;
  Lock lock = TakeLock(lockPath, fd, why);
  if (lock == Lock::Busy && replace) lock = TakeOver(socketPath, lockPath, takeoverWait, fd, holder, why);
  if (lock == Lock::Held) {
    out.result = ClaimOutcome::Claimed;
    out.claim = std::make_unique<InstanceClaim>(fd, socketPath, lockPath);
  } else if (lock == Lock::Failed) {
    out.message = why + ": no control socket" + after;
  } else if (replace) {
    out.result = ClaimOutcome::AnotherInstance;
    out.message = "the running prismora" + Process(holder) + " at " + socketPath + " did not end within " +
                  Duration(takeoverWait);
  } else {
    out.result = ClaimOutcome::AnotherInstance;
    out.message = "another prismora" + Process(ListeningProcess(socketPath)) +
                  " already runs here and takes commands at " + socketPath + "; --replace takes over from it";
  }
  return out;
}

ControlServer::ControlServer(std::unique_ptr<InstanceClaim> claim, DescriptorWatcher watcher, Handler handler,
                             ControlLimits limits)
    : claim_(std::move(claim)), watcher_(std::move(watcher)), handler_(std::move(handler)), limits_(limits) {}

ControlServer::~ControlServer() {
  while (!clients_.empty()) Drop(clients_.back().fd);
  if (timerFd_ >= 0) {
    watcher_.stop(timerFd_);
    close(timerFd_);
  }
  if (listenFd_ >= 0) {
    if (accepting_) watcher_.stop(listenFd_);
    // Only our own socket: never one that replaced it.
    struct stat st;
    if (lstat(SocketPath().c_str(), &st) == 0 && st.st_dev == socketDevice_ && st.st_ino == socketInode_)
      unlink(SocketPath().c_str());
    close(listenFd_);
  }
}

bool ControlServer::Listen(std::string& why) {
  sockaddr_un address;
  if (!claim_ || !SocketAddress(SocketPath(), address)) {
    why = "no control socket: the path would be too long";
    return false;
  }
  listenFd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (listenFd_ < 0 || timerFd_ < 0) {
    why = Why("no control socket", errno);
    return false;
  }
  // We hold the lock: whatever is at the path is stale.
  unlink(SocketPath().c_str());
  struct stat st;
  const bool bound = bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                     lstat(SocketPath().c_str(), &st) == 0;
  if (bound) {  // ours to remove from now on, whatever follows
    socketDevice_ = st.st_dev;
    socketInode_ = st.st_ino;
  }
  // Nothing can connect before listen(), so the mode is set in between.
  if (!bound || chmod(SocketPath().c_str(), 0600) != 0 || listen(listenFd_, 64) != 0) {
    why = Why("no control socket at " + SocketPath(), errno);
    return false;
  }
  watcher_.watch(timerFd_, [this] { TimerReady(); });
  watcher_.watch(listenFd_, [this] { AcceptReady(); });
  accepting_ = true;
  return true;
}

void ControlServer::AcceptReady() {
  for (size_t i = 0; i < limits_.acceptsPerWake; ++i) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      Accept(fd);
      continue;
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
      // The connection waits in the backlog and would wake the loop at once
      // again: stop listening for a moment instead.
      watcher_.stop(listenFd_);
      accepting_ = false;
      acceptAgainAt_ = Clock::now() + std::chrono::milliseconds(200);
      ArmTimer();
    }
    return;
  }
}

void ControlServer::Accept(int fd) {
  const std::optional<ucred> peer = PeerOf(fd);
  const char* refusal = nullptr;
  if (!peer || peer->uid != geteuid()) refusal = "refused: this prismora takes commands from its own user only";
  else if (clients_.size() >= limits_.maxClients) refusal = control::kBusyError;
  if (refusal) {
    SendAll(fd, control::ErrorLine(refusal) + "\n");
    close(fd);
    return;
  }
  clients_.push_back({fd, {}, Clock::now() + limits_.lineTimeout});
  watcher_.watch(fd, [this, fd] { ClientReady(fd); });
  ArmTimer();
}

void ControlServer::ClientReady(int fd) {
  if (!Find(fd)) return;
  char buffer[4096];
  ssize_t n;
  do n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
  while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
  if (n <= 0) {
    Client* c = Find(fd);
    if (n == 0 && c && !c->pending.empty()) DropWithError(fd, "an unfinished line at the end");
    else Drop(fd);
    return;
  }
  if (TakeBytes(fd, std::string_view(buffer, size_t(n)))) ArmTimer();
}

// Lines as they complete; binary bytes and overlong lines end the client.
bool ControlServer::TakeBytes(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    Client* c = Find(fd);
    if (!c) return false;
    const size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    if (!std::all_of(piece.begin(), piece.end(), [](char b) { return IsLineByte(static_cast<unsigned char>(b)); })) {
      DropWithError(fd, "not a line of text: a NUL byte or a control character");
      return false;
    }
    // + 1: a final "\r", which is no part of the line.
    if (c->pending.size() + piece.size() > limits_.maxLineBytes + 1) {
      DropWithError(fd, "a line longer than " + std::to_string(limits_.maxLineBytes) + " bytes");
      return false;
    }
    c->pending.append(piece);
    if (end == std::string_view::npos) return true;
    bytes.remove_prefix(end + 1);
    const std::string line = std::move(c->pending);
    c->pending.clear();
    if (!Answer(fd, line)) return false;
    // The next line's second counts from the answer: a long answer (the
    // loop busy) takes none of it.
    if (Client* answered = Find(fd)) answered->deadline = Clock::now() + limits_.lineTimeout;
  }
  return true;
}

bool ControlServer::Answer(int fd, std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() > limits_.maxLineBytes) {
    DropWithError(fd, "a line longer than " + std::to_string(limits_.maxLineBytes) + " bytes");
    return false;
  }
  if (const std::string why = control::CheckLineText(line); !why.empty()) {
    DropWithError(fd, why);
    return false;
  }
  std::string reply;
  try {
    for (const std::string& l : handler_(line)) reply += l + "\n";
  } catch (const std::exception& e) {
    reply = control::ErrorLine(std::string("the command failed: ") + e.what()) + "\n";
  }
  if (SendAll(fd, reply)) return true;
  Drop(fd);
  return false;
}

void ControlServer::TimerReady() {
  uint64_t expirations;
  while (read(timerFd_, &expirations, sizeof expirations) > 0) {
  }
  const auto now = Clock::now();
  std::vector<int> late;
  for (const Client& c : clients_)
    if (c.deadline <= now) late.push_back(c.fd);
  // What arrived while the loop was busy drawing counts: a late client's
  // bytes are read before its time is judged.
  for (int fd : late) {
    ClientReady(fd);
    const Client* c = Find(fd);
    if (c && c->deadline <= now) DropWithError(fd, "no complete line within " + Duration(limits_.lineTimeout));
  }
  if (!accepting_ && listenFd_ >= 0 && acceptAgainAt_ <= now) {
    watcher_.watch(listenFd_, [this] { AcceptReady(); });
    accepting_ = true;
  }
  ArmTimer();
}

// One shot at the earliest deadline (a client's line, listening again), or
// disarmed when there is none.
void ControlServer::ArmTimer() {
  std::optional<Clock::time_point> next;
  for (const Client& c : clients_) next = next ? std::min(*next, c.deadline) : c.deadline;
  if (!accepting_) next = next ? std::min(*next, acceptAgainAt_) : acceptAgainAt_;
  itimerspec when{};
  if (next) {
    // steady_clock is CLOCK_MONOTONIC; a zero time would disarm the timer.
    const auto ns = std::max<long long>(
        1, std::chrono::duration_cast<std::chrono::nanoseconds>(next->time_since_epoch()).count());
    when.it_value = {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
  }
  timerfd_settime(timerFd_, next ? TFD_TIMER_ABSTIME : 0, &when, nullptr);
}

ControlServer::Client* ControlServer::Find(int fd) {
  for (Client& c : clients_)
    if (c.fd == fd) return &c;
  return nullptr;
}

void ControlServer::Drop(int fd) {
  const auto it = std::find_if(clients_.begin(), clients_.end(), [fd](const Client& c) { return c.fd == fd; });
  if (it == clients_.end()) return;
  watcher_.stop(fd);
  close(fd);
  clients_.erase(it);
}

void ControlServer::DropWithError(int fd, std::string_view error) {
  SendAll(fd, control::ErrorLine(error) + "\n");
  Drop(fd);
}

}  // namespace posix
