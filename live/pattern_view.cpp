// The live frame's choice between the mesh and the per-pixel view, and the
// fall-back from the one to the other.
#include "live/pattern_view.h"

#include <string>

#include "gpu/pixel_painter.h"
#include "live/frame_rate_log.h"
#include "platform/gl_functions.h"

namespace live {

namespace {

PatternView gView = PatternView::Mesh;
bool gPixelsFailed = false;  // the context could not: the mesh from then on
gpu::PixelPainter gPainter;
PatternView gNoted = PatternView::Mesh;
bool gAnyNoted = false;

// Under PRISMORA_FPS_LOG, which view the frames show and whose renderer
// draws them, once each time it changes: the tests and benchmarks read it.
void NoteView(PatternView view) {
  if (gAnyNoted && gNoted == view) return;
  gAnyNoted = true;
  gNoted = view;
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  FrameRateLog().Note(std::string(view == PatternView::Pixels ? "frames drawn per pixel" : "frames drawn as the mesh") +
                      " by " + (renderer ? renderer : "an unknown renderer"));
}

}  // namespace

void UsePatternView(PatternView view) { gView = view; }

PatternView PatternViewInUse() { return gPixelsFailed ? PatternView::Mesh : gView; }

void AdvancePattern(Gradient::PatternState& s) {
  Gradient::DriftFrame(s);
  if (PatternViewInUse() == PatternView::Mesh) Gradient::SweepFrame(s);
}

void AdvancePacedPattern(Gradient::PatternState& s, FramePacing& pacing, PaceTime now) {
  if (PatternViewInUse() == PatternView::Mesh)
    AdvanceMeshFrame(s, pacing, now);
  else
    AdvanceDrift(s, pacing, now);
}

void DrawPattern(Gradient::PatternState& s) {
  if (PatternViewInUse() == PatternView::Pixels) {
    std::string why;
    if (gPainter.Draw(s, why)) {
      NoteView(PatternView::Pixels);
      return;
    }
    gPixelsFailed = true;
    if (!why.empty()) ui::ReportGLProblem("the per-pixel view cannot be drawn: " + why + "; drawing the mesh");
    Gradient::SweepFrame(s);  // this frame's colours, which the pixels did not need
  }
  Gradient::SubmitMesh(s);
  NoteView(PatternView::Mesh);
}

void DrawPatternFrame(Gradient::PatternState& s) {
  AdvancePattern(s);
  DrawPattern(s);
}

}  // namespace live
