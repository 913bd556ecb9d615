// libFuzzer target: the .reg text parser and editor on any bytes. Checks that
// an unchanged document renders back to the same bytes, and that setting a
// value keeps every line of the text, reads back as set and leaves every
// other value as it was.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/linux_registry_file.h"

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

// Every line of `before` is still there, in order, in `after`.
bool KeepsEveryLine(std::string_view before, std::string_view after) {
  const auto old = PhysicalLines(before), now = PhysicalLines(after);
  size_t j = 0;
  for (std::string_view line : old) {
    while (j < now.size() && now[j] != line) ++j;
    if (j++ == now.size()) return false;
  }
  return true;
}

void SetAndReadBack(const Platform::RegDocument& doc, const std::string& text, const char* name,
                    const RegistryValue& value) {
  RegistryValue existing;
  const bool had = Platform::RegFindValue(doc, kKey, name, existing);
  Platform::RegDocument edited = doc;
  Check(Platform::RegSetValue(edited, kKey, name, value));
  const std::string rendered = Platform::RenderRegText(edited);
  const Platform::RegDocument reread = Platform::ParseRegText(rendered);
  RegistryValue back;
  Check(Platform::RegFindValue(reread, kKey, name, back) && back == value);
  Check(Platform::RegKeyExists(reread, kKey));
  if (!had) Check(KeepsEveryLine(text, rendered));
  // Setting one value changes no other value's reading.
  for (const char* other : {"Speed", "Bright", "Path_Wall", "", "Fuzz\x01Probe"}) {
    if (std::string_view(other) == name) continue;
    RegistryValue a, b;
    const bool inBefore = Platform::RegFindValue(doc, kKey, other, a);
    Check(Platform::RegFindValue(reread, kKey, other, b) == inBefore && a == b);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Platform::RegDocument doc = Platform::ParseRegText(text);
  Check(Platform::RenderRegText(doc) == text);

  RegistryValue v;
  for (const char* name : {"Speed", "Bright", "Path_Wall", ""}) Platform::RegFindValue(doc, kKey, name, v);

  SetAndReadBack(doc, text, "Speed", {Settings::kRegDword, {0x19, 0, 0, 0}});
  SetAndReadBack(doc, text, "Path_Wall", {Settings::kRegSz, {'C', ':', '\\', '"', 0}});
  SetAndReadBack(doc, text, "Fuzz\x01Probe", {7, {'a', 0, 'b', 0, 0}});
  return 0;
}
