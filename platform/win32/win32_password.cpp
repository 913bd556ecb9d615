// Password hooks on Windows: the screen-saver password services of the 9x
// family ("VerifyScreenSavePwd" in PASSWORD.CPL, "PwdChangePasswordA" in
// MPR.DLL). Both libraries are optional and loaded only for the call; when
// one is missing the hooks behave as if no password were set.
#include <windows.h>

#include <cstdint>

#include "platform/password_hooks.h"

namespace {

using VerifyScreenSavePwdFn = BOOL(WINAPI*)(HWND owner);
using PwdChangePasswordFn = DWORD(WINAPI*)(LPCSTR provider, HWND owner, DWORD, DWORD);

// LoadLibrary results of 32 or less are error codes on the old systems.
bool Loaded(HMODULE lib) { return reinterpret_cast<std::uintptr_t>(lib) > 32; }

template <typename Fn>
Fn LookUp(HMODULE lib, const char* name) {
  // Through a plain function pointer type, which GCC accepts for any cast.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(lib, name)));
}

HWND AsWindow(ui::NativeHandle owner) { return reinterpret_cast<HWND>(owner); }

// The service's verdict; the cursor is shown for its dialog and hidden again.
bool AskPasswordService(HWND owner) {
  const HMODULE lib = LoadLibraryA("PASSWORD.CPL");
  if (!Loaded(lib)) return true;
  const auto verify = LookUp<VerifyScreenSavePwdFn>(lib, "VerifyScreenSavePwd");
  ShowCursor(TRUE);
  const bool mayEnd = verify ? verify(owner) != FALSE : true;
  ShowCursor(FALSE);
  FreeLibrary(lib);
  return mayEnd;
}

}  // namespace

bool CheckSaverPassword(ui::NativeHandle owner) {
  HKEY desktop = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &desktop) !=
      ERROR_SUCCESS)
    return true;
  // Read as 4 bytes whatever the type; a shorter value leaves the rest 0.
  DWORD usePassword = 0;
  DWORD size = sizeof usePassword;
  bool mayEnd = true;
  if (RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr,
                       reinterpret_cast<BYTE*>(&usePassword), &size) == ERROR_SUCCESS &&
      usePassword != 0)
    mayEnd = AskPasswordService(AsWindow(owner));
  RegCloseKey(desktop);
  return mayEnd;
}

void ChangeSaverPassword(ui::NativeHandle owner) {
  const HMODULE lib = LoadLibraryA("MPR.DLL");
  if (!Loaded(lib)) return;
  if (const auto change = LookUp<PwdChangePasswordFn>(lib, "PwdChangePasswordA"))
    change("SCRSAVE", AsWindow(owner), 0, 0);
  FreeLibrary(lib);
}
