// The saver's frame, once per tick, on one monitor or several.
#include "host/saver_frame.h"

#include <GL/gl.h>

#include "engine/gradient.h"

void DrawSaverFrame(ui::GLSurface& surface, const std::vector<ui::Rect>& viewports) {
  glClear(GL_COLOR_BUFFER_BIT);  // the whole window, gaps between monitors included
  if (viewports.size() <= 1) {
    Gradient::DrawFrame(Gradient::Pattern);
  } else {
    Gradient::DriftFrame(Gradient::Pattern);
    Gradient::SweepFrame(Gradient::Pattern);
    // The projection (aspect fixed at 1) does not depend on the viewport, so
    // each monitor only needs its own viewport for the same stretched mesh.
    for (const ui::Rect& v : viewports) {
      surface.Viewport(v.left, v.top, v.width, v.height);
      Gradient::SubmitMesh(Gradient::Pattern);
    }
  }
  surface.Swap();
}
