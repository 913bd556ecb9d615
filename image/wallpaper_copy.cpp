// Copy loop of the wallpaper export, kept literally: the x/y rules decide
// which samples end up in column 0 and row 0, and the saved pictures depend
// on them. The streamed rows follow the same rules, row by row.
#include "image/wallpaper_copy.h"

#include <new>

namespace DIB {
namespace {

size_t RowStart(const Gradient::PlaneView& planes, int32_t r) {
  return static_cast<size_t>(r - planes.firstRow) * static_cast<size_t>(planes.stride);
}

}  // namespace

void CopySamplesToImage(const Gradient::PlaneView& planes, int32_t W, int32_t H, TDIB& image) {
  for (int32_t r = 0; r <= H; ++r) {
    const size_t rowStart = RowStart(planes, r);
    for (int32_t c = 0; c <= W; ++c) {
      int32_t x = c;
      int32_t y = H - r;
      if (x >= W || x <= 0) x = 0;
      if (y >= H || y <= 0) y = 0;
      const size_t i = rowStart + static_cast<size_t>(c);
      const uint32_t colour = (planes.R[i] & 0xFFu) + 256u * (planes.G[i] & 0xFFu) + 65536u * (planes.B[i] & 0xFFu);
      image.SetPixel(x, y, colour);
    }
  }
}

namespace {

// first, second, third: the planes in the order their bytes are stored.
void SampleRowAs(const uint16_t* first, const uint16_t* second, const uint16_t* third, int32_t W,
                 uint8_t* out) {
  const auto put = [&](int32_t x, int32_t c) {
    out[3 * x + 0] = static_cast<uint8_t>(first[c]);
    out[3 * x + 1] = static_cast<uint8_t>(second[c]);
    out[3 * x + 2] = static_cast<uint8_t>(third[c]);
  };
  put(0, W);  // the copy's last write to column 0 is sample column W
  for (int32_t x = 1; x < W; ++x) put(x, x);
}

size_t SampleCount(int32_t W, int32_t H) {
  if (W < 1 || H < 1 || W > kMaxSide || H > kMaxSide) throw std::bad_alloc();
  return (static_cast<size_t>(W) + 1) * (static_cast<size_t>(H) + 1);
}

}  // namespace

void SampleRowAsBgr(const Gradient::PlaneView& planes, int32_t r, int32_t W, uint8_t* out) {
  const size_t row = RowStart(planes, r);
  SampleRowAs(planes.B + row, planes.G + row, planes.R + row, W, out);
}

void SampleRowAsRgb(const Gradient::PlaneView& planes, int32_t r, int32_t W, uint8_t* out) {
  const size_t row = RowStart(planes, r);
  SampleRowAs(planes.R + row, planes.G + row, planes.B + row, W, out);
}

SamplePlanes::SamplePlanes(int32_t W, int32_t H)
    : stride_(W + 1), r_(SampleCount(W, H)), g_(r_.size()), b_(r_.size()) {}

Gradient::PlaneView SamplePlanes::View() { return Gradient::PlaneView{r_.data(), g_.data(), b_.data(), stride_}; }

void RenderIntoOwnPlanes(Gradient::PatternState& s, int32_t W, int32_t H, int threads, TDIB& image,
                         ProgressFn progress, void* user) {
  SamplePlanes samples(W, H);
  image.SetWidth(W);
  image.SetHeight(H);
  s.GridColumns = W;
  s.GridRows = H;
  Gradient::RenderWallpaperInto(s, samples.View(), threads, progress, user);
  CopySamplesToImage(samples.View(), W, H, image);
}

void RenderWallpaperImage(Gradient::PatternState& s, int32_t W, int32_t H, int threads, TDIB& image,
                          ProgressFn progress, void* user) {
  image.SetBitCount(24);
  RenderIntoOwnPlanes(s, W, H, threads, image, progress, user);  // the planes go before the caller encodes
  s.GridColumns = Gradient::kGridColumns;
  s.GridRows = Gradient::kGridRows;
}

}  // namespace DIB
