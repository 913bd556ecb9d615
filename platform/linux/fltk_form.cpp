// Forms on FLTK: one double-buffered top-level window per form. A borderless
// stay-on-top form (the saver) is an override-redirect window that covers the
// screen and takes the keyboard focus and a keyboard grab itself, so that it
// is the active window with or without a window manager. Bordered forms keep
// the size they were given; the window manager draws the frame.
#include "platform/linux/fltk_internal.h"

#include <FL/x.H>

// X11's None (no window) would turn BorderStyle::None into nonsense here.
#undef None

namespace ui {

namespace fltk {

namespace {

// The outer size the forms were designed with includes a Windows frame of
// this size (4 px each side, a 23 px caption); the client keeps the rest.
constexpr int kFrameWidth = 8;
constexpr int kFrameHeight = 31;

void CloseBoxCallback(Fl_Widget* widget, void*) {
  // FLTK also calls this for Escape; Escape belongs to the form's key handler.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  static_cast<FormWindow*>(widget)->Owner().NativeCloseRequest();
}

bool IsOurWindowOrChild(Display* d, Window candidate, Window ours) {
  // The focus may rest on a sub-window (the GL drawable) of the form.
  while (candidate != 0 && candidate != PointerRoot) {
    if (candidate == ours) return true;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, candidate, &root, &parent, &children, &count)) return false;
    if (children) XFree(children);
    if (parent == root) return false;
    candidate = parent;
  }
  return false;
}

class FltkForm;
// The form holding the keyboard grab, and whether a modal box has it meanwhile.
FltkForm* grabHolder = nullptr;
bool grabLent = false;

class FltkForm : public NativeForm {
 public:
  explicit FltkForm(Form& form)
      : form_(form), window_(new FormWindow(form, DesignWidth(form), DesignHeight(form))) {}
  ~FltkForm() override {
    ReleaseGrab();
    Fl::delete_widget(window_);  // deferred: we may be inside one of its callbacks
  }

  NativeHandle Handle() const override { return window_->shown() ? fl_xid(window_) : 0; }
  void Show() override;
  void Hide() override {
    ReleaseGrab();
    window_->hide();
  }
  bool Visible() const override { return window_->shown() && window_->visible(); }
  void Close() override { form_.NativeCloseRequest(); }
  void Destroy() override { Hide(); }
  void SetOuterSize(int width, int height) override;
  void SetBounds(const Rect& outer) override;
  void SetCaption(const std::string& caption) override { window_->copy_label(caption.c_str()); }
  int ClientWidth() const override { return window_->w(); }
  int ClientHeight() const override { return window_->h(); }
  bool Active() const override;
  FormWindow* Window() { return window_; }
  void TakeKeyboard();

 private:
  static int DesignWidth(const Form& f) { return f.Design().clientWidth > 0 ? f.Design().clientWidth : 100; }
  static int DesignHeight(const Form& f) { return f.Design().clientHeight > 0 ? f.Design().clientHeight : 100; }
  bool CoversScreen() const {
    return form_.Design().border == BorderStyle::None && form_.Design().stayOnTop;
  }
  void PrepareForShow();
  void PlaceExactly();
  void ReleaseGrab();

  Form& form_;
  FormWindow* window_;
  bool grabbed_ = false;
  bool placed_ = false;  // SetBounds chose the position: no centring
  Rect bounds_;          // the client rectangle SetBounds asked for
};

void FltkForm::PrepareForShow() {
  const FormDesign& design = form_.Design();
  if (design.border == BorderStyle::None) window_->border(0);
  // Without a window manager's help only an override-redirect window stays
  // above the others and can be placed exactly over the screen.
  if (CoversScreen()) window_->set_override();
  if (design.border == BorderStyle::Dialog) window_->set_non_modal();
  if (design.border != BorderStyle::None)
    window_->size_range(window_->w(), window_->h(), window_->w(), window_->h());
  if (design.screenCentre && !placed_) {
    const Point at = CentredOnPrimary(window_->w(), window_->h());
    window_->position(at.x, at.y);
  }
  window_->copy_label(design.caption.c_str());
}

void FltkForm::Show() {
  if (!window_->shown()) PrepareForShow();
  window_->show();
  if (placed_) PlaceExactly();
  ApplyCursor(window_);
  Display* d = TheDisplay();
  XSync(d, False);  // the map request has reached the server
  if (CoversScreen()) TakeKeyboard();
}

void FltkForm::TakeKeyboard() {
  // Nobody else hands an override-redirect window the focus: take it, and
  // grab the keyboard so that keys reach the saver wherever the focus goes.
  // FLTK leaves such a window unnamed; the name lets tools find it.
  Display* d = TheDisplay();
  const ::Window xid = fl_xid(window_);
  XStoreName(d, xid, form_.Design().caption.c_str());
  XRaiseWindow(d, xid);
  XSetInputFocus(d, xid, RevertToParent, CurrentTime);
  grabbed_ = XGrabKeyboard(d, xid, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
  if (grabbed_) grabHolder = this;
  XFlush(d);
}

void FltkForm::ReleaseGrab() {
  if (!grabbed_) return;
  grabbed_ = false;
  if (grabHolder == this) grabHolder = nullptr, grabLent = false;
  XUngrabKeyboard(TheDisplay(), CurrentTime);
  XFlush(TheDisplay());
}

void FltkForm::SetOuterSize(int width, int height) {
  if (form_.Design().border != BorderStyle::None) {
    width -= kFrameWidth;
    height -= kFrameHeight;
  }
  if (width < 1 || height < 1) return;
  window_->size_range(1, 1);
  window_->size(width, height);
  if (form_.Design().border != BorderStyle::None) window_->size_range(width, height, width, height);
}

void FltkForm::SetBounds(const Rect& outer) {
  Rect client = outer;
  if (form_.Design().border != BorderStyle::None) {
    client.width -= kFrameWidth;
    client.height -= kFrameHeight;
  }
  if (client.width < 1 || client.height < 1) return;
  placed_ = true;
  bounds_ = client;
  window_->size_range(1, 1);
  window_->resize(client.left, client.top, client.width, client.height);
  if (window_->shown()) PlaceExactly();
}

// FLTK keeps a new top-level window within one Xinerama head (on a desk of
// 1024 and 1280 pixels side by side, a desktop-wide window at the origin was
// mapped at +1024+0); the X window is put back where it was asked to be.
void FltkForm::PlaceExactly() {
  const Rect& b = bounds_;
  window_->resize(b.left, b.top, b.width, b.height);  // FLTK's idea of the window
  XMoveResizeWindow(TheDisplay(), fl_xid(window_), b.left, b.top, static_cast<unsigned>(b.width),
                    static_cast<unsigned>(b.height));
}

bool FltkForm::Active() const {
  if (!window_->shown()) return false;
  if (grabbed_ && !grabLent) return true;
  Display* d = TheDisplay();
  ::Window focus = 0;
  int revert = 0;
  XGetInputFocus(d, &focus, &revert);
  return IsOurWindowOrChild(d, focus, fl_xid(window_));
}

}  // namespace

// A grab taken by the client that holds the keyboard grab moves it to the
// new window.
bool LendKeyboardGrab(Fl_Window& box) {
  if (!grabHolder || grabLent) return false;
  Display* d = TheDisplay();
  grabLent = XGrabKeyboard(d, fl_xid(&box), False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
  XFlush(d);
  return grabLent;
}

void ReturnKeyboardGrab() {
  if (!grabLent) return;
  grabLent = false;
  if (grabHolder && grabHolder->Window()->shown()) grabHolder->TakeKeyboard();
}

FormWindow::FormWindow(Form& form, int width, int height) : Fl_Double_Window(width, height), form_(form) {
  end();  // the constructor opened the window as the current group
  color(ToFlColour(form.Design().colour));
  callback(CloseBoxCallback);
}

Form* FormOf(Fl_Window* window) {
  auto* fw = dynamic_cast<FormWindow*>(window);
  return fw ? &fw->Owner() : nullptr;
}

FormWindow* WindowOf(Form& form) { return static_cast<FltkForm&>(form.Native()).Window(); }

int VirtualKeyOf(int key) {
  if (key >= 'a' && key <= 'z') return key - 'a' + 'A';
  if ((key >= '0' && key <= '9') || key == ' ') return key;
  if (key > FL_F && key <= FL_F + 24) return 0x70 + (key - FL_F - 1);  // VK_F1..
  switch (key) {
    case FL_Escape: return VK_ESCAPE_KEY;
    case FL_Enter: case FL_KP_Enter: return VK_RETURN_KEY;
    case FL_BackSpace: return 0x08;
    case FL_Tab: return 0x09;
    case FL_Shift_L: case FL_Shift_R: return 0x10;
    case FL_Control_L: case FL_Control_R: return 0x11;
    case FL_Alt_L: case FL_Alt_R: return 0x12;
    case FL_Pause: return 0x13;
    case FL_Page_Up: return 0x21;
    case FL_Page_Down: return 0x22;
    case FL_End: return 0x23;
    case FL_Home: return 0x24;
    case FL_Left: return 0x25;
    case FL_Up: return 0x26;
    case FL_Right: return 0x27;
    case FL_Down: return 0x28;
    case FL_Insert: return 0x2D;
    case FL_Delete: return 0x2E;
    default: break;
  }
  // Any other key still counts as a key: keep its low byte, never 0.
  return (key & 0xFF) ? (key & 0xFF) : 0xFF;
}

}  // namespace fltk

std::unique_ptr<NativeForm> CreateNativeForm(Form& form) {
  fltk::TheDisplay();  // before FLTK opens it on its own terms
  return std::make_unique<fltk::FltkForm>(form);
}

}  // namespace ui
