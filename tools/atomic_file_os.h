// The operating-system calls behind WriteFileAtomically, one implementation
// per platform (atomic_file_posix.cpp, atomic_file_win32.cpp). They report
// success or failure only; atomic_file.cpp decides which error that is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace AtomicFileOs {

// Characters that end a folder part in a path.
extern const char* const kSeparators;

struct TempFile {
  std::string path;
  intptr_t handle = -1;  // file descriptor or HANDLE; -1 when closed
};

// The path the bytes should finally land at: a symbolic link is followed so
// that the file it points to is replaced, not the link.
std::string ResolveTarget(const std::string& path);
// False when the target exists but may not be replaced: a folder, or a file
// without write permission.
bool TargetReplaceable(const std::string& target);
// Creates a new, empty, uniquely named file in folder ("" = current folder,
// otherwise ending in a separator) with the target's permissions if it exists.
bool CreateTemp(const std::string& folder, const std::string& target, TempFile& temp);
// Writes all n bytes, or returns false.
bool WriteAll(TempFile& temp, const uint8_t* data, size_t n);
// Flushes the data to the disk and closes the file.
bool FlushAndClose(TempFile& temp);
// Renames the closed temporary file over the target in one step.
bool ReplaceTarget(const TempFile& temp, const std::string& target);
// Closes the file if open and deletes it.
void Discard(TempFile& temp);

}  // namespace AtomicFileOs
