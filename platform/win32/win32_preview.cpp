// The preview mode on Win32, with no framework: a private window class, the
// preview window as a child of the display settings' picture (or a topmost
// screen-sized pop-up without a parent), its own message loop, and a pump
// thread that invalidates the window every 40 ms. Painting happens on the main
// thread, which owns the GL context. The portable half is host/funcs_preview.
#include <windows.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include "host/funcs_password.h"
#include "host/funcs_preview.h"
#include "host/modes.h"
#include "platform/win32/win32_internal.h"

namespace {

constexpr char kPreviewClass[] = "PrismoraPreviewClass";
constexpr char kPreviewTitle[] = "ZiZoraz";

// Written once before the pump thread starts, read-only afterwards.
HWND PreviewWindow = nullptr;

void PaintPreview() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  Gradient::DrawFrame(Gradient::Pattern);
  SwapBuffers(wglGetCurrentDC());
  Sleep(funcs::kPreviewFrameMs);
}

// ---- PreviewWndProc: one handler per message ----

LRESULT OnDestroy(HWND, UINT, WPARAM, LPARAM) {
  PostQuitMessage(0);
  return 0;
}
// No BeginPaint/EndPaint: the update region stays invalid, so the system keeps
// sending WM_PAINT whenever the queue is empty; the sleep sets the pace.
LRESULT OnPaint(HWND, UINT, WPARAM, LPARAM) {
  PaintPreview();
  return 0;
}
LRESULT OnNcCreate(HWND, UINT, WPARAM, LPARAM) { return 1; }
LRESULT OnKeyDown(HWND hwnd, UINT, WPARAM, LPARAM) {
  funcs::StopRequested = CheckSaverPassword(reinterpret_cast<NativeWindowHandle>(hwnd));
  return 0;
}
LRESULT OnMouse(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  return funcs::PreviewMode ? 0 : DefWindowProcA(hwnd, msg, wp, lp);
}

struct Route {
  UINT message;
  LRESULT (*handler)(HWND, UINT, WPARAM, LPARAM);
};

constexpr Route kRoutes[] = {
    {WM_DESTROY, OnDestroy},     {WM_PAINT, OnPaint},         {WM_NCCREATE, OnNcCreate},
    {WM_KEYDOWN, OnKeyDown},     {WM_MOUSEMOVE, OnMouse},     {WM_LBUTTONDOWN, OnMouse},
    {WM_RBUTTONDOWN, OnMouse},   {WM_MBUTTONDOWN, OnMouse},
};

LRESULT CALLBACK PreviewWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  for (const Route& r : kRoutes)
    if (r.message == msg) return r.handler(hwnd, msg, wp, lp);
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// ---- set-up ----

void RegisterPreviewClass() {
  WNDCLASSA wc{};
  // Its own device context: a child of the class style "parent DC" would
  // share its parent's, on which no pixel format may be set, and would draw
  // over the parent window.
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = PreviewWndProc;
  wc.hInstance = ui::win32::Instance();
  wc.lpszClassName = kPreviewClass;
  RegisterClassA(&wc);  // a second registration fails harmlessly
}

// The preview variant of the surface: pixel format without a depth buffer,
// context current on this thread for the rest of the process, the projection
// without a viewport call (the new context's viewport is the whole window),
// black clear colour. Nothing is stored and nothing is released.
void SetupPreviewSurface(HWND hwnd) {
  HDC dc = GetDC(hwnd);
  ui::win32::SetupPixelFormat(dc, 32, 0);
  HGLRC rc = wglCreateContext(dc);
  wglMakeCurrent(dc, rc);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, 1.0, 0.1, 100.0);
  glMatrixMode(GL_MODELVIEW);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

HWND CreatePreviewWindow(int width, int height, HWND parent) {
  RegisterPreviewClass();
  HWND hwnd;
  if (parent) {
    hwnd = CreateWindowExA(0, kPreviewClass, kPreviewTitle,
                           WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, width,
                           height, parent, nullptr, ui::win32::Instance(), nullptr);
  } else {
    hwnd = CreateWindowExA(0, kPreviewClass, kPreviewTitle, WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                           nullptr, ui::win32::Instance(), nullptr);
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW);
  }
  if (!hwnd) return nullptr;
  funcs::InitPreviewPattern(Gradient::Pattern);
  PreviewWindow = hwnd;
  SetupPreviewSurface(hwnd);
  return hwnd;
}

DWORD WINAPI PreviewPump(LPVOID) {
  ShowWindow(PreviewWindow, SW_SHOW);
  UpdateWindow(PreviewWindow);
  funcs::PreviewPumpLoop([] { InvalidateRect(PreviewWindow, nullptr, FALSE); },
                         [](int ms) { Sleep(static_cast<DWORD>(ms)); },
                         [] { PostMessageA(PreviewWindow, WM_DESTROY, 0, 0); });
  return 0;
}

}  // namespace

// Returns when the preview window is gone. A parent handle that names no
// window, or a window that cannot be made, ends the mode at once with status 1
// and no message: the display settings start the program unattended.
int RunPreview(uint32_t parentWindow) {
  funcs::PreviewMode = true;
  HWND parent = reinterpret_cast<HWND>(static_cast<uintptr_t>(parentWindow));
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  if (parent) {
    RECT r{};
    if (!IsWindow(parent) || !GetWindowRect(parent, &r)) return 1;
    width = r.right - r.left;
    height = r.bottom - r.top;
  }
  if (!CreatePreviewWindow(width, height, parent)) return 1;
  HANDLE pump = CreateThread(nullptr, 0, PreviewPump, nullptr, 0, nullptr);
  static_cast<void>(pump);  // neither waited for nor closed: the process ends with it
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
