// The Linux settings store: the file that holds the registry export text
// (reg_text.h), read whole and replaced atomically.
#include "platform/linux/linux_registry_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

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

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

void SyncFolder(const std::string& dir) {
  const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);  // best effort: the rename is already done
  close(fd);
}

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
  if (path_.empty()) return LoadResult::Failed;
  const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not block
  if (fd < 0) return errno == ENOENT ? LoadResult::Missing : LoadResult::Failed;
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

// Writes a temporary file beside the store and renames it over the store, so
// the store is always either the old text or the new one, never a torn mix.
// A store that is a symbolic link (dotfiles kept elsewhere) stays one: the
// file it points to is replaced.
bool LinuxRegistryFile::Store(const RegDocument& doc) const {
  std::string target = path_;
  if (char* real = realpath(path_.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash);
  if (slash != std::string::npos && !MakeFolders(dir)) return false;
  std::string temp = target + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  struct stat old;
  if (stat(target.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
  std::string bytes;
  bool ok = EncodeRegFile(doc, bytes) && WriteAll(fd, bytes) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  SyncFolder(dir);
  return true;
}

bool LinuxRegistryFile::OpenKey(const std::string& path) {
  RegDocument doc;
  open_ = Load(doc) == LoadResult::Read && RegKeyExists(doc, path);
  key_ = path;
  return open_;
}

bool LinuxRegistryFile::CreateKey(const std::string& path) {
  RegDocument doc;
  const LoadResult loaded = Load(doc);
  open_ = false;
  if (loaded == LoadResult::Failed) return false;  // never overwrite what we could not read
  if (!RegKeyExists(doc, path)) {
    RegAddKey(doc, path);
    if (!Store(doc)) return false;
  }
  key_ = path;
  open_ = true;
  return true;
}

bool LinuxRegistryFile::QueryValue(const std::string& name, RegistryValue& out) {
  RegDocument doc;
  return open_ && Load(doc) == LoadResult::Read && RegFindValue(doc, key_, name, out);
}

bool LinuxRegistryFile::SetValue(const std::string& name, const RegistryValue& value) {
  RegDocument doc;
  if (!open_ || Load(doc) == LoadResult::Failed) return false;
  return RegSetValue(doc, key_, name, value) && Store(doc);
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
