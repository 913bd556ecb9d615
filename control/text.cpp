// UTF-8 checks, JSON strings and quoted words.
#include "control/text.h"

#include <cstdint>

namespace control {

namespace {

uint8_t Byte(std::string_view text, size_t i) { return static_cast<uint8_t>(text[i]); }

bool IsContinuation(std::string_view text, size_t i) { return i < text.size() && (Byte(text, i) & 0xC0) == 0x80; }

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::optional<uint32_t> HexQuad(std::string_view text, size_t pos) {
  if (pos + 4 > text.size()) return std::nullopt;
  uint32_t value = 0;
  for (size_t i = pos; i < pos + 4; ++i) {
    const char c = text[i];
    uint32_t digit;
    if (c >= '0' && c <= '9') digit = uint32_t(c - '0');
    else if (c >= 'a' && c <= 'f') digit = uint32_t(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = uint32_t(c - 'A' + 10);
    else return std::nullopt;
    value = value * 16 + digit;
  }
  return value;
}

// After a backslash at text[pos - 1]: appends the escaped character and
// moves `pos` past the escape.
bool ReadEscape(std::string_view text, size_t& pos, std::string& out) {
  if (pos >= text.size()) return false;
  const char c = text[pos++];
  switch (c) {
    case '"': out += '"'; return true;
    case '\\': out += '\\'; return true;
    case '/': out += '/'; return true;
    case 'b': out += '\b'; return true;
    case 'f': out += '\f'; return true;
    case 'n': out += '\n'; return true;
    case 'r': out += '\r'; return true;
    case 't': out += '\t'; return true;
    case 'u': break;
    default: return false;
  }
  const std::optional<uint32_t> unit = HexQuad(text, pos);
  if (!unit) return false;
  pos += 4;
  uint32_t code = *unit;
  if (code >= 0xD800 && code < 0xDC00 && text.substr(pos, 2) == "\\u") {
    const std::optional<uint32_t> low = HexQuad(text, pos + 2);
    if (low && *low >= 0xDC00 && *low < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
      pos += 6;
    }
  }
  if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;  // a lone surrogate
  AppendUtf8(out, code);
  return true;
}

}  // namespace

size_t Utf8SequenceLength(std::string_view text) {
  if (text.empty()) return 0;
  const uint8_t b = Byte(text, 0);
  if (b < 0x80) return 1;
  // The sequence's length and its second byte's range, by the first byte:
  // the narrowed ranges keep out overlong forms, surrogates (ED) and
  // anything above U+10FFFF (F4).
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || Byte(text, 1) < low || Byte(text, 1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (!IsContinuation(text, i)) return 0;
  return length;
}

std::string JsonString(std::string_view text) {
  static const char hex[] = "0123456789abcdef";
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const uint8_t b = Byte(text, i);
    if (b == '"' || b == '\\') {
      out += '\\';
      out += static_cast<char>(b);
    } else if (b < 0x20 || b == 0x7F) {
      out += "\\u00";
      out += hex[b >> 4];
      out += hex[b & 15];
    } else if (b >= 0x80) {
      const size_t n = Utf8SequenceLength(text.substr(i));
      out += n ? std::string(text.substr(i, n)) : std::string("\\ufffd");
      i += n ? n : 1;
      continue;
    } else {
      out += static_cast<char>(b);
    }
    ++i;
  }
  return out + "\"";
}

std::optional<std::string> ReadJsonString(std::string_view text, size_t& pos) {
  if (pos >= text.size() || text[pos] != '"') return std::nullopt;
  size_t i = pos + 1;
  std::string out;
  while (i < text.size()) {
    const char c = text[i++];
    if (c == '"') {
      pos = i;
      return out;
    }
    if (static_cast<uint8_t>(c) < 0x20) return std::nullopt;
    if (c != '\\') out += c;
    else if (!ReadEscape(text, i, out)) return std::nullopt;
  }
  return std::nullopt;
}

std::string Quoted(std::string_view word) {
  constexpr size_t kLongest = 40;
  std::string out = "'";
  for (size_t i = 0; i < word.size() && i < kLongest; ++i) {
    const uint8_t b = Byte(word, i);
    out += b < 0x20 || b == 0x7F ? '?' : static_cast<char>(b);
  }
  if (word.size() > kLongest) out += "...";
  return out + "'";
}

}  // namespace control
