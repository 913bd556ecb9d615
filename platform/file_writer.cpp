// SaveFile's and FileStream's decisions: which names are refused, whether the
// file is replaced or written in place, the chunked write that the fault hook
// can stop, and the errors. The OS calls are behind file_writer_os.h.
#include "platform/file_writer.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/file_writer_os.h"

namespace Platform {
namespace {

using FileWriterOs::Output;
using FileWriterOs::Target;
using Outcome = SaveResult::Status;

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

}  // namespace

struct FileStream::Open {
  std::unique_lock<std::mutex> lock{writeMutex};
  Output out;
  std::string target;    // the file a temporary file replaces (links resolved)
  uint64_t written = 0;  // for the test hooks: bytes appended so far
};

FileStream::FileStream(const std::string& path, NewFileAccess access) {
  if (!ValidFileName(NameOf(path))) {
    status_ = {Outcome::CannotCreate, "Invalid file name"};
    return;
  }
  open_ = std::make_unique<Open>();
  OpenTarget(FileWriterOs::Inspect(path, open_->out), access);
}

FileStream::FileStream(StandardOutput) {
  open_ = std::make_unique<Open>();
  OpenTarget(FileWriterOs::StandardOutput(), NewFileAccess::Everyone);
}

void FileStream::OpenTarget(const Target& target, NewFileAccess access) {
  open_->target = target.path;
  bool opened = false;
  switch (target.kind) {
    case Target::Kind::Refused:
      open_->out.reason = target.reason;
      break;
    case Target::Kind::InPlace:
      opened = FileWriterOs::OpenInPlace(target, open_->out);
      break;
    case Target::Kind::Held:
      opened = FileWriterOs::OpenHeld(target, open_->out);
      break;
    case Target::Kind::Absent:
    case Target::Kind::Regular:
      opened = FileWriterOs::CreateTemp(FolderOf(target.path), target, access == NewFileAccess::OwnerOnly, open_->out);
      break;
  }
  if (!opened) Fail(Outcome::CannotCreate);
}

FileStream::~FileStream() {
  if (open_) FileWriterOs::Discard(open_->out);
}

bool FileStream::Fail(Outcome status) {
  status_ = {status, open_->out.reason};
  FileWriterOs::Discard(open_->out);
  open_.reset();
  return false;
}

// In chunks, so that the fault hook can stop part-way as a full disk does.
bool FileStream::Write(std::span<const uint8_t> bytes) {
  if (!open_) return false;
  const int64_t limit = writeFaultAfter.load();
  size_t done = 0;
  while (done < bytes.size()) {
    size_t n = std::min(kChunk, bytes.size() - done);
    const int64_t at = static_cast<int64_t>(open_->written);
    const bool fault = limit >= 0 && at + static_cast<int64_t>(n) > limit;
    if (fault) n = static_cast<size_t>(std::max<int64_t>(0, limit - at));
    if (!FileWriterOs::WriteAll(open_->out, bytes.data() + done, n)) return Fail(Outcome::WriteFailed);
    if (fault) {
      open_->out.reason = "No space left on device";
      return Fail(Outcome::WriteFailed);
    }
    done += n;
    open_->written += n;
    if (auto hook = writeProgressHook.load()) hook(static_cast<size_t>(open_->written));
  }
  return true;
}

bool FileStream::Rewritable() const { return open_ && !open_->out.tempPath.empty(); }

bool FileStream::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
  if (!Rewritable()) return false;
  if (!FileWriterOs::WriteAt(open_->out, offset, bytes.data(), bytes.size())) return Fail(Outcome::WriteFailed);
  return true;
}

bool FileStream::Restart() {
  if (!Rewritable()) return false;
  if (!FileWriterOs::Truncate(open_->out)) return Fail(Outcome::WriteFailed);
  open_->written = 0;
  return true;
}

bool FileStream::Commit() {
  if (!open_) return false;
  if (!FileWriterOs::Finish(open_->out)) return Fail(Outcome::WriteFailed);
  if (!open_->out.tempPath.empty() && !FileWriterOs::Replace(open_->out, open_->target)) return Fail(Outcome::CannotCreate);
  FileWriterOs::Discard(open_->out);  // nothing left to delete: this closes the folder
  open_.reset();
  return true;
}

void SetWriteFaultForTesting(int64_t failAfterBytes) { writeFaultAfter.store(failAfterBytes); }
void SetWriteProgressHookForTesting(void (*hook)(size_t)) { writeProgressHook.store(hook); }

SaveResult TrySaveFile(const std::string& path, std::span<const uint8_t> bytes, NewFileAccess access) {
  FileStream stream(path, access);
  if (stream.Write(bytes)) stream.Commit();
  return stream.Status();
}

void ThrowFileError(const std::string& path, const SaveResult& result) {
  const std::string reason = ShownInMessage(result.reason);
  if (result.status == Outcome::CannotCreate) throw FileError("Cannot create file " + ShownInMessage(path), reason);
  throw FileError("Stream write error", reason);
}

void SaveFile(const std::string& path, std::span<const uint8_t> bytes) {
  const SaveResult result = TrySaveFile(path, bytes);
  if (!result.Saved()) ThrowFileError(path, result);
}

void SaveFile(const std::string& path, std::string_view bytes) {
  SaveFile(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

}  // namespace Platform
