// The live pattern's OpenGL steps that every drawing window shares: the
// projection (a 45 degree field of view with the aspect fixed at 1, so the
// square mesh is stretched to the viewport), the surface set-up of a form,
// and one frame (its pacing: frame_pacing.h). The windowing layer makes the contexts; these only make GL
// calls on the context that is current. Below host/ and tools/, which both
// draw the pattern, and above the windowing layer whose surfaces they use.
#pragma once

#include <functional>

#include "engine/gradient.h"
#include "live/frame_pacing.h"
#include "platform/gl_window.h"
#include "platform/ui.h"

namespace live {

// Projection matrix: identity, then `viewport` (may be empty: a new
// context's viewport is its whole drawable), then the perspective; leaves
// the model-view matrix current.
void SetupProjection(const std::function<void()>& viewport);

// A form's surface set-up: pixel format and context made current, the
// projection with the viewport (form client coordinates, origin bottom-left)
// and the clear colour (a grey level, alpha 0).
void SetupFormSurface(ui::GLSurface& surface, const ui::PixelFormat& format, const ui::Rect& viewport,
                      float clearGrey);

// The preview's projection: no viewport call (a new context's viewport is
// its whole window), black clear colour.
void SetupPreviewProjection();

// An embedded window's projection over its whole drawable (a viewport of
// width x height at the origin) with a black clear colour; again after a
// resize, so that the pattern fills the new size.
void SetupWindowProjection(int width, int height);

// The frame's steps: clear (the colour buffer, and the depth buffer when
// asked), then the process-wide pattern state's frame in the view in use
// (pattern_view.h: drift, sweep and mesh, or drift and pixels). The caller
// swaps.
void ClearAndDrawPattern(bool clearDepth);

// A paced frame of `s`: clear the colour buffer, bring the pattern to `now`
// (the drift steps due; for the mesh the sweep where anything moved), draw
// it in the view in use. The caller swaps.
void ClearAndDrawPacedPattern(Gradient::PatternState& s, FramePacing& pacing, PaceTime now);

// The picture `s` holds, drawn again unmoved (a paused window exposed).
void ClearAndDrawStillPattern(Gradient::PatternState& s);

// One frame of the live pattern on a form: clear the colour buffer,
// DrawFrame, swap the buffers.
void DrawLiveFrame(ui::GLSurface& surface);
// The same on an embedded window; the preview also clears the depth buffer.
void DrawLiveFrame(ui::GLWindow& window, bool clearDepth);

}  // namespace live
