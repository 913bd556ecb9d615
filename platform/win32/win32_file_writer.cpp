// Windows side of SaveFile: CreateFileA(CREATE_NEW) of a temporary file in
// the target's folder, WriteFile (at an offset, and SetEndOfFile, for a
// stream that patches or starts again), FlushFileBuffers, then MoveFileExA with
// MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, which replaces the
// target in one step and returns only once the move is on the disk. A device
// (NUL, CON, COM1) or a pipe is written in place, standard output through a
// duplicate of its handle.
#include <windows.h>

#include <atomic>

#include "platform/file_writer_os.h"

namespace FileWriterOs {
namespace {

std::atomic<unsigned> tempCounter{0};

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

std::string ReasonOf(DWORD error) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string reason = n && text ? std::string(text, n) : "Error " + std::to_string(error);
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
    reason.pop_back();
  return reason;
}

// What an existing name is: a disk file, or a character device or pipe (the
// reserved device names open as those whatever folder they are given in).
DWORD TypeOfExisting(const std::string& path) {
  const HANDLE h = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FILE_TYPE_UNKNOWN;
  const DWORD type = GetFileType(h);
  CloseHandle(h);
  return type;
}

}  // namespace

// "C:name" names a file in drive C's current folder, so ':' ends a folder too.
const char* const kSeparators = "/\\:";

Target Inspect(const std::string& path, Output&) {
  Target t;
  t.path = path;
  const DWORD type = TypeOfExisting(path);
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {
    t.kind = Target::Kind::InPlace;
    return t;
  }
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return t;  // absent, or the folder is: creation tells
  t.kind = Target::Kind::Refused;
  // CreateFile would refuse to overwrite a folder or a read-only file too.
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) t.reason = "Is a folder";
  else if (attributes & FILE_ATTRIBUTE_READONLY) t.reason = ReasonOf(ERROR_ACCESS_DENIED);
  else t.kind = Target::Kind::Regular;
  return t;
}

bool CreateTemp(const std::string& folder, const Target&, bool, Output& out) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = folder + "~prismora-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(tempCounter++) + ".tmp";
    const HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      out.tempPath = name;
      out.handle = reinterpret_cast<intptr_t>(h);
      return true;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS) {
      out.reason = ReasonOf(error);
      return false;
    }
  }
  out.reason = ReasonOf(ERROR_FILE_EXISTS);
  return false;
}

bool OpenInPlace(const Target& target, Output& out) {
  const HANDLE h = CreateFileA(target.path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    out.reason = ReasonOf(GetLastError());
    return false;
  }
  out.handle = reinterpret_cast<intptr_t>(h);
  return true;
}

bool WriteAll(Output& out, const uint8_t* data, size_t n) {
  while (n > 0) {
    const DWORD chunk = n > (1u << 30) ? (1u << 30) : static_cast<DWORD>(n);
    DWORD written = 0;
    if (!WriteFile(AsHandle(out.handle), data, chunk, &written, nullptr) || written == 0) {
      out.reason = ReasonOf(GetLastError());
      return false;
    }
    data += written;
    n -= written;
  }
  return true;
}

// A synchronous handle's position moves with a positioned write: put it back
// at the end, where the appending writes continue.
bool WriteAt(Output& out, uint64_t offset, const uint8_t* data, size_t n) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(AsHandle(out.handle), at, nullptr, FILE_BEGIN)) {
    out.reason = ReasonOf(GetLastError());
    return false;
  }
  const bool written = WriteAll(out, data, n);
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(AsHandle(out.handle), zero, nullptr, FILE_END) && written) {
    out.reason = ReasonOf(GetLastError());
    return false;
  }
  return written;
}

bool Truncate(Output& out) {
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  if (!SetFilePointerEx(AsHandle(out.handle), zero, nullptr, FILE_BEGIN) || !SetEndOfFile(AsHandle(out.handle))) {
    out.reason = ReasonOf(GetLastError());
    return false;
  }
  return true;
}

bool Finish(Output& out) {
  const HANDLE h = AsHandle(out.handle);
  out.handle = -1;
  const bool flushed = out.tempPath.empty() || FlushFileBuffers(h) != 0;
  if (!flushed) out.reason = ReasonOf(GetLastError());
  const bool closed = CloseHandle(h) != 0;
  return flushed && closed;
}

bool Replace(Output& out, const std::string& target) {
  if (!MoveFileExA(out.tempPath.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    out.reason = ReasonOf(GetLastError());
    return false;
  }
  out.tempPath.clear();
  return true;
}

void Discard(Output& out) {
  if (out.handle != -1) CloseHandle(AsHandle(out.handle));
  out.handle = -1;
  if (!out.tempPath.empty()) DeleteFileA(out.tempPath.c_str());
  out.tempPath.clear();
}

// Standard output as the process was given it (a console, a file, a pipe).
Target StandardOutput() {
  Target t;
  t.path = "-";
  const HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
  if (h == INVALID_HANDLE_VALUE || h == nullptr) {
    t.kind = Target::Kind::Refused;
    t.reason = "No standard output";
    return t;
  }
  t.kind = Target::Kind::Held;
  t.held = reinterpret_cast<intptr_t>(h);
  return t;
}

// A duplicate shares the handle's file position; closing it leaves the
// process's own open.
bool OpenHeld(const Target& target, Output& out) {
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), AsHandle(target.held), GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    out.reason = ReasonOf(GetLastError());
    return false;
  }
  out.handle = reinterpret_cast<intptr_t>(copy);
  return true;
}

}  // namespace FileWriterOs
