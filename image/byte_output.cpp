// FileOutput: the file writer's stream, its failures raised as FileError.
#include "image/byte_output.h"

namespace Image {

namespace {

Platform::FileStream OpenStream(const std::string& path) {
  if (path == kStandardOutputName) return Platform::FileStream(Platform::FileStream::StandardOutput{});
  return Platform::FileStream(path);
}

}  // namespace

FileOutput::FileOutput(const std::string& path) : path_(path), stream_(OpenStream(path)) {
  Check(stream_.Status().Saved());
}

void FileOutput::Check(bool ok) const {
  if (!ok) Platform::ThrowFileError(path_, stream_.Status());
}

void FileOutput::Write(std::span<const uint8_t> bytes) { Check(stream_.Write(bytes)); }

void FileOutput::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) { Check(stream_.WriteAt(offset, bytes)); }

void FileOutput::Restart() { Check(stream_.Restart()); }

void FileOutput::Commit() { Check(stream_.Commit()); }

}  // namespace Image
