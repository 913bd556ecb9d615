// PngStream: chunks, CRC-32, and stb_image_write's filter choice for each row
// (the first row filtered against a row of zeros, as PNG defines it; stb's
// special cases for it come to the same bytes).
#include "image/png_stream.h"

#include <array>
#include <cstdlib>

namespace Image {
namespace {

constexpr size_t kFlushBytes = size_t(1) << 18;

constexpr std::array<uint32_t, 256> CrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = CrcTable();

// The running CRC register (start with ~0, finish with ~).
uint32_t UpdateCrc(uint32_t crc, const uint8_t* bytes, size_t n) {
  for (size_t i = 0; i < n; ++i) crc = kCrcTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// A whole chunk: length, type, data, CRC of type and data.
void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
  PutU32(out, uint32_t(data.size()));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutU32(out, ~UpdateCrc(~0u, out.data() + start, out.size() - start));
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  if (pb <= pc) return b;
  return c;
}

// What a filtered byte weighs in the choice: its size read as a signed byte.
int Weight(int v) { return std::abs(int(int8_t(uint8_t(v)))); }

// The filtered value of byte i under filter 0..4 (none, sub, up, average,
// Paeth), from its left neighbour a, the byte above b and above-left c.
int Filtered(int type, int x, int a, int b, int c) {
  switch (type) {
    case 1: return x - a;
    case 2: return x - b;
    case 3: return x - ((a + b) >> 1);
    case 4: return x - Paeth(a, b, c);
    default: return x;
  }
}

// The filter whose bytes weigh least; the first of equal ones. Filtered's
// five cases are spelt out here: a loop over Filtered made the whole command
// 5% slower for a PNG (farm-bench, 1600 x 1200).
int ChooseFilter(const uint8_t* row, const uint8_t* above, size_t n) {
  int weights[5] = {};
  for (size_t i = 0; i < n; ++i) {
    const int x = row[i], a = i >= 3 ? row[i - 3] : 0, b = above[i], c = i >= 3 ? above[i - 3] : 0;
    weights[0] += Weight(x);
    weights[1] += Weight(x - a);
    weights[2] += Weight(x - b);
    weights[3] += Weight(x - ((a + b) >> 1));
    weights[4] += Weight(x - Paeth(a, b, c));
  }
  int best = 0;
  for (int type = 1; type < 5; ++type) {
    if (weights[type] < weights[best]) best = type;
  }
  return best;
}

}  // namespace

uint64_t PngStream::FilteredSize(int32_t width, int32_t height) {
  return (3 * uint64_t(width) + 1) * uint64_t(height);
}

std::vector<uint8_t> PngStream::LengthField(uint32_t length) {
  std::vector<uint8_t> field;
  PutU32(field, length);
  return field;
}

PngStream::PngStream(ByteOutput& out, int32_t width, int32_t height, ZlibStream::Mode mode,
                     std::optional<uint32_t> idatLength)
    : out_(out), rowBytes_(3 * size_t(width)), previous_(rowBytes_, 0), filtered_(rowBytes_ + 1),
      zlib_(FilteredSize(width, height), mode, zlibBytes_) {
  std::vector<uint8_t> start = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutU32(header, uint32_t(width));
  PutU32(header, uint32_t(height));
  for (uint8_t b : {8, 2, 0, 0, 0}) header.push_back(b);  // 8 bits, RGB, deflate, no interlace
  PutChunk(start, "IHDR", header);
  PutU32(start, idatLength.value_or(0));
  static const uint8_t kIdat[4] = {'I', 'D', 'A', 'T'};
  start.insert(start.end(), kIdat, kIdat + 4);
  out_.Write(start);
  crc_ = UpdateCrc(~0u, kIdat, 4);
}

void PngStream::AddRow(const uint8_t* rgb) {
  const int type = ChooseFilter(rgb, previous_.data(), rowBytes_);
  filtered_[0] = uint8_t(type);
  for (size_t i = 0; i < rowBytes_; ++i) {
    const int a = i >= 3 ? rgb[i - 3] : 0, c = i >= 3 ? previous_[i - 3] : 0;
    filtered_[i + 1] = uint8_t(Filtered(type, rgb[i], a, previous_[i], c));
  }
  previous_.assign(rgb, rgb + rowBytes_);
  zlib_.Feed(filtered_.data(), filtered_.size());
  if (zlibBytes_.size() >= kFlushBytes) Flush();
}

void PngStream::Flush() {
  crc_ = UpdateCrc(crc_, zlibBytes_.data(), zlibBytes_.size());
  out_.Write(zlibBytes_);
  zlibBytes_.clear();
}

PngStream::Ending PngStream::Finish() {
  zlib_.Finish();
  Flush();
  std::vector<uint8_t> end;
  PutU32(end, ~crc_);
  PutChunk(end, "IEND", {});
  out_.Write(end);
  return {uint32_t(zlib_.Produced()), zlib_.StoredIsSmaller()};
}

namespace {

PngStream::Ending Pass(ByteOutput& out, int32_t width, int32_t height, ZlibStream::Mode mode,
                       std::optional<uint32_t> idatLength, const std::function<void(PngStream&)>& feedRows) {
  PngStream png(out, width, height, mode, idatLength);
  feedRows(png);
  return png.Finish();
}

uint32_t StoredIdatLength(int32_t width, int32_t height) {
  return uint32_t(ZlibStream::StoredLength(PngStream::FilteredSize(width, height)));
}

}  // namespace

int WritePng(ByteOutput& out, int32_t width, int32_t height, const std::function<void(PngStream&)>& feedRows) {
  using Mode = ZlibStream::Mode;
  if (out.Rewritable()) {
    const PngStream::Ending first = Pass(out, width, height, Mode::Compressed, std::nullopt, feedRows);
    if (!first.storedIsSmaller) {
      out.WriteAt(PngStream::kIdatLengthOffset, PngStream::LengthField(first.idatLength));
      return 1;
    }
    out.Restart();
    Pass(out, width, height, Mode::Stored, StoredIdatLength(width, height), feedRows);
    return 2;
  }
  CountingOutput counted;
  const PngStream::Ending first = Pass(counted, width, height, Mode::Compressed, std::nullopt, feedRows);
  if (first.storedIsSmaller) {
    Pass(out, width, height, Mode::Stored, StoredIdatLength(width, height), feedRows);
  } else {
    Pass(out, width, height, Mode::Compressed, first.idatLength, feedRows);
  }
  return 2;
}

}  // namespace Image
