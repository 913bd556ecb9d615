// The wallpaper export's copy of rendered samples into the 24-bit image, and
// the export with planes of its own for sizes beyond the static planes (the
// headless command). Shared by the settings window and the command; no UI.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/gradient.h"
#include "image/dib.h"

namespace DIB {

// The largest side of any picture exported: the settings window's (the
// desktop's size) and the wallpaper command's (--size).
constexpr int32_t kMaxSide = 16384;

// Copies samples rows 0..H x columns 0..W of the planes into image, visiting
// r = 0..H (outer) and c = 0..W (inner) and setting pixel (x, y) = (c, H - r),
// where x is taken as 0 when x >= W or x <= 0, and y as 0 when y >= H or
// y <= 0; later writes replace earlier ones. So image column 0 shows sample
// column W, image row 0 (the top) shows sample row H, sample row 0 never
// shows, and the bottom image row shows sample row 1. Only the low 8 bits of
// each element count. The image should be W x H at 24 bits.
void CopySamplesToImage(const Gradient::PlaneView& planes, int32_t W, int32_t H, TDIB& image);

// One row of the picture that CopySamplesToImage makes, straight from the
// samples, for a writer that streams rows: image row H - r shows sample row r
// (1..H; so the BMP's rows, bottom-up, are sample rows 1, 2, ... H, and the
// top-down rows of a PNG are H, H - 1, ... 1). Pixel x shows sample column x,
// pixel 0 column W; the low byte of each element. out gets 3 * W bytes:
// blue, green, red as the BMP stores them, or red, green, blue for a PNG.
void SampleRowAsBgr(const Gradient::PlaneView& planes, int32_t r, int32_t W, uint8_t* out);
void SampleRowAsRgb(const Gradient::PlaneView& planes, int32_t r, int32_t W, uint8_t* out);

// Planes of (H + 1) x (W + 1) samples per colour for a picture of W x H, for
// sizes beyond the static planes. std::bad_alloc when memory is short, and
// for a side beyond kMaxSide.
class SamplePlanes {
 public:
  SamplePlanes(int32_t W, int32_t H);
  Gradient::PlaneView View();

 private:
  int32_t stride_;
  std::vector<uint16_t> r_, g_, b_;
};

using ProgressFn = void (*)(int percent, void* user);

// Renders the pattern at W x H (1..16384 each) into planes of its own on
// `threads` threads (0 = all cores), with the image sized W x H, and copies
// them into it; the planes are freed on return and the grid is left at
// W x H. The planes are allocated first: std::bad_alloc, from them or from
// the image, leaves the grid as it was, and a refusal of the planes leaves
// the image as it was too.
void RenderIntoOwnPlanes(Gradient::PatternState& s, int32_t W, int32_t H, int threads, TDIB& image,
                         ProgressFn progress = nullptr, void* user = nullptr);

// The whole export at W x H (1..16384 each) into image: sizes the image
// (24 bits), sets the grid to W x H, renders into (H+1) x (W+1) planes of its
// own on `threads` threads (0 = all cores), copies them, frees them and puts
// the grid back to the live 120 x 90. std::bad_alloc, thrown before anything
// is rendered, leaves the state's grid as it was.
void RenderWallpaperImage(Gradient::PatternState& s, int32_t W, int32_t H, int threads, TDIB& image,
                          ProgressFn progress = nullptr, void* user = nullptr);

}  // namespace DIB
