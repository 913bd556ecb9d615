// The Windows registry backend under the real registry (Wine's, in the test
// runs): values as other programs store them, and the settings key itself.
// Tests work below a scratch key that they delete again.
#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "base/error.h"
#include "platform/native_registry.h"
#include "platform/win32/win32_text.h"
#include "settings/settings.h"
#include "tests/settings/scratch_store.h"

using Platform::Win32Registry;

namespace {

std::string NewScratchKey() {
  static int counter = 0;
  return "Software\\PrismoraTests\\" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++counter);
}

class ScratchKey : public ScratchStore {
 public:
  ScratchKey() : path_(NewScratchKey()), store_(path_) {}
  ~ScratchKey() override {
    store_.CloseKey();
    RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\PrismoraTests");  // only goes when empty
  }
  Settings::RegistryBackend& backend() override { return store_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  Win32Registry store_;
};

// Stores raw bytes the way another program might, below the scratch key.
void PutRaw(const std::string& key, const char* name, DWORD type, const void* bytes, DWORD size) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &k, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(bytes), size), ERROR_SUCCESS);
  RegCloseKey(k);
}

TEST(Win32Registry, StringsAreReadWithoutTrustingATerminatingZero) {
  ScratchKey scratch;
  const std::string key = scratch.path() + "\\Software\\Prismora";
  PutRaw(key, "Bare", REG_SZ, "abcdef", 6);  // no zero stored
  PutRaw(key, "Expand", REG_EXPAND_SZ, "%WINDIR%\\x", 11);
  std::string big(5000, 'w');
  PutRaw(key, "Big", REG_SZ, big.c_str(), DWORD(big.size() + 1));
  PutRaw(key, "Blob", REG_BINARY, "\x19\0\0\0", 4);

  Settings::Registry reg(scratch.backend());
  ASSERT_TRUE(reg.OpenKey(Settings::kSettingsKey));
  EXPECT_EQ(reg.ReadString("Bare"), "abcdef");
  EXPECT_EQ(reg.ReadString("Expand"), "%WINDIR%\\x");  // as stored, not expanded
  EXPECT_EQ(reg.ReadString("Big"), big);
  EXPECT_EQ(reg.ReadString("Missing"), "");
  try {
    reg.ReadInteger("Blob");
    FAIL() << "no error";
  } catch (const PrismoraError& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Blob'");
  }
}

// A folder named outside the ANSI code page is stored as it is, as a REG_SZ
// whose terminating zero is counted; what an ANSI program stored (an earlier
// version of this one) reads as the same text.
TEST(Win32Registry, StringsKeepEveryCharacterAndAnsiStoresReadTheSame) {
  ScratchKey scratch;
  const std::string key = scratch.path() + "\\Software\\Prismora";
  // "Café" in the ANSI code page where it has an "é" (the prefix's own), else plain.
  BOOL lossy = FALSE;
  char ansi[16] = {};
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, L"Caf\u00e9", -1, ansi, sizeof ansi, nullptr, &lossy);
  const std::string oldText = lossy ? "Cafe" : "Caf\u00e9";
  if (lossy) std::strcpy(ansi, "Cafe");
  PutRaw(key, "Old", REG_SZ, ansi, DWORD(std::strlen(ansi) + 1));

  const std::string folder = "Z:\\壁纸 Ωμέγα ☃";
  {
    Settings::Registry reg(scratch.backend());
    ASSERT_TRUE(reg.OpenKey(Settings::kSettingsKey));
    EXPECT_EQ(reg.ReadString("Old"), oldText);
    reg.WriteString("Path_Wall", folder);
  }
  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, WinText::Wide(key).c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
  wchar_t stored[64] = {};
  DWORD type = 0, bytes = sizeof stored;
  EXPECT_EQ(RegQueryValueExW(k, L"Path_Wall", nullptr, &type, reinterpret_cast<BYTE*>(stored), &bytes),
            ERROR_SUCCESS);
  RegCloseKey(k);
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(std::wstring(stored), L"Z:\\\u58c1\u7eb8 \u03a9\u03bc\u03ad\u03b3\u03b1 \u2603");
  EXPECT_EQ(bytes, (wcslen(stored) + 1) * sizeof(wchar_t));
  Settings::Registry reg(scratch.backend());
  ASSERT_TRUE(reg.OpenKey(Settings::kSettingsKey));
  EXPECT_EQ(reg.ReadString("Path_Wall"), folder);
}

TEST(Win32Registry, OpenNeverCreatesAndWritesNeedAnOpenKey) {
  ScratchKey scratch;
  Settings::RegistryBackend& store = scratch.backend();
  EXPECT_FALSE(store.OpenKey("Software\\Prismora"));
  HKEY k = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, scratch.path().c_str(), 0, KEY_READ, &k),
            ERROR_SUCCESS);
  EXPECT_FALSE(store.SetValue("Speed", {Settings::kRegDword, {1, 0, 0, 0}}));
  EXPECT_TRUE(store.CreateKey("Software\\Prismora"));  // parents too
  EXPECT_TRUE(store.SetValue("Speed", {Settings::kRegDword, {1, 0, 0, 0}}));
  store.CloseKey();
  EXPECT_TRUE(store.OpenKey("Software"));
}

// One program's reads wait while another is between opening the key and
// closing it, so a start never sees the first run's values half written.
TEST(Win32Registry, AnOpenKeyKeepsOtherUsersOfTheStoreWaitingUntilItCloses) {
  ScratchKey scratch;
  Win32Registry reader(scratch.path());
  std::atomic<bool> created{false}, written{false};
  std::thread writer([&] {
    Win32Registry store(scratch.path());
    ASSERT_TRUE(store.CreateKey("Software\\Prismora"));
    created = true;
    Sleep(300);
    EXPECT_TRUE(store.SetValue("Speed", {Settings::kRegDword, {25, 0, 0, 0}}));
    EXPECT_TRUE(store.SetValue("Bright", {Settings::kRegDword, {3, 0, 0, 0}}));
    written = true;
    store.CloseKey();
  });
  while (!created) Sleep(1);
  ASSERT_TRUE(reader.OpenKey("Software\\Prismora"));
  EXPECT_TRUE(written);
  Settings::RegistryValue bright;
  EXPECT_TRUE(reader.QueryValue("Bright", bright));
  reader.CloseKey();
  writer.join();
}

// The real settings key, as the program uses it: HKCU\Software\Prismora.
TEST(Win32Registry, UserRegistryStoresTheSettingsUnderSoftwarePrismora) {
  HKEY k = nullptr;
  const bool existed =
      RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Prismora", 0, KEY_READ, &k) == ERROR_SUCCESS;
  if (existed) {
    RegCloseKey(k);
    GTEST_SKIP() << "HKCU\\Software\\Prismora exists; not touching real settings";
  }
  int32_t speed = 0, size = 0, algorithm = 0;
  int32_t battery = 2;
  bool random = false, pixels = true;
  std::string folder;
  Settings::LoadSettings(*Platform::MakeUserRegistry(), 1600, Platform::DefaultWallpaperFolder(),
                         {speed, size, algorithm, random, folder, pixels, battery});
  EXPECT_EQ(battery, 1);  // no value: 20 frames a second
  EXPECT_FALSE(pixels);  // the designed look: the mesh
  EXPECT_EQ(folder, "C:\\Windows");

  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Prismora", 0, KEY_READ, &k),
            ERROR_SUCCESS);
  DWORD type = 0, bright = 0, bytes = sizeof bright;
  EXPECT_EQ(RegQueryValueExA(k, "Bright", nullptr, &type, reinterpret_cast<BYTE*>(&bright), &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(bright, 6u);
  char path[64] = {};
  bytes = sizeof path;
  EXPECT_EQ(RegQueryValueExA(k, "Path_Wall", nullptr, &type, reinterpret_cast<BYTE*>(path), &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(bytes, 11u);  // "C:\Windows" and its zero
  DWORD pixelView = 7;
  bytes = sizeof pixelView;
  EXPECT_EQ(RegQueryValueExA(k, "Pixels", nullptr, &type, reinterpret_cast<BYTE*>(&pixelView), &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(pixelView, 0u);
  RegCloseKey(k);
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Prismora");
}

}  // namespace

std::unique_ptr<ScratchStore> MakeNativeScratchStore() { return std::make_unique<ScratchKey>(); }
