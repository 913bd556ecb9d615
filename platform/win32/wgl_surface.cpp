// A form's OpenGL surface through WGL: the window's device context, the fixed
// pixel format descriptor, one rendering context made current on the main
// thread, buffer swaps on the current device context, and the release.
// Failures stay silent: later GL calls then draw nothing. What it draws is
// seen while the system reports the display on.
#include <windows.h>
#include <GL/gl.h>

#include "platform/win32/win32_internal.h"

namespace ui {

namespace win32 {

PIXELFORMATDESCRIPTOR SurfaceDescriptor(int colourBits, int depthBits) {
  PIXELFORMATDESCRIPTOR pfd{};  // every field not set below stays 0
  static_assert(sizeof pfd == 40, "the descriptor is 40 bytes");
  pfd.nSize = sizeof pfd;
  pfd.nVersion = 1;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;  // 0x25
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = static_cast<BYTE>(colourBits);
  pfd.cDepthBits = static_cast<BYTE>(depthBits);
  pfd.iLayerType = PFD_MAIN_PLANE;
  return pfd;
}

bool SetupPixelFormat(HDC dc, int colourBits, int depthBits) {
  const PIXELFORMATDESCRIPTOR pfd = SurfaceDescriptor(colourBits, depthBits);
  const int format = ChoosePixelFormat(dc, &pfd);
  if (format == 0) return false;
  return SetPixelFormat(dc, format, &pfd) != FALSE;
}

}  // namespace win32

namespace {

// The surface covers the form's whole client area; the viewport picks the
// part that is drawn on. Under Wine a form with controls draws on an overlay
// that covers only the surface's area (see win32_gl_overlay.cpp).
class WglSurface : public NativeSurface {
 public:
  WglSurface(Form& form, Rect area) : form_(form), area_(area) {}
  ~WglSurface() override { Release(); }

  void Create(const PixelFormat& format) override {
    HWND formWindow = reinterpret_cast<HWND>(form_.Handle());
    if (win32::NeedsGlOverlay(form_)) overlay_ = win32::CreateGlOverlay(formWindow, area_);
    hwnd_ = overlay_ ? overlay_ : formWindow;
    dc_ = GetDC(hwnd_);
    win32::SetupPixelFormat(dc_, format.colourBits, format.depthBits);  // result ignored, as designed
    rc_ = wglCreateContext(dc_);
    wglMakeCurrent(dc_, rc_);
    formWindow_ = formWindow;
    win32::WatchDisplayPower(formWindow_);
  }
  // x, y: the form's client coordinates, origin bottom-left.
  void Viewport(int x, int y, int width, int height) override {
    if (overlay_) {
      x -= area_.left;
      y -= form_.ClientHeight() - (area_.top + area_.height);
    }
    glViewport(x, y, width, height);
  }
  // The buffers of the device context that is current, not of a stored handle.
  void Swap() override { SwapBuffers(wglGetCurrentDC()); }
  void Release() override {
    win32::UnwatchDisplayPower(formWindow_);
    formWindow_ = nullptr;
    if (rc_) {
      wglMakeCurrent(dc_, nullptr);
      wglDeleteContext(rc_);
      rc_ = nullptr;
    }
    if (dc_) {
      ReleaseDC(hwnd_, dc_);
      dc_ = nullptr;
    }
    if (overlay_) {
      win32::DestroyGlOverlay(overlay_);
      overlay_ = nullptr;
    }
  }
  bool Created() const override { return rc_ != nullptr; }
  bool Seen() override { return win32::DisplayOn(); }

 private:
  Form& form_;
  Rect area_;
  HWND formWindow_ = nullptr;
  HWND hwnd_ = nullptr;
  HWND overlay_ = nullptr;
  HDC dc_ = nullptr;
  HGLRC rc_ = nullptr;
};

}  // namespace

std::unique_ptr<NativeSurface> CreateNativeSurface(Form& form, Rect area) {
  return std::make_unique<WglSurface>(form, area);
}

}  // namespace ui
