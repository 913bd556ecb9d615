// SaveFile's decisions: which names are refused, whether the file is replaced
// or written in place, the chunked write that the fault hook can stop, and
// the errors. The OS calls are behind file_writer_os.h.
#include "platform/file_writer.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/file_writer_os.h"

namespace Platform {
namespace {

using FileWriterOs::Output;
using FileWriterOs::Target;
using Status = SaveResult::Status;

constexpr size_t kChunk = 1 << 20;
std::atomic<int64_t> writeFaultAfter{-1};
std::atomic<void (*)(size_t)> writeProgressHook{nullptr};
// One write at a time: the OS layer keeps the temporary file's name for its
// signal handlers in process-wide state.
std::mutex writeMutex;

// Windows refuses wildcards and a few more characters in a file name; they
// are refused everywhere so that both builds treat the same name alike.
bool ValidFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char ch : name) {
    if (ch < 32 || std::string_view("*?<>|\"").find(static_cast<char>(ch)) != std::string_view::npos) return false;
  }
  return true;
}

std::string NameOf(const std::string& path) {
  const size_t cut = path.find_last_of(FileWriterOs::kSeparators);
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of(FileWriterOs::kSeparators);
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

SaveResult Failed(Status status, std::string reason) { return {status, std::move(reason)}; }

// In chunks, so that the fault hook can stop part-way as a full disk does.
bool WriteBytes(Output& out, std::span<const uint8_t> bytes) {
  const int64_t limit = writeFaultAfter.load();
  size_t done = 0;
  while (done < bytes.size()) {
    size_t n = std::min(kChunk, bytes.size() - done);
    const bool fault = limit >= 0 && static_cast<int64_t>(done + n) > limit;
    if (fault) n = static_cast<size_t>(std::max<int64_t>(0, limit - static_cast<int64_t>(done)));
    if (!FileWriterOs::WriteAll(out, bytes.data() + done, n)) return false;
    if (fault) {
      out.reason = "No space left on device";
      return false;
    }
    done += n;
    if (auto hook = writeProgressHook.load()) hook(done);
  }
  return true;
}

SaveResult WriteInPlace(const Target& target, std::span<const uint8_t> bytes) {
  Output out;
  if (!FileWriterOs::OpenInPlace(target, out)) return Failed(Status::CannotCreate, out.reason);
  if (!WriteBytes(out, bytes) || !FileWriterOs::Finish(out)) {
    FileWriterOs::Discard(out);
    return Failed(Status::WriteFailed, out.reason);
  }
  return {};
}

SaveResult WriteAndReplace(const Target& target, std::span<const uint8_t> bytes, NewFileAccess access) {
  Output out;
  if (!FileWriterOs::CreateTemp(FolderOf(target.path), target, access == NewFileAccess::OwnerOnly, out))
    return Failed(Status::CannotCreate, out.reason);
  if (!WriteBytes(out, bytes) || !FileWriterOs::Finish(out)) {
    FileWriterOs::Discard(out);
    return Failed(Status::WriteFailed, out.reason);
  }
  if (!FileWriterOs::Replace(out, target.path)) {
    FileWriterOs::Discard(out);
    return Failed(Status::CannotCreate, out.reason);
  }
  return {};
}

}  // namespace

void SetWriteFaultForTesting(int64_t failAfterBytes) { writeFaultAfter.store(failAfterBytes); }
void SetWriteProgressHookForTesting(void (*hook)(size_t)) { writeProgressHook.store(hook); }

SaveResult TrySaveFile(const std::string& path, std::span<const uint8_t> bytes, NewFileAccess access) {
  if (!ValidFileName(NameOf(path))) return Failed(Status::CannotCreate, "Invalid file name");
  const std::lock_guard<std::mutex> lock(writeMutex);
  const Target target = FileWriterOs::Inspect(path);
  switch (target.kind) {
    case Target::Kind::Refused:
      return Failed(Status::CannotCreate, target.reason);
    case Target::Kind::InPlace:
      return WriteInPlace(target, bytes);
    case Target::Kind::Absent:
    case Target::Kind::Regular:
      break;
  }
  return WriteAndReplace(target, bytes, access);
}

void SaveFile(const std::string& path, std::span<const uint8_t> bytes) {
  const SaveResult result = TrySaveFile(path, bytes);
  if (result.status == Status::CannotCreate) throw FileError("Cannot create file " + path, result.reason);
  if (result.status == Status::WriteFailed) throw FileError("Stream write error", result.reason);
}

void SaveFile(const std::string& path, std::string_view bytes) {
  SaveFile(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace Platform
