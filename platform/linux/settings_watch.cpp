// inotify on the settings file's folder (or its nearest existing parent),
// and a timer that turns a burst of events into one report.
#include "platform/linux/settings_watch.h"

#include <limits.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace posix {

namespace {

// One mask for every watch: inotify gives one watch per folder, so two
// files followed in one folder must ask for the same events.
constexpr uint32_t kMask = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr uint32_t kFileEvents = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO;
constexpr uint32_t kFolderGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// An absolute path without empty, "." or ".." parts (taken as written: a
// ".." after a link goes up from the link, which is what the store's own
// path means too).
std::string Normal(const std::string& path) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < path.size()) {
    const size_t end = std::min(path.find('/', i), path.size());
    const std::string part = path.substr(i, end - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = end + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += "/" + p;
  return out.empty() ? "/" : out;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The part of `folder` just below `parent` ("/a/b/c" under "/a": "b").
std::string NextPart(const std::string& folder, const std::string& parent) {
  const size_t start = parent == "/" ? 1 : parent.size() + 1;
  if (start >= folder.size()) return {};
  return folder.substr(start, folder.find('/', start) - start);
}

// Where the link at `path` leads, or nothing when it is no link.
std::string LinkTarget(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return {};
  if (char* real = realpath(path.c_str(), nullptr)) {
    const std::string resolved = real;
    std::free(real);
    return resolved;
  }
  // A link to a file that is not there yet: as written, from the link's folder.
  char buffer[PATH_MAX];
  const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  const std::string target(buffer, size_t(n));
  return Normal(target[0] == '/' ? target : FolderOf(path) + "/" + target);
}

}  // namespace

SettingsWatch::SettingsWatch(DescriptorWatcher watcher, std::function<void()> changed,
                             std::chrono::milliseconds settle)
    : watcher_(std::move(watcher)), changed_(std::move(changed)), settle_(settle) {}

SettingsWatch::~SettingsWatch() {
  for (int fd : {inotifyFd_, timerFd_}) {
    if (fd < 0) continue;
    watcher_.stop(fd);
    close(fd);  // also ends every inotify watch
  }
}

bool SettingsWatch::Start(const std::string& path, std::string& why) {
  if (path.empty() || path[0] != '/') {
    why = "the settings file has no absolute path (no home folder?)";
    return false;
  }
  inotifyFd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (inotifyFd_ < 0 || timerFd_ < 0) {
    why = std::string("cannot watch the settings file: ") + std::strerror(errno) +
          (errno == EMFILE ? " (fs.inotify.max_user_instances)" : "");
    return false;
  }
  targets_.push_back({Normal(path), {}, -1});
  if (!Place(targets_[0], why)) return false;
  FollowLink();
  watcher_.watch(inotifyFd_, [this] { EventsReady(); });
  watcher_.watch(timerFd_, [this] { TimerReady(); });
  return true;
}

std::vector<std::string> SettingsWatch::WatchedFolders() const {
  std::vector<std::string> folders;
  for (const Target& t : targets_) folders.push_back(t.folder);
  return folders;
}

// Watches the file's folder, or the nearest parent that exists.
bool SettingsWatch::Place(Target& t, std::string& why) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    std::string folder = FolderOf(t.file);
    while (folder != "/" && !IsFolder(folder)) folder = FolderOf(folder);
    const int wd = inotify_add_watch(inotifyFd_, folder.c_str(), kMask);
    if (wd >= 0) {
      t.folder = folder;
      t.wd = wd;
      return true;
    }
    if (errno != ENOENT && errno != ENOTDIR) {  // not just gone meanwhile
      why = "cannot watch " + folder + ": " + std::strerror(errno) +
            (errno == ENOSPC ? " (fs.inotify.max_user_watches)" : "");
      return false;
    }
  }
  why = "cannot watch the folders of " + t.file + ": they keep changing";
  return false;
}

// Ends the target's watch unless another target shares it.
void SettingsWatch::Unplace(Target& t) {
  const int wd = t.wd;
  t.wd = -1;
  t.folder.clear();
  if (wd < 0 || std::any_of(targets_.begin(), targets_.end(), [wd](const Target& o) { return o.wd == wd; })) return;
  inotify_rm_watch(inotifyFd_, wd);
}

void SettingsWatch::EventsReady() {
  alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
  bool report = false;
  std::vector<bool> move(targets_.size(), false);
  for (;;) {
    const ssize_t n = read(inotifyFd_, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
      const auto* ev = reinterpret_cast<const inotify_event*>(buffer + at);
      at += ssize_t(sizeof(inotify_event) + ev->len);
      if (ev->mask & IN_Q_OVERFLOW) {  // events lost: look at everything again
        report = true;
        std::fill(move.begin(), move.end(), true);
        continue;
      }
      const std::string name = ev->len ? std::string(ev->name) : std::string();
      for (size_t i = 0; i < targets_.size(); ++i) {
        const Target& t = targets_[i];
        if (t.wd != ev->wd) continue;
        const bool atFolder = t.folder == FolderOf(t.file);
        if (ev->mask & kFolderGone) move[i] = true;  // up to a parent that is left
        else if (atFolder && name == NameOf(t.file) && (ev->mask & kFileEvents)) report = true;
        else if (!atFolder && name == NextPart(FolderOf(t.file), t.folder)) move[i] = true;  // down
      }
    }
  }
  for (size_t i = 0; i < targets_.size() && i < move.size(); ++i) {
    if (!move[i]) continue;
    Unplace(targets_[i]);
    std::string why;
    Place(targets_[i], why);  // a failure leaves the target unwatched
    // Created before the watch reached its folder: a change missed.
    if (targets_[i].folder == FolderOf(targets_[i].file) && Exists(targets_[i].file)) report = true;
  }
  FollowLink();
  if (report && !armed_) {
    itimerspec when{};
    const long long ns = std::max<long long>(1, std::chrono::nanoseconds(settle_).count());
    when.it_value = {static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    armed_ = timerfd_settime(timerFd_, 0, &when, nullptr) == 0;
    if (!armed_) Report();
  }
}

// A settings file that is a link is written in its target's folder.
void SettingsWatch::FollowLink() {
  const std::string target = targets_.empty() ? std::string() : LinkTarget(targets_[0].file);
  if (targets_.size() > 1 && targets_[1].file == target) return;
  if (targets_.size() > 1) {
    Target gone = targets_[1];
    targets_.pop_back();
    Unplace(gone);
  }
  if (target.empty() || target == targets_[0].file) return;
  targets_.push_back({target, {}, -1});
  std::string why;
  Place(targets_[1], why);
}

void SettingsWatch::TimerReady() {
  uint64_t expirations;
  while (read(timerFd_, &expirations, sizeof expirations) > 0) {
  }
  if (!armed_) return;
  armed_ = false;
  Report();
}

void SettingsWatch::Report() {
  if (changed_) changed_();
}

}  // namespace posix
