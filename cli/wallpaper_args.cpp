// The wallpaper command's options as a table (base/option_table.h), and what
// the table cannot check alone: the output's name and format. Numbers are
// plain decimal (std::from_chars: no blanks, no '+', no trailing text,
// locale-independent); the floats must be finite.
#include "cli/wallpaper_args.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

#include "base/option_table.h"
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

using Options::Shown;
using Table = Options::Table<WallpaperArgs>;

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
  int64_t width = 0, height = 0;
  if (!Options::ParseWhole(text.substr(0, x), 1, DIB::kMaxSide, width) ||
      !Options::ParseWhole(text.substr(x + 1), 1, DIB::kMaxSide, height))
    return false;
  w = static_cast<int32_t>(width);
  h = static_cast<int32_t>(height);
  return true;
}

bool StoreEngine(std::string_view v, WallpaperArgs& a) {
  Gradient::Engine unused;
  a.engine.emplace(v);
  return Gradient::ParseEngineName(v, unused) || v == kGpuEngine;
}

// Every option at most once (--help and --version only print, and may
// repeat); an argument that begins with "--" is never a value.
const Table& WallpaperOptions() {
  static const Table table(
      {.unknownWord = "argument", .eachOnce = true, .valueMayBeginWithDashes = false},
      {
          Table::Flag({"--help", "-h"}, &WallpaperArgs::help).MayRepeat(),
          Table::Flag({"--version"}, &WallpaperArgs::version).MayRepeat(),
          Table::Flag({"--print-state"}, &WallpaperArgs::printState),
          Table::Value({"--output"}, "a file name",
                       [](std::string_view v, WallpaperArgs& a) { a.output = v; return !v.empty(); }),
          Table::Whole({"--algorithm"}, 1, 12, &WallpaperArgs::algorithm, "a whole number from 1 to 12"),
          Table::Value({"--size"}, "WxH with W and H from 1 to 16384",
                       [](std::string_view v, WallpaperArgs& a) { return ParseSize(v, a.width, a.height); }),
          Table::Whole({"--seed"}, 0, UINT32_MAX, &WallpaperArgs::seed, "a whole number from 0 to 4294967295"),
          Table::Whole({"--speed"}, INT32_MIN, INT32_MAX, &WallpaperArgs::speed, "a 32-bit whole number"),
          Table::Whole({"--frames"}, 0, INT32_MAX, &WallpaperArgs::frames, "a whole number from 0 to 2147483647"),
          Table::Value({"--phases"}, "three finite numbers A,B,C",
                       [](std::string_view v, WallpaperArgs& a) { return ParseFloatList(v, a.phases.emplace()); }),
          Table::Value({"--offsets"}, "two finite numbers X,Y",
                       [](std::string_view v, WallpaperArgs& a) { return ParseFloatList(v, a.offsets.emplace()); }),
          Table::Whole({"--threads"}, 1, kMaxThreads, &WallpaperArgs::threads, "a whole number from 1 to 256"),
          Table::Value({"--engine"}, "one of auto, x87, sse2, avx2, avx512, gpu", StoreEngine),
      });
  return table;
}

ParseResult Fail(const std::string& message) {
  ParseResult r;
  r.error = message;
  return r;
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
  if (const std::string error = WallpaperOptions().Read(args, result.args); !error.empty()) return Fail(error);
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
