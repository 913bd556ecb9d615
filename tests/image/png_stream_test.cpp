// The streamed PNG against stb_image_write's whole-picture encoder, byte for
// byte: smooth pictures (long matches, data far beyond the 32 KB window),
// repeats, noise (stored blocks, one exactly a block long), the smallest
// sizes; one pass into a file that can be patched, two into one that cannot;
// and the pixels decoded back.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include "stb_image_write.h"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#include "stb_image.h"

#include "image/png_stream.h"
#include "tests/image/memory_output.h"

namespace {

using Image::PngStream;

struct Picture {
  int32_t w, h;
  std::vector<uint8_t> rgb;  // top-down
  const uint8_t* Row(int32_t y) const { return rgb.data() + size_t(y) * size_t(w) * 3; }
};

Picture Make(int32_t w, int32_t h, uint8_t (*f)(int32_t x, int32_t y, int channel)) {
  Picture p{w, h, std::vector<uint8_t>(size_t(w) * size_t(h) * 3)};
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int ch = 0; ch < 3; ++ch) p.rgb[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(ch)] = f(x, y, ch);
  return p;
}

uint8_t Noise(int32_t x, int32_t y, int channel) {
  uint32_t v = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u ^ uint32_t(channel) * 97u;
  v ^= v >> 13;
  v *= 0x5bd1e995u;
  return uint8_t(v ^ (v >> 15));
}

std::vector<uint8_t> StbPng(const Picture& p) {
  std::vector<uint8_t> png;
  const auto append = [](void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
  };
  EXPECT_EQ(stbi_write_png_to_func(append, &png, p.w, p.h, 3, p.rgb.data(), p.w * 3), 1);
  return png;
}

// The streamed PNG of p and the number of passes it took.
std::pair<std::vector<uint8_t>, int> Streamed(const Picture& p, bool rewritable) {
  MemoryOutput out(rewritable);
  const int passes = Image::WritePng(out, p.w, p.h, [&](PngStream& png) {
    for (int32_t y = 0; y < p.h; ++y) png.AddRow(p.Row(y));
  });
  return {out.bytes, passes};
}

// passesWhenPatched: 1 when compression wins, 2 when stb stores the data; 0
// for either.
void ExpectStbBytes(const Picture& p, const char* what, int passesWhenPatched) {
  const std::vector<uint8_t> expected = StbPng(p);
  const auto [patched, passes] = Streamed(p, true);
  EXPECT_TRUE(patched == expected) << what << ": " << patched.size() << " bytes, stb " << expected.size();
  if (passesWhenPatched) {
    EXPECT_EQ(passes, passesWhenPatched) << what;
  }
  const auto [piped, pipedPasses] = Streamed(p, false);
  EXPECT_TRUE(piped == expected) << what << " through an output that cannot be patched";
  EXPECT_EQ(pipedPasses, 2) << what;
}

TEST(PngStream, SmoothPicturesAreStbsBytes) {
  ExpectStbBytes(Make(97, 61, [](int32_t x, int32_t y, int c) { return uint8_t(x * 3 + y * (c + 1)); }),
                 "gradient", 1);
  // 1000 x 700: 2.1 MB of filtered data, far past the window; wrapping bands.
  ExpectStbBytes(Make(1000, 700, [](int32_t x, int32_t y, int c) { return uint8_t((x * x + y * y) / (40 + c)); }),
                 "rings", 1);
  // One colour: matches of 258 bytes all the way.
  ExpectStbBytes(Make(2048, 40, [](int32_t, int32_t, int c) { return uint8_t(50 * c); }), "flat", 1);
  // Rows that repeat every few rows: matches reaching far back.
  ExpectStbBytes(Make(3001, 30, [](int32_t x, int32_t y, int c) { return uint8_t((x / 7 + (y % 3) * 11) * (c + 2)); }),
                 "repeats", 1);
}

TEST(PngStream, SmallestPicturesAreStbsBytes) {
  for (const auto& [w, h] : {std::pair{1, 1}, {1, 7}, {7, 1}, {2, 2}, {6, 5}, {31, 17}}) {
    ExpectStbBytes(Make(w, h, Noise), "small noise", 0);
    ExpectStbBytes(Make(w, h, [](int32_t x, int32_t y, int c) { return uint8_t(x + y + c); }), "small ramp", 1);
  }
}

TEST(PngStream, NoiseIsStoredAsStbStoresIt) {
  ExpectStbBytes(Make(300, 200, Noise), "noise", 2);
  // 3 * 10922 + 1 = 32767 bytes a row: blocks that end exactly with a row,
  // the last one exactly full.
  ExpectStbBytes(Make(10922, 1, Noise), "one full block", 2);
  ExpectStbBytes(Make(10922, 3, Noise), "three full blocks", 2);
}

TEST(PngStream, DecodesToThePixelsItWasGiven) {
  const Picture p = Make(203, 97, [](int32_t x, int32_t y, int c) { return uint8_t(c == 0 ? x : c == 1 ? y : x ^ y); });
  const std::vector<uint8_t> png = Streamed(p, true).first;
  int w = 0, h = 0, n = 0;
  stbi_uc* decoded = stbi_load_from_memory(png.data(), int(png.size()), &w, &h, &n, 3);
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(w, 203);
  EXPECT_EQ(h, 97);
  EXPECT_EQ(std::memcmp(decoded, p.rgb.data(), p.rgb.size()), 0);
  stbi_image_free(decoded);
}

}  // namespace
