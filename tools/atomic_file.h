// WriteFileAtomically: replaces a file whole or not at all. The bytes go to a
// new file in the target's folder, are flushed to the disk, and only then is
// that file renamed over the target; on any failure the temporary file is
// removed and an existing target is left exactly as it was.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Throws PrismoraError:
//  "Cannot create file <path>" (path as passed) when the name is invalid (empty,
//    a folder, or containing * ? < > | " or control characters, which Windows
//    rejects and which are refused on every platform alike), when the folder
//    does not exist or cannot be written, or when the target cannot be replaced
//    (a folder, a read-only file);
//  "Stream write error" when writing or flushing the bytes fails (disk full).
void WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes);
void WriteFileAtomically(const std::string& path, std::string_view text);

// For tests: make the next writes fail once this many bytes have been written
// to the temporary file, as a full disk would. Negative switches it off.
void SetWriteFaultForTesting(int64_t failAfterBytes);
