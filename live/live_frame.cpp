// The shared projection, surface set-up and frame of the live pattern.
#include "live/live_frame.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "engine/gradient.h"
#include "live/pattern_view.h"

namespace live {

void SetupProjection(const std::function<void()>& viewport) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  if (viewport) viewport();
  gluPerspective(45.0, 1.0, 0.1, 100.0);
  glMatrixMode(GL_MODELVIEW);
}

void SetupFormSurface(ui::GLSurface& surface, const ui::PixelFormat& format, const ui::Rect& viewport,
                      float clearGrey) {
  surface.Create(format);
  SetupProjection([&] { surface.Viewport(viewport.left, viewport.top, viewport.width, viewport.height); });
  glClearColor(clearGrey, clearGrey, clearGrey, 0.0f);
}

void SetupPreviewProjection() {
  SetupProjection({});
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

void SetupWindowProjection(int width, int height) {
  SetupProjection([&] { glViewport(0, 0, width, height); });
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

void ClearAndDrawPattern(bool clearDepth) {
  glClear(clearDepth ? GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT : GL_COLOR_BUFFER_BIT);
  DrawPatternFrame(Gradient::Pattern);
}

void ClearAndDrawPacedPattern(Gradient::PatternState& s, FramePacing& pacing, PaceTime now) {
  glClear(GL_COLOR_BUFFER_BIT);
  AdvancePacedPattern(s, pacing, now);
  DrawPattern(s);
}

void ClearAndDrawStillPattern(Gradient::PatternState& s) {
  glClear(GL_COLOR_BUFFER_BIT);
  DrawPattern(s);
}

void DrawLiveFrame(ui::GLSurface& surface) {
  ClearAndDrawPattern(false);
  surface.Swap();
}

void DrawLiveFrame(ui::GLWindow& window, bool clearDepth) {
  ClearAndDrawPattern(clearDepth);
  window.Swap();
}

}  // namespace live
