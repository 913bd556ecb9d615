// The export's copy loop with synthetic planes (which sample lands where,
// column 0 and row 0 included, low 8 bits only), the streamed rows that must
// give the same picture, and the export with planes of its own against the
// static-plane path of the settings window.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/gradient.h"
#include "image/wallpaper_copy.h"
#include "tests/image/sized_image.h"

namespace {

using DIB::TDIB;

// Planes with a distinct value in every sample: red = row, green = column,
// blue = 0x100 * (row + 1) + 7 (the high byte must be dropped).
struct SyntheticPlanes {
  SyntheticPlanes(int32_t w, int32_t h) : stride(w + 3), R(Count(h)), G(Count(h)), B(Count(h)) {
    for (int32_t r = 0; r <= h; ++r) {
      for (int32_t c = 0; c <= w; ++c) {
        const size_t i = static_cast<size_t>(r * stride + c);
        R[i] = static_cast<uint16_t>(r);
        G[i] = static_cast<uint16_t>(c);
        B[i] = static_cast<uint16_t>(0x100 * (r + 1) + 7);
      }
    }
  }
  size_t Count(int32_t h) const { return static_cast<size_t>(stride) * static_cast<size_t>(h + 1); }
  Gradient::PlaneView View() { return {R.data(), G.data(), B.data(), stride}; }
  int32_t stride;  // wider than W + 1, so a loop that ignores the stride fails
  std::vector<uint16_t> R, G, B;
};

// (red, green) of image pixel (x, y), i.e. the (row, column) of its sample.
std::pair<int, int> SampleAt(const TDIB& image, int32_t x, int32_t y) {
  const uint8_t* p = image.Pixels().data() + static_cast<size_t>(image.Height() - 1 - y) * image.WidthBytes() + 3 * x;
  return {p[2], p[1]};
}

TEST(WallpaperCopy, EveryPixelComesFromTheSampleTheExportPicks) {
  const int32_t W = 6, H = 5;
  SyntheticPlanes planes(W, H);
  TDIB image = Sized(W, H);
  DIB::CopySamplesToImage(planes.View(), W, H, image);
  for (int32_t y = 0; y < H; ++y) {
    for (int32_t x = 0; x < W; ++x) {
      // Column 0 carries sample column W; row y carries sample row H - y, so
      // the top row carries sample row H and sample row 0 never shows.
      const std::pair<int, int> expected{H - y, x == 0 ? W : x};
      EXPECT_EQ(SampleAt(image, x, y), expected) << "pixel " << x << "," << y;
    }
  }
}

TEST(WallpaperCopy, OnlyTheLowByteOfEachElementCounts) {
  const int32_t W = 3, H = 2;
  SyntheticPlanes planes(W, H);
  for (int32_t r = 0; r <= H; ++r) {
    for (int32_t c = 0; c <= W; ++c) {
      const size_t i = static_cast<size_t>(r * planes.stride + c);
      planes.R[i] = 0x017E;  // 1.5 wrapped: 126
      planes.G[i] = 0xFF80;  // -0.5 wrapped: 128
    }
  }
  TDIB image = Sized(W, H);
  DIB::CopySamplesToImage(planes.View(), W, H, image);
  const uint8_t* bottom = image.Pixels().data();  // pixel (0, H - 1) = sample [1][W]
  EXPECT_EQ(bottom[0], 0x07);  // 0x0207
  EXPECT_EQ(bottom[1], 128);
  EXPECT_EQ(bottom[2], 126);
}

// A BMP put together from headers and streamed rows, sample rows 1..H with
// each row's padding, as the command writes it.
std::vector<uint8_t> StreamedBmp(const Gradient::PlaneView& planes, int32_t W, int32_t H) {
  const auto headers = DIB::BmpHeaders(W, H);
  std::vector<uint8_t> bmp(headers.begin(), headers.end());
  std::vector<uint8_t> row(static_cast<size_t>(DIB::RowBytes(W, 24)), 0);
  for (int32_t r = 1; r <= H; ++r) {
    DIB::SampleRowAsBgr(planes, r, W, row.data());
    bmp.insert(bmp.end(), row.begin(), row.end());
  }
  return bmp;
}

TEST(WallpaperCopy, StreamedRowsGiveTheCopiedPictureByteForByte) {
  // Odd widths give every padding; 1 x 1 and single rows and columns the edges.
  for (const auto& [W, H] : {std::pair{1, 1}, {2, 1}, {1, 3}, {6, 5}, {7, 4}, {5, 2}, {33, 9}}) {
    SyntheticPlanes planes(W, H);
    TDIB image = Sized(W, H);
    DIB::CopySamplesToImage(planes.View(), W, H, image);
    EXPECT_EQ(StreamedBmp(planes.View(), W, H), DIB::EncodeBmp(image)) << W << "x" << H;
    // The PNG's rows, top-down: red, green, blue of image row H - r.
    std::vector<uint8_t> rgb(3 * static_cast<size_t>(W));
    for (int32_t r = 1; r <= H; ++r) {
      DIB::SampleRowAsRgb(planes.View(), r, W, rgb.data());
      for (int32_t x = 0; x < W; ++x) {
        const uint8_t* p = image.Pixels().data() + static_cast<size_t>(r - 1) * image.WidthBytes() + 3 * x;
        ASSERT_EQ((std::vector<uint8_t>{rgb[3 * x], rgb[3 * x + 1], rgb[3 * x + 2]}),
                  (std::vector<uint8_t>{p[2], p[1], p[0]}))
            << W << "x" << H << ", sample row " << r << ", pixel " << x;
      }
    }
  }
}

TEST(WallpaperCopy, StreamedRowsReadABandThatStartsAtAnyRow) {
  const int32_t W = 6, H = 5;
  SyntheticPlanes planes(W, H);
  // The same samples seen through a view whose first row is 3.
  Gradient::PlaneView band = planes.View();
  const size_t skip = 3 * static_cast<size_t>(planes.stride);
  band = {band.R + skip, band.G + skip, band.B + skip, band.stride, 3};
  std::vector<uint8_t> whole(3 * W), fromBand(3 * W);
  for (int32_t r = 3; r <= H; ++r) {
    DIB::SampleRowAsBgr(planes.View(), r, W, whole.data());
    DIB::SampleRowAsBgr(band, r, W, fromBand.data());
    EXPECT_EQ(fromBand, whole) << r;
  }
}

// The command's path (own planes, several threads) must give the very picture
// that the settings window's path (static planes, RenderWallpaper) gives.
TEST(WallpaperCopy, OwnPlanesMatchTheStaticPlanesPath) {
  auto state = std::make_unique<Gradient::PatternState>();  // too big for a Windows stack
  Gradient::PatternState& s = *state;
  Gradient::SetRandomSeed(20240607);
  s.Algorithm = 9;
  s.Speed = 25;
  Gradient::InitPattern(s, 120, 90);
  const int32_t W = 97, H = 61;

  TDIB viaStatic = Sized(W, H);
  s.GridColumns = W;
  s.GridRows = H;
  Gradient::RenderWallpaper(s);
  DIB::CopySamplesToImage(Gradient::WallpaperPlanesView(), W, H, viaStatic);

  TDIB viaOwn;
  DIB::RenderWallpaperImage(s, W, H, 2, viaOwn);
  EXPECT_EQ(DIB::EncodeBmp(viaOwn), DIB::EncodeBmp(viaStatic));
  EXPECT_EQ(s.GridColumns, 120);
  EXPECT_EQ(s.GridRows, 90);
}

}  // namespace
