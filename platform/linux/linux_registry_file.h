// The per-user settings store on Linux: $XDG_CONFIG_HOME/prismora/registry.reg
// (~/.config/... when the variable is unset or empty) in the text format of
// registry export files (reg_text.h), so values keep their registry types and
// a file exported by a registry editor can be used as it is. LinuxRegistryFile
// adds the file reading and the atomic replace. Not thread-safe.
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

  bool OpenKey(const std::string& path) override;
  bool CreateKey(const std::string& path) override;
  bool QueryValue(const std::string& name, Settings::RegistryValue& out) override;
  bool SetValue(const std::string& name, const Settings::RegistryValue& value) override;
  void CloseKey() override { open_ = false; }

  // Larger files are not read, and never overwritten.
  static constexpr size_t kMaxFileBytes = 16u << 20;

 private:
  enum class LoadResult { Read, Missing, Failed };
  LoadResult Load(RegDocument& doc) const;
  bool Store(const RegDocument& doc) const;

  std::string path_;
  std::string key_;
  bool open_ = false;
};

}  // namespace Platform
