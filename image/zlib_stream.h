// The zlib stream of the command's PNG pictures, fed piece by piece: the
// very bytes that stb_image_write (1.16, the encoder the command used to
// hold the whole picture for) makes of the same data in one piece, so that
// streamed pictures stay identical to the earlier ones. Its compressor: one
// block of fixed Huffman codes, matches found through 16384 hash chains cut
// from 16 to their newest 8, lazy by one byte; or, when that comes out larger
// than the data, stored blocks of 32767 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Image {

class ZlibStream {
 public:
  enum class Mode { Compressed, Stored };

  // total: how many bytes will be fed in all (the compressor's last matches
  // depend on where the data ends); less than 2^32. The bytes made are
  // appended to out, which the caller may empty whenever it likes.
  ZlibStream(uint64_t total, Mode mode, std::vector<uint8_t>& out);
  ~ZlibStream();

  void Feed(const uint8_t* data, size_t n);
  // After the last of the total bytes: the end of the stream and its Adler-32.
  void Finish();

  // Bytes appended to out so far (after Finish: the stream's length).
  uint64_t Produced() const { return produced_; }
  // After Finish, in Compressed mode: the compressed block came out larger
  // than stored blocks would be, so stb_image_write would have stored the
  // data; this stream is then not the one it makes, and the data has to be
  // fed again in Stored mode.
  bool StoredIsSmaller() const { return storedIsSmaller_; }
  // The whole stream's length in Stored mode.
  static uint64_t StoredLength(uint64_t total);

 private:
  class Compressor;
  void Put(const uint8_t* bytes, size_t n);
  void FeedStored(const uint8_t* data, size_t n);
  void EmitStoredBlock(bool last);

  const uint64_t total_;
  const Mode mode_;
  std::vector<uint8_t>& out_;
  uint64_t produced_ = 0, fed_ = 0;
  uint32_t adlerA_ = 1, adlerB_ = 0;
  std::unique_ptr<Compressor> compressor_;
  std::vector<uint8_t> block_;  // Stored mode: the block being filled
  bool storedIsSmaller_ = false;
};

}  // namespace Image
