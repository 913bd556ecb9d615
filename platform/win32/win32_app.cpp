// Win32 platform services of the windowing layer: common-control set-up, the
// application's message loop (with the forms' key preview), message boxes,
// screen and cursor queries, the screen-saver-running flag and the drive list.
// The forms, controls, timers and GL surfaces have files of their own.
#include <windows.h>
#include <commctrl.h>

#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_text.h"

namespace ui {

namespace win32 {

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

}  // namespace win32

namespace {

// While a combo box's list is dropped down, the keys are the list's: Escape
// or Enter closes it there, and must not close the window or press a
// dialog's default button.
bool ListDropped(HWND hwnd) {
  wchar_t cls[16] = L"";
  return GetClassNameW(hwnd, cls, 16) > 0 && lstrcmpiW(cls, L"ComboBox") == 0 &&
         SendMessageW(hwnd, CB_GETDROPPEDSTATE, 0, 0) != 0;
}

// Key preview: a key pressed while a form or any of its controls has the focus
// goes to the form first. Returns true when the message is used up: a dialog's
// Enter and Escape belong to its default and cancel buttons, and passing them
// on would make a focused edit box beep.
bool PreviewKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  if (ListDropped(msg.hwnd)) return false;
  Form* form = win32::FormOfWindow(GetAncestor(msg.hwnd, GA_ROOT));
  if (!form) return false;
  const int key = static_cast<int>(msg.wParam);
  const bool dialogKey = form->Design().modalDialog && (key == VK_RETURN_KEY || key == VK_ESCAPE_KEY);
  form->NativeKeyDown(key);
  return dialogKey;
}

}  // namespace

void PlatformInitialize() {
  INITCOMMONCONTROLSEX icc{};
  icc.dwSize = sizeof icc;
  icc.dwICC = ICC_BAR_CLASSES | ICC_STANDARD_CLASSES;  // track bars, buttons, lists
  InitCommonControlsEx(&icc);
}

// The wide functions: a character typed into a control (a Unicode window)
// reaches it whole, not through the ANSI code page.
void PlatformRunLoop() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (PreviewKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void PlatformQuit() { PostQuitMessage(0); }

void PlatformMessageBox(const std::string& title, const std::string& message) {
  // Owned by the active window so that it stays above a topmost saver window.
  // Wide: a message may name a file outside the ANSI code page.
  MessageBoxW(GetActiveWindow(), WinText::Wide(message).c_str(), WinText::Wide(title).c_str(), MB_OK | MB_ICONERROR);
}

// The screen's own pixels, also for the system-scaled settings window: its
// "-Your Desktop" wallpaper is the size of the screen, not of the scaled one.
int ScreenWidth() {
  const win32::PhysicalPixels physical;
  return GetSystemMetrics(SM_CXSCREEN);
}
int ScreenHeight() {
  const win32::PhysicalPixels physical;
  return GetSystemMetrics(SM_CYSCREEN);
}

std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }

Point CursorPos() {
  POINT p{};
  GetCursorPos(&p);
  return Point{p.x, p.y};
}

int ShowCursor(bool show) { return ::ShowCursor(show ? TRUE : FALSE); }

void SetScreenSaverRunning(bool running) {
  // Action 97 (SPI_SCREENSAVERRUNNING): tells the system a saver runs or stopped.
  constexpr UINT kScreenSaverRunning = 97;
  SystemParametersInfoA(kScreenSaverRunning, running ? 1 : 0, nullptr, 0);
}

std::vector<std::string> ListDrives() {
  char buffer[512] = {};
  const DWORD length = GetLogicalDriveStringsA(sizeof buffer - 1, buffer);
  std::vector<std::string> drives;
  if (length == 0 || length >= sizeof buffer) return drives;
  // "C:\<NUL>D:\<NUL><NUL>"
  for (const char* p = buffer; *p; p += strlen(p) + 1) drives.emplace_back(p);
  return drives;
}

}  // namespace ui
