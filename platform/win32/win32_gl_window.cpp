// The embedded GL window on Win32, with no framework: a private window class,
// a child of the given window (the display settings' picture) or a topmost
// screen-sized pop-up, its own message loop, and a window procedure that
// reports paint, key, size and destroy to the mode. Painting happens on the
// main thread, which owns the GL context; Invalidate and RequestEnd are
// InvalidateRect and PostMessageA, which any thread may call. Windows has no
// daemon hack mode: drawing on another program's window is not offered.
#include <windows.h>

#include <atomic>

#include "platform/gl_window.h"
#include "platform/win32/win32_internal.h"

namespace ui {

namespace {

// Kept as it is: the e2e tests and the tools that inspect the picture look
// for windows of this class.
constexpr char kGLWindowClass[] = "PrismoraPreviewClass";
constexpr UINT_PTR kPaintTimer = 1;  // InvalidateAt's one-shot timer

class Win32GLWindow;
// One embedded window per process; its window procedure finds it here.
Win32GLWindow* theWindow = nullptr;

LRESULT CALLBACK GLWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

class Win32GLWindow : public GLWindow {
 public:
  explicit Win32GLWindow(GLWindowEvents& events) : events_(events) { theWindow = this; }
  ~Win32GLWindow() override {
    if (theWindow == this) theWindow = nullptr;
  }

  GLWindowResult Create(GLWindowPlace place, NativeHandle parent, const PixelFormat& format,
                        const char* title) override;
  NativeHandle Handle() const override { return reinterpret_cast<NativeHandle>(hwnd_); }
  int Width() const override { return ClientSize().right; }
  int Height() const override { return ClientSize().bottom; }
  void Swap() override { SwapBuffers(wglGetCurrentDC()); }
  void PauseAfterFrame(int ms) override;
  void Run() override;
  void Invalidate() override { InvalidateRect(hwnd_, nullptr, FALSE); }
  void InvalidateAt(std::chrono::steady_clock::time_point when) override {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(when - std::chrono::steady_clock::now());
    SetTimer(hwnd_, kPaintTimer, ms.count() > 0 ? static_cast<UINT>(ms.count()) : 0, nullptr);
  }
  void RequestEnd() override {
    endRequested_ = true;
    PostMessageA(hwnd_, WM_DESTROY, 0, 0);
  }
  void EndOnTerminationSignals() override {}
  void Release() override;

  LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 private:
  RECT ClientSize() const {
    RECT r{};
    GetClientRect(hwnd_, &r);
    return r;
  }
  void SetupSurface(const PixelFormat& format);
  LRESULT OnDestroy();
  LRESULT OnSize(LPARAM lp);

  GLWindowEvents& events_;
  HWND hwnd_ = nullptr;
  HDC dc_ = nullptr;
  HGLRC rc_ = nullptr;
  int width_ = 0, height_ = 0;
  std::atomic<bool> endRequested_{false};  // set by the pump thread
};

void RegisterGLWindowClass() {
  WNDCLASSA wc{};
  // Its own device context: a child of the class style "parent DC" would
  // share its parent's, on which no pixel format may be set, and would draw
  // over the parent window.
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = GLWindowProc;
  wc.hInstance = win32::Instance();
  wc.lpszClassName = kGLWindowClass;
  RegisterClassA(&wc);  // a second registration fails harmlessly
}

GLWindowResult Win32GLWindow::Create(GLWindowPlace place, NativeHandle parentHandle, const PixelFormat& format,
                                     const char* title) {
  if (place == GLWindowPlace::Into) return GLWindowResult::Failed;
  HWND parent = place == GLWindowPlace::ChildOf ? reinterpret_cast<HWND>(parentHandle) : nullptr;
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  if (parent) {
    RECT r{};
    if (!IsWindow(parent) || !GetWindowRect(parent, &r)) return GLWindowResult::NoSuchWindow;
    width = r.right - r.left;
    height = r.bottom - r.top;
  }
  RegisterGLWindowClass();
  const char* caption = title ? title : "";
  if (parent) {
    hwnd_ = CreateWindowExA(0, kGLWindowClass, caption,
                            WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, width,
                            height, parent, nullptr, win32::Instance(), nullptr);
  } else {
    hwnd_ = CreateWindowExA(0, kGLWindowClass, caption, WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                            nullptr, win32::Instance(), nullptr);
    SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW);
  }
  if (!hwnd_) return GLWindowResult::Failed;
  width_ = width;
  height_ = height;
  SetupSurface(format);
  return GLWindowResult::Created;
}

// The window's device context, the pixel format and a context current on
// this thread. A failed choice leaves no context: GL calls draw nothing.
void Win32GLWindow::SetupSurface(const PixelFormat& format) {
  dc_ = GetDC(hwnd_);
  win32::SetupPixelFormat(dc_, format.colourBits, format.depthBits);
  rc_ = wglCreateContext(dc_);
  wglMakeCurrent(dc_, rc_);
}

void Win32GLWindow::Run() {
  if (!hwnd_) return;
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// The preview's paint never validates the window, so its thread never waits
// for a message: Wine reads the X server's events (the keys) only while a
// thread waits on its queue, and a key reached the pop-up 20 seconds late
// (minutes under an emulator). Waiting on the queue instead of sleeping lets
// the input in as it comes; the rest of the pause is slept, so the pace is
// the same.
void Win32GLWindow::PauseAfterFrame(int ms) {
  const DWORD start = GetTickCount();
  MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(ms), QS_ALLINPUT);
  const DWORD elapsed = GetTickCount() - start;
  if (elapsed < static_cast<DWORD>(ms)) Sleep(static_cast<DWORD>(ms) - elapsed);
}

void Win32GLWindow::Release() {
  if (rc_) {
    wglMakeCurrent(dc_, nullptr);
    wglDeleteContext(rc_);
    rc_ = nullptr;
  }
  if (dc_ && IsWindow(hwnd_)) ReleaseDC(hwnd_, dc_);
  dc_ = nullptr;
  if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

// ---- the window procedure: one handler per message ----

LRESULT Win32GLWindow::OnDestroy() {
  PostQuitMessage(0);
  if (!endRequested_) events_.GLWindowGone();
  return 0;
}

LRESULT Win32GLWindow::OnSize(LPARAM lp) {
  if (!hwnd_) return 0;  // sent during the creation, before the surface exists
  const int w = LOWORD(lp), h = HIWORD(lp);
  if (w == width_ && h == height_) return 0;
  width_ = w;
  height_ = h;
  events_.GLWindowResized(w, h);
  return 0;
}

LRESULT Win32GLWindow::Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_DESTROY: return OnDestroy();
    // No BeginPaint/EndPaint: the update region stays invalid, so the system
    // keeps sending WM_PAINT whenever the queue is empty; the mode sets the pace.
    case WM_PAINT: events_.GLWindowPaint(); return 0;
    case WM_NCCREATE: return 1;  // no default processing
    case WM_KEYDOWN: events_.GLWindowKeyDown(static_cast<int>(wp)); return 0;
    case WM_SIZE: return OnSize(lp);
    case WM_TIMER:
      if (wp != kPaintTimer) return DefWindowProcA(hwnd, msg, wp, lp);
      KillTimer(hwnd, kPaintTimer);
      Invalidate();
      return 0;
    // The modes on this window take no pointer input.
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: return 0;
    default: return DefWindowProcA(hwnd, msg, wp, lp);
  }
}

LRESULT CALLBACK GLWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (!theWindow) return DefWindowProcA(hwnd, msg, wp, lp);
  return theWindow->Dispatch(hwnd, msg, wp, lp);
}

}  // namespace

std::unique_ptr<GLWindow> CreateGLWindow(GLWindowEvents& events) { return std::make_unique<Win32GLWindow>(events); }

bool EmbeddedModeAvailable() { return false; }

std::uint32_t ProcessId() { return static_cast<std::uint32_t>(GetCurrentProcessId()); }

}  // namespace ui
