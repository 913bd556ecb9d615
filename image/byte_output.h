// Where the command's encoders put their bytes: the picture's file, through
// the one file writer (FileOutput), or a count of them (CountingOutput, for
// a PNG whose length must be known before it can be written in one go).
// Tests give the encoders memory instead.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/file_writer.h"

namespace Image {

class ByteOutput {
 public:
  virtual ~ByteOutput() = default;
  // Each call throws when the bytes cannot be written (Platform::FileError
  // for a file).
  virtual void Write(std::span<const uint8_t> bytes) = 0;
  // Whether bytes already written can be overwritten and the whole started
  // again (a temporary file can; a pipe cannot).
  virtual bool Rewritable() const = 0;
  virtual void WriteAt(uint64_t offset, std::span<const uint8_t> bytes) = 0;
  virtual void Restart() = 0;
};

// "-" as the output's name: standard output, as image tools take it (a file
// of that name is "./-").
constexpr const char* kStandardOutputName = "-";

// The picture's file: written piece by piece into its temporary file (or in
// place for a device, a FIFO, standard output or another descriptor the
// process holds); Commit replaces the file. Destroyed
// uncommitted, the old file stays as it was and no temporary file is left.
// Throws the file writer's FileError ("Cannot create file <path>" as soon as
// it is made, "Stream write error" for a write) with the system's reason.
class FileOutput : public ByteOutput {
 public:
  explicit FileOutput(const std::string& path);
  void Write(std::span<const uint8_t> bytes) override;
  bool Rewritable() const override { return stream_.Rewritable(); }
  void WriteAt(uint64_t offset, std::span<const uint8_t> bytes) override;
  void Restart() override;
  void Commit();

 private:
  void Check(bool ok) const;
  std::string path_;
  Platform::FileStream stream_;
};

// Counts the bytes and keeps none.
class CountingOutput : public ByteOutput {
 public:
  void Write(std::span<const uint8_t> bytes) override { count_ += bytes.size(); }
  bool Rewritable() const override { return false; }
  void WriteAt(uint64_t, std::span<const uint8_t>) override {}
  void Restart() override { count_ = 0; }
  uint64_t Count() const { return count_; }

 private:
  uint64_t count_ = 0;
};

}  // namespace Image
