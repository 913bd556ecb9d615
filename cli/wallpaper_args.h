// Command line of prismora-wallpaper: parsing and validation only, so that
// main() acts on a complete, checked request and bad input writes nothing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/wallpaper_copy.h"
#include "image/wallpaper_stream.h"

namespace WallpaperCli {

constexpr int32_t kMaxThreads = 256;
// The engine that draws with the per-pixel view's shader on the GPU: close
// to the others' bytes, never the same; only when asked for by name.
constexpr const char* kGpuEngine = "gpu";

// The encoders' formats, named as the command's options name them.
using Image::ImageFormat;

struct WallpaperArgs {
  std::string output;
  ImageFormat format = ImageFormat::Bmp;  // from the output name's extension
  std::optional<int32_t> algorithm;  // 1..12; absent: Random(12) + 1
  int32_t width = 1600;
  int32_t height = 1200;
  std::optional<uint32_t> seed;  // absent: seeded from the clock
  int32_t speed = 25;
  int32_t frames = 0;
  std::optional<std::array<float, 3>> phases;
  std::optional<std::array<float, 2>> offsets;
  int32_t threads = 0;  // 0: all cores
  std::optional<std::string> engine;  // --engine: a valid engine name
  bool printState = false;
  bool help = false;     // --help: print the usage and stop
  bool version = false;  // --version: print the version and stop
};

struct ParseResult {
  bool ok = false;
  std::string error;  // one line naming the offending argument
  WallpaperArgs args;
};

// args excludes the program name. Options may be given as "--opt value" or
// "--opt=value"; each at most once.
ParseResult ParseWallpaperArgs(const std::vector<std::string>& args);

// The format an output name asks for, by the extension of its last path
// component in any case: ".bmp" or ".png"; no extension at all (a plain name,
// /dev/stdout) is BMP. Any other extension, an empty one ("wall.") included,
// gives nullopt: the command refuses it rather than write a BMP under a name
// that promises something else.
std::optional<ImageFormat> ImageFormatFor(std::string_view output);

extern const char* const kUsage;

}  // namespace WallpaperCli
