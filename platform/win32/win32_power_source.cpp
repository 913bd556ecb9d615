// Whether the machine runs on battery, for a form's window (the full-screen
// saver): read from GetSystemPowerStatus at the start and again after the
// machine wakes from sleep, and followed through the power-setting
// notification for the power source (RegisterPowerSettingNotification with
// GUID_ACDC_POWER_SOURCE) and the power-status broadcast that every
// top-level window gets. Both functions are looked up at run time; where
// they are missing the machine counts as on mains power. The window
// procedure hands each WM_POWERBROADCAST here.
#include <windows.h>

#include <map>

#include "platform/power_source.h"
#include "platform/power_status.h"
#include "platform/win32/win32_internal.h"

namespace {

// Our own copy: the SDK's is only defined where INITGUID or a uuid library is.
constexpr GUID kAcDcPowerSource = {0x5d3e9a59, 0xe9d5, 0x4b00, {0xa6, 0xbd, 0xff, 0x34, 0xff, 0x51, 0x65, 0x48}};

using StatusFn = BOOL(WINAPI*)(LPSYSTEM_POWER_STATUS);
using RegisterFn = HPOWERNOTIFY(WINAPI*)(HANDLE, LPCGUID, DWORD);
using UnregisterFn = BOOL(WINAPI*)(HPOWERNOTIFY);

// No answer from the system: mains.
bool ReadOnBattery() {
  const auto statusFn = ui::win32::LoadedFunction<StatusFn>("kernel32.dll", "GetSystemPowerStatus");
  SYSTEM_POWER_STATUS status{};
  if (!statusFn || !statusFn(&status)) return false;
  return power::OnBatteryFromStatus(status.ACLineStatus, status.BatteryFlag);
}

class Win32PowerWatch;

std::map<HWND, Win32PowerWatch*>& Watches() {
  static auto* watches = new std::map<HWND, Win32PowerWatch*>;  // never destroyed: see win32_timer.cpp
  return *watches;
}

class Win32PowerWatch final : public power::PowerWatch {
 public:
  Win32PowerWatch(HWND window, std::function<void(bool)> changed)
      : window_(window), changed_(std::move(changed)), onBattery_(ReadOnBattery()) {
    Watches()[window_] = this;
    if (const auto registerFn = ui::win32::LoadedFunction<RegisterFn>("user32.dll", "RegisterPowerSettingNotification"))
      registration_ = registerFn(window_, &kAcDcPowerSource, DEVICE_NOTIFY_WINDOW_HANDLE);
  }
  ~Win32PowerWatch() override {
    if (registration_)
      if (const auto unregisterFn =
              ui::win32::LoadedFunction<UnregisterFn>("user32.dll", "UnregisterPowerSettingNotification"))
        unregisterFn(registration_);
    const auto found = Watches().find(window_);
    if (found != Watches().end() && found->second == this) Watches().erase(found);
  }
  bool OnBattery() const override { return onBattery_; }

  // The power source's setting; a change of the power status, or a wake
  // from sleep, when the source may have changed unseen.
  void Hear(WPARAM event, LPARAM data) {
    if (event == PBT_POWERSETTINGCHANGE && data) {
      const auto& setting = *reinterpret_cast<const POWERBROADCAST_SETTING*>(data);
      if (!IsEqualGUID(setting.PowerSetting, kAcDcPowerSource)) return;
      if (const auto onBattery = power::OnBatteryFromSourceData(setting.Data, setting.DataLength)) Set(*onBattery);
    } else if (event == PBT_APMPOWERSTATUSCHANGE || event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND) {
      Set(ReadOnBattery());
    }
  }

 private:
  void Set(bool onBattery) {
    if (onBattery == onBattery_) return;
    onBattery_ = onBattery;
    if (changed_) changed_(onBattery);
  }

  HWND window_;
  std::function<void(bool)> changed_;
  HPOWERNOTIFY registration_ = nullptr;
  bool onBattery_;
};

}  // namespace

namespace ui::win32 {

void HearPowerSource(HWND window, WPARAM event, LPARAM data) {
  const auto found = Watches().find(window);
  if (found != Watches().end()) found->second->Hear(event, data);
}

}  // namespace ui::win32

namespace power {

std::unique_ptr<PowerWatch> WatchPowerSourceOfWindow(ui::NativeHandle window, std::function<void(bool)> changed) {
  if (!window) return nullptr;
  return std::make_unique<Win32PowerWatch>(reinterpret_cast<HWND>(window), std::move(changed));
}

}  // namespace power
