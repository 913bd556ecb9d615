// POSIX side of WriteFileAtomically: open(O_EXCL) in the target's folder,
// write, fsync, rename(2) (atomic within one file system), fsync the folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "tools/atomic_file_os.h"

namespace AtomicFileOs {
namespace {

std::atomic<unsigned> tempCounter{0};

std::string FolderOf(const std::string& target) {
  const size_t cut = target.rfind('/');
  return cut == std::string::npos ? std::string(".") : target.substr(0, cut + 1);
}

}  // namespace

const char* const kSeparators = "/";

std::string ResolveTarget(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

bool TargetReplaceable(const std::string& target) {
  struct stat st;
  if (stat(target.c_str(), &st) != 0) return true;  // absent (or unreachable: CreateTemp will tell)
  if (S_ISDIR(st.st_mode)) return false;
  // A file we could not open for writing is not ours to replace either.
  return access(target.c_str(), W_OK) == 0;
}

bool CreateTemp(const std::string& folder, const std::string& target, TempFile& temp) {
  struct stat existing;
  const bool hasExisting = stat(target.c_str(), &existing) == 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp.path = folder + ".prismora-" + std::to_string(getpid()) + "-" + std::to_string(tempCounter++) + ".tmp";
    // 0666 less the umask, as any newly created file gets.
    const int fd = open(temp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      temp.handle = fd;
      // Keep the permissions of the file being replaced (best effort).
      if (hasExisting) (void)fchmod(fd, existing.st_mode & 07777);
      return true;
    }
    if (errno != EEXIST) break;
  }
  temp.path.clear();
  return false;
}

bool WriteAll(TempFile& temp, const uint8_t* data, size_t n) {
  while (n > 0) {
    const ssize_t written = write(static_cast<int>(temp.handle), data, n);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    n -= static_cast<size_t>(written);
  }
  return true;
}

bool FlushAndClose(TempFile& temp) {
  const bool synced = fsync(static_cast<int>(temp.handle)) == 0;
  const bool closed = close(static_cast<int>(temp.handle)) == 0;
  temp.handle = -1;
  return synced && closed;
}

bool ReplaceTarget(const TempFile& temp, const std::string& target) {
  if (rename(temp.path.c_str(), target.c_str()) != 0) return false;
  // Make the rename itself durable; a failure here loses nothing already done.
  const int dir = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)fsync(dir);
    close(dir);
  }
  return true;
}

void Discard(TempFile& temp) {
  if (temp.handle >= 0) close(static_cast<int>(temp.handle));
  temp.handle = -1;
  if (!temp.path.empty()) unlink(temp.path.c_str());
}

}  // namespace AtomicFileOs
