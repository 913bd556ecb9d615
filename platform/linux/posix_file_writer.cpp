// POSIX side of SaveFile: the path walked link by link (posix_path_walk.h)
// to the folder that holds the file, then, through that folder's descriptor,
// openat(O_EXCL) of a hidden temporary file beside the target, fchown /
// fchmod to keep the old file's owner and mode, write (pwrite and ftruncate
// for a stream that patches or starts again), fsync, renameat (atomic within
// one file system), fsync of the folder; in-place writes to devices and
// FIFOs, and through a duplicate of a descriptor the process already holds;
// the signal handlers that remove the temporary file when the process is
// told to end.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/file_writer_os.h"
#include "platform/linux/posix_path_walk.h"

namespace FileWriterOs {
namespace {

std::atomic<unsigned> tempCounter{0};

std::string ReasonOf(int error) { return std::strerror(error); }

// ---- Removing the temporary file on SIGINT, SIGTERM and SIGHUP --------------
// Installed only while a temporary file exists. The handler removes the file,
// puts the previous disposition back and raises the signal again, so that
// the process still ends (or does whatever it did before) as the signal
// intended. A signal the process ignores is left ignored.

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = 3;
char tempForSignals[NAME_MAX + 1];  // the name in its folder
volatile sig_atomic_t tempFolderForSignals = -1;
volatile sig_atomic_t tempArmed = 0;
struct sigaction previousAction[kSignalCount];
volatile sig_atomic_t handlerInstalled[kSignalCount];

extern "C" void RemoveTempAndResignal(int sig) {
  const int savedErrno = errno;
  if (tempArmed) unlinkat(tempFolderForSignals, tempForSignals, 0);  // async-signal-safe, as are the calls below
  for (int i = 0; i < kSignalCount; ++i) {
    if (kCleanupSignals[i] == sig && handlerInstalled[i]) {
      sigaction(sig, &previousAction[i], nullptr);
      handlerInstalled[i] = 0;
    }
  }
  errno = savedErrno;
  raise(sig);  // delivered with the previous disposition once this handler returns
}

void ArmCleanup(int folder, const std::string& tempName) {
  tempArmed = 0;
  if (tempName.size() >= sizeof tempForSignals) return;
  std::memcpy(tempForSignals, tempName.c_str(), tempName.size() + 1);
  tempFolderForSignals = folder;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  tempArmed = 1;
  for (int i = 0; i < kSignalCount; ++i) {
    if (handlerInstalled[i]) continue;
    struct sigaction current {};
    if (sigaction(kCleanupSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    previousAction[i] = current;
    struct sigaction ours {};
    ours.sa_handler = RemoveTempAndResignal;
    sigemptyset(&ours.sa_mask);
    for (int s : kCleanupSignals) sigaddset(&ours.sa_mask, s);
    ours.sa_flags = SA_RESTART;
    handlerInstalled[i] = 1;
    if (sigaction(kCleanupSignals[i], &ours, nullptr) != 0) handlerInstalled[i] = 0;
  }
}

void DisarmCleanup() {
  for (int i = 0; i < kSignalCount; ++i) {
    if (!handlerInstalled[i]) continue;
    sigaction(kCleanupSignals[i], &previousAction[i], nullptr);
    handlerInstalled[i] = 0;
  }
  tempArmed = 0;
}

// ---- What is at the path ------------------------------------------------------

Target Refused(Target t, std::string reason) {
  t.kind = Target::Kind::Refused;
  t.reason = std::move(reason);
  return t;
}

// A descriptor the process holds, if it is open for writing.
Target HeldTarget(Target t, int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0) return Refused(t, ReasonOf(errno));
  if ((flags & O_PATH) || (flags & O_ACCMODE) == O_RDONLY) return Refused(t, "Not open for writing");
  t.kind = Target::Kind::Held;
  t.held = fd;
  return t;
}

Target InspectRegular(Target t, int folder, const struct stat& st) {
  // A file we could not open for writing is not ours to replace either.
  if (faccessat(folder, t.path.c_str(), W_OK, AT_EACCESS) != 0) return Refused(t, ReasonOf(errno));
  t.kind = Target::Kind::Regular;
  t.mode = st.st_mode & 07777;
  t.owner = st.st_uid;
  t.group = st.st_gid;
  return t;
}

// chown before chmod: chown clears the set-user-ID and set-group-ID bits,
// which chmod then puts back. A plain user may still give the file a group
// it belongs to; anything it may not do is left as it is.
void KeepOwnerAndMode(int fd, const Target& t) {
  struct stat now {};
  if (fstat(fd, &now) == 0 && (now.st_uid != t.owner || now.st_gid != t.group)) {
    // Failing both is left as it is (a (void) cast does not quiet glibc's
    // warn_unused_result in a fortified build, a condition does).
    if (fchown(fd, t.owner, t.group) != 0 && fchown(fd, static_cast<uid_t>(-1), t.group) != 0) {
    }
  }
  (void)fchmod(fd, t.mode);
}

// ---- SIGPIPE while writing to a FIFO ------------------------------------------
// A reader that goes away must give a write error, not end the program: the
// signal is blocked for this thread during the write, and one that the write
// raised is taken off again before the mask is restored.

class PipeSignalHeld {
 public:
  PipeSignalHeld() {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    alreadyPending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe, &previous_);
  }
  ~PipeSignalHeld() {
    sigset_t pending;
    sigpending(&pending);
    if (!alreadyPending_ && sigismember(&pending, SIGPIPE) == 1) {
      sigset_t pipe;
      sigemptyset(&pipe);
      sigaddset(&pipe, SIGPIPE);
      const timespec now{0, 0};
      (void)sigtimedwait(&pipe, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }

 private:
  sigset_t previous_;
  bool alreadyPending_ = false;
};

// A descriptor the process was given may be non-blocking (the flag belongs
// to the open file, which other programs share): it is waited for.
bool WriteLoop(int fd, const uint8_t* data, size_t n, std::string& reason) {
  while (n > 0) {
    const ssize_t written = write(fd, data, n);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd ready{fd, POLLOUT, 0};
      if (poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
    }
    if (written <= 0) {
      reason = written < 0 ? ReasonOf(errno) : "Nothing was written";
      return false;
    }
    data += written;
    n -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

const char* const kSeparators = "/";

// The folder stays open in out.folder: the temporary file is made and renamed
// there, whatever happens meanwhile to the names that led to it.
Target Inspect(const std::string& path, Output& out) {
  Target t;
  t.path = path;
  PathEnd end = WalkPath(path);
  switch (end.kind) {
    case PathEnd::Kind::Failed: return Refused(t, end.reason);
    case PathEnd::Kind::Descriptor: return HeldTarget(t, end.descriptor);
    case PathEnd::Kind::Missing:
    case PathEnd::Kind::Present: break;
  }
  out.folder = end.folder;
  t.path = end.name;
  if (end.kind == PathEnd::Kind::Missing) return t;  // absent
  const struct stat& st = end.st;
  if (S_ISDIR(st.st_mode)) return Refused(t, ReasonOf(EISDIR));
  if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
    t.kind = Target::Kind::InPlace;
    return t;
  }
  // A block device (a disk) or a socket is never what a picture is meant for.
  if (!S_ISREG(st.st_mode)) return Refused(t, "Not a regular file, character device or FIFO");
  return InspectRegular(t, end.folder, st);
}

Target StandardOutput() {
  Target t;
  t.path = "-";
  return HeldTarget(t, STDOUT_FILENO);
}

// In the folder Inspect opened (the folder text is for platforms without one).
bool CreateTemp(const std::string&, const Target& target, bool ownerOnly, Output& out) {
  const int folder = static_cast<int>(out.folder);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = ".prismora-" + std::to_string(getpid()) + "-" + std::to_string(tempCounter++) + ".tmp";
    ArmCleanup(folder, name);  // before the file exists, so that no moment is left uncovered
    // 0666 or 0600, less the umask, as any new file gets.
    const int fd = openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          ownerOnly ? 0600 : 0666);
    if (fd >= 0) {
      out.tempPath = name;
      out.handle = fd;
      if (target.kind == Target::Kind::Regular) KeepOwnerAndMode(fd, target);
      return true;
    }
    const int error = errno;
    DisarmCleanup();
    if (error != EEXIST) {
      out.reason = ReasonOf(error);
      return false;
    }
  }
  out.reason = ReasonOf(EEXIST);
  return false;
}

// O_NONBLOCK: opening a FIFO that nobody reads fails at once (ENXIO) instead
// of waiting; the writes themselves block as usual.
bool OpenInPlace(const Target& target, Output& out) {
  const int fd = openat(static_cast<int>(out.folder), target.path.c_str(),
                        O_WRONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    out.reason = errno == ENXIO ? "No process reads from it" : ReasonOf(errno);
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !(S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))) {
    close(fd);  // replaced by something else since it was looked at
    out.reason = "The file changed while it was opened";
    return false;
  }
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) (void)fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  out.handle = fd;
  return true;
}

// A duplicate shares the descriptor's position and its O_APPEND; closing it
// at the end leaves the process's own open. Above 2, so that a closed
// standard descriptor is not taken.
bool OpenHeld(const Target& target, Output& out) {
  const int fd = fcntl(static_cast<int>(target.held), F_DUPFD_CLOEXEC, 3);
  if (fd < 0) {
    out.reason = ReasonOf(errno);
    return false;
  }
  out.handle = fd;
  return true;
}

bool WriteAll(Output& out, const uint8_t* data, size_t n) {
  const int fd = static_cast<int>(out.handle);
  if (!out.tempPath.empty()) {
    const off_t start = lseek(fd, 0, SEEK_CUR);
    if (!WriteLoop(fd, data, n, out.reason)) return false;
    // Start writing these pages to the disk now, while the caller makes the
    // next ones (a picture streamed as it is rendered), so that the flush at
    // the end has little left to wait for. Only a hint: its failure is not
    // the write's.
    if (start >= 0) (void)sync_file_range(fd, start, static_cast<off_t>(n), SYNC_FILE_RANGE_WRITE);
    return true;
  }
  const PipeSignalHeld held;
  return WriteLoop(fd, data, n, out.reason);
}

bool WriteAt(Output& out, uint64_t offset, const uint8_t* data, size_t n) {
  while (n > 0) {
    const ssize_t written = pwrite(static_cast<int>(out.handle), data, n, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      out.reason = written < 0 ? ReasonOf(errno) : "Nothing was written";
      return false;
    }
    data += written;
    n -= static_cast<size_t>(written);
    offset += static_cast<uint64_t>(written);
  }
  return true;
}

bool Truncate(Output& out) {
  const int fd = static_cast<int>(out.handle);
  if (ftruncate(fd, 0) != 0 || lseek(fd, 0, SEEK_SET) != 0) {
    out.reason = ReasonOf(errno);
    return false;
  }
  return true;
}

bool Finish(Output& out) {
  const int fd = static_cast<int>(out.handle);
  out.handle = -1;
  // A device or FIFO has nothing to flush to a disk (fsync fails on them).
  const bool synced = out.tempPath.empty() || fsync(fd) == 0;
  if (!synced) out.reason = ReasonOf(errno);
  const bool closed = close(fd) == 0;
  if (synced && !closed) out.reason = ReasonOf(errno);
  return synced && closed;
}

bool Replace(Output& out, const std::string& target) {
  const int folder = static_cast<int>(out.folder);
  if (renameat(folder, out.tempPath.c_str(), folder, target.c_str()) != 0) {
    out.reason = ReasonOf(errno);
    return false;
  }
  out.tempPath.clear();
  DisarmCleanup();
  // Make the rename itself durable; a failure here loses nothing already done.
  // (The walk's descriptor is O_PATH, which cannot be flushed.)
  const int dir = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)fsync(dir);
    close(dir);
  }
  return true;
}

void Discard(Output& out) {
  if (out.handle >= 0) close(static_cast<int>(out.handle));
  out.handle = -1;
  if (!out.tempPath.empty()) unlinkat(static_cast<int>(out.folder), out.tempPath.c_str(), 0);
  out.tempPath.clear();
  DisarmCleanup();
  if (out.folder >= 0) close(static_cast<int>(out.folder));
  out.folder = -1;
}

}  // namespace FileWriterOs
