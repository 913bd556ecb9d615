// SaveFile and FileStream: the one way this program writes a file (the BMP
// and PNG pictures and the Linux settings store). A regular file, or the regular file that a
// symbolic link leads to, is replaced whole or not at all: the bytes go to a
// temporary file in the same folder, are flushed to the disk and only then
// renamed over it, with the old file's permissions and, where the process may
// set them, its owner and group. A character device or a FIFO (/dev/null, a
// pipe, the console) is written in place; any other special file is refused.
// An output the process already holds (standard output, or on Linux any name
// of one of its open descriptors: /dev/stdout, /dev/fd/N, /proc/self/fd/N)
// is written through that descriptor, from where it stands and appending if
// it appends: what it leads to is never replaced. On Linux every symbolic
// link on the way is checked, not just the last. FileStream writes the same
// way piece by piece, for a picture that is encoded while it is rendered. The
// OS calls are in file_writer_os.h's implementations.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "base/error.h"

namespace FileWriterOs {
struct Target;
}

namespace Platform {

// A file that could not be created or written. what() is the message the
// dialogs show ("Cannot create file <path>", "Stream write error"); Reason()
// is the system's word for why (for the command line). Both show a name's
// control characters escaped (ShownInMessage), so that each is one line.
class FileError : public PrismoraError {
 public:
  FileError(const std::string& message, std::string reason)
      : PrismoraError(message), reason_(std::move(reason)) {}
  const std::string& Reason() const { return reason_; }

 private:
  std::string reason_;
};

// Who may read a file that did not exist before (an existing file keeps its
// own permissions): everyone the umask allows, or its owner alone.
enum class NewFileAccess { Everyone, OwnerOnly };

struct SaveResult {
  enum class Status { Saved, CannotCreate, WriteFailed };
  Status status = Status::Saved;
  std::string reason;  // empty when saved
  bool Saved() const { return status == Status::Saved; }
};

// Never throws for a file problem. CannotCreate: an invalid name (empty, a
// folder, or holding * ? < > | " or a control character, refused on every
// platform alike since Windows refuses them), a missing or unwritable folder,
// a read-only file, a folder or refused special file where the file should
// be, a link that leads nowhere. WriteFailed: writing or flushing failed (a
// full disk). Either way an existing regular file is left exactly as it was
// and no temporary file is left behind, also when SIGINT, SIGTERM or SIGHUP
// end the process during the write.
SaveResult TrySaveFile(const std::string& path, std::span<const uint8_t> bytes,
                       NewFileAccess access = NewFileAccess::Everyone);

// The same, raising FileError "Cannot create file <path>" (the path as
// passed, its control characters escaped) or "Stream write error".
void SaveFile(const std::string& path, std::span<const uint8_t> bytes);
void SaveFile(const std::string& path, std::string_view bytes);

// The FileError for a failed result: "Cannot create file <path>" or "Stream
// write error", with the result's reason.
[[noreturn]] void ThrowFileError(const std::string& path, const SaveResult& result);

// A file written in pieces under SaveFile's rules: the pieces go to the
// temporary file (or, for a device or FIFO, in place) and Commit renames it
// over the file. Until Commit succeeds an existing file stays exactly as it
// was; a stream that fails, or is destroyed uncommitted, removes its
// temporary file (so do SIGINT, SIGTERM and SIGHUP meanwhile). Never throws
// for a file problem: each call says whether it worked and Status() why not;
// after a failure every later call fails too. One stream or save at a time
// in the process: SaveFile waits for a stream to end.
class FileStream {
 public:
  explicit FileStream(const std::string& path, NewFileAccess access = NewFileAccess::Everyone);
  // The process's standard output ("-" on a command line), written in place.
  struct StandardOutput {};
  explicit FileStream(StandardOutput);
  ~FileStream();
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;

  // Saved while all is well; CannotCreate when the file could not be made.
  const SaveResult& Status() const { return status_; }
  bool Write(std::span<const uint8_t> bytes);
  // A temporary file (not a device, FIFO or held output) can be patched and
  // started again.
  bool Rewritable() const;
  // Overwrites bytes written before, at offset; the next Write still appends.
  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
  // Empties the file: the next Write goes to its start.
  bool Restart();
  // Flushes and replaces the file (or ends the in-place write).
  bool Commit();

 private:
  struct Open;
  void OpenTarget(const FileWriterOs::Target& target, NewFileAccess access);
  bool Fail(SaveResult::Status status);
  SaveResult status_;
  std::unique_ptr<Open> open_;  // null once committed or failed
};

// For tests: make the next writes fail once this many bytes have been
// written, as a full disk would. Negative switches it off.
void SetWriteFaultForTesting(int64_t failAfterBytes);
// For tests: called after each piece of a write with the bytes written so
// far (a test raises a signal from it); nullptr switches it off.
void SetWriteProgressHookForTesting(void (*hook)(size_t bytesWritten));

}  // namespace Platform
