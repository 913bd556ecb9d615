// The application's error message box on FLTK: the error icon, the message,
// an OK button (Enter or Escape close it), titled with the application title,
// centred on the screen and modal. It takes the keyboard focus itself, since
// without a window manager nobody would hand it over, and over a full-screen
// saver it borrows the saver's keyboard grab while it is up.
#include "platform/linux/fltk_internal.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <algorithm>

namespace ui {

namespace {

constexpr int kMargin = 12, kIconSize = 44, kButtonWidth = 80, kButtonHeight = 26;

void CloseBox(Fl_Widget* button, void*) { button->window()->hide(); }

void TakeFocusIfMapped(Fl_Window& window) {
  Display* d = fltk::TheDisplay();
  XSync(d, False);
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(d, fl_xid(&window), &attributes) && attributes.map_state == IsViewable)
    XSetInputFocus(d, fl_xid(&window), RevertToParent, CurrentTime);
}

}  // namespace

void PlatformMessageBox(const std::string& title, const std::string& message) {
  fltk::TheDisplay();
  fl_font(FL_HELVETICA, 14);
  int textWidth = 360, textHeight = 0;
  fl_measure(message.c_str(), textWidth, textHeight);  // wraps at 360 pixels
  textWidth += 8;  // the label's own inner margins
  const int width = std::max(300, textWidth + kIconSize + 3 * kMargin);
  const int textArea = std::max(textHeight, kIconSize);
  const int height = textArea + kButtonHeight + 3 * kMargin;

  Fl_Group::current(nullptr);
  Fl_Double_Window box(width, height);
  box.copy_label(title.c_str());
  Fl_Box icon(kMargin, kMargin, kIconSize, kIconSize, "!");
  icon.box(FL_THIN_UP_BOX);
  icon.color(FL_WHITE);
  icon.labelfont(FL_TIMES_BOLD);
  icon.labelsize(34);
  icon.labelcolor(FL_RED);
  Fl_Box text(2 * kMargin + kIconSize, kMargin, width - 3 * kMargin - kIconSize, textArea);
  text.copy_label(message.c_str());
  text.labelsize(14);
  text.align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_WRAP);
  Fl_Return_Button ok(width - kMargin - kButtonWidth, height - kMargin - kButtonHeight, kButtonWidth,
                      kButtonHeight, "OK");
  ok.callback(CloseBox);
  box.end();
  box.set_modal();
  const Point at = fltk::CentredOnPrimary(width, height);
  box.position(at.x, at.y);
  box.show();
  TakeFocusIfMapped(box);
  // Over a full-screen saver: its keyboard grab would keep the keys from us.
  const bool borrowed = fltk::LendKeyboardGrab(box);
  while (box.shown()) Fl::wait();
  if (borrowed) fltk::ReturnKeyboardGrab();
}

}  // namespace ui
