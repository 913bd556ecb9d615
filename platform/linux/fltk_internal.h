// What the FLTK files of the Linux windowing layer share among themselves:
// the form's window class, the X display, the cursor display count, and the
// Windows-colour and font conversions. Nothing here is seen by portable code.
#pragma once

// ui.h comes before the X headers: X11 defines None as a macro, which the
// layer's enumerations (BorderStyle::None) must not meet.
#include "platform/ui.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <X11/Xlib.h>

namespace ui::fltk {

// FLTK's connection to the X server, opened on first use.
Display* TheDisplay();

// The top-level FLTK window behind a form. Events reach the form through the
// application's event dispatch (fltk_app.cpp), which sees them before the
// widgets do: that is the form's key preview.
class FormWindow : public Fl_Double_Window {
 public:
  FormWindow(Form& form, int width, int height);
  Form& Owner() { return form_; }

 private:
  Form& form_;
};

// The form a window belongs to, or null for windows that are not forms
// (message boxes, menus).
Form* FormOf(Fl_Window* window);
// The FLTK window of a form's native object.
FormWindow* WindowOf(Form& form);
// The Windows virtual-key code of an FLTK key (letters as upper case).
int VirtualKeyOf(int flKey);

// True while the cursor's display count is below 0: our windows then show an
// invisible cursor. ApplyCursor sets the right cursor on one shown window.
bool CursorHidden();
void ApplyCursor(Fl_Window* window);

// Where a window of this size stands centred on the primary monitor.
Point CentredOnPrimary(int width, int height);

// A full-screen form holds the keyboard grab (without a window manager
// nothing else would hand it the keys). A modal box that comes up over it
// borrows the grab, so that its keys reach the box and the form counts as
// inactive meanwhile, and gives it back when it closes. Lend returns false
// when no form holds the grab.
bool LendKeyboardGrab(Fl_Window& box);
void ReturnKeyboardGrab();

// A Windows colour value (red in the low byte) as an FLTK colour.
Fl_Color ToFlColour(Colour colour);
// The FLTK font index for a face and weight; fontconfig stands in a bold
// sans-serif where the face is missing.
Fl_Font ToFlFont(const Font& font);

}  // namespace ui::fltk
