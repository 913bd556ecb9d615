// The --print-state line: keys, integers, and floats that read back exactly.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>

#include "cli/state_json.h"

namespace {

float FloatAfter(const std::string& json, const std::string& key) {
  const size_t at = json.find("\"" + key + "\":");
  EXPECT_NE(at, std::string::npos) << key;
  const char* start = json.c_str() + at + key.size() + 3;
  float v = 0;
  std::from_chars(start, json.c_str() + json.size(), v);
  return v;
}

TEST(StateJson, OneLineWithEveryKeyInOrder) {
  auto s = std::make_unique<Gradient::PatternState>();
  s->Algorithm = 7;
  s->Speed = -3;
  s->PhaseA = 1.0f;
  s->OffsetXVelocity = -0.00099f;
  const std::string json = WallpaperCli::FormatStateJson(*s);
  EXPECT_EQ(json.find('\n'), std::string::npos);
  EXPECT_EQ(json.rfind("{\"algorithm\":7,\"speed\":-3,\"phaseA\":1,\"phaseB\":0,", 0), 0u) << json;
  const char* keys[] = {"phaseC", "phaseAVelocity", "phaseBVelocity", "phaseCVelocity",
                        "offsetX", "offsetY", "offsetXVelocity", "offsetYVelocity"};
  size_t last = 0;
  for (const char* key : keys) {
    const size_t at = json.find(std::string("\"") + key + "\":");
    ASSERT_NE(at, std::string::npos) << key;
    EXPECT_GT(at, last) << key;
    last = at;
  }
  EXPECT_EQ(json.back(), '}');
  s->PhaseC = NAN;  // not valid JSON as a number
  EXPECT_NE(WallpaperCli::FormatStateJson(*s).find("\"phaseC\":null,"), std::string::npos);
}

TEST(StateJson, FloatsReadBackBitForBit) {
  auto s = std::make_unique<Gradient::PatternState>();
  const float hard[] = {0.0007f, 6.2831855f, 1.0e-38f, 0.1f, -0.00099f, 3.40282347e38f, 1.17549435e-38f, 2.7182817f};
  for (float v : hard) {
    s->PhaseB = v;
    s->OffsetYVelocity = std::nextafter(v, 0.0f);
    const std::string json = WallpaperCli::FormatStateJson(*s);
    EXPECT_EQ(FloatAfter(json, "phaseB"), v) << json;
    EXPECT_EQ(FloatAfter(json, "offsetYVelocity"), std::nextafter(v, 0.0f)) << json;
  }
}

}  // namespace
