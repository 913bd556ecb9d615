// The Linux settings store: the file that holds the registry export text
// (reg_text.h), read whole, and changed under a lock by one replace through
// the platform's file writer.
#include "platform/linux/linux_registry_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/file_writer.h"
#include "platform/native_registry.h"

namespace Platform {

using Settings::RegistryValue;

// ---- The file ------------------------------------------------------------------

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir) return pw->pw_dir;
  return {};
}

// Creates every missing folder of `dir` (private to the user, as configuration
// folders should be).
bool MakeFolders(const std::string& dir) {
  for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
    const std::string part = dir.substr(0, slash);
    if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st;
  return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// An exclusive flock on a lock file beside the store, held for one
// read-modify-write. A file system without locks gives no lock and no error:
// the write goes on as it would have without one.
class StoreLock {
 public:
  explicit StoreLock(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    for (int waited = 0;; waited += 10) {
      if (flock(fd_, LOCK_EX | LOCK_NB) == 0 || (errno != EWOULDBLOCK && errno != EINTR)) {
        held_ = true;
        return;
      }
      if (waited >= LinuxRegistryFile::kLockWaitMilliseconds) return;
      usleep(10000);
    }
  }
  ~StoreLock() {
    if (fd_ >= 0) close(fd_);  // releases the lock
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  bool Held() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace

std::string LinuxRegistryFile::DefaultPath() {
  std::string base;
  // The XDG rules: only an absolute path counts; otherwise ~/.config.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') base = xdg;
  else if (const std::string home = HomeFolder(); !home.empty()) base = home + "/.config";
  else return {};
  return base + "/prismora/registry.reg";
}

LinuxRegistryFile::LoadResult LinuxRegistryFile::Load(RegDocument& doc) const {
  doc = {};
  if (path_.empty()) return LoadResult::Missing;  // no home folder: no store
  const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not block
  // ENOTDIR: a file where one of the folders should be, so no store either.
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? LoadResult::Missing : LoadResult::Failed;
  struct stat st;
  std::string text;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && size_t(st.st_size) <= kMaxFileBytes;
  while (ok) {
    char buffer[65536];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    text.append(buffer, size_t(n));
    ok = text.size() <= kMaxFileBytes;  // the file may grow while we read it
  }
  close(fd);
  if (!ok || !DecodeRegFile(text, doc)) return LoadResult::Failed;
  return LoadResult::Read;
}

// The file that links lead to (dotfiles kept elsewhere), or the path itself
// while there is no file yet.
std::string LinuxRegistryFile::RealPath() const {
  std::string real = path_;
  if (char* resolved = realpath(path_.c_str(), nullptr)) {
    real = resolved;
    std::free(resolved);
  }
  return real;
}

bool LinuxRegistryFile::OpenKey(const std::string& path) {
  CloseKey();
  const LoadResult loaded = Load(snapshot_);
  if (loaded == LoadResult::Missing || (loaded == LoadResult::Read && !RegKeyExists(snapshot_, path))) return false;
  key_ = path;
  readable_ = loaded == LoadResult::Read;
  open_ = true;
  return true;
}

bool LinuxRegistryFile::CreateKey(const std::string& path) {
  CloseKey();
  // Never overwrite what we could not read.
  if (path_.empty() || Load(snapshot_) == LoadResult::Failed) return false;
  const std::string folder = FolderOf(RealPath());
  if (!MakeFolders(folder) || access(folder.c_str(), W_OK | X_OK) != 0) return false;
  key_ = path;
  readable_ = true;
  open_ = true;
  return true;
}

bool LinuxRegistryFile::QueryValue(const std::string& name, RegistryValue& out) {
  return open_ && readable_ && RegFindValue(snapshot_, key_, name, out);
}

size_t LinuxRegistryFile::StoreValues(const std::vector<Settings::NamedValue>& values) {
  if (!open_ || values.empty()) return 0;
  const std::string real = RealPath();
  const StoreLock lock(real + ".lock");
  RegDocument doc;
  if (!lock.Held() || Load(doc) == LoadResult::Failed) return 0;
  size_t stored = 0;
  while (stored < values.size() && RegSetValue(doc, key_, values[stored].name, values[stored].value)) ++stored;
  std::string bytes;
  if (stored == 0 || !EncodeRegFile(doc, bytes)) return 0;
  // A file the next start would refuse to read is not written at all: the
  // store stays as it was and the caller reports the first value.
  if (bytes.size() > kMaxFileBytes) return 0;
  if (!TrySaveFile(path_, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                   NewFileAccess::OwnerOnly)
           .Saved())
    return 0;
  snapshot_ = std::move(doc);
  readable_ = true;
  return stored;
}

void LinuxRegistryFile::CloseKey() {
  open_ = false;
  readable_ = false;
  snapshot_ = {};
}

// ---- Platform services ------------------------------------------------------------

std::unique_ptr<Settings::RegistryBackend> MakeUserRegistry() {
  return std::make_unique<LinuxRegistryFile>(LinuxRegistryFile::DefaultPath());
}

std::string DefaultWallpaperFolder() {
  const std::string home = HomeFolder();
  return home.empty() ? "/" : home;
}

}  // namespace Platform
