// The password hooks against the registry value that switches passwords on
// and the libraries that may or may not be there (under Wine PASSWORD.CPL is
// absent). The registry value is restored afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "platform/password_hooks.h"

namespace {

// The cursor display count: ShowCursor returns the count after its change.
int CursorCount() {
  ShowCursor(TRUE);
  return ShowCursor(FALSE);
}

class PasswordSwitch : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key_, nullptr),
              ERROR_SUCCESS);
    DWORD size = 0;
    had_ = RegQueryValueExA(key_, kName, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS;
    if (had_) {
      saved_.resize(size);
      RegQueryValueExA(key_, kName, nullptr, &type_, saved_.data(), &size);
      saved_.resize(size);
    }
  }
  void TearDown() override {
    if (had_) RegSetValueExA(key_, kName, 0, type_, saved_.data(), DWORD(saved_.size()));
    else RegDeleteValueA(key_, kName);
    RegCloseKey(key_);
  }
  void Set(DWORD type, const void* bytes, DWORD size) {
    ASSERT_EQ(RegSetValueExA(key_, kName, 0, type, static_cast<const BYTE*>(bytes), size),
              ERROR_SUCCESS);
  }

  static constexpr const char* kName = "ScreenSaveUsePassword";
  HKEY key_ = nullptr;
  bool had_ = false;
  DWORD type_ = 0;
  std::vector<BYTE> saved_;
};

TEST_F(PasswordSwitch, OnWithoutThePasswordLibraryTheSaverMayEnd) {
  const DWORD on = 1;
  Set(REG_DWORD, &on, sizeof on);
  const int before = CursorCount();
  EXPECT_TRUE(CheckSaverPassword(0));
  EXPECT_EQ(CursorCount(), before);
}

TEST_F(PasswordSwitch, OffAbsentShortOrOverlongTheSaverMayEnd) {
  const DWORD off = 0;
  Set(REG_DWORD, &off, sizeof off);
  EXPECT_TRUE(CheckSaverPassword(0));
  RegDeleteValueA(key_, kName);
  EXPECT_TRUE(CheckSaverPassword(0));
  Set(REG_SZ, "1", 2);  // the NT form: two bytes, type not examined
  EXPECT_TRUE(CheckSaverPassword(0));
  const BYTE overlong[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  Set(REG_BINARY, overlong, sizeof overlong);  // does not fit 4 bytes: off
  const int before = CursorCount();
  EXPECT_TRUE(CheckSaverPassword(0));
  EXPECT_EQ(CursorCount(), before);
}

TEST(ChangePassword, ReturnsWithOrWithoutAnOwner) {
  ChangeSaverPassword(0);
  ChangeSaverPassword(reinterpret_cast<ui::NativeHandle>(GetDesktopWindow()));
  SUCCEED();
}

}  // namespace
