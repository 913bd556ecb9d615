// The option table's words and numbers: how an argument splits into name and
// value, plain decimal numbers (std::from_chars: locale-independent), and the
// one-line errors every command line gives.
#include "base/option_table.h"

#include <charconv>

namespace Options {

std::string Shown(std::string_view text) {
  std::string s(text.substr(0, 64));
  for (char& ch : s)
    if (static_cast<unsigned char>(ch) < 32) ch = '?';
  return text.size() > 64 ? s + "..." : s;
}

bool ParseWhole(std::string_view text, int64_t lo, int64_t hi, int64_t& out) {
  int64_t v = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, v);
  if (text.empty() || ec != std::errc() || ptr != end || v < lo || v > hi) return false;
  out = v;
  return true;
}

// Only a "--" option takes its value after '=': the daemons' single-dash
// forms ("-window-id") and stray words are names as written.
Argument SplitArgument(std::string_view argument) {
  const size_t eq = argument.starts_with("--") ? argument.find('=') : std::string_view::npos;
  if (eq == std::string_view::npos) return {argument, std::nullopt};
  return {argument.substr(0, eq), argument.substr(eq + 1)};
}

std::string UnknownArgument(const Rules& rules, std::string_view argument) {
  return std::string("unknown ") + rules.unknownWord + " '" + Shown(argument) + "'";
}

std::string GivenMoreThanOnce(std::string_view name) { return std::string(name) + ": given more than once"; }

std::string MissingValue(std::string_view name, const char* expected) {
  return std::string(name) + ": missing value, expected " + expected;
}

std::string BadValue(std::string_view name, const char* expected, std::string_view value) {
  return std::string(name) + ": expected " + expected + ", got '" + Shown(value) + "'";
}

}  // namespace Options
