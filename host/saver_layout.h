// Where the full-screen saver draws: one window over the whole desktop and
// one viewport per monitor, so that every monitor shows the whole pattern as
// a single screen would. Decided here, once, from what the platform reports
// (ui::Desktop); the platform only places the window and sets the viewports.
#pragma once

#include <vector>

#include "platform/ui.h"

struct SaverLayout {
  ui::Rect window;                  // desktop coordinates
  std::vector<ui::Rect> viewports;  // the window's GL coordinates (origin bottom-left), primary first
};

// The window covers desktop.bounds (the monitors' union when the bounds are
// empty). Each monitor, cut to the window, gives one viewport; monitors that
// lie outside it and repeats of a monitor (mirrored outputs) give none. With
// no monitor left the one viewport is the whole window.
SaverLayout LayOutSaver(const ui::DesktopGeometry& desktop);
