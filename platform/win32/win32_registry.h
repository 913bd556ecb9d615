// The Windows registry as a settings backend: keys below HKEY_CURRENT_USER,
// opened with full access, through advapi32. Optionally rooted below a base
// key (tests use a scratch key so the real settings stay untouched). The
// registry has no batch of values, so a named mutex of the session is held
// from opening a key to closing it: one program's reads never fall between
// another's writes of the same operation (two starting at once).
#pragma once

#include <string>

#include "settings/registry.h"

namespace Platform {

class Win32Registry : public Settings::RegistryBackend {
 public:
  // basePath "" is HKEY_CURRENT_USER itself; otherwise every key path is
  // taken below basePath (relative, no leading backslash).
  explicit Win32Registry(std::string basePath = {}) : base_(std::move(basePath)) {}
  ~Win32Registry() override;
  Win32Registry(const Win32Registry&) = delete;
  Win32Registry& operator=(const Win32Registry&) = delete;

  bool OpenKey(const std::string& path) override;
  bool CreateKey(const std::string& path) override;
  bool QueryValue(const std::string& name, Settings::RegistryValue& out) override;
  // One RegSetValueExW after the other: the registry keeps no batch.
  size_t StoreValues(const std::vector<Settings::NamedValue>& values) override;
  void CloseKey() override;

 private:
  std::string FullPath(const std::string& path) const;

  void Lock();
  void Unlock();

  std::string base_;
  void* key_ = nullptr;    // HKEY
  void* mutex_ = nullptr;  // HANDLE, made on first use
  bool locked_ = false;
};

}  // namespace Platform
