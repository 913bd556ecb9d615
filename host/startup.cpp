// Start-up decisions: switch letter, window handle text, mode.
#include "host/startup.h"

#include <cstring>

char SwitchLetterOf(const char* firstArgument) {
  if (!firstArgument || std::strlen(firstArgument) < 2) return 0;
  const char c = firstArgument[1];
  return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

char SwitchLetterOf(int argc, const char* const* argv) {
  return argc >= 2 && argv ? SwitchLetterOf(argv[1]) : 0;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint32_t ParseHexDigits(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) return 0;
  uint32_t value = 0;
  for (char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return 0;
    value = value << 4 | uint32_t(d);
  }
  return value;
}

uint32_t ParseDecimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return 0;
  const int64_t limit = negative ? int64_t(1) << 31 : (int64_t(1) << 31) - 1;
  int64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return 0;
  }
  return static_cast<uint32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

uint32_t ParseWindowHandle(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (text.empty()) return 0;
  if (text.front() == '$' || text.front() == 'x' || text.front() == 'X')
    return ParseHexDigits(text.substr(1));
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    return ParseHexDigits(text.substr(2));
  return ParseDecimal(text);
}

uint32_t ParseWindowHandle(const char* text) {
  return text ? ParseWindowHandle(std::string_view(text)) : 0;
}

StartMode ModeForSwitch(char letter) {
  switch (letter) {
    case 'C': return StartMode::Settings;
    case 'P': return StartMode::Preview;
    case 'A': return StartMode::ChangePassword;
    default: return StartMode::Saver;
  }
}

StartupPlan PlanStartup(int argc, const char* const* argv) {
  StartupPlan plan;
  plan.mode = ModeForSwitch(SwitchLetterOf(argc, argv));
  if (plan.mode == StartMode::Preview || plan.mode == StartMode::ChangePassword)
    plan.windowHandle = argc >= 3 ? ParseWindowHandle(argv[2]) : 0;
  return plan;
}
