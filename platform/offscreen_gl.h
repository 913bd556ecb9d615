// An OpenGL context with no window shown, current on the calling thread, for
// drawing into framebuffer objects and reading the pixels back (the wallpaper
// command's gpu engine). Linux: EGL without a window system (Mesa's
// surfaceless platform, else the default display) on a 1 x 1 pbuffer;
// Windows: the context of a hidden window of its own.
#pragma once

#include <memory>
#include <string>

namespace ui {

class OffscreenGL {
 public:
  virtual ~OffscreenGL() = default;  // the context made non-current and deleted
};

// The context, current; null, with one line in `why`, when there is none.
std::unique_ptr<OffscreenGL> OpenOffscreenGL(std::string& why);

}  // namespace ui
