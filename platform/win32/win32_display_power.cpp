// Whether the system reports the display on. A form's GL surface asks the
// system to tell its window when the display turns off and on
// (RegisterPowerSettingNotification for GUID_CONSOLE_DISPLAY_STATE, looked up
// at run time: Windows Vista and later; where that setting is unknown, before
// Windows 8, GUID_MONITOR_POWER_ON), and the window's WM_POWERBROADCAST brings
// the state here. Where none of it exists (or Wine sends nothing) the
// display counts as on.
#include <windows.h>

#include <map>

#include "platform/win32/win32_internal.h"

namespace ui::win32 {

namespace {

// Own copies: the SDK's are only defined where INITGUID or a uuid library is.
constexpr GUID kConsoleDisplayState = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
constexpr GUID kMonitorPowerOn = {0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};

using RegisterFn = HPOWERNOTIFY(WINAPI*)(HANDLE, LPCGUID, DWORD);
using UnregisterFn = BOOL(WINAPI*)(HPOWERNOTIFY);

bool displayOn = true;

std::map<HWND, HPOWERNOTIFY>& Registrations() {
  static auto* registrations = new std::map<HWND, HPOWERNOTIFY>;  // never destroyed: see win32_timer.cpp
  return *registrations;
}

}  // namespace

void WatchDisplayPower(HWND window) {
  const auto registerFn = LoadedFunction<RegisterFn>("user32.dll", "RegisterPowerSettingNotification");
  if (!window || !registerFn || Registrations().count(window)) return;
  HPOWERNOTIFY h = registerFn(window, &kConsoleDisplayState, DEVICE_NOTIFY_WINDOW_HANDLE);
  if (!h) h = registerFn(window, &kMonitorPowerOn, DEVICE_NOTIFY_WINDOW_HANDLE);
  if (h) Registrations()[window] = h;
}

void UnwatchDisplayPower(HWND window) {
  const auto found = Registrations().find(window);
  if (found == Registrations().end()) return;
  if (const auto unregisterFn = LoadedFunction<UnregisterFn>("user32.dll", "UnregisterPowerSettingNotification"))
    unregisterFn(found->second);
  Registrations().erase(found);
}

// 0 is off, 1 on, and 2 (the console display state only) dimmed, which is
// still seen.
void NoteDisplayPower(const POWERBROADCAST_SETTING& setting) {
  const bool ours = IsEqualGUID(setting.PowerSetting, kConsoleDisplayState) ||
                    IsEqualGUID(setting.PowerSetting, kMonitorPowerOn);
  if (!ours || setting.DataLength < sizeof(DWORD)) return;
  DWORD state = 0;
  CopyMemory(&state, setting.Data, sizeof state);
  displayOn = state != 0;
}

bool DisplayOn() { return displayOn; }

}  // namespace ui::win32
