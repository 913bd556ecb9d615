// The wallpaper command's parser over good and hostile command lines.
#include <gtest/gtest.h>

#include "cli/wallpaper_args.h"

namespace {

using WallpaperCli::ParseResult;
using WallpaperCli::ParseWallpaperArgs;

ParseResult Parse(std::vector<std::string> args) { return ParseWallpaperArgs(args); }

TEST(WallpaperArgs, DefaultsWithOnlyAnOutput) {
  const ParseResult r = Parse({"--output", "wall.bmp"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.args.output, "wall.bmp");
  EXPECT_FALSE(r.args.algorithm);
  EXPECT_FALSE(r.args.seed);
  EXPECT_EQ(r.args.width, 1600);
  EXPECT_EQ(r.args.height, 1200);
  EXPECT_EQ(r.args.speed, 25);
  EXPECT_EQ(r.args.frames, 0);
  EXPECT_FALSE(r.args.phases);
  EXPECT_FALSE(r.args.offsets);
  EXPECT_EQ(r.args.threads, 0);
  EXPECT_FALSE(r.args.printState);
}

TEST(WallpaperArgs, EveryOptionInBothSpellings) {
  const ParseResult r = Parse({"--algorithm", "12", "--size=3840x2160", "--seed", "4294967295", "--speed=-7",
                               "--frames", "1000", "--phases", "0.1,6.25,3", "--offsets=-1.5e-3,2",
                               "--threads", "2", "--print-state", "--output=out/Prismora1.PNG", "--engine=x87"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(*r.args.algorithm, 12);
  EXPECT_EQ(r.args.width, 3840);
  EXPECT_EQ(r.args.height, 2160);
  EXPECT_EQ(*r.args.seed, 4294967295u);
  EXPECT_EQ(r.args.speed, -7);
  EXPECT_EQ(r.args.frames, 1000);
  EXPECT_EQ(*r.args.phases, (std::array<float, 3>{0.1f, 6.25f, 3.0f}));
  EXPECT_EQ(*r.args.offsets, (std::array<float, 2>{-1.5e-3f, 2.0f}));
  EXPECT_EQ(r.args.threads, 2);
  EXPECT_EQ(*r.args.engine, "x87");
  EXPECT_TRUE(r.args.printState);
  EXPECT_EQ(r.args.output, "out/Prismora1.PNG");
  EXPECT_EQ(r.args.format, WallpaperCli::ImageFormat::Png);
}

// The gpu engine is not the engine module's: the command takes its name.
TEST(WallpaperArgs, TheGpuEngineIsTakenByName) {
  const ParseResult r = Parse({"--output", "a.png", "--engine", "gpu"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(*r.args.engine, WallpaperCli::kGpuEngine);
}

TEST(WallpaperArgs, LimitsAreInclusive) {
  EXPECT_TRUE(Parse({"--output", "a", "--size", "1x1", "--algorithm", "1", "--seed", "0"}).ok);
  EXPECT_TRUE(Parse({"--output", "a", "--size", "16384X16384", "--speed", "-2147483648"}).ok);
  EXPECT_TRUE(Parse({"--output", "a", "--speed", "2147483647", "--frames", "2147483647", "--threads", "256"}).ok);
}

TEST(WallpaperArgs, NinePrintedDigitsReadBackToTheSameFloat) {
  const ParseResult r = Parse({"--output", "a", "--phases", "0.000699999975,5.4000001,1.26999998"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ((*r.args.phases)[0], 0.0007f);
  EXPECT_EQ((*r.args.phases)[1], 5.4f);
  EXPECT_EQ((*r.args.phases)[2], 1.27f);
}

// Each bad command line names the argument at fault.
TEST(WallpaperArgs, HostileInputIsRefusedNamingTheArgument) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "--output"},
      {{"--size", "640x480"}, "--output"},
      {{"--output"}, "--output"},
      {{"--output", ""}, "--output"},
      {{"--output", "--seed"}, "--output"},
      {{"--output", "a", "--bogus"}, "--bogus"},
      {{"--output", "a", "-o"}, "-o"},
      {{"--output", "a", "stray"}, "stray"},
      {{"--output", "a", "--algorithm", "0"}, "--algorithm"},
      {{"--output", "a", "--algorithm", "13"}, "--algorithm"},
      {{"--output", "a", "--algorithm", "7.0"}, "--algorithm"},
      {{"--output", "a", "--algorithm", " 7"}, "--algorithm"},
      {{"--output", "a", "--algorithm", "+7"}, "--algorithm"},
      {{"--output", "a", "--size", "0x480"}, "--size"},
      {{"--output", "a", "--size", "640x0"}, "--size"},
      {{"--output", "a", "--size", "16385x2"}, "--size"},
      {{"--output", "a", "--size", "640"}, "--size"},
      {{"--output", "a", "--size", "640x480x2"}, "--size"},
      {{"--output", "a", "--size", "-640x480"}, "--size"},
      {{"--output", "a", "--size", "x"}, "--size"},
      {{"--output", "a", "--seed", "4294967296"}, "--seed"},
      {{"--output", "a", "--seed", "-1"}, "--seed"},
      {{"--output", "a", "--seed", "99999999999999999999999"}, "--seed"},
      {{"--output", "a", "--speed", "2147483648"}, "--speed"},
      {{"--output", "a", "--speed", "fast"}, "--speed"},
      {{"--output", "a", "--frames", "-1"}, "--frames"},
      {{"--output", "a", "--threads", "0"}, "--threads"},
      {{"--output", "a", "--threads", "257"}, "--threads"},
      {{"--output", "a", "--engine", "avx3"}, "--engine"},
      {{"--output", "a", "--engine", "AVX2"}, "--engine"},
      {{"--output", "a", "--engine", "GPU"}, "--engine"},
      {{"--output", "a", "--engine="}, "--engine"},
      {{"--output", "a", "--phases", "1,2"}, "--phases"},
      {{"--output", "a", "--phases", "1,2,3,4"}, "--phases"},
      {{"--output", "a", "--phases", "1,,3"}, "--phases"},
      {{"--output", "a", "--phases", "1,nan,3"}, "--phases"},
      {{"--output", "a", "--phases", "inf,2,3"}, "--phases"},
      {{"--output", "a", "--phases", "1e39,2,3"}, "--phases"},
      {{"--output", "a", "--phases", "0x1p3,2,3"}, "--phases"},
      {{"--output", "a", "--offsets", "1,2,"}, "--offsets"},
      {{"--output", "a", "--offsets", "1;2"}, "--offsets"},
      {{"--output", "a", "--seed", "1", "--seed", "2"}, "--seed"},
      {{"--output", "a", "--print-state", "--print-state"}, "--print-state"},
      {{"--output", "a", "--print-state=yes"}, "--print-state"},
      {{"--output", "a", "--seed"}, "--seed"},
  };
  for (const auto& [args, named] : cases) {
    std::string line;
    for (const std::string& a : args) line += a + " ";
    const ParseResult r = ParseWallpaperArgs(args);
    EXPECT_FALSE(r.ok) << line;
    EXPECT_NE(r.error.find(named), std::string::npos) << line << "-> " << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << line;
  }
}

// The words of each kind of fault, as scripts may have come to read them.
TEST(WallpaperArgs, EachKindOfFaultInItsOwnWords) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--output", "a", "--bogus"}, "unknown argument '--bogus'"},
      {{"--output", "a", "--help=1"}, "unknown argument '--help=1'"},
      {{"--output", "a", "--seed", "1", "--seed=2"}, "--seed: given more than once"},
      {{"--output=a", "--output", "b"}, "--output: given more than once"},
      {{"--output", "--seed", "1"}, "--output: missing value, expected a file name"},
      {{"--output", "a", "--threads", "0"}, "--threads: expected a whole number from 1 to 256, got '0'"},
      {{"--output", "a", "--size=8"}, "--size: expected WxH with W and H from 1 to 16384, got '8'"},
      {{"--size", "8x8"}, "--output: missing, expected a file name"},
  };
  for (const auto& [args, error] : cases) EXPECT_EQ(Parse(args).error, error);
  // --help and --version only print: they may repeat.
  EXPECT_TRUE(Parse({"--help", "-h", "--help", "--version", "--version"}).ok);
}

TEST(WallpaperArgs, LongOrControlCharacterArgumentsStayOnOneShortLine) {
  const ParseResult r = Parse({"--output", "a", "--speed", std::string(10000, '9')});
  ASSERT_FALSE(r.ok);
  EXPECT_LT(r.error.size(), 200u);
  const ParseResult escape = Parse({"--output", "a", "--speed", "1\n\x1b[2J"});
  ASSERT_FALSE(escape.ok);
  EXPECT_EQ(escape.error.find('\n'), std::string::npos);
  EXPECT_EQ(escape.error.find('\x1b'), std::string::npos);
}

TEST(WallpaperArgs, HelpNeedsNoOutput) {
  const ParseResult r = Parse({"--help"});
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.args.help);
}

TEST(WallpaperArgs, VersionNeedsNoOutputAndTheUsageNamesIt) {
  const ParseResult r = Parse({"--version"});
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.args.version);
  EXPECT_FALSE(r.args.help);
  EXPECT_NE(std::string(WallpaperCli::kUsage).find("--version"), std::string::npos);
}

TEST(WallpaperArgs, TheFormatComesFromTheLastComponentsExtensionInAnyCase) {
  using WallpaperCli::ImageFormat;
  using WallpaperCli::ImageFormatFor;
  EXPECT_EQ(ImageFormatFor("a.png"), ImageFormat::Png);
  EXPECT_EQ(ImageFormatFor("dir.x/A.PnG"), ImageFormat::Png);
  EXPECT_EQ(ImageFormatFor(".png"), ImageFormat::Png);
  EXPECT_EQ(ImageFormatFor("a.png.bmp"), ImageFormat::Bmp);
  EXPECT_EQ(ImageFormatFor("C:\\Pictures\\Wall.BMP"), ImageFormat::Bmp);
  // No extension: BMP, as before; devices and pipes have none.
  EXPECT_EQ(ImageFormatFor("png"), ImageFormat::Bmp);
  EXPECT_EQ(ImageFormatFor("/dev/stdout"), ImageFormat::Bmp);
  EXPECT_EQ(ImageFormatFor("pictures.d/wall"), ImageFormat::Bmp);
  EXPECT_EQ(ImageFormatFor("../wall"), ImageFormat::Bmp);
  for (const char* refused : {"a.jpg", "a.JPEG", "a.pngx", "a.bmp.gif", "wall.", "dir.png/wall.tif", "a.bm"})
    EXPECT_EQ(ImageFormatFor(refused), std::nullopt) << refused;
}

// Refused before anything is rendered: the parse fails, naming what it cannot write.
TEST(WallpaperArgs, AnOutputExtensionItCannotWriteIsRefused) {
  const ParseResult r = Parse({"--output", "holiday/Wall.JPG", "--size", "8x8"});
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.find("--output"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("'.JPG'"), std::string::npos) << r.error;
  EXPECT_TRUE(Parse({"--output=wall.Bmp"}).ok);
  EXPECT_EQ(Parse({"--output", "wall"}).args.format, WallpaperCli::ImageFormat::Bmp);
  EXPECT_TRUE(Parse({"--help", "--output", "wall.jpg"}).ok);  // --help and --version only print
  EXPECT_TRUE(Parse({"--version", "--output", "wall.jpg"}).ok);
}

}  // namespace
