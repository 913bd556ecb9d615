// A form's OpenGL surface on GLX: a child X window of the form's window over
// the surface's area, with a visual chosen for the pixel format, and one
// context made current on the main thread until the form releases it. The
// child selects no input, so keys and pointer motion reach the form; it
// follows its visibility, which FLTK's loop hands on to it, and its monitor's
// power, so that the saver draws nothing nobody sees.
#include "platform/linux/fltk_internal.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/linux/glx_context.h"
#include "platform/linux/x11_gl_window.h"
#include "platform/linux/x11_visibility.h"

namespace ui {

namespace {

class GlxSurface : public NativeSurface {
 public:
  GlxSurface(Form& form, Rect area) : form_(form), area_(area) {}
  ~GlxSurface() override { Release(); }

  void Create(const PixelFormat& format) override {
    Release();
    const ::Window parent = static_cast<::Window>(form_.Handle());
    if (!parent) return;  // not shown: there is nothing to draw on
    Display* display = fltk::TheDisplay();
    XVisualInfo* visual = glx::ChooseVisual(display, DefaultScreen(display), format.colourBits, format.depthBits);
    window_ = glx::CreateDrawableWindow(display, parent, visual, area_.left, area_.top, area_.width,
                                        area_.height, VisibilityChangeMask | StructureNotifyMask);
    context_ = glx::CreateContext(display, visual);
    if (visual) XFree(visual);
    XSync(display, False);
    if (window_) Watch(display);
    // A failed choice leaves no context: later GL calls draw nothing.
    glx::MakeCurrent(display, window_, context_);
  }

  void Viewport(int x, int y, int width, int height) override {
    // From the form's bottom-left origin to the drawable's.
    const int drawableBottom = form_.ClientHeight() - (area_.top + area_.height);
    glViewport(x - area_.left, y - drawableBottom, width, height);
  }

  void Swap() override { glx::SwapCurrent(); }

  void Release() override {
    Unwatch();
    if (context_) {
      glx::Release(fltk::TheDisplay(), context_);
      context_ = nullptr;
    }
    if (window_) {
      // The server destroyed it with the form's window if that went first.
      if (form_.Handle()) XDestroyWindow(fltk::TheDisplay(), window_);
      window_ = 0;
    }
  }

  bool Created() const override { return context_ != nullptr; }
  bool Seen() override { return window_ && visibility_.Seen(std::chrono::steady_clock::now()); }

 private:
  // The surfaces that follow their visibility. FLTK removes a system
  // handler by its function alone: one handler serves them all.
  static std::vector<GlxSurface*>& Watching() {
    static std::vector<GlxSurface*> surfaces;
    return surfaces;
  }
  void Watch(Display* display) {
    visibility_.Watch(display, window_, 0);
    if (Watching().empty()) Fl::add_system_handler(&GlxSurface::OnEvent, nullptr);
    Watching().push_back(this);
  }
  void Unwatch() {
    auto& w = Watching();
    const auto found = std::find(w.begin(), w.end(), this);
    if (found == w.end()) return;
    w.erase(found);
    if (w.empty()) Fl::remove_system_handler(&GlxSurface::OnEvent);
  }
  // Every event FLTK reads passes here first; FLTK goes on with it.
  static int OnEvent(void* event, void*) {
    for (GlxSurface* s : Watching()) s->visibility_.Note(*static_cast<const XEvent*>(event));
    return 0;
  }

  Form& form_;
  Rect area_;
  ::Window window_ = 0;
  GLXContext context_ = nullptr;
  x11::WindowVisibility visibility_;
};

}  // namespace

std::unique_ptr<NativeSurface> CreateNativeSurface(Form& form, Rect area) {
  return std::make_unique<GlxSurface>(form, area);
}

}  // namespace ui
