// The preview mode (switch P) on the windowing layer's embedded GL window: a
// child of the given window at its size (or, for 0, a topmost screen-sized
// window that takes the keys), the preview's own pattern, a frame per paint
// followed by a 40 ms pause, and a pump thread that invalidates the window
// every 40 ms until a key's password check says stop. Of the settings it
// reads only the view (mesh or per pixel) and writes none. The portable
// flags and loops are in funcs_preview.
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "host/funcs_preview.h"
#include "host/modes.h"
#include "live/live_frame.h"
#include "live/pattern_view.h"
#include "platform/gl_window.h"
#include "platform/native_registry.h"
#include "platform/password_hooks.h"
#include "settings/settings.h"

namespace {

constexpr const char* kPreviewTitle = "ZiZoraz";

class PreviewWindow : public ui::GLWindowEvents {
 public:
  ui::GLWindow& Window() { return *window_; }

  // Paint, then the pause that paces the preview.
  void GLWindowPaint() override {
    live::DrawLiveFrame(*window_, true);
    window_->PauseAfterFrame(funcs::kPreviewFrameMs);
  }
  void GLWindowKeyDown(int /*key*/) override {
    funcs::StopRequested = CheckSaverPassword(window_->Handle());
  }

 private:
  std::unique_ptr<ui::GLWindow> window_ = ui::CreateGLWindow(*this);
};

// The pump thread's body: the window's invalidate every 40 ms until
// StopRequested, then the window's end.
void PreviewPump(ui::GLWindow& window) {
  funcs::PreviewPumpLoop([&] { window.Invalidate(); },
                         [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); },
                         [&] { window.RequestEnd(); });
}

// One line on stderr for a preview that cannot start (nobody reads it when
// the display settings start the program; a user at a terminal does).
int CannotStart(ui::GLWindowResult r, uint32_t parent) {
  if (r == ui::GLWindowResult::NoDisplay)
    std::fprintf(stderr, "prismora: cannot open the display\n");
  else if (r == ui::GLWindowResult::NoSuchWindow)
    std::fprintf(stderr, "prismora: there is no window 0x%lx to preview in\n", static_cast<unsigned long>(parent));
  else
    std::fprintf(stderr, "prismora: cannot make the preview window in 0x%lx\n", static_cast<unsigned long>(parent));
  return 1;
}

}  // namespace

// Returns the exit status: 0 when the preview window is gone, 1 when it
// could not be made. The surface is never released: it ends with the process.
int RunPreview(uint32_t parentWindow) {
  funcs::PreviewMode = true;
  PreviewWindow preview;
  ui::GLWindow& window = preview.Window();
  const ui::GLWindowPlace place = parentWindow ? ui::GLWindowPlace::ChildOf : ui::GLWindowPlace::TopLevel;
  // The pattern is set up before the surface, as the window's creation does.
  funcs::InitPreviewPattern(Gradient::Pattern);
  const bool pixels = Settings::LoadPixelView(*Platform::MakeUserRegistry());
  live::UsePatternView(pixels ? live::PatternView::Pixels : live::PatternView::Mesh);
  const ui::GLWindowResult r = window.Create(place, parentWindow, ui::PixelFormat{32, 0}, kPreviewTitle);
  if (r != ui::GLWindowResult::Created) return CannotStart(r, parentWindow);
  live::SetupPreviewProjection();
  std::thread pump(PreviewPump, std::ref(window));
  window.Run();
  // The window is gone: let the pump finish its last sleep rather than leave
  // it calling a window that no longer exists while the process ends.
  funcs::StopRequested = true;
  pump.join();
  return 0;
}
