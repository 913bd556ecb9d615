// stb_image_write, compiled here once, without its stdio file functions: the
// bytes go to memory and from there through the whole-or-nothing file write.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include "stb_image_write.h"

#include "cli/png_encode.h"

#include <cstring>
#include <new>

namespace WallpaperCli {
namespace {

void Append(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  const auto* bytes = static_cast<const uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

}  // namespace

std::vector<uint8_t> TopDownRgb(const DIB::TDIB& image) {
  const size_t w = static_cast<size_t>(image.Width());
  const int32_t h = image.Height();
  std::vector<uint8_t> rgb(w * 3 * static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* src = image.Pixels().data() + static_cast<size_t>(h - 1 - y) * image.WidthBytes();
    uint8_t* dst = rgb.data() + static_cast<size_t>(y) * w * 3;
    for (size_t x = 0; x < w; ++x) {
      dst[3 * x + 0] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x + 0];
    }
  }
  return rgb;
}

std::vector<uint8_t> EncodePng(const std::vector<uint8_t>& rgb, int32_t width, int32_t height) {
  std::vector<uint8_t> png;
  // stb reports every failure, in practice a failed allocation, as 0.
  if (!stbi_write_png_to_func(Append, &png, width, height, 3, rgb.data(), width * 3)) throw std::bad_alloc();
  return png;
}

}  // namespace WallpaperCli
