// Windows side of SaveFile: the target opened through any links and its
// final path taken from the handle (GetFinalPathNameByHandleW), so that a link
// is kept and the file it leads to is replaced; CreateFileW(CREATE_NEW) of a
// temporary file in that file's folder, marked for deletion while it is
// written; WriteFile (at an offset, and SetEndOfFile, for a stream that
// patches or starts again), FlushFileBuffers, then the mark taken off and
// MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, which
// replaces the target in one step. A device (NUL, CON, COM1) or a pipe is
// written in place, standard output through a duplicate of its handle. Names
// go to the wide functions (UTF-8 to UTF-16), so that any name works whatever
// the ANSI code page; the console handler that removes the temporary file is
// at the top.
#include <windows.h>

#include <atomic>

#include "platform/file_writer_os.h"
#include "platform/win32/win32_text.h"

namespace FileWriterOs {
namespace {

using WinText::Utf8;
using WinText::Wide;

std::atomic<unsigned> tempCounter{0};

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

std::string ReasonOf(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = n && text ? Utf8(std::wstring_view(text, n)) : "Error " + std::to_string(error);
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.'))
    reason.pop_back();
  return reason;
}

// ---- The temporary file when the process is told to end ----------------------
// A temporary file is marked for deletion from its creation until just
// before the rename, so that the system removes it with its handle however
// the process ends: killed from the task manager, at log-off, or (under
// Wine) by SIGTERM or SIGHUP, which no Windows code sees. The console's
// events (Ctrl+C, Ctrl+Break, the console closed, log-off, shut-down) come to
// a handler on a thread of their own, installed with the first write: it
// waits until the writing thread is not between taking the mark off and the
// rename, removes a temporary file that is no longer marked, and ends the
// process with the status of an interrupted console program, as Windows'
// own handling does, never 0 (Wine's own handling of Ctrl+C ends with 0,
// also in the middle of a write to a device or pipe). It does not go through
// ExitProcess, which would run the C runtime's shut-down while the writing
// thread may hold its locks.

SRWLOCK tempLock = SRWLOCK_INIT;
// Guarded by tempLock: the temporary file that exists, if any, and whether
// it is still marked for deletion.
std::wstring armedTemp;
bool armedMarked = false;
std::atomic<bool> handlerInstalled{false};

class TempLocked {
 public:
  TempLocked() { AcquireSRWLockExclusive(&tempLock); }
  ~TempLocked() { ReleaseSRWLockExclusive(&tempLock); }
  TempLocked(const TempLocked&) = delete;
  TempLocked& operator=(const TempLocked&) = delete;
};

BOOL WINAPI RemoveTempAndEnd(DWORD) {
  AcquireSRWLockExclusive(&tempLock);  // kept until the end
  if (!armedTemp.empty() && !armedMarked) DeleteFileW(armedTemp.c_str());
  TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
  return TRUE;  // not reached
}

// Outside tempLock: the system may hold its own lock of the handler list
// while a handler waits for ours.
void InstallConsoleHandler() {
  if (!handlerInstalled.exchange(true)) SetConsoleCtrlHandler(RemoveTempAndEnd, TRUE);
}

bool MarkForDeletion(HANDLE h, bool marked) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = marked ? TRUE : FALSE;
  return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// ---- What is at the path -------------------------------------------------------

Target Refused(Target t, std::string reason) {
  t.kind = Target::Kind::Refused;
  t.reason = std::move(reason);
  return t;
}

// Whether the folder holds an entry of that name, without following it: a
// link whose file is missing (Windows lists the link itself; Wine 8 lists no
// Unix link that leads nowhere, which therefore looks absent there).
bool NameTaken(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  const HANDLE h = FindFirstFileW(path.c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return false;
  FindClose(h);
  return true;
}

// The file's own path, links and junctions resolved ("\\?\C:\..." or, on a
// volume without a drive letter, "\\?\Volume{...}\..."); empty when the
// system cannot tell.
std::string FinalPath(HANDLE h) {
  for (DWORD flags : {DWORD(VOLUME_NAME_DOS), DWORD(VOLUME_NAME_GUID)}) {
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, buffer.data(), static_cast<DWORD>(buffer.size()), flags);
    if (n >= buffer.size()) {  // too small: n is the size needed
      buffer.resize(n);
      n = GetFinalPathNameByHandleW(h, buffer.data(), static_cast<DWORD>(buffer.size()), flags);
    }
    if (n > 0 && n < buffer.size()) return Utf8(std::wstring_view(buffer.data(), n));
  }
  return {};
}

// By name, when the file could not be opened to look at (another program
// holds it open without sharing): no link is resolved then.
Target ByAttributes(Target t, const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return t;  // creation tells what is wrong
  // CreateFile would refuse to overwrite a folder or a read-only file too.
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Refused(t, "Is a folder");
  if (attributes & FILE_ATTRIBUTE_READONLY) return Refused(t, ReasonOf(ERROR_ACCESS_DENIED));
  t.kind = Target::Kind::Regular;
  return t;
}

// An open file: a character device or pipe (the reserved device names open
// as those whatever folder they are given in), a folder, a read-only file,
// or a disk file to replace where its links lead.
Target ByHandle(Target t, HANDLE h) {
  const DWORD type = GetFileType(h);
  if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) {
    t.kind = Target::Kind::InPlace;
    return t;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return Refused(t, ReasonOf(GetLastError()));
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Refused(t, "Is a folder");
  if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) return Refused(t, ReasonOf(ERROR_ACCESS_DENIED));
  t.kind = Target::Kind::Regular;
  t.mode = info.dwFileAttributes;  // what the replacement keeps of them: CreateTemp
  const std::string final = FinalPath(h);
  if (!final.empty()) t.path = final;
  return t;
}

}  // namespace

// "C:name" names a file in drive C's current folder, so ':' ends a folder too.
const char* const kSeparators = "/\\:";

Target Inspect(const std::string& path, Output&) {
  Target t;
  t.path = path;
  const std::wstring wide = Wide(path);
  // No access asked for: only to look at what is there, through any links.
  const HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    t = ByHandle(t, h);
    CloseHandle(h);
    return t;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND && NameTaken(wide)) return Refused(t, "Symbolic link to a missing file");
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return t;  // absent; creation tells the rest
  return ByAttributes(t, wide);
}

// The attributes a replaced file keeps: what the user set on it (hidden,
// system, archive, left out of the index). Read-only files are refused, and
// compression or encryption are the folder's business.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool CreateTemp(const std::string& folder, const Target& target, bool, Output& out) {
  InstallConsoleHandler();
  const DWORD kept = target.kind == Target::Kind::Regular ? target.mode & kKeptAttributes : 0;
  const DWORD attributes = kept ? kept : FILE_ATTRIBUTE_NORMAL;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string name = folder + "~prismora-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(tempCounter++) + ".tmp";
    const std::wstring wide = Wide(name);
    const TempLocked locked;
    const HANDLE h =
        CreateFileW(wide.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, attributes, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      armedTemp = wide;
      armedMarked = MarkForDeletion(h, true);
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
  InstallConsoleHandler();
  const HANDLE h = CreateFileW(Wide(target.path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
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

// A temporary file stays open, and marked for deletion, until Replace.
bool Finish(Output& out) {
  const HANDLE h = AsHandle(out.handle);
  if (!out.tempPath.empty()) {
    if (FlushFileBuffers(h)) return true;
    out.reason = ReasonOf(GetLastError());
    return false;
  }
  out.handle = -1;
  if (CloseHandle(h)) return true;
  out.reason = ReasonOf(GetLastError());
  return false;
}

// Under tempLock from taking the mark off to the rename: a console event
// meanwhile waits, and then finds either the file renamed or a temporary
// file to remove.
bool Replace(Output& out, const std::string& target) {
  const TempLocked locked;
  if (out.handle != -1) {
    if (armedMarked && !MarkForDeletion(AsHandle(out.handle), false)) {
      out.reason = ReasonOf(GetLastError());
      return false;  // still marked: Discard's close removes it
    }
    armedMarked = false;
    CloseHandle(AsHandle(out.handle));
    out.handle = -1;
  }
  if (!MoveFileExW(Wide(out.tempPath).c_str(), Wide(target).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    out.reason = ReasonOf(GetLastError());
    return false;
  }
  out.tempPath.clear();
  armedTemp.clear();
  return true;
}

// Closing a temporary file that is still marked removes it; one whose mark
// was taken off goes by name.
void Discard(Output& out) {
  const TempLocked locked;
  if (out.handle != -1) CloseHandle(AsHandle(out.handle));
  out.handle = -1;
  if (!out.tempPath.empty()) DeleteFileW(Wide(out.tempPath).c_str());
  out.tempPath.clear();
  armedTemp.clear();
  armedMarked = false;
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
  InstallConsoleHandler();  // Ctrl+C meanwhile ends with a failure status, as for a device
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
