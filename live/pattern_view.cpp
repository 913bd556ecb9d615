// The live frame's choice between the mesh and the per-pixel view, and the
// fall-back from the one to the other.
#include "live/pattern_view.h"

#include <string>

#include "gpu/pixel_painter.h"
#include "platform/gl_functions.h"

namespace live {

namespace {

PatternView gView = PatternView::Mesh;
bool gPixelsFailed = false;  // the context could not: the mesh from then on
gpu::PixelPainter gPainter;

}  // namespace

void UsePatternView(PatternView view) { gView = view; }

PatternView PatternViewInUse() { return gPixelsFailed ? PatternView::Mesh : gView; }

void AdvancePattern(Gradient::PatternState& s) {
  Gradient::DriftFrame(s);
  if (PatternViewInUse() == PatternView::Mesh) Gradient::SweepFrame(s);
}

void DrawPattern(Gradient::PatternState& s) {
  if (PatternViewInUse() == PatternView::Pixels) {
    std::string why;
    if (gPainter.Draw(s, why)) return;
    gPixelsFailed = true;
    if (!why.empty()) ui::ReportGLProblem("the per-pixel view cannot be drawn (" + why + "); drawing the mesh");
    Gradient::SweepFrame(s);  // this frame's colours, which the pixels did not need
  }
  Gradient::SubmitMesh(s);
}

void DrawPatternFrame(Gradient::PatternState& s) {
  AdvancePattern(s);
  DrawPattern(s);
}

}  // namespace live
