// PNG output: the same pixels as the BMP, top row first, red-green-blue.
#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include "stb_image.h"

#include "cli/png_encode.h"

namespace {

TEST(PngEncode, AsymmetricPictureDecodesToTheSamePixels) {
  // A red "F" on blue with one green dot; width 6 gives the BMP rows padding.
  const char* const art[5] = {"RRRRG.", "R.....", "RRR...", "R.....", "R....."};
  DIB::TDIB image;
  image.SetBitCount(24);
  image.SetWidth(6);
  image.SetHeight(5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) image.SetPixel(x, y, art[y][x] == 'R' ? 0x0000FF : art[y][x] == 'G' ? 0x00FF00 : 0xFF0000);
  }
  const std::vector<uint8_t> rgb = WallpaperCli::TopDownRgb(image);
  ASSERT_EQ(rgb.size(), 6u * 5 * 3);
  const std::vector<uint8_t> png = WallpaperCli::EncodePng(rgb, 6, 5);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 8),
            (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
  int w = 0, h = 0, n = 0;
  stbi_uc* decoded = stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &w, &h, &n, 3);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(w, 6);
  EXPECT_EQ(h, 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      const stbi_uc* p = decoded + (y * 6 + x) * 3;
      const std::vector<int> expected = art[y][x] == 'R' ? std::vector<int>{255, 0, 0}
                                        : art[y][x] == 'G' ? std::vector<int>{0, 255, 0}
                                                           : std::vector<int>{0, 0, 255};
      EXPECT_EQ((std::vector<int>{p[0], p[1], p[2]}), expected) << x << "," << y;
    }
  }
  stbi_image_free(decoded);
}

}  // namespace
