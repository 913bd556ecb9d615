// libFuzzer target: the .reg text parser and editor, and the file decoding,
// on any bytes, and on the same bytes as a UTF-16 file. Checks that an
// unchanged document renders back to the same text and encodes back to the
// same bytes, and that setting a value keeps every line of the text, keeps the
// file's encoding, header and line ends (but for a damaged line of the value,
// which the new value replaces), reads back as set and leaves every other
// value as it was.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/reg_text.h"
#include "platform/linux/utf16.h"

using Settings::RegistryValue;

namespace {

constexpr const char* kKey = "Software\\Prismora";

void Check(bool ok) {
  if (!ok) std::abort();
}

std::vector<std::string_view> PhysicalLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) {
      if (start < text.size()) lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// A line that starts (after the blanks the parser trims) as a value of this
// name does (`"Name"=`, `@=` for the default value), whatever follows: the
// damaged line that setting the value may replace.
bool NamesValue(std::string_view line, std::string_view name) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t' || line.front() == '\r'))
    line.remove_prefix(1);
  if (name.empty()) return !line.empty() && line.front() == '@';
  if (line.size() < name.size() + 2 || line.front() != '"') return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (Lower(line[i + 1]) != Lower(name[i])) return false;
  return line[name.size() + 1] == '"';
}

// Every line of `before` is still there, in order, in `after` (a line end
// added to what was the last line aside): the value was added.
bool KeepsEveryLine(std::string_view before, std::string_view after) {
  const auto old = PhysicalLines(before), now = PhysicalLines(after);
  size_t j = 0;
  for (std::string_view line : old) {
    while (j < now.size() && now[j] != line && std::string(now[j]) != std::string(line) + "\r") ++j;
    if (j++ == now.size()) return false;
  }
  return true;
}

// Or `after` is `before` with one run of lines that begins with a line naming
// the value (a damaged line of it, with the hex continuation lines it may
// have) replaced by one line: the value took the damaged line's place.
bool ReplacesOneDamagedLine(std::string_view before, std::string_view after, std::string_view name) {
  const auto old = PhysicalLines(before), now = PhysicalLines(after);
  size_t head = 0;
  while (head < old.size() && head < now.size() && old[head] == now[head]) ++head;
  size_t tail = 0;
  while (tail < old.size() - head && tail < now.size() - head &&
         old[old.size() - 1 - tail] == now[now.size() - 1 - tail])
    ++tail;
  return now.size() - head - tail == 1 && old.size() - head - tail >= 1 && NamesValue(old[head], name);
}

const char* const kOthers[] = {"Speed", "Bright", "Path_Wall", "", "Fuzz\x01Probe"};

void SetAndReadBack(const Platform::RegDocument& doc, bool fromFile, const char* name, const RegistryValue& value) {
  const std::string text = Platform::RenderRegText(doc);
  RegistryValue existing;
  const bool had = Platform::RegFindValue(doc, kKey, name, existing);
  Platform::RegDocument edited = doc;
  if (!Platform::RegSetValue(edited, kKey, name, value)) {
    // Only text that a UTF-16 file cannot carry is refused, and then nothing changes.
    Check(doc.encoding == Platform::RegEncoding::Utf16Le && value.type != Settings::kRegDword);
    Check(Platform::RenderRegText(edited) == text);
    return;
  }
  const std::string rendered = Platform::RenderRegText(edited);
  const Platform::RegDocument reread = Platform::ParseRegText(rendered, doc.encoding);
  RegistryValue back;
  Check(Platform::RegFindValue(reread, kKey, name, back) && back == value);
  Check(Platform::RegKeyExists(reread, kKey));
  const bool blank = text.find_first_not_of(" \t\r\n") == std::string::npos;
  if (!had && !blank) Check(KeepsEveryLine(text, rendered) || ReplacesOneDamagedLine(text, rendered, name));
  if (doc.version != 0) Check(reread.version == doc.version && reread.crlf == doc.crlf);
  // Setting one value changes no other value's reading.
  for (const char* other : kOthers) {
    if (std::string_view(other) == name) continue;
    RegistryValue a, b;
    const bool inBefore = Platform::RegFindValue(doc, kKey, other, a);
    Check(Platform::RegFindValue(reread, kKey, other, b) == inBefore && a == b);
  }
  // And the file's bytes carry it in the file's encoding.
  if (!fromFile) return;
  std::string bytes;
  Check(Platform::EncodeRegFile(edited, bytes));
  Platform::RegDocument decoded;
  Check(Platform::DecodeRegFile(bytes, decoded) && decoded.encoding == doc.encoding);
  Check(Platform::RegFindValue(decoded, kKey, name, back) && back == value);
}

// fromFile: the document came from DecodeRegFile, so its edits must encode
// into bytes that decode the same way.
void CheckDocument(const Platform::RegDocument& doc, bool fromFile) {
  RegistryValue v;
  for (const char* name : kOthers) Platform::RegFindValue(doc, kKey, name, v);
  SetAndReadBack(doc, fromFile, "Speed", {Settings::kRegDword, {0x19, 0, 0, 0}});
  SetAndReadBack(doc, fromFile, "Path_Wall", {Settings::kRegSz, {'C', ':', '\\', '"', 0xC3, 0xAB, 0}});
  SetAndReadBack(doc, fromFile, "Path_Wall", {Settings::kRegSz, {'/', 0xFF, '\n', 0}});
  SetAndReadBack(doc, fromFile, "Fuzz\x01Probe", {7, {'a', 0, 'b', 0, 0}});
}

// The bytes as a file: decoded, they encode back to exactly the same bytes.
void CheckFile(const std::string& bytes) {
  Platform::RegDocument doc;
  if (!Platform::DecodeRegFile(bytes, doc)) return;
  std::string again;
  Check(Platform::EncodeRegFile(doc, again) && again == bytes);
  CheckDocument(doc, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Platform::RegDocument doc = Platform::ParseRegText(text);
  Check(Platform::RenderRegText(doc) == text);
  CheckDocument(doc, false);
  CheckFile(text);
  // The same text as a registry editor's UTF-16 export.
  std::string units;
  if (Platform::Utf8ToUtf16Le(text, units)) CheckFile("\xFF\xFE" + units);
  return 0;
}
