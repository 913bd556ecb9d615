// Tells a running mode that the settings file changed, with inotify on the
// file's folder (the settings program replaces the file by a rename, so a
// watch on the file itself would stay on the old one). Reported: the file
// created, written and closed, or renamed onto its name; not: other files
// of the folder, a deletion. A burst of events makes one report, `settle`
// after its first event. A folder that does not exist yet is waited for
// from its nearest existing parent, moving down as folders appear (and up
// again when one goes). A settings file that is a symbolic link is watched
// in its target's folder too. Driven by the main loop through a
// DescriptorWatcher; nothing blocks.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/linux/descriptor_watcher.h"

namespace posix {

class SettingsWatch {
 public:
  // `changed` runs on the loop's thread.
  SettingsWatch(DescriptorWatcher watcher, std::function<void()> changed,
                std::chrono::milliseconds settle = std::chrono::milliseconds(100));
  ~SettingsWatch();
  SettingsWatch(const SettingsWatch&) = delete;
  SettingsWatch& operator=(const SettingsWatch&) = delete;

  // Watches the file at `path` (an absolute path: the store's, see
  // Platform::LinuxRegistryFile::DefaultPath). False, with `why` (one line),
  // when it cannot: no path, no inotify (too many watches or instances).
  bool Start(const std::string& path, std::string& why);

  // The folder watched now for each file followed (the file's own folder,
  // or a parent while it is missing), for tests and messages.
  std::vector<std::string> WatchedFolders() const;

 private:
  // One file followed: the settings file, or the target of its link.
  struct Target {
    std::string file;    // absolute, without "." or ".." parts
    std::string folder;  // what is watched now
    int wd = -1;
  };

  bool Place(Target& t, std::string& why);
  void Unplace(Target& t);
  void EventsReady();
  void FollowLink();
  void TimerReady();
  void Report();

  DescriptorWatcher watcher_;
  std::function<void()> changed_;
  std::chrono::milliseconds settle_;
  int inotifyFd_ = -1, timerFd_ = -1;
  bool armed_ = false;
  std::vector<Target> targets_;  // [0] the file, [1] its link's target if any
};

}  // namespace posix
