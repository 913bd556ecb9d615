// The operating-system calls behind SaveFile, one implementation per platform
// (linux/posix_file_writer.cpp, win32/win32_file_writer.cpp). They report
// what they found and whether a call worked, with the system's reason;
// file_writer.cpp decides what to do and which error that is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace FileWriterOs {

// Characters that end a folder part in a path.
extern const char* const kSeparators;

struct Target {
  enum class Kind {
    Absent,   // nothing there yet: a new file is created
    Regular,  // a regular file (links followed): replaced by rename
    InPlace,  // a character device or FIFO: written where it is
    Held,     // an output the process already holds (standard output): written through it
    Refused,  // a folder, another special file, a link to nothing, a read-only file
  };
  Kind kind = Kind::Absent;
  // Where the bytes land: for Regular, the file that links lead to. Where
  // Inspect opened the file's folder (Output::folder), its name in there.
  std::string path;
  std::string reason;  // Refused: why
  // Regular: what the replacement keeps.
  uint32_t mode = 0;
  uint32_t owner = 0, group = 0;
  intptr_t held = -1;  // Held: the descriptor or HANDLE, still the process's own
};

struct Output {
  std::string tempPath;   // empty when writing in place
  intptr_t handle = -1;   // file descriptor or HANDLE; -1 when closed
  intptr_t folder = -1;   // where a platform opens the target's folder: its descriptor
  std::string reason;     // the last failure's
};

// What is at path. A platform that opens the folder on the way leaves it in
// out.folder, where CreateTemp and Replace use it; Discard closes it.
Target Inspect(const std::string& path, Output& out);
// The process's standard output, as a Held target (Refused when it has none).
Target StandardOutput();

// A new, uniquely named, empty file in folder ("" = the current folder,
// otherwise ending in a separator) that takes the target's permissions and,
// where allowed, owner and group (Regular), or the new-file permissions.
// While it exists, SIGINT / SIGTERM / SIGHUP (Windows: the console's events,
// and any end of the process) remove it before they act.
bool CreateTemp(const std::string& folder, const Target& target, bool ownerOnly, Output& out);
// Opens an InPlace target for writing without creating or truncating it, and
// without waiting for a reader of a FIFO that nobody reads.
bool OpenInPlace(const Target& target, Output& out);
// A Held target: writes go through a duplicate of it, from where it stands
// and in its mode (appending if it appends); nothing is created or truncated.
bool OpenHeld(const Target& target, Output& out);
bool WriteAll(Output& out, const uint8_t* data, size_t n);
// A temporary file only: writes at offset; the position of the next
// WriteAll stays where it was.
bool WriteAt(Output& out, uint64_t offset, const uint8_t* data, size_t n);
// A temporary file only: empties it and puts the next WriteAll at its start.
bool Truncate(Output& out);
// A temporary file is flushed to the disk; either way the file is closed
// (on Windows a temporary file stays open until Replace or Discard).
bool Finish(Output& out);
// Renames the finished temporary file over the target in one step.
bool Replace(Output& out, const std::string& target);
// Closes the file (and the folder) if open and deletes a temporary file.
void Discard(Output& out);

}  // namespace FileWriterOs
