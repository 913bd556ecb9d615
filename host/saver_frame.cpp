// The saver's frame, once per tick, on one monitor or several.
#include "host/saver_frame.h"

#include <GL/gl.h>

#include "engine/gradient.h"
#include "live/live_frame.h"
#include "live/pattern_view.h"

void DrawSaverFrame(ui::GLSurface& surface, const std::vector<ui::Rect>& viewports, live::FramePacing& pacing,
                    live::PaceTime now) {
  if (viewports.size() <= 1) {
    live::ClearAndDrawPacedPattern(Gradient::Pattern, pacing, now);
    surface.Swap();
    return;
  }
  glClear(GL_COLOR_BUFFER_BIT);  // the whole window, gaps between monitors included
  live::AdvancePacedPattern(Gradient::Pattern, pacing, now);
  // The projection (aspect fixed at 1) does not depend on the viewport, so
  // each monitor only needs its own viewport for the same stretched mesh
  // (or the pixels of a picture of its own size).
  // The mesh overfills its viewport a little, and software rasterisers let
  // a row of it show past the edge: a scissor on the viewport keeps each
  // monitor's picture off its neighbour.
  glEnable(GL_SCISSOR_TEST);
  for (const ui::Rect& v : viewports) {
    surface.Viewport(v.left, v.top, v.width, v.height);
    GLint drawn[4] = {0, 0, 0, 0};  // the viewport in the drawable's coordinates
    glGetIntegerv(GL_VIEWPORT, drawn);
    glScissor(drawn[0], drawn[1], drawn[2], drawn[3]);
    live::DrawPattern(Gradient::Pattern);
  }
  glDisable(GL_SCISSOR_TEST);  // the next clear covers the whole window
  surface.Swap();
}
