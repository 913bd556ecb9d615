// The path walk behind the POSIX file writer: each folder on the way opened
// from the one before with O_PATH | O_NOFOLLOW (a folder that may only be
// searched opens too), each symbolic link opened as itself, checked by its
// owner and read through that descriptor, so that no component can be
// swapped between the check and the use.
#include "platform/linux/posix_path_walk.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <deque>
#include <optional>
#include <string_view>
#include <utility>

namespace FileWriterOs {
namespace {

constexpr int kMaxLinks = 40;

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Reset(-1); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }
  void Reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

// "/proc/self/fd" or "/proc/thread-self/fd" (where /dev/fd and /dev/stdout
// lead), whichever pid the text names: this process's descriptors. The file
// system is checked to be procfs, so that a look-alike folder is just one.
bool IsOwnDescriptorFolder(int folder) {
  struct statfs fs {};
  struct stat here {};
  if (fstatfs(folder, &fs) != 0 || fs.f_type != PROC_SUPER_MAGIC || fstat(folder, &here) != 0) return false;
  for (const char* own : {"/proc/self/fd", "/proc/thread-self/fd"}) {
    struct stat st {};
    if (stat(own, &st) == 0 && st.st_dev == here.st_dev && st.st_ino == here.st_ino) return true;
  }
  return false;
}

// A descriptor's number as procfs spells it: digits, no leading zero.
bool DescriptorNumber(std::string_view name, int& number) {
  if (name.empty() || (name.size() > 1 && name[0] == '0')) return false;
  const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), number);
  return ec == std::errc() && end == name.data() + name.size();
}

// The kernel's protected_symlinks rule for a link in folder.
bool LinkMayBeFollowed(int folder, const struct stat& link) {
  struct stat dir {};
  if (fstat(folder, &dir) != 0) return false;
  const bool shared = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
  return !shared || link.st_uid == geteuid() || link.st_uid == dir.st_uid;
}

std::string Joined(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  return folder.back() == '/' ? folder + std::string(name) : folder + "/" + std::string(name);
}

class Walker {
 public:
  PathEnd Walk(const std::string& path);

 private:
  bool Start(std::string_view text);
  void Prepend(std::string_view text);
  bool Enter(const std::string& part);
  bool Follow(int link, const struct stat& st, const std::string& part);
  std::optional<PathEnd> AtLastComponent(const std::string& part);
  PathEnd Failed(int error);
  PathEnd Failed(std::string reason);

  Descriptor folder_;
  std::string shown_;  // folder_ as the path and the links spell it
  std::deque<std::string> parts_;
  bool folderOnly_ = false;   // the text that gave the last component ended in '/'
  bool lastViaLink_ = false;  // the last component came from a link's text
  int links_ = 0;
  std::string refusedLink_;   // a link that may not be followed, as shown
};

PathEnd Walker::Failed(int error) {
  if (!refusedLink_.empty()) return Failed("Symbolic link in a shared folder, owned by another user: " + refusedLink_);
  if (error == ENOENT && lastViaLink_) return Failed(std::string("Symbolic link to a missing file"));
  return Failed(std::string(std::strerror(error)));
}

PathEnd Walker::Failed(std::string reason) {
  PathEnd end;
  end.reason = std::move(reason);
  return end;
}

// An absolute text starts again at the root; a relative one stays where it is.
bool Walker::Start(std::string_view text) {
  if (text.empty() || text[0] != '/') return true;
  folder_.Reset(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  shown_.assign(1, '/');  // not = "/": GCC 12 at -O3 warns falsely (-Wrestrict)
  return folder_.Get() >= 0;
}

// The text's components go before those still to walk; "" and "." are no step.
void Walker::Prepend(std::string_view text) {
  std::deque<std::string> parts;
  for (size_t at = 0; at <= text.size();) {
    const size_t slash = std::min(text.find('/', at), text.size());
    const std::string_view part = text.substr(at, slash - at);
    if (!part.empty() && part != ".") parts.emplace_back(part);
    at = slash + 1;
  }
  if (parts_.empty()) folderOnly_ = !text.empty() && (text.back() == '/' || text.ends_with("/.") || text == ".");
  parts_.insert(parts_.begin(), parts.begin(), parts.end());
}

// A folder on the way; a link there is checked and followed instead.
bool Walker::Enter(const std::string& part) {
  const int next = openat(folder_.Get(), part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (next >= 0) {
    folder_.Reset(next);
    shown_ = Joined(shown_, part);
    return true;
  }
  if (errno != ENOTDIR && errno != ELOOP) return false;
  const Descriptor link(openat(folder_.Get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (link.Get() < 0 || fstat(link.Get(), &st) != 0) return false;
  if (!S_ISLNK(st.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  return Follow(link.Get(), st, part);
}

// False with errno, or with refusedLink_ set for a link that may not be followed.
bool Walker::Follow(int link, const struct stat& st, const std::string& part) {
  if (++links_ > kMaxLinks) {
    errno = ELOOP;
    return false;
  }
  if (!LinkMayBeFollowed(folder_.Get(), st)) {
    refusedLink_ = Joined(shown_, part);
    return false;
  }
  char text[PATH_MAX];
  const ssize_t n = readlinkat(link, "", text, sizeof text);
  if (n <= 0 || size_t(n) >= sizeof text) {
    if (n >= 0) errno = ENAMETOOLONG;
    return false;
  }
  const std::string_view target(text, size_t(n));
  if (!Start(target)) return false;
  Prepend(target);
  return true;
}

// The last component: one of our descriptors or the end, or (nullopt) a link
// followed, with more to walk.
std::optional<PathEnd> Walker::AtLastComponent(const std::string& part) {
  PathEnd end;
  int number = -1;
  if (DescriptorNumber(part, number) && IsOwnDescriptorFolder(folder_.Get())) {
    end.kind = PathEnd::Kind::Descriptor;
    end.descriptor = number;
    return end;
  }
  const Descriptor entry(openat(folder_.Get(), part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (entry.Get() < 0 && errno != ENOENT) return Failed(errno);
  if (entry.Get() >= 0 && fstat(entry.Get(), &end.st) != 0) return Failed(errno);
  if (entry.Get() >= 0 && S_ISLNK(end.st.st_mode)) {
    if (!Follow(entry.Get(), end.st, part)) return Failed(errno);
    lastViaLink_ = true;
    return std::nullopt;
  }
  if (entry.Get() < 0 && lastViaLink_) return Failed(ENOENT);
  const bool folder = entry.Get() >= 0 && S_ISDIR(end.st.st_mode);
  if (folderOnly_ && !folder) return Failed(entry.Get() >= 0 ? ENOTDIR : EISDIR);
  end.kind = entry.Get() >= 0 ? PathEnd::Kind::Present : PathEnd::Kind::Missing;
  end.name = part;
  end.folder = folder_.Release();
  return end;
}

PathEnd Walker::Walk(const std::string& path) {
  folder_.Reset(open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (folder_.Get() < 0 || !Start(path)) return Failed(errno);
  Prepend(path);
  if (parts_.empty()) parts_.emplace_back(".");  // "/" itself: a folder
  while (true) {
    const std::string part = parts_.front();
    parts_.pop_front();
    if (!parts_.empty()) {
      if (!Enter(part)) return Failed(errno);
      continue;
    }
    if (std::optional<PathEnd> end = AtLastComponent(part)) return std::move(*end);
    if (parts_.empty()) parts_.emplace_back(".");  // a link to "/"
  }
}

}  // namespace

PathEnd WalkPath(const std::string& path) { return Walker().Walk(path); }

}  // namespace FileWriterOs
