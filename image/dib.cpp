// TDIB storage management and the BMP encoder. The file itself is written by
// the platform's SaveFile so that a failed save never damages an existing file.
#include "image/dib.h"

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "platform/file_writer.h"

namespace DIB {
namespace {

void PutU16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Pixel storage of a picture, refused when the header's size fields (32-bit)
// cannot hold the file.
int64_t StorageSize(int32_t width, int32_t height, int32_t bits) {
  const int64_t size = RowBytes(width, bits) * height;
  if (size > std::numeric_limits<int32_t>::max() - kFileHeaderSize - kInfoHeaderSize) throw std::bad_alloc();
  return size;
}

void PutInfoHeader(uint8_t* p, int32_t width, int32_t height, int32_t bits, int32_t size) {
  PutU32(p + 0, kInfoHeaderSize);
  PutU32(p + 4, static_cast<uint32_t>(width));
  PutU32(p + 8, static_cast<uint32_t>(height));  // positive: rows bottom-up
  PutU16(p + 12, 1);                              // planes
  PutU16(p + 14, static_cast<uint32_t>(bits));
  PutU32(p + 16, 0);  // uncompressed
  PutU32(p + 20, static_cast<uint32_t>(size));
  // Resolutions, colours used and important colours stay 0.
}

void PutFileHeader(uint8_t* p, int32_t size) {
  const uint32_t offset = kFileHeaderSize + kInfoHeaderSize;
  p[0] = 'B';
  p[1] = 'M';
  PutU32(p + 2, offset + static_cast<uint32_t>(size));
  PutU16(p + 6, 0);
  PutU16(p + 8, 0);
  PutU32(p + 10, offset);
}

}  // namespace

int64_t RowBytes(int32_t width, int32_t bits) {
  return (static_cast<int64_t>(bits) * width + 31) / 32 * 4;
}

void TDIB::SetBitCount(int32_t bits) {
  if (bits <= 0) {
    Clear();
    return;
  }
  if (bits != 24) throw std::invalid_argument("TDIB supports 24 bits per pixel only");
  if (Empty()) {
    Resize(width_ > 1 ? width_ : 1, height_ > 1 ? height_ : 1, bits);
  } else {
    Resize(width_, height_, bits);
  }
}

void TDIB::SetWidth(int32_t width) { Resize(width, height_, bitCount_); }

void TDIB::SetHeight(int32_t height) { Resize(width_, height, bitCount_); }

void TDIB::Clear() {
  std::vector<uint8_t>().swap(pixels_);
  width_ = height_ = bitCount_ = widthBytes_ = size_ = 0;
  BuildInfoHeader();
}

void TDIB::Resize(int32_t width, int32_t height, int32_t bits) {
  if (width == width_ && height == height_ && bits == bitCount_) return;
  if (width <= 0 || height <= 0 || bits <= 0) {
    Clear();
    return;
  }
  const int64_t rowBytes = RowBytes(width, bits);
  const int64_t size = StorageSize(width, height, bits);
  // Allocate before touching any field: on failure the image stays as it was.
  std::vector<uint8_t> storage(static_cast<size_t>(size));  // zeroed, so padding is 0
  pixels_.swap(storage);
  width_ = width;
  height_ = height;
  bitCount_ = bits;
  widthBytes_ = static_cast<int32_t>(rowBytes);
  size_ = static_cast<int32_t>(size);
  BuildInfoHeader();
}

void TDIB::BuildInfoHeader() {
  std::memset(infoHeader_, 0, sizeof infoHeader_);
  if (Empty()) return;
  PutInfoHeader(infoHeader_, width_, height_, bitCount_, size_);
}

std::vector<uint8_t> EncodeBmp(const TDIB& image) {
  if (image.Empty()) return {};
  const size_t offset = kFileHeaderSize + kInfoHeaderSize;
  std::vector<uint8_t> bytes(offset + static_cast<size_t>(image.Size()));
  PutFileHeader(bytes.data(), image.Size());
  std::memcpy(bytes.data() + kFileHeaderSize, image.InfoHeader(), kInfoHeaderSize);
  std::memcpy(bytes.data() + offset, image.Pixels().data(), static_cast<size_t>(image.Size()));
  return bytes;
}

std::array<uint8_t, kFileHeaderSize + kInfoHeaderSize> BmpHeaders(int32_t width, int32_t height) {
  const int32_t size = static_cast<int32_t>(StorageSize(width, height, 24));
  std::array<uint8_t, kFileHeaderSize + kInfoHeaderSize> headers{};
  PutFileHeader(headers.data(), size);
  PutInfoHeader(headers.data() + kFileHeaderSize, width, height, 24, size);
  return headers;
}

void TDIB::SaveToFile(const std::string& path) const { Platform::SaveFile(path, EncodeBmp(*this)); }

}  // namespace DIB
