// UTF-16LE <-> UTF-8 (with lone surrogates kept, see utf16.h).
#include "platform/linux/utf16.h"

#include <cstdint>

namespace Platform {
namespace {

bool IsHighSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(char(c));
  } else if (c < 0x800) {
    out.push_back(char(0xC0 | c >> 6));
    out.push_back(char(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(char(0xE0 | c >> 12));
    out.push_back(char(0x80 | (c >> 6 & 0x3F)));
    out.push_back(char(0x80 | (c & 0x3F)));
  } else {
    out.push_back(char(0xF0 | c >> 18));
    out.push_back(char(0x80 | (c >> 12 & 0x3F)));
    out.push_back(char(0x80 | (c >> 6 & 0x3F)));
    out.push_back(char(0x80 | (c & 0x3F)));
  }
}

void AppendUnit(std::string& out, uint32_t unit) {
  out.push_back(char(unit & 0xFF));
  out.push_back(char(unit >> 8));
}

// One code point from text at i, advancing i; false on a malformed sequence.
bool NextCodePoint(std::string_view text, size_t& i, uint32_t& c) {
  const auto byte = [&](size_t k) { return uint32_t(uint8_t(text[k])); };
  const uint32_t lead = byte(i);
  size_t length = 0;
  uint32_t minimum = 0;
  if (lead < 0x80) length = 1, c = lead;
  else if (lead >= 0xC2 && lead <= 0xDF) length = 2, c = lead & 0x1F, minimum = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, c = lead & 0x0F, minimum = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, c = lead & 0x07, minimum = 0x10000;
  else return false;
  if (text.size() - i < length) return false;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return false;
    c = c << 6 | (byte(i + k) & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF) return false;
  i += length;
  return true;
}

}  // namespace

bool Utf16LeToUtf8(std::string_view bytes, std::string& out) {
  out.clear();
  if (bytes.size() % 2 != 0) return false;
  out.reserve(bytes.size());
  const auto unit = [&](size_t k) { return uint32_t(uint8_t(bytes[k])) | uint32_t(uint8_t(bytes[k + 1])) << 8; };
  for (size_t i = 0; i < bytes.size(); i += 2) {
    uint32_t c = unit(i);
    if (IsHighSurrogate(c) && i + 3 < bytes.size() && IsLowSurrogate(unit(i + 2))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    }
    AppendUtf8(out, c);
  }
  return true;
}

bool Utf8ToUtf16Le(std::string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size() * 2);
  for (size_t i = 0; i < text.size();) {
    uint32_t c = 0;
    if (!NextCodePoint(text, i, c)) return false;
    if (c < 0x10000) {
      AppendUnit(out, c);
    } else {
      c -= 0x10000;
      AppendUnit(out, 0xD800 + (c >> 10));
      AppendUnit(out, 0xDC00 + (c & 0x3FF));
    }
  }
  return true;
}

}  // namespace Platform
