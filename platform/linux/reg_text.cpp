// The .reg text: parsing lines into sections and values, rendering them back,
// the file encodings and headers, and editing a document line by line.
#include "platform/linux/reg_text.h"

#include <cstdint>
#include <cstdio>

#include "platform/linux/utf16.h"

namespace Platform {

using Settings::RegistryValue;

namespace {

constexpr std::string_view kUserRoot = "HKEY_CURRENT_USER\\";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

// ---- Text helpers -----------------------------------------------------------

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to 8 hex digits making up the whole of `s`.
bool ParseHex32(std::string_view s, uint32_t& out) {
  if (s.empty() || s.size() > 8) return false;
  out = 0;
  for (char c : s) {
    const int d = HexDigit(c);
    if (d < 0) return false;
    out = out << 4 | uint32_t(d);
  }
  return true;
}

// ---- Value lines --------------------------------------------------------------

// A quoted text at the start of `s` ("\\" and "\"" are escapes; a backslash
// before anything else stays as it is). Consumes it from `s`.
bool TakeQuoted(std::string_view& s, std::string& out) {
  if (s.empty() || s.front() != '"') return false;
  out.clear();
  for (size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return true;
    }
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) ++i;
    out.push_back(s[i]);
  }
  return false;  // no closing quote
}

// "01,ff, 2a" (a trailing comma allowed, as left by wrapped lines).
bool ParseHexBytes(std::string_view s, std::vector<uint8_t>& out) {
  out.clear();
  if (Trim(s).empty()) return true;
  while (true) {
    const size_t comma = s.find(',');
    const std::string_view token = Trim(s.substr(0, comma));
    uint32_t byte = 0;
    if (token.size() > 2 || !ParseHex32(token, byte)) {
      return token.empty() && comma == std::string_view::npos && !out.empty();
    }
    out.push_back(uint8_t(byte));
    if (comma == std::string_view::npos) return true;
    s.remove_prefix(comma + 1);
  }
}

// Version 5 files hold the text of these types as UTF-16LE bytes.
bool IsTextType(uint32_t type) { return type == Settings::kRegSz || type == Settings::kRegExpandSz || type == 7; }

// The bytes of a hex(N) value as the store holds them: 8-bit text for the
// text types of a version 5 file; false when they are no UTF-16.
bool TextFromFile(int version, RegistryValue& value) {
  if (version != 5 || !IsTextType(value.type)) return true;
  std::string text;
  if (!Utf16LeToUtf8(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()), text))
    return false;
  value.data.assign(text.begin(), text.end());
  return true;
}

// The data after '=': a string, dword:, hex: or hex(N):.
bool ParseData(std::string_view s, int version, RegistryValue& value) {
  s = Trim(s);
  if (!s.empty() && s.front() == '"') {
    std::string text;
    if (!TakeQuoted(s, text) || !Trim(s).empty()) return false;
    value.type = Settings::kRegSz;
    value.data.assign(text.begin(), text.end());
    value.data.push_back(0);
    return true;
  }
  if (StartsNoCase(s, "dword:")) {
    uint32_t v = 0;
    if (!ParseHex32(s.substr(6), v)) return false;
    value.type = Settings::kRegDword;
    value.data = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return true;
  }
  if (StartsNoCase(s, "hex:")) {
    value.type = Settings::kRegBinary;
    return ParseHexBytes(s.substr(4), value.data);
  }
  if (StartsNoCase(s, "hex(")) {
    const size_t close = s.find("):");
    if (close == std::string_view::npos || !ParseHex32(s.substr(4, close - 4), value.type))
      return false;
    return ParseHexBytes(s.substr(close + 2), value.data) && TextFromFile(version, value);
  }
  return false;
}

// `"Name"=data` or `@=data`; `joined` has continuation backslashes removed.
bool ParseValueLine(std::string_view joined, int version, std::string& name, RegistryValue& value) {
  std::string_view s = Trim(joined);
  if (!s.empty() && s.front() == '@') {
    name.clear();
    s.remove_prefix(1);
  } else if (!TakeQuoted(s, name)) {
    return false;
  }
  s = Trim(s);
  if (s.empty() || s.front() != '=') return false;
  return ParseData(s.substr(1), version, value);
}

// A hex value line that ends with a backslash continues on the next line, if
// that line holds nothing but hex bytes (so a damaged line never swallows the
// section or value that follows it).
bool ContinuesHex(std::string_view trimmed) {
  if (trimmed.empty() || trimmed.back() != '\\') return false;
  const size_t eq = trimmed.find('=');
  return eq != std::string_view::npos && StartsNoCase(Trim(trimmed.substr(eq + 1)), "hex");
}

bool IsHexContinuation(std::string_view line) {
  const std::string_view t = Trim(line);
  bool digit = false;
  for (size_t i = 0; i < t.size(); ++i) {
    const char c = t[i];
    if (HexDigit(c) >= 0) digit = true;
    else if (!(c == ',' || c == ' ' || c == '\t' || (c == '\\' && i + 1 == t.size()))) return false;
  }
  return digit;
}

std::vector<std::string_view> SplitLines(std::string_view text, bool& finalNewline) {
  std::vector<std::string_view> lines;
  finalNewline = !text.empty() && text.back() == '\n';
  if (finalNewline) text.remove_suffix(1);
  if (text.empty() && !finalNewline) return lines;
  size_t start = 0;
  while (true) {
    const size_t nl = text.find('\n', start);
    lines.push_back(text.substr(start, nl == std::string_view::npos ? nl : nl - start));
    if (nl == std::string_view::npos) return lines;
    start = nl + 1;
  }
}

bool SectionMatches(std::string_view section, std::string_view key) {
  return StartsNoCase(section, kUserRoot) && EqualNoCase(section.substr(kUserRoot.size()), key);
}

bool SectionIsBelow(std::string_view section, std::string_view key) {
  return StartsNoCase(section, kUserRoot) && section.size() > kUserRoot.size() + key.size() &&
         StartsNoCase(section.substr(kUserRoot.size()), key) &&
         section[kUserRoot.size() + key.size()] == '\\';
}

std::string EscapeQuoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// Text that a quoted string can carry: zero-terminated, no inner zero, no line break.
bool IsPlainString(const RegistryValue& v) {
  if (v.type != Settings::kRegSz || v.data.empty() || v.data.back() != 0) return false;
  for (size_t i = 0; i + 1 < v.data.size(); ++i)
    if (v.data[i] == 0 || v.data[i] == '\n' || v.data[i] == '\r') return false;
  return true;
}

bool IsLineBreakFree(std::string_view s) { return s.find_first_of("\r\n") == std::string_view::npos; }

bool IsBlankText(std::string_view s) { return s.find_first_not_of(" \t\r\n") == std::string_view::npos; }

int HeaderVersion(std::string_view firstLine) {
  const std::string_view t = Trim(firstLine);
  return t == kHeader4 ? 4 : t == kHeader5 ? 5 : 0;
}

// The text a UTF-16 file can carry: UTF-8.
bool Encodable(const RegDocument& doc, std::string_view text) {
  std::string ignored;
  return doc.encoding != RegEncoding::Utf16Le || Utf8ToUtf16Le(text, ignored);
}

}  // namespace

// ---- Document ------------------------------------------------------------------

RegDocument ParseRegText(std::string_view text, RegEncoding encoding) {
  RegDocument doc;
  doc.encoding = encoding;
  const std::vector<std::string_view> physical = SplitLines(text, doc.finalNewline);
  if (!physical.empty()) {
    doc.version = HeaderVersion(physical[0]);
    const bool firstLineEnds = physical.size() > 1 || doc.finalNewline;
    doc.crlf = firstLineEnds && !physical[0].empty() && physical[0].back() == '\r';
  }
  std::string section;
  for (size_t i = 0; i < physical.size(); ++i) {
    RegLine line;
    line.raw = physical[i];
    const std::string_view trimmed = Trim(physical[i]);
    std::string joined(trimmed);
    if (ContinuesHex(trimmed)) {
      while (!joined.empty() && joined.back() == '\\' && i + 1 < physical.size() &&
             IsHexContinuation(physical[i + 1])) {
        joined.pop_back();  // the backslash
        joined += Trim(physical[++i]);
        line.raw += '\n';
        line.raw += physical[i];
      }
    }
    if (!trimmed.empty() && trimmed.front() == '[') {
      // A damaged header ends the previous section: what follows belongs to no key.
      const bool valid = trimmed.size() > 2 && trimmed.back() == ']';
      section = valid ? std::string(trimmed.substr(1, trimmed.size() - 2)) : std::string();
      line.kind = valid ? RegLine::Kind::Section : RegLine::Kind::Other;
      line.section = section;
    } else if (ParseValueLine(joined, doc.version, line.name, line.value)) {
      line.kind = RegLine::Kind::Value;
      line.section = section;
    } else {
      line.name.clear();
      line.value = {};
      line.section = section;
    }
    doc.lines.push_back(std::move(line));
  }
  return doc;
}

std::string RenderRegText(const RegDocument& doc) {
  std::string out;
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    if (i > 0) out += '\n';
    out += doc.lines[i].raw;
  }
  if (doc.finalNewline) out += '\n';
  return out;
}

bool DecodeRegFile(std::string_view bytes, RegDocument& doc) {
  RegEncoding encoding = RegEncoding::Bytes;
  std::string text;
  if (bytes.substr(0, 2) == "\xFF\xFE") {
    encoding = RegEncoding::Utf16Le;
    if (!Utf16LeToUtf8(bytes.substr(2), text)) return false;
  } else if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
    encoding = RegEncoding::Utf8Bom;
    text = bytes.substr(3);
  } else {
    text = bytes;
  }
  doc = ParseRegText(text, encoding);
  return doc.version != 0 || IsBlankText(text);
}

bool EncodeRegFile(const RegDocument& doc, std::string& bytes) {
  const std::string text = RenderRegText(doc);
  switch (doc.encoding) {
    case RegEncoding::Bytes:
      bytes = text;
      return true;
    case RegEncoding::Utf8Bom:
      bytes = "\xEF\xBB\xBF" + text;
      return true;
    case RegEncoding::Utf16Le:
      if (!Utf8ToUtf16Le(text, bytes)) return false;
      bytes.insert(0, "\xFF\xFE");
      return true;
  }
  return false;
}

bool RegKeyExists(const RegDocument& doc, std::string_view key) {
  for (const RegLine& line : doc.lines)
    if (line.kind == RegLine::Kind::Section &&
        (SectionMatches(line.section, key) || SectionIsBelow(line.section, key)))
      return true;
  return false;
}

bool RegFindValue(const RegDocument& doc, std::string_view key, std::string_view name,
                  RegistryValue& out) {
  bool found = false;
  for (const RegLine& line : doc.lines) {
    if (line.kind == RegLine::Kind::Value && EqualNoCase(line.name, name) &&
        SectionMatches(line.section, key)) {
      out = line.value;
      found = true;
    }
  }
  return found;
}

namespace {

std::string HexBytes(const std::vector<uint8_t>& data) {
  std::string out;
  for (size_t i = 0; i < data.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, i ? ",%02x" : "%02x", unsigned(data[i]));
    out += byte;
  }
  return out;
}

// The bytes a hex(N) line holds for the value: UTF-16LE for the text types in
// a version 5 file; false when the text is not UTF-8.
bool FileBytesOf(const RegistryValue& value, int version, std::vector<uint8_t>& out) {
  out = value.data;
  if (version != 5 || !IsTextType(value.type)) return true;
  std::string units;
  if (!Utf8ToUtf16Le(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()), units))
    return false;
  out.assign(units.begin(), units.end());
  return true;
}

}  // namespace

std::string FormatRegValueLine(std::string_view name, const RegistryValue& value, int version) {
  std::string line = name.empty() ? "@=" : EscapeQuoted(name) + "=";
  if (value.type == Settings::kRegDword && value.data.size() == 4) {
    char digits[16];
    const uint32_t v = uint32_t(value.data[0]) | uint32_t(value.data[1]) << 8 |
                       uint32_t(value.data[2]) << 16 | uint32_t(value.data[3]) << 24;
    std::snprintf(digits, sizeof digits, "dword:%08x", v);
    return line + digits;
  }
  if (IsPlainString(value)) {
    return line + EscapeQuoted(std::string_view(reinterpret_cast<const char*>(value.data.data()),
                                                value.data.size() - 1));
  }
  std::vector<uint8_t> bytes;
  if (!FileBytesOf(value, version, bytes)) return {};
  char prefix[24];
  if (value.type == Settings::kRegBinary) std::snprintf(prefix, sizeof prefix, "hex:");
  else std::snprintf(prefix, sizeof prefix, "hex(%x):", unsigned(value.type));
  return line + prefix + HexBytes(bytes);
}

namespace {

// A line that starts as a value of this name does but whose data cannot be
// read (`"Pixels"=dword:-1`): writing the value replaces it rather than
// adding a second line of the same name.
bool IsDamagedValueOf(const RegLine& line, std::string_view name) {
  if (line.kind != RegLine::Kind::Other) return false;
  std::string_view s = Trim(std::string_view(line.raw).substr(0, line.raw.find('\n')));
  std::string found;
  if (!s.empty() && s.front() == '@') s.remove_prefix(1);
  else if (!TakeQuoted(s, found)) return false;
  s = Trim(s);
  return !s.empty() && s.front() == '=' && EqualNoCase(found, name);
}

// A line added to a CRLF document ends in CR LF too, and so does the line it
// follows if that was the last one, without a line break of its own.
void InsertLine(RegDocument& doc, size_t at, std::string raw) {
  if (doc.crlf) {
    raw += '\r';
    if (at == doc.lines.size() && at > 0 && !doc.finalNewline) {
      std::string& last = doc.lines[at - 1].raw;
      if (last.empty() || last.back() != '\r') last += '\r';
    }
  }
  RegLine line;
  line.raw = std::move(raw);
  doc.lines.insert(doc.lines.begin() + std::ptrdiff_t(at), std::move(line));
  doc.finalNewline = true;
}

// Re-reads the edited text, so kinds and sections are exactly what a later
// read of the file will see.
void Reparse(RegDocument& doc) { doc = ParseRegText(RenderRegText(doc), doc.encoding); }

// A blank document (a new or empty file) gets the header its encoding goes
// with: UTF-16 files are version 5, as the registry editor writes them.
void AddHeaderIfBlank(RegDocument& doc) {
  if (doc.version != 0 || !IsBlankText(RenderRegText(doc))) return;
  const bool crlf = doc.crlf;
  doc = ParseRegText("", doc.encoding);
  doc.crlf = crlf;
  InsertLine(doc, 0, std::string(doc.encoding == RegEncoding::Utf16Le ? kHeader5 : kHeader4));
  Reparse(doc);
}

}  // namespace

void RegAddKey(RegDocument& doc, std::string_view key) {
  for (const RegLine& line : doc.lines)
    if (line.kind == RegLine::Kind::Section && SectionMatches(line.section, key)) return;
  AddHeaderIfBlank(doc);
  if (!Trim(doc.lines.back().raw).empty()) InsertLine(doc, doc.lines.size(), "");
  InsertLine(doc, doc.lines.size(), "[" + std::string(kUserRoot) + std::string(key) + "]");
  Reparse(doc);
}

bool RegSetValue(RegDocument& original, std::string_view key, std::string_view name,
                 const RegistryValue& value) {
  if (!IsLineBreakFree(name)) return false;
  RegDocument doc = original;
  AddHeaderIfBlank(doc);
  const std::string text = FormatRegValueLine(name, value, doc.version == 0 ? 4 : doc.version);
  if (text.empty() || !Encodable(doc, text) || !Encodable(doc, key)) return false;
  size_t replace = doc.lines.size(), damaged = doc.lines.size(), section = doc.lines.size(),
         after = doc.lines.size();
  for (size_t i = 0; i < doc.lines.size(); ++i) {
    const RegLine& line = doc.lines[i];
    if (!SectionMatches(line.section, key)) continue;
    if (line.kind == RegLine::Kind::Section) section = after = i;
    if (line.kind == RegLine::Kind::Value) {
      after = i;
      if (EqualNoCase(line.name, name)) replace = i;
    }
    if (IsDamagedValueOf(line, name)) damaged = i;
  }
  // The readable line is what a read finds; without one, a damaged line of
  // the same name takes the new value.
  if (replace == doc.lines.size()) replace = damaged;
  if (replace < doc.lines.size()) {
    // The line keeps its own line end; a value that spanned lines becomes one.
    std::string& raw = doc.lines[replace].raw;
    const bool cr = !raw.empty() && raw.back() == '\r';
    raw = text + (cr ? "\r" : "");
  } else if (section < doc.lines.size()) {
    InsertLine(doc, after + 1, text);
  } else {
    RegAddKey(doc, key);
    InsertLine(doc, doc.lines.size(), text);
  }
  Reparse(doc);
  original = std::move(doc);
  return true;
}

}  // namespace Platform
