// One frame of the full-screen saver over every monitor: the pattern drifts
// to `now` (and for the mesh is swept) once, then it is drawn into each
// monitor's viewport and the buffers are swapped once. GL calls on the
// context that is current.
#pragma once

#include <vector>

#include "live/frame_pacing.h"
#include "platform/ui.h"

// viewports: the window's GL coordinates, primary first (see LayOutSaver).
// With one viewport this is the single-screen frame: clear, the paced
// pattern, swap, on the viewport the surface set-up made.
void DrawSaverFrame(ui::GLSurface& surface, const std::vector<ui::Rect>& viewports, live::FramePacing& pacing,
                    live::PaceTime now);
