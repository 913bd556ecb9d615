// The command's PNG, encoded row by row as the rows arrive: 8-bit RGB, rows
// top-down, each with the filter stb_image_write picks for it (the one whose
// bytes, read as signed, sum to the least), compressed by ZlibStream. The
// file is stb_image_write's, byte for byte: signature, IHDR, one IDAT, IEND.
// The IDAT chunk starts with its length, which is known only at the end
// unless given: then it is written as 0 and the caller patches it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "image/byte_output.h"
#include "image/zlib_stream.h"

namespace Image {

class PngStream {
 public:
  // Where the IDAT chunk's length field lies in the file.
  static constexpr uint64_t kIdatLengthOffset = 33;

  // Writes the signature, IHDR and the start of IDAT. idatLength: the zlib
  // stream's length, when known beforehand (as ZlibStream::StoredLength
  // gives it, or from an earlier pass).
  PngStream(ByteOutput& out, int32_t width, int32_t height, ZlibStream::Mode mode,
            std::optional<uint32_t> idatLength);

  // The next row, top-down: 3 * width bytes of red, green, blue.
  void AddRow(const uint8_t* rgb);

  struct Ending {
    uint32_t idatLength;   // the zlib stream's length
    bool storedIsSmaller;  // encode it again in Stored mode (ZlibStream)
  };
  // After the last row: the rest of IDAT, its CRC and IEND.
  Ending Finish();

  // The bytes of the length field for an IDAT of this length.
  static std::vector<uint8_t> LengthField(uint32_t length);
  // The data a picture's zlib stream compresses: a filter byte per row.
  static uint64_t FilteredSize(int32_t width, int32_t height);

 private:
  void Flush();

  ByteOutput& out_;
  const size_t rowBytes_;
  std::vector<uint8_t> previous_, filtered_, zlibBytes_;
  ZlibStream zlib_;
  uint32_t crc_;
};

// A whole PNG into out. feedRows adds the picture's rows, top-down, to the
// stream it is given, and is called once per pass: once when out can be
// patched (the IDAT length then patched), twice when it cannot (a first
// pass counts the length); and once more, in Stored mode, in the rare case
// that stb_image_write would have stored the data (noise-like pictures).
// Returns how many passes it took.
int WritePng(ByteOutput& out, int32_t width, int32_t height, const std::function<void(PngStream&)>& feedRows);

}  // namespace Image
