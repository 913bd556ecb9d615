// The live frame's choice between the mesh and the per-pixel view, and the
// fall-back from the one to the other: for good where the context runs no
// shaders, for one algorithm where only its program does not build.
#include "live/pattern_view.h"

#include <bitset>
#include <string>

#include "gpu/pixel_painter.h"
#include "live/frame_rate_log.h"
#include "platform/gl_functions.h"

namespace live {

namespace {

PatternView gView = PatternView::Mesh;
bool gPixelsFailed = false;  // the context could not: the mesh from then on
std::bitset<13> gAlgorithmFailed;  // these algorithms' programs did not build: the mesh for them
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

namespace {

// The view of a frame of s: the mesh for an algorithm whose program did not build.
PatternView ViewFor(const Gradient::PatternState& s) {
  const bool failed = s.Algorithm >= 1 && s.Algorithm <= 12 && gAlgorithmFailed[size_t(s.Algorithm)];
  return failed ? PatternView::Mesh : PatternViewInUse();
}

}  // namespace

void AdvancePattern(Gradient::PatternState& s) {
  Gradient::DriftFrame(s);
  if (ViewFor(s) == PatternView::Mesh) Gradient::SweepFrame(s);
}

void AdvancePacedPattern(Gradient::PatternState& s, FramePacing& pacing, PaceTime now) {
  if (ViewFor(s) == PatternView::Mesh)
    AdvanceMeshFrame(s, pacing, now);
  else
    AdvanceDrift(s, pacing, now);
}

void DrawPattern(Gradient::PatternState& s) {
  if (ViewFor(s) == PatternView::Pixels) {
    std::string why;
    switch (gPainter.Draw(s, why)) {
      case gpu::PixelPainter::Outcome::Drawn:
        NoteView(PatternView::Pixels);
        return;
      case gpu::PixelPainter::Outcome::NoContext:
        return;  // nowhere to draw: neither view can
      case gpu::PixelPainter::Outcome::AlgorithmFails:
        gAlgorithmFailed[size_t(s.Algorithm)] = true;
        break;
      case gpu::PixelPainter::Outcome::Unable:
        gPixelsFailed = true;
        break;
    }
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
