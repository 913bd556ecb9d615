// Validation and the write sequence of WriteFileAtomically; the OS calls are
// in atomic_file_posix.cpp / atomic_file_win32.cpp.
#include "tools/atomic_file.h"

#include <algorithm>
#include <atomic>

#include "platform/error.h"
#include "tools/atomic_file_os.h"

namespace {

constexpr size_t kChunk = 1 << 20;
std::atomic<int64_t> writeFaultAfter{-1};

// The last path component; Windows refuses wildcards and a few more
// characters in a file name, and we refuse them everywhere so that both
// builds treat the same name the same way.
bool ValidFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char ch : name) {
    if (ch < 32 || std::string_view("*?<>|\"").find(static_cast<char>(ch)) != std::string_view::npos) return false;
  }
  return true;
}

// Writes in chunks so that the fault hook can stop part-way, as a full disk does.
bool WriteBytes(AtomicFileOs::TempFile& temp, std::span<const uint8_t> bytes) {
  const int64_t limit = writeFaultAfter.load();
  size_t done = 0;
  while (done < bytes.size()) {
    size_t n = std::min(kChunk, bytes.size() - done);
    const bool fault = limit >= 0 && static_cast<int64_t>(done + n) > limit;
    if (fault) n = static_cast<size_t>(std::max<int64_t>(0, limit - static_cast<int64_t>(done)));
    if (!AtomicFileOs::WriteAll(temp, bytes.data() + done, n) || fault) return false;
    done += n;
  }
  return true;
}

}  // namespace

void SetWriteFaultForTesting(int64_t failAfterBytes) { writeFaultAfter.store(failAfterBytes); }

void WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
  const PrismoraError cannotCreate("Cannot create file " + path);
  const std::string target = AtomicFileOs::ResolveTarget(path);
  const size_t cut = target.find_last_of(AtomicFileOs::kSeparators);
  const std::string folder = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
  const std::string name = cut == std::string::npos ? target : target.substr(cut + 1);
  if (!ValidFileName(name) || !AtomicFileOs::TargetReplaceable(target)) throw cannotCreate;

  AtomicFileOs::TempFile temp;
  if (!AtomicFileOs::CreateTemp(folder, target, temp)) throw cannotCreate;
  if (!WriteBytes(temp, bytes) || !AtomicFileOs::FlushAndClose(temp)) {
    AtomicFileOs::Discard(temp);
    throw PrismoraError("Stream write error");
  }
  if (!AtomicFileOs::ReplaceTarget(temp, target)) {
    AtomicFileOs::Discard(temp);
    throw cannotCreate;
  }
}

void WriteFileAtomically(const std::string& path, std::string_view text) {
  WriteFileAtomically(path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}
