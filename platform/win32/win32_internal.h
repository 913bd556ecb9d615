// What the Win32 files of the windowing layer share: the module instance, the
// form behind a window handle, the routing of control notifications from a
// form's window procedure to the control objects, fonts, and the pixel format
// set-up that both the forms' surfaces and the raw preview window use.
#pragma once

#include <windows.h>

#include "platform/ui.h"

namespace ui::win32 {

HINSTANCE Instance();

// Wine's ntdll names itself; used where Wine behaves unlike Windows.
bool RunningUnderWine();

// For its lifetime, the thread measures in the screen's own pixels, also when
// ScaleDesignedWindowsBySystem made it DPI-unaware (win32_dpi.cpp).
class PhysicalPixels {
 public:
  PhysicalPixels();
  ~PhysicalPixels();
  PhysicalPixels(const PhysicalPixels&) = delete;
  PhysicalPixels& operator=(const PhysicalPixels&) = delete;

 private:
  HANDLE previous_ = nullptr;
};

// The form whose top-level window is `hwnd`, or nullptr.
Form* FormOfWindow(HWND hwnd);

// Control notifications that arrive at the parent form's window procedure.
void RouteCommand(HWND control, int notifyCode);  // WM_COMMAND
void RouteScroll(HWND control);                   // WM_HSCROLL of a track bar
// WM_CTLCOLORSTATIC: text colour from the control's font, background of the form.
HBRUSH StaticColours(HWND control, HDC dc, COLORREF background, HBRUSH backgroundBrush);

// One shared GDI font per distinct Font; they live until the process ends.
HFONT FontFor(const Font& font);

// The fixed pixel format descriptor: RGBA, double buffered, drawn to a
// window, with OpenGL, the given colour and depth bits, every other field 0.
PIXELFORMATDESCRIPTOR SurfaceDescriptor(int colourBits, int depthBits);

// ChoosePixelFormat/SetPixelFormat with the fixed descriptor: RGBA, double
// buffered, drawn to a window, with OpenGL, the given colour and depth bits and
// every other field 0. True when SetPixelFormat succeeded.
bool SetupPixelFormat(HDC dc, int colourBits, int depthBits);

// The display's power as the system reports it (win32_display_power.cpp):
// a window watched gets WM_POWERBROADCAST when it changes, which hands the
// setting to NoteDisplayPower. The display counts as on until told otherwise.
void WatchDisplayPower(HWND window);
void UnwatchDisplayPower(HWND window);
void NoteDisplayPower(const POWERBROADCAST_SETTING& setting);
bool DisplayOn();

// The power source as the system reports it to a watched form's window
// (win32_power_source.cpp, power::WatchPowerSourceOfWindow): the window
// procedure hands every WM_POWERBROADCAST here.
void HearPowerSource(HWND window, WPARAM event, LPARAM data);

// A function of a system DLL the process has loaded (user32, kernel32),
// looked up at run time: null where this Windows lacks it.
template <typename Fn>
Fn LoadedFunction(const char* module, const char* name) {
  HMODULE loaded = GetModuleHandleA(module);
  return loaded ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(loaded, name))) : nullptr;
}

// Under Wine a form with controls draws OpenGL on an owned pop-up over the
// surface's area (win32_gl_overlay.cpp says why); FollowForm keeps the pop-up
// on the form as it moves, shows and hides.
bool NeedsGlOverlay(const Form& form);
HWND CreateGlOverlay(HWND form, const Rect& area);
void DestroyGlOverlay(HWND overlay);
void FollowForm(HWND form);

}  // namespace ui::win32
