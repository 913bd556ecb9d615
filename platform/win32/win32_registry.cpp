// The Windows registry backend: RegOpenKeyExW / RegCreateKeyExW with
// KEY_ALL_ACCESS, RegQueryValueExW, RegSetValueExW, RegCloseKey. The wide
// functions, so that a string holds any character: the settings code's text
// is UTF-8, the registry's is UTF-16, and the ANSI functions would turn a
// folder name outside the ANSI code page into question marks. A string that
// an ANSI program stored reads the same, since the registry keeps every
// string as UTF-16 whichever function stored it.
#include "platform/win32/win32_registry.h"

#include <windows.h>

#include "platform/native_registry.h"
#include "platform/win32/win32_text.h"

namespace Platform {
namespace {

HKEY AsKey(void* key) { return static_cast<HKEY>(key); }

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// A string's bytes, terminating zero included when there is one, from UTF-16
// to UTF-8 and back; an odd last byte is dropped. Other types stay as stored.
std::vector<uint8_t> FromStored(DWORD type, std::vector<uint8_t> data) {
  if (!IsText(type)) return data;
  const std::wstring_view wide(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  const std::string text = WinText::Utf8(wide);
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> ToStored(const Settings::RegistryValue& value) {
  if (!IsText(value.type)) return value.data;
  const std::wstring wide =
      WinText::Wide(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()));
  const auto* bytes = reinterpret_cast<const uint8_t*>(wide.data());
  return std::vector<uint8_t>(bytes, bytes + wide.size() * sizeof(wchar_t));
}

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
  if (RegOpenKeyExW(HKEY_CURRENT_USER, WinText::Wide(FullPath(path)).c_str(), 0, KEY_ALL_ACCESS, &key) !=
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
  if (RegCreateKeyExW(HKEY_CURRENT_USER, WinText::Wide(FullPath(path)).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    Unlock();
    return false;
  }
  key_ = key;
  return true;
}

// The buffer is sized from the value itself, and the bytes are taken as
// stored: a string need not end with a zero. The value may change size
// between the two queries, hence the loop.
bool Win32Registry::QueryValue(const std::string& name, Settings::RegistryValue& out) {
  if (!key_) return false;
  const std::wstring wideName = WinText::Wide(name);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(AsKey(key_), wideName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return false;
    std::vector<uint8_t> data(size, 0);
    const LONG rc = RegQueryValueExW(AsKey(key_), wideName.c_str(), nullptr, &type, size ? data.data() : nullptr, &size);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return false;
    data.resize(size);
    out.type = type;
    out.data = FromStored(type, std::move(data));
    return true;
  }
  return false;
}

size_t Win32Registry::StoreValues(const std::vector<Settings::NamedValue>& values) {
  size_t stored = 0;
  for (const Settings::NamedValue& v : values) {
    const std::vector<uint8_t> bytes = ToStored(v.value);
    if (!key_ || RegSetValueExW(AsKey(key_), WinText::Wide(v.name).c_str(), 0, v.value.type, bytes.data(),
                                DWORD(bytes.size())) != ERROR_SUCCESS)
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
