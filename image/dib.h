// Module DIB: TDIB, an in-memory 24-bit picture filled pixel by pixel and
// saved as an uncompressed Windows BMP file. EncodeBmp builds the file's bytes
// without touching the disk; SaveToFile hands them to Platform::SaveFile.
// Only 24 bits per pixel; no palettes, loading or drawing.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace DIB {

constexpr int32_t kFileHeaderSize = 14;
constexpr int32_t kInfoHeaderSize = 40;

class TDIB {
 public:
  TDIB() = default;  // empty: Width, Height and BitCount 0, no storage
  static std::unique_ptr<TDIB> Create() { return std::make_unique<TDIB>(); }

  // A positive bit count on an empty image makes it max(Width,1) x
  // max(Height,1); 0 or less empties it. Only 24 is supported; other
  // positive counts throw std::invalid_argument.
  void SetBitCount(int32_t bits);
  // Same size and bit count: nothing changes. 0 or less empties the image.
  // Otherwise new zeroed storage replaces the old (the old pixels are not
  // carried over). std::bad_alloc leaves the image as it was.
  void SetWidth(int32_t width);
  void SetHeight(int32_t height);
  // colour: red in bits 0-7, green 8-15, blue 16-23. Outside the image: ignored.
  void SetPixel(int32_t x, int32_t y, uint32_t colour) {
    if (x < 0 || x >= width_ || y < 0 || y >= height_) return;
    uint8_t* p = pixels_.data() + static_cast<size_t>(height_ - 1 - y) * widthBytes_ + 3 * static_cast<size_t>(x);
    p[0] = static_cast<uint8_t>(colour >> 16);
    p[1] = static_cast<uint8_t>(colour >> 8);
    p[2] = static_cast<uint8_t>(colour);
  }
  // Replaces the file at path whole or not at all (see Platform::SaveFile).
  // An empty image gives a 0-byte file.
  void SaveToFile(const std::string& path) const;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BitCount() const { return bitCount_; }
  int32_t WidthBytes() const { return widthBytes_; }
  int32_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }
  // The rows bottom-up, each WidthBytes long; padding bytes are 0.
  const std::vector<uint8_t>& Pixels() const { return pixels_; }
  // The 40-byte BMP information header describing the storage.
  const uint8_t* InfoHeader() const { return infoHeader_; }

 private:
  void Resize(int32_t width, int32_t height, int32_t bits);
  void Clear();
  void BuildInfoHeader();

  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bitCount_ = 0;
  int32_t widthBytes_ = 0;
  int32_t size_ = 0;
  std::vector<uint8_t> pixels_;
  uint8_t infoHeader_[kInfoHeaderSize] = {};
};

// Bytes per stored row: ((bits * width + 31) div 32) * 4.
int64_t RowBytes(int32_t width, int32_t bits);

// The whole BMP stream: 14-byte file header, the info header, the pixel
// storage. An empty image encodes to no bytes at all.
std::vector<uint8_t> EncodeBmp(const TDIB& image);

// What EncodeBmp writes before the pixels of a width x height 24-bit image
// (1 or more each), for a writer that sends the rows after it one by one,
// bottom-up, each RowBytes(width, 24) long. std::bad_alloc when the picture
// is too large for the header's 32-bit sizes, as for a TDIB.
std::array<uint8_t, kFileHeaderSize + kInfoHeaderSize> BmpHeaders(int32_t width, int32_t height);

}  // namespace DIB
