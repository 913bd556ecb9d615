// The live pattern's OpenGL steps that the drawing windows share: the
// projection (a 45 degree field of view with the aspect fixed at 1, so the
// square mesh is stretched to the viewport), the surface set-up of a form,
// and one frame. The platform's GLSurface makes the context; these only make
// GL calls on the context that is current.
#pragma once

#include <chrono>
#include <functional>

#include "platform/ui.h"

namespace funcs {

// Projection matrix: identity, then `viewport` (may be empty: a new
// context's viewport is its whole drawable), then the perspective; leaves
// the model-view matrix current.
void SetupProjection(const std::function<void()>& viewport);

// A form's surface set-up: pixel format and context made current, the
// projection with the viewport (form client coordinates, origin bottom-left)
// and the clear colour (a grey level, alpha 0).
void SetupFormSurface(ui::GLSurface& surface, const ui::PixelFormat& format, const ui::Rect& viewport,
                      float clearGrey);

// One frame of the live pattern: clear the colour buffer, DrawFrame on the
// process-wide pattern state, swap the buffers.
void DrawLiveFrame(ui::GLSurface& surface);

// A frames-per-second line on stderr each second while the environment
// variable PRISMORA_FPS_LOG is 1: a measuring aid that changes nothing else.
class FrameRateLog {
 public:
  FrameRateLog();
  void Frame();

 private:
  bool enabled_;
  int frames_ = 0;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace funcs
