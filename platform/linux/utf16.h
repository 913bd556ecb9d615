// UTF-16LE to and from the 8-bit text the settings store works in. Any
// sequence of UTF-16 code units comes back unchanged: a lone surrogate, which
// UTF-8 has no room for, becomes its three-byte form (as in WTF-8). Pure
// functions, no OS calls.
#pragma once

#include <string>
#include <string_view>

namespace Platform {

// False when the byte count is odd.
bool Utf16LeToUtf8(std::string_view bytes, std::string& out);
// False when the text is not UTF-8 (lone surrogates in their three-byte form
// allowed).
bool Utf8ToUtf16Le(std::string_view text, std::string& out);

}  // namespace Platform
