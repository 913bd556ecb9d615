// An offscreen context on Windows: a window of its own that is never shown,
// the usual pixel format on its device context, and a WGL context made
// current. The drawing goes to framebuffer objects, not to the window, whose
// pixels a hidden window does not own.
#include <windows.h>

#include "platform/offscreen_gl.h"

namespace ui {

namespace {

constexpr const char* kClassName = "PrismoraOffscreenGL";

HWND HiddenWindow() {
  WNDCLASSA wc{};
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);  // fails harmlessly when already registered
  return CreateWindowExA(0, kClassName, "Prismora", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
}

bool SetPixelFormatFor(HDC dc) {
  PIXELFORMATDESCRIPTOR pfd{};
  pfd.nSize = sizeof pfd;
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 32;
  pfd.iLayerType = PFD_MAIN_PLANE;
  const int format = ChoosePixelFormat(dc, &pfd);
  return format != 0 && SetPixelFormat(dc, format, &pfd);
}

class WglOffscreen : public OffscreenGL {
 public:
  WglOffscreen(HWND w, HDC dc, HGLRC rc) : window_(w), dc_(dc), rc_(rc) {}
  ~WglOffscreen() override {
    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(rc_);
    ReleaseDC(window_, dc_);
    DestroyWindow(window_);
  }

 private:
  HWND window_;
  HDC dc_;
  HGLRC rc_;
};

}  // namespace

std::unique_ptr<OffscreenGL> OpenOffscreenGL(std::string& why) {
  why = "cannot make an OpenGL context";
  const HWND window = HiddenWindow();
  if (!window) return nullptr;
  const HDC dc = GetDC(window);
  const HGLRC rc = dc && SetPixelFormatFor(dc) ? wglCreateContext(dc) : nullptr;
  if (!rc || !wglMakeCurrent(dc, rc)) {
    if (rc) wglDeleteContext(rc);
    if (dc) ReleaseDC(window, dc);
    DestroyWindow(window);
    return nullptr;
  }
  why.clear();
  return std::make_unique<WglOffscreen>(window, dc, rc);
}

}  // namespace ui
