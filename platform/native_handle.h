// The one type of an OS window's handle that crosses the windowing layer, in
// the forms, the embedded GL window and the password hooks alike: HWND on
// Windows, the X window id on Linux, a counter in the headless layer; 0 for
// none.
#pragma once

#include <cstdint>

namespace ui {

using NativeHandle = std::uintptr_t;

}  // namespace ui
