// 9 significant digits are enough for any float to read back exactly;
// std::to_chars keeps the text independent of the locale and the C runtime.
#include "cli/state_json.h"

#include <charconv>
#include <cmath>
#include <utility>

namespace WallpaperCli {
namespace {

std::string FloatText(float v) {
  if (!std::isfinite(v)) return "null";
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 9);
  return std::string(buf, r.ptr);
}

}  // namespace

std::string FormatStateJson(const Gradient::PatternState& s) {
  const std::pair<const char*, float> floats[] = {
      {"phaseA", s.PhaseA},
      {"phaseB", s.PhaseB},
      {"phaseC", s.PhaseC},
      {"phaseAVelocity", s.PhaseAVelocity},
      {"phaseBVelocity", s.PhaseBVelocity},
      {"phaseCVelocity", s.PhaseCVelocity},
      {"offsetX", s.OffsetX},
      {"offsetY", s.OffsetY},
      {"offsetXVelocity", s.OffsetXVelocity},
      {"offsetYVelocity", s.OffsetYVelocity},
  };
  std::string json = "{\"algorithm\":" + std::to_string(s.Algorithm) + ",\"speed\":" + std::to_string(s.Speed);
  for (const auto& [key, value] : floats) json += std::string(",\"") + key + "\":" + FloatText(value);
  return json + "}";
}

}  // namespace WallpaperCli
