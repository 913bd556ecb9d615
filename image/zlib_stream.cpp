// The stb_image_write compressor, streamed. It reads at most 258 bytes
// behind a match's source and 259 ahead of its position (the lazy look at the
// next byte's match), and never further back than 32768 bytes, so a window of
// the last 32 KB and a little more stands in for the whole data; positions
// are absolute, as stb's pointers into the data are. Every decision (which
// chain entries count, ties going to the newest, a chain cut when it reaches
// 16, positions skipped by a match never hashed) is stb's, in stb's order.
#include "image/zlib_stream.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace Image {
namespace {

constexpr uint32_t kHashSize = 16384;
constexpr uint32_t kQuality = 8;                // stb's default compression level
constexpr uint32_t kChainLimit = 2 * kQuality;  // a chain this long keeps its newest kQuality
constexpr int64_t kWindow = 32768;
constexpr size_t kMaxMatch = 258;
constexpr size_t kLookahead = kMaxMatch + 1;  // the next position's match reaches this far
constexpr size_t kWindowCapacity = size_t(1) << 18;
constexpr size_t kStoredBlock = 32767;

static_assert(std::endian::native == std::endian::little, "the match compare reads words little-endian");

uint32_t Hash(const uint8_t* p) {
  uint32_t hash = p[0] + (uint32_t(p[1]) << 8) + (uint32_t(p[2]) << 16);
  hash ^= hash << 3;
  hash += hash >> 5;
  hash ^= hash << 4;
  hash += hash >> 17;
  hash ^= hash << 25;
  hash += hash >> 6;
  return hash & (kHashSize - 1);
}

// How many bytes at a and b agree, up to limit and 258.
uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint64_t limit) {
  const size_t n = size_t(std::min<uint64_t>(limit, kMaxMatch));
  size_t k = 0;
  for (; k + 8 <= n; k += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + k, 8);
    std::memcpy(&y, b + k, 8);
    if (x != y) return uint32_t(k + size_t(std::countr_zero(x ^ y)) / 8);
  }
  while (k < n && a[k] == b[k]) ++k;
  return uint32_t(k);
}

struct Code {
  uint16_t bits;  // already reversed: deflate sends Huffman codes highest bit first
  uint8_t length;
};

constexpr uint16_t Reversed(uint32_t code, int length) {
  uint32_t r = 0;
  for (int i = 0; i < length; ++i) r = (r << 1) | ((code >> i) & 1);
  return uint16_t(r);
}

// The fixed Huffman code of each literal/length symbol 0..287.
constexpr std::array<Code, 288> FixedCodes() {
  std::array<Code, 288> codes{};
  for (uint32_t n = 0; n < 288; ++n) {
    const uint32_t code = n <= 143 ? 0x30 + n : n <= 255 ? 0x190 + n - 144 : n <= 279 ? n - 256 : 0xc0 + n - 280;
    const int length = n <= 143 ? 8 : n <= 255 ? 9 : n <= 279 ? 7 : 8;
    codes[n] = {Reversed(code, length), uint8_t(length)};
  }
  return codes;
}
constexpr std::array<Code, 288> kFixedCodes = FixedCodes();

constexpr uint16_t kLengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23,  27,
                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 259};
constexpr uint8_t kLengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistanceBase[] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,    33,
                                      49,   65,   97,   129,  193,  257,   385,   513,   769,   1025,  1537,
                                      2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32768};
constexpr uint8_t kDistanceExtra[] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                      6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The index j with base[j] <= value < base[j + 1], found as stb finds it.
int BucketOf(const uint16_t* base, uint32_t value) {
  int j = 0;
  while (value > uint32_t(base[j + 1]) - 1) ++j;
  return j;
}

}  // namespace

// The compressed block: the window, the hash chains and the bits.
class ZlibStream::Compressor {
 public:
  Compressor(ZlibStream& stream, uint64_t total)
      : stream_(stream), total_(total), window_(new uint8_t[kWindowCapacity]),
        chains_(new uint32_t[size_t(kHashSize) * kChainLimit]), chainLengths_(kHashSize, 0) {
    AddBits(1, 1);  // the last block
    AddBits(1, 2);  // fixed Huffman codes
  }

  void Feed(const uint8_t* data, size_t n) {
    while (n > 0) {
      if (used_ == kWindowCapacity) DropOldBytes();
      const size_t k = std::min(n, kWindowCapacity - used_);
      std::memcpy(window_.get() + used_, data, k);
      used_ += k;
      end_ += k;
      data += k;
      n -= k;
      CompressAvailable();
    }
  }

  // After the last byte: the rest, the end of the block, byte alignment.
  void Finish() {
    CompressAvailable();
    for (; pos_ < total_; ++pos_) Literal(*At(pos_));
    AddSymbol(256);
    if (count_ % 8) AddBits(0, 8 - count_ % 8);
    FlushBits();
  }

 private:
  const uint8_t* At(uint64_t position) const { return window_.get() + (position - windowStart_); }

  // Keeps the last 32 KB before the current position, which matches may reach.
  void DropOldBytes() {
    const uint64_t keep = pos_ > uint64_t(kWindow) ? pos_ - uint64_t(kWindow) : 0;
    if (keep <= windowStart_) return;
    const size_t drop = size_t(keep - windowStart_);
    std::memmove(window_.get(), window_.get() + drop, used_ - drop);
    used_ -= drop;
    windowStart_ = keep;
  }

  // Every position whose matches lie within what has been fed; all of them
  // once the data is complete. stb's loop stops 3 bytes before the end.
  void CompressAvailable() {
    const uint64_t stop = total_ > 3 ? total_ - 3 : 0;
    while (pos_ < stop && (end_ == total_ || pos_ + kLookahead <= end_)) Step();
  }

  // The longest match at position i in chain h among positions after
  // `after` (the newest of equal length wins), at least best long; -1 when
  // there is none.
  int64_t BestMatch(uint32_t h, uint64_t i, int64_t after, uint32_t& best) const {
    const uint32_t* chain = chains_.get() + size_t(h) * kChainLimit;
    int64_t where = -1;
    for (uint32_t j = 0; j < chainLengths_[h]; ++j) {
      if (int64_t(chain[j]) <= after) continue;
      const uint32_t d = MatchLength(At(chain[j]), At(i), total_ - i);
      if (d >= best) {
        best = d;
        where = chain[j];
      }
    }
    return where;
  }

  // Whether the next position has a longer match than best (stb then emits
  // this byte as a literal).
  bool NextIsLonger(uint64_t i, uint32_t best) const {
    const uint32_t h = Hash(At(i + 1));
    const uint32_t* chain = chains_.get() + size_t(h) * kChainLimit;
    for (uint32_t j = 0; j < chainLengths_[h]; ++j) {
      if (int64_t(chain[j]) <= int64_t(i) - (kWindow - 1)) continue;
      if (MatchLength(At(chain[j]), At(i + 1), total_ - i - 1) > best) return true;
    }
    return false;
  }

  void Remember(uint32_t h, uint64_t i) {
    uint32_t* chain = chains_.get() + size_t(h) * kChainLimit;
    uint8_t& length = chainLengths_[h];
    if (length == kChainLimit) {
      std::memmove(chain, chain + kQuality, sizeof(uint32_t) * kQuality);
      length = kQuality;
    }
    chain[length++] = uint32_t(i);
  }

  void Step() {
    const uint64_t i = pos_;
    const uint32_t h = Hash(At(i));
    uint32_t best = 3;
    int64_t where = BestMatch(h, i, int64_t(i) - kWindow, best);
    Remember(h, i);
    if (where >= 0 && NextIsLonger(i, best)) where = -1;
    if (where >= 0) {
      Match(best, uint32_t(i - uint64_t(where)));
      pos_ += best;
    } else {
      Literal(*At(i));
      ++pos_;
    }
  }

  void Literal(uint8_t byte) { AddSymbol(byte); }

  void Match(uint32_t length, uint32_t distance) {
    const int l = BucketOf(kLengthBase, length);
    AddSymbol(uint32_t(257 + l));
    if (kLengthExtra[l]) AddBits(length - kLengthBase[l], kLengthExtra[l]);
    const int d = BucketOf(kDistanceBase, distance);
    AddBits(Reversed(uint32_t(d), 5), 5);
    if (kDistanceExtra[d]) AddBits(distance - kDistanceBase[d], kDistanceExtra[d]);
  }

  void AddSymbol(uint32_t symbol) { AddBits(kFixedCodes[symbol].bits, kFixedCodes[symbol].length); }

  // Bits go out lowest first, as deflate packs them.
  void AddBits(uint32_t bits, int n) {
    bits_ |= uint64_t(bits) << count_;
    count_ += n;
    if (count_ >= 32) {
      uint8_t bytes[4];
      for (int k = 0; k < 4; ++k) bytes[k] = uint8_t(bits_ >> (8 * k));
      stream_.Put(bytes, 4);
      bits_ >>= 32;
      count_ -= 32;
    }
  }

  void FlushBits() {
    uint8_t bytes[8];
    const size_t n = size_t(count_ / 8);
    for (size_t k = 0; k < n; ++k) bytes[k] = uint8_t(bits_ >> (8 * k));
    stream_.Put(bytes, n);
    bits_ = 0;
    count_ = 0;
  }

  ZlibStream& stream_;
  const uint64_t total_;
  std::unique_ptr<uint8_t[]> window_;    // bytes windowStart_ .. windowStart_ + used_
  std::unique_ptr<uint32_t[]> chains_;   // kChainLimit positions per hash, oldest first
  std::vector<uint8_t> chainLengths_;
  uint64_t windowStart_ = 0, end_ = 0, pos_ = 0;
  size_t used_ = 0;
  uint64_t bits_ = 0;
  int count_ = 0;
};

ZlibStream::ZlibStream(uint64_t total, Mode mode, std::vector<uint8_t>& out)
    : total_(total), mode_(mode), out_(out) {
  if (total >= (uint64_t(1) << 32)) throw std::length_error("PNG data of 4 GB or more");
  const uint8_t header[2] = {0x78, 0x5e};  // deflate, 32K window; "fast" level
  Put(header, 2);
  if (mode == Mode::Compressed) {
    compressor_ = std::make_unique<Compressor>(*this, total);
  } else {
    block_.reserve(kStoredBlock);
  }
}

ZlibStream::~ZlibStream() = default;

uint64_t ZlibStream::StoredLength(uint64_t total) {
  return 2 + total + (total + kStoredBlock - 1) / kStoredBlock * 5 + 4;
}

void ZlibStream::Put(const uint8_t* bytes, size_t n) {
  out_.insert(out_.end(), bytes, bytes + n);
  produced_ += n;
}

void ZlibStream::Feed(const uint8_t* data, size_t n) {
  // Adler-32 in runs short enough that the sums cannot overflow.
  for (size_t done = 0; done < n;) {
    const size_t run = std::min<size_t>(n - done, 5552);
    for (size_t k = 0; k < run; ++k) {
      adlerA_ += data[done + k];
      adlerB_ += adlerA_;
    }
    adlerA_ %= 65521;
    adlerB_ %= 65521;
    done += run;
  }
  fed_ += n;
  if (compressor_) {
    compressor_->Feed(data, n);
  } else {
    FeedStored(data, n);
  }
}

void ZlibStream::FeedStored(const uint8_t* data, size_t n) {
  while (n > 0) {
    const size_t k = std::min(n, kStoredBlock - block_.size());
    block_.insert(block_.end(), data, data + k);
    data += k;
    n -= k;
    if (block_.size() == kStoredBlock) EmitStoredBlock(fed_ - n == total_);
  }
}

void ZlibStream::EmitStoredBlock(bool last) {
  const uint32_t length = uint32_t(block_.size());
  const uint8_t header[5] = {uint8_t(last), uint8_t(length), uint8_t(length >> 8), uint8_t(~length),
                             uint8_t(~length >> 8)};
  Put(header, 5);
  Put(block_.data(), block_.size());
  block_.clear();
}

void ZlibStream::Finish() {
  if (compressor_) {
    compressor_->Finish();
    compressor_.reset();
    // stb stores the data instead when its block came out longer.
    storedIsSmaller_ = produced_ > total_ + 2 + (total_ + kStoredBlock - 1) / kStoredBlock * 5;
  } else if (!block_.empty()) {
    EmitStoredBlock(true);
  }
  const uint8_t adler[4] = {uint8_t(adlerB_ >> 8), uint8_t(adlerB_), uint8_t(adlerA_ >> 8), uint8_t(adlerA_)};
  Put(adler, 4);
}

}  // namespace Image
