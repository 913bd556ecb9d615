// The --print-state line: the pattern state that the picture is rendered
// from, as one line of JSON whose floats read back to the same bits.
#pragma once

#include <string>

#include "engine/gradient.h"

namespace WallpaperCli {

// Keys algorithm, speed, phaseA..C, phaseA..CVelocity, offsetX/Y and
// offsetX/YVelocity; floats with 9 significant digits (null if not finite).
std::string FormatStateJson(const Gradient::PatternState& s);

}  // namespace WallpaperCli
