// The command's streamed picture against the whole-picture path it replaces
// (the export's render into planes, the copy into the image, the BMP encoder
// or stb_image_write): every algorithm, odd and tiny sizes, BMP and PNG; the
// progress; and an output that fails part-way stopping the render.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "stb_image_write.h"  // compiled in png_stream_test.cpp

#include "image/dib.h"
#include "image/wallpaper_copy.h"
#include "image/wallpaper_stream.h"
#include "tests/image/memory_output.h"

namespace {

using Image::ImageFormat;

std::unique_ptr<Gradient::PatternState> Pattern(int alg) {
  auto s = std::make_unique<Gradient::PatternState>();
  Gradient::SetRandomSeed(777);
  s->Algorithm = alg;
  s->Speed = 25;
  Gradient::InitPattern(*s, 120, 90);
  for (int i = 0; i < 40; ++i) Gradient::DriftFrame(*s);
  return s;
}

// The picture as the command made it before it streamed: all of it in memory.
DIB::TDIB WholeImage(const Gradient::PatternState& pattern, int32_t W, int32_t H) {
  auto s = std::make_unique<Gradient::PatternState>(pattern);
  DIB::TDIB image;
  DIB::RenderWallpaperImage(*s, W, H, 2, image);
  return image;
}

std::vector<uint8_t> StbPngOf(const DIB::TDIB& image) {
  const int32_t w = image.Width(), h = image.Height();
  std::vector<uint8_t> rgb(size_t(w) * size_t(h) * 3);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = image.Pixels().data() + size_t(h - 1 - y) * size_t(image.WidthBytes());
    for (int32_t x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) rgb[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c)] = src[3 * x + 2 - c];
  }
  std::vector<uint8_t> png;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<uint8_t>*>(context);
        out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
      },
      &png, w, h, 3, rgb.data(), w * 3);
  return png;
}

std::vector<uint8_t> Streamed(const Gradient::PatternState& pattern, ImageFormat format, int32_t W, int32_t H,
                              int threads, bool rewritable = true) {
  auto s = std::make_unique<Gradient::PatternState>(pattern);
  s->GridColumns = W;
  s->GridRows = H;
  MemoryOutput out(rewritable);
  Image::StreamWallpaper(format, W, H, [&](const Gradient::BandPlan& plan, Gradient::WallpaperBandSink& sink) {
    Gradient::RenderWallpaperBands(*s, plan, threads, sink);
  }, out);
  return out.bytes;
}

TEST(WallpaperStream, EveryAlgorithmIsTheWholePicturesBmpAndPng) {
  for (int alg = 1; alg <= 12; ++alg) {
    const auto pattern = Pattern(alg);
    for (const auto& [W, H] : {std::pair{1, 1}, {2, 3}, {97, 61}, {203, 37}}) {
      const DIB::TDIB image = WholeImage(*pattern, W, H);
      EXPECT_TRUE(Streamed(*pattern, ImageFormat::Bmp, W, H, 2) == DIB::EncodeBmp(image))
          << "BMP, algorithm " << alg << ", " << W << "x" << H;
      EXPECT_TRUE(Streamed(*pattern, ImageFormat::Png, W, H, 2) == StbPngOf(image))
          << "PNG, algorithm " << alg << ", " << W << "x" << H;
    }
  }
}

TEST(WallpaperStream, ThreadsAndOutputsThatCannotBePatchedChangeNoByte) {
  const auto pattern = Pattern(4);
  const DIB::TDIB image = WholeImage(*pattern, 301, 203);
  const std::vector<uint8_t> bmp = DIB::EncodeBmp(image), png = StbPngOf(image);
  for (int threads : {1, 3, 16}) {
    EXPECT_TRUE(Streamed(*pattern, ImageFormat::Bmp, 301, 203, threads) == bmp) << threads;
    EXPECT_TRUE(Streamed(*pattern, ImageFormat::Png, 301, 203, threads, false) == png) << threads;
  }
}

TEST(WallpaperStream, ReportsWholePercentagesUpTo100) {
  const auto pattern = Pattern(7);
  std::vector<int> percents;
  MemoryOutput out;
  Image::StreamWallpaper(
      ImageFormat::Bmp, 50, 400,
      [&](const Gradient::BandPlan& plan, Gradient::WallpaperBandSink& sink) {
        Gradient::RenderWallpaperBands(*pattern, plan, 2, sink);
      },
      out, [](int percent, void* user) { static_cast<std::vector<int>*>(user)->push_back(percent); }, &percents);
  ASSERT_GT(percents.size(), 2u);
  EXPECT_EQ(percents.back(), 100);
  for (size_t i = 1; i < percents.size(); ++i) EXPECT_LT(percents[i - 1], percents[i]);
}

// A disk that fills up after some bytes.
class FillingOutput : public MemoryOutput {
 public:
  explicit FillingOutput(size_t room) : room_(room) {}
  void Write(std::span<const uint8_t> b) override {
    ++writes;
    if (bytes.size() + b.size() > room_) throw std::runtime_error("No space left on device");
    MemoryOutput::Write(b);
  }
  int writes = 0;

 private:
  size_t room_;
};

TEST(WallpaperStream, AnOutputThatFailsStopsTheRenderAndTheErrorArrives) {
  for (ImageFormat format : {ImageFormat::Bmp, ImageFormat::Png}) {
    const auto pattern = Pattern(1);
    FillingOutput out(300000);
    int bandsAfterwards = 0;
    EXPECT_THROW(Image::StreamWallpaper(
                     format, 1000, 1000,
                     [&](const Gradient::BandPlan& plan, Gradient::WallpaperBandSink& sink) {
                       Gradient::RenderWallpaperBands(*pattern, plan, 2, sink);
                       ++bandsAfterwards;  // never reached: the error passes through
                     },
                     out),
                 std::runtime_error);
    EXPECT_EQ(bandsAfterwards, 0);
    EXPECT_LE(out.bytes.size(), 300000u);
  }
}

}  // namespace
