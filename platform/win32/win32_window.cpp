// The forms as Win32 top-level windows: one registered window class, the
// window styles of the three border kinds, sizing and centring, activation,
// and a window procedure that hands each message to a named handler which
// reports the event to the portable Form. Keys are not seen here: the message
// loop previews them for the whole form (win32_app.cpp).
#include <windows.h>
#include <windowsx.h>

#include "platform/win32/win32_internal.h"

namespace ui {
namespace {

constexpr char kFormClass[] = "PrismoraForm";
constexpr int kIconResource = 100;  // the icon of prismora.rc

struct Styles {
  DWORD style, exStyle;
};

Styles StylesFor(const FormDesign& d) {
  Styles s{WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0};
  switch (d.border) {
    case BorderStyle::None:
      s.style |= WS_POPUP;
      break;
    case BorderStyle::Single:
      s.style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | (d.minimizeBox ? WS_MINIMIZEBOX : 0);
      break;
    case BorderStyle::Dialog:
      s.style |= WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
      s.exStyle |= WS_EX_DLGMODALFRAME;
      break;
  }
  if (d.stayOnTop) s.exStyle |= WS_EX_TOPMOST;
  return s;
}

class Win32Form;
LRESULT CALLBACK FormWndProc(HWND, UINT, WPARAM, LPARAM);

void RegisterFormClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  // Each form keeps its own device context: the OpenGL surface is made on it
  // once and used for the rest of the run.
  wc.style = CS_OWNDC | CS_DBLCLKS;
  wc.lpfnWndProc = FormWndProc;
  wc.hInstance = win32::Instance();
  wc.hIcon = LoadIconA(wc.hInstance, MAKEINTRESOURCEA(kIconResource));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = kFormClass;
  registered = RegisterClassExA(&wc) != 0;
}

class Win32Form : public NativeForm {
 public:
  explicit Win32Form(Form& form) : form_(form) {
    const FormDesign& d = form.Design();
    background_ = CreateSolidBrush(d.colour);
    RegisterFormClass();
    const Styles s = StylesFor(d);
    RECT r{0, 0, d.clientWidth, d.clientHeight};
    AdjustWindowRectEx(&r, s.style, FALSE, s.exStyle);
    const int w = r.right - r.left, h = r.bottom - r.top;
    Form* main = Application::Get().MainForm();
    HWND owner = main ? reinterpret_cast<HWND>(main->Handle()) : nullptr;
    CreateWindowExA(s.exStyle, kFormClass, d.caption.c_str(), s.style, CW_USEDEFAULT, CW_USEDEFAULT, w, h,
                    owner, nullptr, win32::Instance(), this);
    if (hwnd_ && d.screenCentre) Centre(w, h);
  }

  ~Win32Form() override {
    // The Form is being destroyed: no message may reach it any more.
    if (hwnd_) {
      SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
      DestroyWindow(hwnd_);
    }
    DeleteObject(background_);
  }

  NativeHandle Handle() const override { return reinterpret_cast<NativeHandle>(hwnd_); }

  void Show() override {
    ShowWindow(hwnd_, SW_SHOW);
    // The window takes the keyboard: a saver started by the system must see
    // the first key press.
    SetForegroundWindow(hwnd_);
    UpdateWindow(hwnd_);
  }
  void Hide() override { ShowWindow(hwnd_, SW_HIDE); }
  bool Visible() const override { return hwnd_ && IsWindowVisible(hwnd_); }
  void Close() override { SendMessageA(hwnd_, WM_CLOSE, 0, 0); }
  void Destroy() override {
    if (hwnd_) DestroyWindow(hwnd_);
  }

  void SetOuterSize(int width, int height) override {
    if (form_.Design().screenCentre)
      Centre(width, height);
    else
      SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // The saver over the virtual screen: its origin may be negative.
  void SetBounds(const Rect& outer) override {
    SetWindowPos(hwnd_, nullptr, outer.left, outer.top, outer.width, outer.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  void SetCaption(const std::string& caption) override { SetWindowTextA(hwnd_, caption.c_str()); }
  int ClientWidth() const override { return ClientRect().right; }
  int ClientHeight() const override { return ClientRect().bottom; }

  bool Active() const override {
    if (!hwnd_ || GetForegroundWindow() != hwnd_) return false;
    HWND focus = GetFocus();
    return focus == hwnd_ || IsChild(hwnd_, focus);
  }

  // ---- message handlers ----
  LRESULT OnNcCreate(HWND hwnd) {
    hwnd_ = hwnd;
    return TRUE;
  }
  LRESULT OnClose() {
    form_.NativeCloseRequest();  // the portable side hides or destroys the window
    return 0;
  }
  LRESULT OnDestroy() {
    form_.NativeDestroyed();
    return 0;
  }
  void OnNcDestroy() {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
  }
  LRESULT OnMouseMove(LPARAM lp) {
    form_.NativeMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    return 0;
  }
  LRESULT OnEraseBackground(HDC dc) {
    RECT r = ClientRect();
    FillRect(dc, &r, background_);
    return 1;
  }
  // A GL overlay (Wine only) follows the form.
  LRESULT OnWindowPosChanged(WPARAM wp, LPARAM lp) {
    win32::FollowForm(hwnd_);
    return DefWindowProcA(hwnd_, WM_WINDOWPOSCHANGED, wp, lp);
  }
  LRESULT OnCtlColorStatic(HDC dc, HWND control) {
    HBRUSH brush = win32::StaticColours(control, dc, form_.Design().colour, background_);
    if (!brush) return DefWindowProcA(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                      reinterpret_cast<LPARAM>(control));
    return reinterpret_cast<LRESULT>(brush);
  }
  Form& Owner() { return form_; }

 private:
  RECT ClientRect() const {
    RECT r{};
    GetClientRect(hwnd_, &r);
    return r;
  }
  void Centre(int width, int height) {
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  Form& form_;
  HWND hwnd_ = nullptr;
  HBRUSH background_ = nullptr;
};

Win32Form* FormOf(HWND hwnd) { return reinterpret_cast<Win32Form*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

// ---- the window procedure: one named handler per message ----

using Handler = LRESULT (*)(Win32Form&, WPARAM, LPARAM);

LRESULT HandleClose(Win32Form& f, WPARAM, LPARAM) { return f.OnClose(); }
LRESULT HandleDestroy(Win32Form& f, WPARAM, LPARAM) { return f.OnDestroy(); }
LRESULT HandleMouseMove(Win32Form& f, WPARAM, LPARAM lp) { return f.OnMouseMove(lp); }
LRESULT HandleEraseBackground(Win32Form& f, WPARAM wp, LPARAM) {
  return f.OnEraseBackground(reinterpret_cast<HDC>(wp));
}
LRESULT HandleCommand(Win32Form&, WPARAM wp, LPARAM lp) {
  if (lp) win32::RouteCommand(reinterpret_cast<HWND>(lp), HIWORD(wp));
  return 0;
}
LRESULT HandleHScroll(Win32Form&, WPARAM, LPARAM lp) {
  if (lp) win32::RouteScroll(reinterpret_cast<HWND>(lp));
  return 0;
}
LRESULT HandleWindowPosChanged(Win32Form& f, WPARAM wp, LPARAM lp) { return f.OnWindowPosChanged(wp, lp); }
// The display turned off or on (a form's GL surface asked to be told), or
// the power source changed (the saver follows it).
LRESULT HandlePowerBroadcast(Win32Form& f, WPARAM wp, LPARAM lp) {
  if (wp == PBT_POWERSETTINGCHANGE && lp) win32::NoteDisplayPower(*reinterpret_cast<const POWERBROADCAST_SETTING*>(lp));
  win32::HearPowerSource(reinterpret_cast<HWND>(f.Handle()), wp, lp);
  return TRUE;
}
LRESULT HandleCtlColorStatic(Win32Form& f, WPARAM wp, LPARAM lp) {
  return f.OnCtlColorStatic(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
}

struct Route {
  UINT message;
  Handler handler;
};

constexpr Route kRoutes[] = {
    {WM_CLOSE, HandleClose},
    {WM_DESTROY, HandleDestroy},
    {WM_MOUSEMOVE, HandleMouseMove},
    {WM_ERASEBKGND, HandleEraseBackground},
    {WM_COMMAND, HandleCommand},
    {WM_HSCROLL, HandleHScroll},
    {WM_CTLCOLORSTATIC, HandleCtlColorStatic},
    {WM_WINDOWPOSCHANGED, HandleWindowPosChanged},
    {WM_POWERBROADCAST, HandlePowerBroadcast},
};

LRESULT CALLBACK FormWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* form = static_cast<Win32Form*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    form->OnNcCreate(hwnd);
    return DefWindowProcA(hwnd, msg, wp, lp);
  }
  Win32Form* form = FormOf(hwnd);
  if (!form) return DefWindowProcA(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    form->OnNcDestroy();
    return DefWindowProcA(hwnd, msg, wp, lp);
  }
  for (const Route& r : kRoutes)
    if (r.message == msg) return r.handler(*form, wp, lp);
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

namespace win32 {

Form* FormOfWindow(HWND hwnd) {
  if (!hwnd) return nullptr;
  char name[32] = {};
  if (!GetClassNameA(hwnd, name, sizeof name) || lstrcmpA(name, kFormClass) != 0) return nullptr;
  Win32Form* f = FormOf(hwnd);
  return f ? &f->Owner() : nullptr;
}

}  // namespace win32

std::unique_ptr<NativeForm> CreateNativeForm(Form& form) { return std::make_unique<Win32Form>(form); }

}  // namespace ui
