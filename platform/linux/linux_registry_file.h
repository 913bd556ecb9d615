// The per-user settings store on Linux: $XDG_CONFIG_HOME/prismora/registry.reg
// (~/.config/... when the variable is unset or empty) in the text format of
// registry export files (reg_text.h), so values keep their registry types and
// a file exported by a registry editor can be used as it is. LinuxRegistryFile
// adds the file: read whole when a key is opened, and changed by one locked
// read-modify-write and one atomic replace per StoreValues. Not thread-safe.
#pragma once

#include <string>

#include "platform/linux/reg_text.h"
#include "settings/registry.h"

namespace Platform {

class LinuxRegistryFile : public Settings::RegistryBackend {
 public:
  explicit LinuxRegistryFile(std::string filePath) : path_(std::move(filePath)) {}
  // $XDG_CONFIG_HOME/prismora/registry.reg or ~/.config/prismora/registry.reg.
  static std::string DefaultPath();

  // False when there is no file or no such key in it. A file that cannot be
  // read (unreadable, too large, not a regular file, not a registry file)
  // opens without values, so that every read reports the damage rather than
  // taking it for a first run.
  bool OpenKey(const std::string& path) override;
  // True when the file can be read (or is absent) and its folder, created if
  // needed, can be written. The key itself is added with the first values.
  bool CreateKey(const std::string& path) override;
  bool QueryValue(const std::string& name, Settings::RegistryValue& out) override;
  // Under an advisory lock beside the file (other processes' writes wait, so
  // none loses another's values): the file is read again, the values are
  // set, and the file is replaced once, keeping its encoding, header and
  // line ends. A value the file cannot carry ends the batch there; a batch
  // that would make the file larger than kMaxFileBytes stores nothing.
  size_t StoreValues(const std::vector<Settings::NamedValue>& values) override;
  void CloseKey() override;

  // Larger files are not read, never overwritten, and never written.
  static constexpr size_t kMaxFileBytes = 16u << 20;
  // How long a write waits for another process's write to finish.
  static constexpr int kLockWaitMilliseconds = 10000;

 private:
  enum class LoadResult { Read, Missing, Failed };
  LoadResult Load(RegDocument& doc) const;
  std::string RealPath() const;

  std::string path_;
  std::string key_;
  bool open_ = false;
  bool readable_ = false;  // the open key's values come from a file we could read
  RegDocument snapshot_;   // the file as read when the key was opened
};

}  // namespace Platform
