// PNG output of the wallpaper command: the same pixels as the BMP, as
// 8-bit RGB rows top-down, compressed by stb_image_write.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/dib.h"

namespace WallpaperCli {

// The image's pixels as RGB, top row first, no padding.
std::vector<uint8_t> TopDownRgb(const DIB::TDIB& image);
// A complete PNG file of width x height RGB pixels. Throws std::bad_alloc
// when the encoder runs out of memory.
std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& rgb, int32_t width, int32_t height);

}  // namespace WallpaperCli
