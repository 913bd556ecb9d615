// Parser for the wallpaper command's options. Numbers are plain decimal
// (std::from_chars: no blanks, no '+', no trailing text, locale-independent);
// the floats must be finite.
#include "cli/wallpaper_args.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <string_view>

#include "engine/gradient.h"

namespace WallpaperCli {

const char* const kUsage =
    "usage: prismora-wallpaper --output FILE [--algorithm N] [--size WxH] [--seed S] [--speed N]\n"
    "                          [--frames N] [--phases A,B,C] [--offsets X,Y] [--threads N] [--print-state]\n"
    "                          [--engine auto|x87|sse2|avx2|avx512|gpu]\n"
    "       prismora-wallpaper --help | --version\n"
    "--output - writes to standard output, a terminal too; so does any output already open\n"
    "(/dev/stdout, /dev/fd/N): written where it stands (appended after >>), never replaced.\n"
    "Every engine writes the same bytes except gpu, which draws on the graphics processor with\n"
    "OpenGL in single precision: a few bytes in ten thousand differ by one. auto never picks it.\n";

namespace {

template <class T>
bool ParseInteger(std::string_view text, T& out) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return !text.empty() && ec == std::errc() && ptr == end;
}

template <class T>
bool ParseInRange(std::string_view text, int64_t lo, int64_t hi, T& out) {
  int64_t v = 0;
  if (!ParseInteger(text, v) || v < lo || v > hi) return false;
  out = static_cast<T>(v);
  return true;
}

bool ParseFloat(std::string_view text, float& out) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, out, std::chars_format::general);
  return !text.empty() && ec == std::errc() && ptr == end && std::isfinite(out);
}

template <size_t N>
bool ParseFloatList(std::string_view text, std::array<float, N>& out) {
  for (size_t i = 0; i < N; ++i) {
    const size_t comma = text.find(',');
    const bool last = i + 1 == N;
    if (last != (comma == std::string_view::npos)) return false;
    if (!ParseFloat(text.substr(0, comma), out[i])) return false;
    if (!last) text.remove_prefix(comma + 1);
  }
  return true;
}

bool ParseSize(std::string_view text, int32_t& w, int32_t& h) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) return false;
  return ParseInRange(text.substr(0, x), 1, kMaxSide, w) && ParseInRange(text.substr(x + 1), 1, kMaxSide, h);
}

// Each option with a value: how to store it, and what a valid value looks like.
struct ValueOption {
  std::function<bool(std::string_view, WallpaperArgs&)> store;
  const char* expected;
};

const std::map<std::string, ValueOption, std::less<>>& ValueOptions() {
  static const std::map<std::string, ValueOption, std::less<>> options = {
      {"--output", {[](std::string_view v, WallpaperArgs& a) { a.output = v; return !v.empty(); }, "a file name"}},
      {"--algorithm",
       {[](std::string_view v, WallpaperArgs& a) { return ParseInRange(v, 1, 12, a.algorithm.emplace()); },
        "a whole number from 1 to 12"}},
      {"--size", {[](std::string_view v, WallpaperArgs& a) { return ParseSize(v, a.width, a.height); },
                  "WxH with W and H from 1 to 16384"}},
      {"--seed",
       {[](std::string_view v, WallpaperArgs& a) { return ParseInRange(v, 0, UINT32_MAX, a.seed.emplace()); },
        "a whole number from 0 to 4294967295"}},
      {"--speed",
       {[](std::string_view v, WallpaperArgs& a) { return ParseInRange(v, INT32_MIN, INT32_MAX, a.speed); },
        "a 32-bit whole number"}},
      {"--frames", {[](std::string_view v, WallpaperArgs& a) { return ParseInRange(v, 0, INT32_MAX, a.frames); },
                    "a whole number from 0 to 2147483647"}},
      {"--phases", {[](std::string_view v, WallpaperArgs& a) { return ParseFloatList(v, a.phases.emplace()); },
                    "three finite numbers A,B,C"}},
      {"--offsets", {[](std::string_view v, WallpaperArgs& a) { return ParseFloatList(v, a.offsets.emplace()); },
                     "two finite numbers X,Y"}},
      {"--threads",
       {[](std::string_view v, WallpaperArgs& a) { return ParseInRange(v, 1, kMaxThreads, a.threads); },
        "a whole number from 1 to 256"}},
      {"--engine",
       {[](std::string_view v, WallpaperArgs& a) {
          Gradient::Engine unused;
          a.engine.emplace(v);
          return Gradient::ParseEngineName(v, unused) || v == kGpuEngine;
        },
        "one of auto, x87, sse2, avx2, avx512, gpu"}},
  };
  return options;
}

ParseResult Fail(const std::string& message) {
  ParseResult r;
  r.error = message;
  return r;
}

// Keeps a hostile argument from flooding the one-line message.
std::string Shown(std::string_view text) {
  std::string s(text.substr(0, 64));
  for (char& ch : s) {
    if (static_cast<unsigned char>(ch) < 32) ch = '?';
  }
  return text.size() > 64 ? s + "..." : s;
}

// From the last dot of the last path component ('/' or, for Windows names,
// '\\'), the dot included; empty when that component has no dot.
std::string_view ExtensionOf(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view lower) {
  if (a.size() != lower.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char ch = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
    if (ch != lower[i]) return false;
  }
  return true;
}

}  // namespace

ParseResult ParseWallpaperArgs(const std::vector<std::string>& args) {
  ParseResult result;
  std::set<std::string, std::less<>> seen;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    const size_t eq = arg.find('=');
    const std::string_view name = arg.substr(0, eq);
    if (arg == "--help" || arg == "-h") {
      result.args.help = true;
      continue;
    }
    if (arg == "--version") {
      result.args.version = true;
      continue;
    }
    if (!seen.insert(std::string(name)).second) return Fail(std::string(name) + ": given more than once");
    if (arg == "--print-state") {
      result.args.printState = true;
      continue;
    }
    const auto option = ValueOptions().find(name);
    if (option == ValueOptions().end()) return Fail("unknown argument '" + Shown(arg) + "'");
    std::string_view value;
    if (eq != std::string_view::npos) {
      value = arg.substr(eq + 1);
    } else if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
      value = args[++i];
    } else {
      return Fail(std::string(name) + ": missing value, expected " + option->second.expected);
    }
    if (!option->second.store(value, result.args))
      return Fail(std::string(name) + ": expected " + option->second.expected + ", got '" + Shown(value) + "'");
  }
  if (result.args.help || result.args.version) {
    result.ok = true;
    return result;
  }
  if (result.args.output.empty()) return Fail("--output: missing, expected a file name");
  const std::optional<ImageFormat> format = ImageFormatFor(result.args.output);
  if (!format)
    return Fail("--output: cannot write '" + Shown(ExtensionOf(result.args.output)) +
                "' files, expected a name ending in .bmp or .png");
  result.args.format = *format;
  result.ok = true;
  return result;
}

std::optional<ImageFormat> ImageFormatFor(std::string_view output) {
  const std::string_view ext = ExtensionOf(output);
  if (ext.empty()) return ImageFormat::Bmp;
  if (EqualsIgnoringCase(ext, ".bmp")) return ImageFormat::Bmp;
  if (EqualsIgnoringCase(ext, ".png")) return ImageFormat::Png;
  return std::nullopt;
}

}  // namespace WallpaperCli
