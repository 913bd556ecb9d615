// Windows side of WriteFileAtomically: CreateFileA(CREATE_NEW) in the
// target's folder, WriteFile, FlushFileBuffers, then MoveFileExA with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, which replaces the
// target in one step and returns only once the move is on the disk.
#include <windows.h>

#include <atomic>

#include "tools/atomic_file_os.h"

namespace AtomicFileOs {
namespace {

std::atomic<unsigned> tempCounter{0};

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

// "C:name" names a file in drive C's current folder, so ':' ends a folder too.
const char* const kSeparators = "/\\:";

std::string ResolveTarget(const std::string& path) { return path; }

bool TargetReplaceable(const std::string& target) {
  const DWORD attributes = GetFileAttributesA(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  // CreateFile would refuse to overwrite a folder or a read-only file too.
  return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

bool CreateTemp(const std::string& folder, const std::string&, TempFile& temp) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp.path = folder + "~prismora-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(tempCounter++) + ".tmp";
    const HANDLE h = CreateFileA(temp.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      temp.handle = reinterpret_cast<intptr_t>(h);
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  temp.path.clear();
  return false;
}

bool WriteAll(TempFile& temp, const uint8_t* data, size_t n) {
  while (n > 0) {
    const DWORD chunk = n > (1u << 30) ? (1u << 30) : static_cast<DWORD>(n);
    DWORD written = 0;
    if (!WriteFile(AsHandle(temp.handle), data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    n -= written;
  }
  return true;
}

bool FlushAndClose(TempFile& temp) {
  const bool flushed = FlushFileBuffers(AsHandle(temp.handle)) != 0;
  const bool closed = CloseHandle(AsHandle(temp.handle)) != 0;
  temp.handle = -1;
  return flushed && closed;
}

bool ReplaceTarget(const TempFile& temp, const std::string& target) {
  return MoveFileExA(temp.path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

void Discard(TempFile& temp) {
  if (temp.handle != -1) CloseHandle(AsHandle(temp.handle));
  temp.handle = -1;
  if (!temp.path.empty()) DeleteFileA(temp.path.c_str());
}

}  // namespace AtomicFileOs
