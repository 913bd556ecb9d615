// DPI awareness at run time. The manifest makes the process per-monitor DPI
// aware, so that the saver and the preview cover a scaled screen pixel for
// pixel. The settings window and the save dialog are laid out in fixed pixels
// and would be tiny there: their thread asks the system to scale them instead.
// The thread call exists from Windows 10 1607; before it they keep their pixels.
// Wine (8.x) gives an unaware thread a scaled screen size but does not scale
// its windows, which only misplaces them: there they keep their pixels too.
#include <windows.h>

#include "platform/win32/win32_internal.h"

namespace ui {

namespace {

// DPI_AWARENESS_CONTEXT values, declared here because the headers offer them
// only for newer target versions than the one we build for.
const HANDLE kUnaware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-1));
const HANDLE kPerMonitorAware = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));

using SetThreadContextFn = HANDLE(WINAPI*)(HANDLE);

SetThreadContextFn ThreadContextSetter() {
  static const auto setter = reinterpret_cast<SetThreadContextFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
  return setter;
}

}  // namespace

void ScaleDesignedWindowsBySystem() {
  if (win32::RunningUnderWine()) return;
  if (const SetThreadContextFn set = ThreadContextSetter()) set(kUnaware);
}

namespace win32 {

bool RunningUnderWine() {
  static const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

PhysicalPixels::PhysicalPixels() {
  if (const SetThreadContextFn set = ThreadContextSetter()) previous_ = set(kPerMonitorAware);
}

PhysicalPixels::~PhysicalPixels() {
  if (previous_) ThreadContextSetter()(previous_);
}

}  // namespace win32

}  // namespace ui
