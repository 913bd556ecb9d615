// The wallpaper command's picture rendered in bands straight into its
// encoder: the settings window's picture (the export's copy rules,
// DIB::CopySamplesToImage) without the picture in memory. BMP rows go out
// bottom-up as the file stores them, PNG rows top-down through PngStream;
// each band is turned into bytes and written while the next bands are
// rendered, so memory grows with the width, not the area. The caller picks the engine.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/gradient.h"
#include "image/byte_output.h"

namespace Image {

enum class ImageFormat { Bmp, Png };

// Renders the plan's rows into the sink band by band, in the plan's order
// (Gradient::RenderWallpaperBands on the CPU engines), with the picture's
// size as the grid's divisors.
using BandRenderer = std::function<void(const Gradient::BandPlan& plan, Gradient::WallpaperBandSink& sink)>;

using ProgressFn = void (*)(int percent, void* user);

// The W x H picture (1..16384 each) into out, BMP or PNG, rendered by
// render; progress, if given, gets 0..100 of each pass on the calling
// thread. Whatever out or the renderer throws passes through, once every
// thread has stopped.
void StreamWallpaper(ImageFormat format, int32_t W, int32_t H, const BandRenderer& render, ByteOutput& out,
                     ProgressFn progress = nullptr, void* user = nullptr);

}  // namespace Image
