// A build without EGL has no offscreen context.
#include "platform/offscreen_gl.h"

namespace ui {

std::unique_ptr<OffscreenGL> OpenOffscreenGL(std::string& why) {
  why = "this program was built without EGL";
  return nullptr;
}

}  // namespace ui
