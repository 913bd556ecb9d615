// The forms' controls as Win32 child windows: static texts, the common
// controls' track bar, check box, push buttons, edit box, and the save
// dialog's drive combo box, folder list and file list. Each mirrors the state
// that the portable Control pushes down and reports the user's actions, which
// arrive as notifications at the parent form (routed here from win32_window).
// A drop-down list of fixed choices is the same combo box as the drive list.
// The controls are Unicode windows and their text goes through the wide
// functions: a folder or file name outside the ANSI code page is shown and
// typed as it is.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "platform/win32/win32_internal.h"
#include "platform/win32/win32_text.h"

namespace ui {
namespace {

// The dropped-down list of a combo box; the closed box takes the height its
// font needs.
constexpr int kDropDownHeight = 160;

using WinText::Utf8;
using WinText::Wide;

struct WindowSpec {
  const wchar_t* className;
  DWORD style, exStyle;
};

WindowSpec SpecFor(const ControlDesign& d) {
  constexpr DWORD child = WS_CHILD | WS_VISIBLE;
  switch (d.kind) {
    case ControlKind::Label:
      return {L"STATIC", child | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0};
    case ControlKind::TrackBar:
      // A tick at every position, below the bar; the thumb is sized to the
      // bar's low design height so that thumb and ticks both show.
      return {TRACKBAR_CLASSW, child | WS_TABSTOP | TBS_HORZ | TBS_BOTTOM | TBS_AUTOTICKS | TBS_FIXEDLENGTH, 0};
    case ControlKind::CheckBox:
      return {L"BUTTON", child | WS_TABSTOP | BS_CHECKBOX | BS_LEFTTEXT, 0};
    case ControlKind::Button:
      return {L"BUTTON", child | WS_TABSTOP | (d.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0};
    case ControlKind::Edit:
      return {L"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::ChoiceList:
    case ControlKind::DriveList:
      return {L"COMBOBOX", child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
    case ControlKind::DirectoryList:
    case ControlKind::FileList:
      return {L"LISTBOX", child | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE};
  }
  return {L"STATIC", child, 0};
}

class Win32Control : public NativeControl {
 public:
  explicit Win32Control(Control& control) : control_(control), font_(control.Design().font) {
    const ControlDesign& d = control.Design();
    const WindowSpec shape = SpecFor(d);
    const Rect& b = d.bounds;
    const bool combo = d.kind == ControlKind::DriveList || d.kind == ControlKind::ChoiceList;
    const int height = combo ? b.height + kDropDownHeight : b.height;
    hwnd_ = CreateWindowExW(shape.exStyle, shape.className, Wide(d.text).c_str(), shape.style, b.left, b.top, b.width,
                            height, reinterpret_cast<HWND>(control.Owner().Handle()), nullptr,
                            win32::Instance(), nullptr);
    if (!hwnd_) return;
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(win32::FontFor(font_)), FALSE);
    if (d.kind == ControlKind::TrackBar) {
      SendMessageA(hwnd_, TBM_SETTICFREQ, 1, 0);
      SendMessageA(hwnd_, TBM_SETTHUMBLENGTH, static_cast<WPARAM>(std::max(b.height - 4, 6)), 0);
    }
    FitLabel();
  }

  ~Win32Control() override {
    if (hwnd_ && IsWindow(hwnd_)) {
      SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
      DestroyWindow(hwnd_);
    }
  }

  void SetText(const std::string& text) override {
    pushing_ = true;  // an edit box echoes the change as EN_CHANGE
    SetWindowTextW(hwnd_, Wide(text).c_str());
    pushing_ = false;
    FitLabel();
  }
  void SetFont(const Font& font) override {
    font_ = font;
    SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(win32::FontFor(font_)), FALSE);
    FitLabel();
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  void SetRange(int min, int max) override {
    SendMessageA(hwnd_, TBM_SETRANGEMIN, FALSE, min);
    SendMessageA(hwnd_, TBM_SETRANGEMAX, TRUE, max);
  }
  void SetPosition(int position) override { SendMessageA(hwnd_, TBM_SETPOS, TRUE, position); }
  void SetChecked(bool checked) override {
    SendMessageA(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  void SetItems(const std::vector<std::string>& items, int selected) override;
  void SetEnabled(bool enabled) override { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
  void Focus() override { SetFocus(hwnd_); }

  // ---- notifications from the parent form ----
  void Command(int code);
  void Scrolled() {
    control_.NativePositionChanged(static_cast<int>(SendMessageA(hwnd_, TBM_GETPOS, 0, 0)));
  }
  const Font& CurrentFont() const { return font_; }

 private:
  void FillList(UINT resetMsg, UINT addMsg, UINT selectMsg, const std::vector<std::string>& shown, int selected);
  std::vector<std::string> Indented(const std::vector<std::string>& items, int current) const;
  std::wstring WideText() const {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
  }
  int ListSelection(UINT msg) const { return static_cast<int>(SendMessageA(hwnd_, msg, 0, 0)); }
  void FitLabel();

  Control& control_;
  Font font_;
  HWND hwnd_ = nullptr;
  bool pushing_ = false;
  std::vector<std::string> shown_;  // the list's current strings
};

// Labels size themselves to their text, as auto-sized static texts do: a
// caption longer than the designed width ("1024x768-Your Desktop") is shown
// whole instead of cut. They never shrink below the designed width.
void Win32Control::FitLabel() {
  if (!hwnd_ || control_.Design().kind != ControlKind::Label) return;
  const std::wstring text = WideText();
  // A memory DC: the static's own DC would be its parent's (the class has
  // CS_PARENTDC), and that one carries the form's OpenGL surface.
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, win32::FontFor(font_));
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  DeleteDC(dc);
  const Rect& b = control_.Design().bounds;
  const int width = std::max<int>(b.width, extent.cx + 2);
  RECT old{};
  GetWindowRect(hwnd_, &old);
  if (old.right - old.left == width) return;
  // Resized without the system's redraw, which under Wine blocks for good once
  // the form carries an OpenGL surface; the two repaints are asked for here.
  SetWindowPos(hwnd_, nullptr, 0, 0, width, b.height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | SWP_NOCOPYBITS);
  HWND parent = GetParent(hwnd_);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&old), 2);
  InvalidateRect(parent, &old, TRUE);  // where a longer caption stood
  InvalidateRect(hwnd_, nullptr, TRUE);
}

// The folder list shows a tree: the ancestors indented by depth, the
// subfolders one level under the current folder.
std::vector<std::string> Win32Control::Indented(const std::vector<std::string>& items, int current) const {
  std::vector<std::string> shown;
  for (size_t i = 0; i < items.size(); ++i) {
    const int depth = static_cast<int>(i) <= current ? static_cast<int>(i) : current + 1;
    shown.push_back(std::string(static_cast<size_t>(2 * depth), ' ') + items[i]);
  }
  return shown;
}

void Win32Control::SetItems(const std::vector<std::string>& items, int selected) {
  const ControlKind kind = control_.Design().kind;
  if (kind == ControlKind::DriveList || kind == ControlKind::ChoiceList) {
    FillList(CB_RESETCONTENT, CB_ADDSTRING, CB_SETCURSEL, items, selected);
  } else if (kind == ControlKind::DirectoryList) {
    FillList(LB_RESETCONTENT, LB_ADDSTRING, LB_SETCURSEL, Indented(items, selected), selected);
  } else {
    FillList(LB_RESETCONTENT, LB_ADDSTRING, LB_SETCURSEL, items, selected);
  }
}

void Win32Control::FillList(UINT resetMsg, UINT addMsg, UINT selectMsg, const std::vector<std::string>& shown,
                            int selected) {
  // Selecting a file re-sends the same list: keep the scroll position then.
  if (shown != shown_) {
    shown_ = shown;
    SendMessageA(hwnd_, resetMsg, 0, 0);
    for (const std::string& s : shown_) SendMessageW(hwnd_, addMsg, 0, reinterpret_cast<LPARAM>(Wide(s).c_str()));
  }
  SendMessageA(hwnd_, selectMsg, static_cast<WPARAM>(selected), 0);
}

void Win32Control::Command(int code) {
  switch (control_.Design().kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
      if (code == BN_CLICKED) control_.NativeClicked();
      break;
    case ControlKind::Edit:
      if (code == EN_CHANGE && !pushing_) control_.NativeTextChanged(Utf8(WideText()));
      break;
    case ControlKind::ChoiceList:
    case ControlKind::DriveList:
      if (code == CBN_SELCHANGE) control_.NativeItemChosen(ListSelection(CB_GETCURSEL));
      break;
    case ControlKind::DirectoryList:  // a folder is entered by a double click
      if (code == LBN_DBLCLK) control_.NativeItemChosen(ListSelection(LB_GETCURSEL));
      break;
    case ControlKind::FileList:  // a file is chosen by selecting it
      if (code == LBN_SELCHANGE) control_.NativeItemChosen(ListSelection(LB_GETCURSEL));
      break;
    default:
      break;
  }
}

Win32Control* ControlOf(HWND hwnd) {
  return reinterpret_cast<Win32Control*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

}  // namespace

namespace win32 {

void RouteCommand(HWND control, int notifyCode) {
  if (Win32Control* c = ControlOf(control)) c->Command(notifyCode);
}

void RouteScroll(HWND control) {
  if (Win32Control* c = ControlOf(control)) c->Scrolled();
}

HBRUSH StaticColours(HWND control, HDC dc, COLORREF background, HBRUSH backgroundBrush) {
  Win32Control* c = ControlOf(control);
  if (!c) return nullptr;
  SetTextColor(dc, c->CurrentFont().colour);
  SetBkColor(dc, background);
  return backgroundBrush;
}

HFONT FontFor(const Font& font) {
  static std::map<std::tuple<std::string, int, bool>, HFONT> fonts;
  const auto key = std::make_tuple(font.face, font.height, font.bold);
  auto it = fonts.find(key);
  if (it != fonts.end()) return it->second;
  // A negative height asks for the character height in pixels; the Russian
  // character set is the one the forms were designed with.
  HFONT f = CreateFontA(-font.height, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                        RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_SWISS, font.face.c_str());
  fonts.emplace(key, f);
  return f;
}

}  // namespace win32

std::unique_ptr<NativeControl> CreateNativeControl(Control& control) {
  return std::make_unique<Win32Control>(control);
}

}  // namespace ui
