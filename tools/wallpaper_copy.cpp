// Copy loop of the wallpaper export, kept literally: the x/y rules decide
// which samples end up in column 0 and row 0, and the saved pictures depend
// on them.
#include "tools/wallpaper_copy.h"

#include <vector>

namespace DIB {

void CopySamplesToImage(const Gradient::PlaneView& planes, int32_t W, int32_t H, TDIB& image) {
  for (int32_t r = 0; r <= H; ++r) {
    const size_t rowStart = static_cast<size_t>(r) * static_cast<size_t>(planes.stride);
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

void RenderWallpaperImage(Gradient::PatternState& s, int32_t W, int32_t H, int threads, TDIB& image,
                          ProgressFn progress, void* user) {
  image.SetBitCount(24);
  image.SetWidth(W);
  image.SetHeight(H);
  const size_t stride = static_cast<size_t>(W) + 1;
  const size_t count = stride * (static_cast<size_t>(H) + 1);
  {
    std::vector<uint16_t> r(count), g(count), b(count);
    const Gradient::PlaneView planes{r.data(), g.data(), b.data(), static_cast<int32_t>(stride)};
    s.GridColumns = W;
    s.GridRows = H;
    Gradient::RenderWallpaperInto(s, planes, threads, progress, user);
    CopySamplesToImage(planes, W, H, image);
  }  // the planes go before the caller encodes the image
  s.GridColumns = 120;
  s.GridRows = 90;
}

}  // namespace DIB
