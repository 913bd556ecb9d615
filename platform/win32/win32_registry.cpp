// The Windows registry backend: RegOpenKeyExA / RegCreateKeyExA with
// KEY_ALL_ACCESS, RegQueryValueExA, RegSetValueExA, RegCloseKey.
#include "platform/win32/win32_registry.h"

#include <windows.h>

#include "platform/native_registry.h"

namespace Platform {
namespace {

HKEY AsKey(void* key) { return static_cast<HKEY>(key); }

// One per logon session; its name only needs to be ours.
constexpr const char* kMutexName = "Local\\Prismora-settings-store";
// A holder that hangs gives up its claim after this long, as far as we care.
constexpr DWORD kLockWaitMilliseconds = 10000;

}  // namespace

Win32Registry::~Win32Registry() {
  CloseKey();
  if (mutex_) CloseHandle(static_cast<HANDLE>(mutex_));
}

void Win32Registry::Lock() {
  if (!mutex_) mutex_ = CreateMutexA(nullptr, FALSE, kMutexName);
  if (!mutex_ || locked_) return;
  const DWORD waited = WaitForSingleObject(static_cast<HANDLE>(mutex_), kLockWaitMilliseconds);
  locked_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;  // abandoned: its holder ended
}

void Win32Registry::Unlock() {
  if (locked_) ReleaseMutex(static_cast<HANDLE>(mutex_));
  locked_ = false;
}

std::string Win32Registry::FullPath(const std::string& path) const {
  if (base_.empty()) return path;
  return path.empty() ? base_ : base_ + "\\" + path;
}

bool Win32Registry::OpenKey(const std::string& path) {
  CloseKey();
  Lock();
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, FullPath(path).c_str(), 0, KEY_ALL_ACCESS, &key) !=
      ERROR_SUCCESS) {
    Unlock();
    return false;
  }
  key_ = key;
  return true;
}

bool Win32Registry::CreateKey(const std::string& path) {
  CloseKey();
  Lock();
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, FullPath(path).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    Unlock();
    return false;
  }
  key_ = key;
  return true;
}

// The buffer is sized from the value itself, and the bytes are taken as
// stored: a string need not end with a zero byte. The value may change size
// between the two queries, hence the loop.
bool Win32Registry::QueryValue(const std::string& name, Settings::RegistryValue& out) {
  if (!key_) return false;
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(AsKey(key_), name.c_str(), nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
      return false;
    out.data.assign(size, 0);
    const LONG rc = RegQueryValueExA(AsKey(key_), name.c_str(), nullptr, &type,
                                     size ? out.data.data() : nullptr, &size);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return false;
    out.type = type;
    out.data.resize(size);
    return true;
  }
  return false;
}

size_t Win32Registry::StoreValues(const std::vector<Settings::NamedValue>& values) {
  size_t stored = 0;
  for (const Settings::NamedValue& v : values) {
    if (!key_ || RegSetValueExA(AsKey(key_), v.name.c_str(), 0, v.value.type, v.value.data.data(),
                                DWORD(v.value.data.size())) != ERROR_SUCCESS)
      break;
    ++stored;
  }
  return stored;
}

void Win32Registry::CloseKey() {
  if (key_) RegCloseKey(AsKey(key_));
  key_ = nullptr;
  Unlock();
}

std::unique_ptr<Settings::RegistryBackend> MakeUserRegistry() {
  return std::make_unique<Win32Registry>();
}

std::string DefaultWallpaperFolder() { return "C:\\Windows"; }

}  // namespace Platform
