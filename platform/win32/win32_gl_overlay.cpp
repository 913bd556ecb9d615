// The GL overlay that a form with controls draws on under Wine. Wine (8.x)
// shows nothing that a form's child controls paint once the form itself has
// an OpenGL pixel format, and nothing that OpenGL draws in a child window;
// the track bars, the FPS readout and the captions would freeze. Under Wine
// such a form therefore draws its pattern in an owned, disabled pop-up laid
// over the surface's area and kept there as the form moves, shows and hides.
// On Windows none of this is used: the surface is the form's own client DC.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/win32_internal.h"

namespace ui::win32 {
namespace {

constexpr char kOverlayClass[] = "PrismoraGLOverlay";

struct Overlay {
  HWND form;
  HWND window;
  Rect area;  // in the form's client coordinates
};

// Never destroyed: forms may release their surfaces while statics go away.
std::vector<Overlay>& Overlays() {
  static auto* overlays = new std::vector<Overlay>;
  return *overlays;
}

void Place(const Overlay& o) {
  POINT origin{o.area.left, o.area.top};
  ClientToScreen(o.form, &origin);
  const bool shown = IsWindowVisible(o.form) && !IsIconic(o.form);
  SetWindowPos(o.window, nullptr, origin.x, origin.y, o.area.width, o.area.height,
               SWP_NOZORDER | SWP_NOACTIVATE | (shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void RegisterOverlayClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA wc{};
  wc.style = CS_OWNDC;  // the GL context's device context, kept for the run
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = Instance();
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = kOverlayClass;
  registered = RegisterClassA(&wc) != 0;
}

}  // namespace

bool NeedsGlOverlay(const Form& form) {
  return RunningUnderWine() && !form.Controls().empty();
}

HWND CreateGlOverlay(HWND form, const Rect& area) {
  RegisterOverlayClass();
  // Owned by the form: above it, hidden with it, destroyed with it; disabled
  // and never activated, so the keyboard stays with the form.
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kOverlayClass, "", WS_POPUP | WS_DISABLED, 0,
                                0, area.width, area.height, form, nullptr, Instance(), nullptr);
  if (!window) return nullptr;
  Overlays().push_back(Overlay{form, window, area});
  Place(Overlays().back());
  return window;
}

void DestroyGlOverlay(HWND overlay) {
  auto& all = Overlays();
  all.erase(std::remove_if(all.begin(), all.end(), [overlay](const Overlay& o) { return o.window == overlay; }),
            all.end());
  DestroyWindow(overlay);
}

void FollowForm(HWND form) {
  for (const Overlay& o : Overlays())
    if (o.form == form) Place(o);
}

}  // namespace ui::win32
