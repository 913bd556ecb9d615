// libFuzzer target: ParseWindowHandle and the switch letter on any bytes,
// checked against a second, independently written reading of the rules.
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/startup.h"

namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

uint32_t Expected(std::string_view s) {
  s.remove_prefix(std::min(s.find_first_not_of(' '), s.size()));
  std::string_view hex;
  if (!s.empty() && (s[0] == '$' || s[0] == 'x' || s[0] == 'X')) hex = s.substr(1);
  else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) hex = s.substr(2);
  else {
    const bool negative = !s.empty() && s[0] == '-';
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
    if (s.empty() || s[0] < '0' || s[0] > '9') return 0;
    uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, 10);
    if (ec != std::errc() || end != s.data() + s.size()) return 0;
    if (magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu)) return 0;
    return negative ? uint32_t(0u - uint32_t(magnitude)) : uint32_t(magnitude);
  }
  if (hex.empty() || hex.size() > 8) return 0;
  for (char c : hex)
    if (!IsHexDigit(c)) return 0;
  return uint32_t(std::strtoul(std::string(hex).c_str(), nullptr, 16));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (ParseWindowHandle(text) != Expected(text)) std::abort();

  const std::string terminated(text);  // as main() sees it: up to the first zero
  const char c = terminated.c_str()[0] && terminated.c_str()[1] ? terminated[1] : 0;
  const char expected = (c >= 'a' && c <= 'z') ? char(c - 32) : c;
  if (SwitchLetterOf(terminated.c_str()) != expected) std::abort();
  const char* argv[] = {"prismora", terminated.c_str(), terminated.c_str()};
  (void)PlanStartup(3, argv);
  return 0;
}
