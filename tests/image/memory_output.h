// The encoders' output in memory for the tests: a file that can be patched
// and started again, or, like a pipe, one that cannot (patching it fails the
// test).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/byte_output.h"

class MemoryOutput : public Image::ByteOutput {
 public:
  explicit MemoryOutput(bool rewritable = true) : rewritable_(rewritable) {}
  void Write(std::span<const uint8_t> b) override { bytes.insert(bytes.end(), b.begin(), b.end()); }
  bool Rewritable() const override { return rewritable_; }
  void WriteAt(uint64_t offset, std::span<const uint8_t> b) override {
    ASSERT_TRUE(rewritable_);
    ASSERT_LE(offset + b.size(), bytes.size());
    std::memcpy(bytes.data() + offset, b.data(), b.size());
  }
  void Restart() override {
    ASSERT_TRUE(rewritable_);
    bytes.clear();
  }
  std::vector<uint8_t> bytes;

 private:
  bool rewritable_;
};
