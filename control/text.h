// Small text helpers of the command language: UTF-8 sequences, JSON strings
// (written and read back), and words quoted safely inside a message.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace control {

// The length of the well-formed UTF-8 sequence at the start of `text`
// (no overlong forms, no surrogates, nothing above U+10FFFF), 0 if none.
size_t Utf8SequenceLength(std::string_view text);

// `text` as a JSON string with its quotes. Control characters and DEL are
// escaped; a byte that starts no UTF-8 sequence becomes U+FFFD, so the
// result is always valid JSON in valid UTF-8.
std::string JsonString(std::string_view text);

// Reads the JSON string that starts at `text[pos]` (at its opening quote);
// on success `pos` is just past the closing quote. No value for anything
// malformed. \uXXXX escapes become UTF-8 (a lone surrogate becomes U+FFFD).
std::optional<std::string> ReadJsonString(std::string_view text, size_t& pos);

// A word for a message: in single quotes, control characters as '?', cut
// to 40 bytes with "..." after.
std::string Quoted(std::string_view word);

}  // namespace control
