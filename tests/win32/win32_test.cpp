// The Win32 layer's parts that need no display: the OpenGL pixel format
// descriptor, byte for byte, the drive list, and the display's power and
// the power source as a form's window hears of them.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/power_source.h"
#include "platform/win32/win32_internal.h"

namespace {

// Every byte of the descriptor: the named fields as given, all others 0.
void ExpectDescriptor(int depthBits) {
  const PIXELFORMATDESCRIPTOR pfd = ui::win32::SurfaceDescriptor(32, depthBits);
  PIXELFORMATDESCRIPTOR expected;
  std::memset(&expected, 0, sizeof expected);
  expected.nSize = 40;
  expected.nVersion = 1;
  expected.dwFlags = 0x25;
  expected.cColorBits = 32;
  expected.cDepthBits = static_cast<BYTE>(depthBits);
  EXPECT_EQ(std::memcmp(&pfd, &expected, sizeof pfd), 0) << "depth " << depthBits;
  EXPECT_EQ(pfd.iPixelType, PFD_TYPE_RGBA);
  EXPECT_EQ(pfd.iLayerType, PFD_MAIN_PLANE);
}

TEST(SurfaceDescriptor, SaverAndPreviewWithoutDepthSettingsWith16Bits) {
  ExpectDescriptor(0);
  ExpectDescriptor(16);
}

TEST(Drives, EveryDriveIsARootAndCIsThere) {
  const std::vector<std::string> drives = ui::ListDrives();
  ASSERT_FALSE(drives.empty());
  bool hasC = false;
  for (const std::string& d : drives) {
    ASSERT_EQ(d.size(), 3u) << d;
    EXPECT_EQ(d.substr(1), ":\\") << d;
    hasC = hasC || d == "C:\\";
  }
  EXPECT_TRUE(hasC);
}

// A POWERBROADCAST_SETTING with a DWORD of data, as the system sends it.
std::vector<BYTE> PowerSetting(const GUID& setting, DWORD state, DWORD length = sizeof(DWORD)) {
  std::vector<BYTE> bytes(sizeof(POWERBROADCAST_SETTING) + sizeof state);
  auto* s = reinterpret_cast<POWERBROADCAST_SETTING*>(bytes.data());
  s->PowerSetting = setting;
  s->DataLength = length;
  std::memcpy(s->Data, &state, sizeof state);
  return bytes;
}

// A small form whose window the power tests send their messages to.
ui::FormDesign SmallForm() {
  ui::FormDesign design;
  design.clientWidth = 64;
  design.clientHeight = 48;
  return design;
}

void Tell(const ui::Form& form, const std::vector<BYTE>& setting) {
  SendMessageA(reinterpret_cast<HWND>(form.Handle()), WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE,
               reinterpret_cast<LPARAM>(setting.data()));
}

const GUID kConsoleDisplay = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
const GUID kMonitorPower = {0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};
const GUID kAcDcPowerSource = {0x5d3e9a59, 0xe9d5, 0x4b00, {0xa6, 0xbd, 0xff, 0x34, 0xff, 0x51, 0x65, 0x48}};
const GUID kLidSwitch = {0xba3e0f4d, 0xb817, 0x4094, {0xa2, 0xd1, 0xd5, 0x63, 0x79, 0xe6, 0xa0, 0xf3}};

void Note(const std::vector<BYTE>& setting) {
  ui::win32::NoteDisplayPower(*reinterpret_cast<const POWERBROADCAST_SETTING*>(setting.data()));
}

// The console display state (0 off, 1 on, 2 dimmed) or, before Windows 8,
// the monitor's power; other settings and short data change nothing.
TEST(DisplayPower, OnUntilTheSystemSaysOffAndDimmedIsStillOn) {
  EXPECT_TRUE(ui::win32::DisplayOn());
  Note(PowerSetting(kConsoleDisplay, 0));
  EXPECT_FALSE(ui::win32::DisplayOn());
  Note(PowerSetting(kLidSwitch, 1));
  Note(PowerSetting(kConsoleDisplay, 1, 0));
  EXPECT_FALSE(ui::win32::DisplayOn());
  Note(PowerSetting(kConsoleDisplay, 2));
  EXPECT_TRUE(ui::win32::DisplayOn());
  Note(PowerSetting(kMonitorPower, 0));
  EXPECT_FALSE(ui::win32::DisplayOn());
  Note(PowerSetting(kConsoleDisplay, 1));
  EXPECT_TRUE(ui::win32::DisplayOn());
}

// What the system sends the window of a form whose surface asked to be
// told reaches the surface. Needs a display for the window.
TEST(DisplayPower, AFormsWindowHearsItAndItsSurfaceIsSeenOnlyWhileOn) {
  ui::Form form(SmallForm());
  if (!form.Handle()) GTEST_SKIP() << "no display: Wine made no window";
  ui::GLSurface surface(form, ui::Rect{0, 0, 64, 48});
  surface.Create(ui::PixelFormat{32, 0});
  EXPECT_TRUE(surface.Seen());
  Tell(form, PowerSetting(kConsoleDisplay, 0));
  EXPECT_FALSE(surface.Seen());
  Tell(form, PowerSetting(kConsoleDisplay, 1));
  EXPECT_TRUE(surface.Seen());
  surface.Release();
}

// Key preview gives the form every key, except while a drop-down list is
// open: then Escape closes the list, not the window. Needs a display.
struct KeyProbe : ui::Form {
  KeyProbe() : ui::Form([] {
      ui::FormDesign d;
      d.clientWidth = 200;
      d.clientHeight = 100;
      d.keyPreview = true;
      return d;
    }()) {}
  void FormKeyDown(int key) override { keys.push_back(key); }
  std::vector<int> keys;
};

void RunPostedKey(HWND to, WPARAM key) {
  PostMessageW(to, WM_KEYDOWN, key, 1);
  PostQuitMessage(0);
  ui::PlatformRunLoop();
}

TEST(KeyPreview, AnOpenDropDownListTakesEscapeAndTheFormHasItOtherwise) {
  KeyProbe form;
  if (!form.Handle()) GTEST_SKIP() << "no display: Wine made no window";
  ui::ChoiceBox box(form, ui::Rect{4, 4, 150, 23}, {"one", "two", "three"}, 1);
  form.Show();
  const HWND window = reinterpret_cast<HWND>(form.Handle());
  const HWND combo = FindWindowExW(window, nullptr, L"ComboBox", nullptr);
  ASSERT_NE(combo, nullptr);
  SetForegroundWindow(window);
  SetFocus(combo);
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  if (!SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) GTEST_SKIP() << "the list did not drop down";
  RunPostedKey(combo, VK_ESCAPE);
  EXPECT_TRUE(form.keys.empty());
  EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0), 0);
  EXPECT_EQ(box.Selected(), 1);
  RunPostedKey(combo, VK_ESCAPE);
  EXPECT_EQ(form.keys, std::vector<int>{VK_ESCAPE});
}

// The power source a form's window follows: mains under Wine (a machine
// that reports no battery), battery when the system says the source is the
// battery (1) or a short-term one (2), mains again with 0; other settings
// and short data change nothing, and a wake from sleep reads the status
// again. Each change is reported once.
TEST(PowerSource, AFormsWindowFollowsTheSourceAndReadsItAgainAfterSleep) {
  ui::Form form(SmallForm());
  if (!form.Handle()) GTEST_SKIP() << "no display: Wine made no window";
  std::vector<bool> reports;
  auto watch = power::WatchPowerSourceOfWindow(form.Handle(), [&reports](bool onBattery) { reports.push_back(onBattery); });
  ASSERT_TRUE(watch);
  EXPECT_FALSE(watch->OnBattery());
  Tell(form, PowerSetting(kAcDcPowerSource, 1));
  EXPECT_TRUE(watch->OnBattery());
  Tell(form, PowerSetting(kAcDcPowerSource, 2));
  Tell(form, PowerSetting(kConsoleDisplay, 0));
  Tell(form, PowerSetting(kAcDcPowerSource, 0, 2));
  EXPECT_TRUE(watch->OnBattery());
  Tell(form, PowerSetting(kAcDcPowerSource, 0));
  EXPECT_FALSE(watch->OnBattery());
  Tell(form, PowerSetting(kConsoleDisplay, 1));
  EXPECT_EQ(reports, (std::vector<bool>{true, false}));

  Tell(form, PowerSetting(kAcDcPowerSource, 1));
  SendMessageA(reinterpret_cast<HWND>(form.Handle()), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
  EXPECT_FALSE(watch->OnBattery());  // the status, read again: mains
  EXPECT_EQ(reports, (std::vector<bool>{true, false, true, false}));

  watch.reset();  // a window no longer watched hears nothing
  Tell(form, PowerSetting(kAcDcPowerSource, 1));
  EXPECT_EQ(reports.size(), 4u);
  EXPECT_FALSE(power::WatchPowerSourceOfWindow(0, [](bool) {}));
}

}  // namespace
