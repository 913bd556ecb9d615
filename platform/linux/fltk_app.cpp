// The Linux application services on FLTK and Xlib: the message loop, the
// cursor position and visibility, and the X server's own screen saver.
// Windows, controls, timers, GL surfaces, the message box and the monitors
// have files of their own.
#include "platform/linux/fltk_internal.h"

#include <FL/x.H>
#include <X11/extensions/scrnsaver.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

namespace ui {

namespace fltk {

namespace {

bool quitRequested = false;
int cursorCount = 0;  // the cursor shows while this is >= 0, as on Windows

}  // namespace

Display* TheDisplay() {
  if (fl_display) return fl_display;
  // Without a display there is nothing this program can show: say so in one
  // line and end, as FLTK would (with a less helpful message).
  Display* d = XOpenDisplay(nullptr);
  if (!d) {
    std::fprintf(stderr, "prismora: cannot open the X display\n");
    std::exit(1);
  }
  fl_open_display(d);
  return fl_display;
}

bool CursorHidden() { return cursorCount < 0; }

void ApplyCursor(Fl_Window* window) {
  if (window && window->shown()) window->cursor(CursorHidden() ? FL_CURSOR_NONE : FL_CURSOR_DEFAULT);
}

Fl_Color ToFlColour(Colour colour) {
  return fl_rgb_color(static_cast<uchar>(colour & 0xFF), static_cast<uchar>((colour >> 8) & 0xFF),
                      static_cast<uchar>((colour >> 16) & 0xFF));
}

Fl_Font ToFlFont(const Font& font) {
  // FLTK's Xft font names start with a style letter: ' ' regular, 'B' bold.
  static std::map<std::string, Fl_Font> assigned;
  const std::string name = (font.bold ? "B" : " ") + font.face;
  auto it = assigned.find(name);
  if (it != assigned.end()) return it->second;
  const Fl_Font index = static_cast<Fl_Font>(FL_FREE_FONT + assigned.size());
  Fl::set_font(index, strdup(name.c_str()));  // FLTK keeps the pointer
  assigned.emplace(name, index);
  return index;
}

namespace {

int DispatchEvent(int event, Fl_Window* window) {
  Form* form = FormOf(window);
  if (!form) return Fl::handle_(event, window);
  if (event == FL_KEYDOWN) {
    // Key preview: the form sees the key before the focused control.
    form->NativeKeyDown(VirtualKeyOf(Fl::event_key()));
    if (form->Freed() || !window->shown()) return 1;
  } else if (event == FL_MOVE || event == FL_DRAG || event == FL_ENTER) {
    form->NativeMouseMove(Fl::event_x(), Fl::event_y());
    if (form->Freed() || !window->shown()) return 1;
  }
  return Fl::handle_(event, window);
}

}  // namespace

}  // namespace fltk

using fltk::TheDisplay;

void PlatformInitialize() {
  // Mesa's software renderer allocates and frees blocks of a few hundred
  // kilobytes to megabytes every frame. With glibc's defaults each one is a
  // fresh mmap, faulted in page by page (about 1,000 faults a frame); kept on
  // the heap they cost nothing, which halves the main thread's share of a
  // frame (measured with bench_frame).
  mallopt(M_MMAP_THRESHOLD, 16 << 20);
  mallopt(M_TRIM_THRESHOLD, 32 << 20);
  // The display is opened by the first call that needs it, so that a mode
  // without windows never depends on one.
  Fl::event_dispatch(fltk::DispatchEvent);
  fltk::quitRequested = false;
}

void PlatformRunLoop() {
  while (!fltk::quitRequested && Fl::first_window()) Fl::wait(1e20);
}

void PlatformQuit() {
  fltk::quitRequested = true;
  Fl::awake();
}

std::chrono::steady_clock::time_point Now() { return std::chrono::steady_clock::now(); }

Point CursorPos() {
  Display* d = TheDisplay();
  Window root = 0, child = 0;
  int rootX = 0, rootY = 0, winX = 0, winY = 0;
  unsigned int mask = 0;
  XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rootX, &rootY, &winX, &winY, &mask);
  return Point{rootX, rootY};
}

int ShowCursor(bool show) {
  fltk::cursorCount += show ? 1 : -1;
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w))
    if (fltk::FormOf(w)) fltk::ApplyCursor(w);
  return fltk::cursorCount;
}

// X11 scales no window for another: the designed pixels stay as they are.
void ScaleDesignedWindowsBySystem() {}

void SetScreenSaverRunning(bool running) {
  // Our counterpart of telling the system that a saver runs: the X server's
  // own blanking and power saving are held off while we draw.
  Display* d = TheDisplay();
  int eventBase = 0, errorBase = 0;
  if (XScreenSaverQueryExtension(d, &eventBase, &errorBase))
    XScreenSaverSuspend(d, running ? True : False);
  else if (running)
    XResetScreenSaver(d);
  XFlush(d);
}

}  // namespace ui
