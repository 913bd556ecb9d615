// The program's text is UTF-8 on every platform (std::filesystem hands out
// UTF-8 names here too); Windows takes and gives names and window text as
// UTF-16 through its wide ("W") functions. These two conversions sit at that
// border. The "A" functions are not used for text: they go through the ANSI
// code page, which turns every character outside it into '?'.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace WinText {

// Invalid UTF-8 becomes U+FFFD, as Windows converts it.
inline std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

// A lone surrogate (which a Windows name may hold) becomes U+FFFD.
inline std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

}  // namespace WinText
