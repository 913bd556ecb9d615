// What the live frame draws, in one place for every mode: the designed
// mesh of the grid (the sweep's colours, smooth-shaded), or the per-pixel
// view, the wallpaper form at every pixel of the viewport on the GPU (one
// quad and the generated shader; the CPU only drifts the pattern). The
// choice is process-wide: each mode makes it from its settings or options
// before its first frame. Where the context cannot draw the pixels (no
// GLSL) the mode draws the mesh instead, and where one algorithm's shader
// does not build, the mesh for that algorithm; each is said in one line
// where the platform shows such lines.
#pragma once

#include "engine/gradient.h"
#include "live/frame_pacing.h"

namespace live {

enum class PatternView { Mesh, Pixels };

void UsePatternView(PatternView view);
// What the frames draw now: Mesh once the context proved unable to draw the
// pixels (an algorithm whose shader alone failed still draws its mesh).
PatternView PatternViewInUse();

// A frame's work before drawing: the drift, and for the mesh the sweep.
void AdvancePattern(Gradient::PatternState& s);
// The same for a paced frame drawn at `now`: the drift steps due, and for
// the mesh the sweep where anything moved (frame_pacing.h).
void AdvancePacedPattern(Gradient::PatternState& s, FramePacing& pacing, PaceTime now);
// s into the current viewport (the model-view matrix current, as the mesh
// expects); may be called for several viewports after one Advance.
void DrawPattern(Gradient::PatternState& s);
// One frame of s: AdvancePattern, then DrawPattern (DrawFrame, for the mesh).
void DrawPatternFrame(Gradient::PatternState& s);

}  // namespace live
