// The long options: which command lines are options at all, the values and
// their ranges, later values replacing earlier ones, the implied --no-random,
// window ids as the daemons write them, and the window the mode draws on.
#include "host/embedded_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

OptionsParse Parse(const std::vector<std::string>& args) { return ParseEmbeddedOptions(args); }

bool OptionLine(const char* first) {
  const char* argv[] = {"prismora", first};
  return IsOptionLine(2, argv);
}

TEST(OptionLine, LongOptionsAndTheDaemonsSingleDashFormsButNotTheSwitches) {
  for (const char* yes : {"--root", "--window-id", "--help", "--version", "--speed", "--", "-root", "-window-id", "-h"})
    EXPECT_TRUE(OptionLine(yes)) << yes;
  // The switch rule stays for everything else: first character ignored, next letter.
  for (const char* no : {"/s", "-s", "/c", "-c:1234", "/p", "-r", "-rootx", "-H", "x--", "s", ""})
    EXPECT_FALSE(OptionLine(no)) << no;
  const char* alone[] = {"prismora"};
  EXPECT_FALSE(IsOptionLine(1, alone));
}

TEST(Options, RootAndWindowIdInEitherSpellingAndOrder) {
  OptionsParse r = Parse({"-root"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.options.root);
  EXPECT_FALSE(r.options.windowId);
  // The settings program appends its window to the line as written.
  r = Parse({"--root", "--speed", "10", "-window-id", "0x1A"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.windowId, 26u);
  EXPECT_EQ(r.options.speed, 10);
  r = Parse({"--window-id=12345"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.windowId, 12345u);
}

TEST(Options, DefaultsLeaveTheStoredSettingsAlone) {
  const OptionsParse r = Parse({"--root"});
  ASSERT_TRUE(r.ok);
  EXPECT_FALSE(r.options.speed);
  EXPECT_FALSE(r.options.algorithm);
  EXPECT_FALSE(r.options.random);
  EXPECT_EQ(r.options.delayMicroseconds, 10000);
}

TEST(Options, ValuesAtTheEdgesOfTheirRanges) {
  OptionsParse r = Parse({"--root", "--speed", "0", "--algorithm", "12", "--delay", "1000000"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.speed, 0);
  EXPECT_EQ(r.options.algorithm, 12);
  EXPECT_EQ(r.options.delayMicroseconds, 1000000);
  r = Parse({"--root", "--speed=50", "--algorithm=1", "--delay=0"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.speed, 50);
  EXPECT_EQ(r.options.algorithm, 1);
  EXPECT_EQ(r.options.delayMicroseconds, 0);
}

TEST(Options, OutOfRangeOrMalformedValuesNameTheOptionAndTheValue) {
  struct Bad {
    std::vector<std::string> args;
    const char* named;
  };
  const std::vector<Bad> bad = {
      {{"--root", "--speed", "51"}, "--speed"},      {{"--root", "--speed", "-1"}, "--speed"},
      {{"--root", "--speed", "+5"}, "--speed"},      {{"--root", "--speed", "5x"}, "--speed"},
      {{"--root", "--speed="}, "--speed"},           {{"--root", "--algorithm", "0"}, "--algorithm"},
      {{"--root", "--algorithm", "13"}, "--algorithm"}, {{"--root", "--delay", "1000001"}, "--delay"},
      {{"--root", "--delay", "-10"}, "--delay"},     {{"--window-id", "0"}, "--window-id"},
      {{"-window-id", "zz"}, "-window-id"},
  };
  for (const Bad& b : bad) {
    const OptionsParse r = Parse(b.args);
    EXPECT_FALSE(r.ok) << b.args.back();
    EXPECT_EQ(r.error.rfind(std::string(b.named) + ": expected", 0), 0u) << r.error;
    EXPECT_NE(r.error.find("got '"), std::string::npos) << r.error;
  }
}

TEST(Options, MissingValuesUnknownOptionsAndNothingToDrawOn) {
  OptionsParse r = Parse({"--root", "--speed"});
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("--speed: missing value"), std::string::npos) << r.error;
  r = Parse({"--root", "--fps"});
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "unknown option '--fps'");
  r = Parse({"--speed", "5"});
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("--root, --window-id ID or --layer LAYER"), std::string::npos) << r.error;
  // A hostile argument does not flood the one-line message.
  r = Parse({"--root", "--" + std::string(5000, 'x') + "\n"});
  EXPECT_FALSE(r.ok);
  EXPECT_LT(r.error.size(), 100u);
  EXPECT_EQ(r.error.find('\n'), std::string::npos);
}

// The words of each kind of fault; a value is always the next argument.
TEST(Options, EachKindOfFaultInItsOwnWords) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--root", "--speed", "--root"}, "--speed: expected a whole number from 0 to 50, got '--root'"},
      {{"--root", "--delay"}, "--delay: missing value, expected microseconds from 0 to 1000000"},
      {{"-window-id=5"}, "unknown option '-window-id=5'"},
      {{"--root", "--mesh=1"}, "unknown option '--mesh=1'"},
      {{"--layer", "TOP"}, "--layer: expected background, bottom, top or overlay, got 'TOP'"},
  };
  for (const auto& [args, error] : cases) EXPECT_EQ(Parse(args).error, error);
  const OptionsParse again = Parse({"--root", "--root", "--speed", "1", "--speed=2"});
  ASSERT_TRUE(again.ok) << again.error;
  EXPECT_EQ(again.options.speed, 2);
}

TEST(Options, HelpAndVersionNeedNoWindow) {
  EXPECT_TRUE(Parse({"--help"}).options.help);
  EXPECT_TRUE(Parse({"-h"}).ok);
  EXPECT_TRUE(Parse({"--version"}).options.version);
  EXPECT_TRUE(Parse({"--version"}).ok);
}

TEST(Options, TheLastValueGivenWins) {
  OptionsParse r = Parse({"--root", "--speed", "5", "--speed", "9", "--random", "--no-random"});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.options.speed, 9);
  EXPECT_EQ(r.options.random, false);
  r = Parse({"--root", "--no-random", "--random"});
  EXPECT_EQ(r.options.random, true);
  EXPECT_FALSE(r.options.pixels.has_value());  // the stored view
  EXPECT_EQ(Parse({"--root", "--pixels"}).options.pixels, true);
  EXPECT_EQ(Parse({"--layer", "background", "--pixels", "--mesh"}).options.pixels, false);
  EXPECT_EQ(Parse({"--window-id", "7", "--mesh", "--pixels"}).options.pixels, true);
  EXPECT_FALSE(Parse({"--pixels"}).ok);  // nothing to draw on
}

TEST(Options, AnAlgorithmAskedForIsDrawnUnlessRandomIsAskedForToo) {
  EXPECT_EQ(Parse({"--root", "--algorithm", "4"}).options.random, false);
  EXPECT_EQ(Parse({"--root", "--algorithm", "4", "--random"}).options.random, true);
  EXPECT_EQ(Parse({"--root", "--random", "--algorithm", "4"}).options.random, true);
}

TEST(WindowId, DecimalOrHexAsTheDaemonsWriteThem) {
  EXPECT_EQ(ParseWindowId("26"), 26u);
  EXPECT_EQ(ParseWindowId("0x1A"), 26u);
  EXPECT_EQ(ParseWindowId("0X1a"), 26u);
  EXPECT_EQ(ParseWindowId("4294967295"), 4294967295u);
  EXPECT_EQ(ParseWindowId("0xFFFFFFFF"), 4294967295u);
  for (const char* no : {"", "0", "0x0", "0x", "-26", "+26", " 26", "26 ", "$1A", "x1A", "4294967296",
                         "0x100000000", "1A", "0x1G"})
    EXPECT_FALSE(ParseWindowId(no)) << no;
}

TEST(TargetWindow, WindowIdThenTheDaemonsVariableThenTheRootWindow) {
  EmbeddedOptions o;
  o.root = true;
  uint32_t w = 99;
  std::string error;
  ASSERT_TRUE(ResolveTargetWindow(o, nullptr, w, error));
  EXPECT_EQ(w, 0u);
  ASSERT_TRUE(ResolveTargetWindow(o, "", w, error));
  EXPECT_EQ(w, 0u);
  ASSERT_TRUE(ResolveTargetWindow(o, "0x2a", w, error));  // XScreenSaver writes hex
  EXPECT_EQ(w, 42u);
  ASSERT_TRUE(ResolveTargetWindow(o, "42", w, error));  // xsecurelock decimal
  EXPECT_EQ(w, 42u);
  EXPECT_FALSE(ResolveTargetWindow(o, "garbage", w, error));
  EXPECT_NE(error.find("XSCREENSAVER_WINDOW"), std::string::npos);
  o.windowId = 7;
  error.clear();
  ASSERT_TRUE(ResolveTargetWindow(o, "garbage", w, error));
  EXPECT_EQ(w, 7u);
}

TEST(LayerOptions, EachLayerByItsNameWithTheHackModesOptions) {
  const std::pair<const char*, ui::Layer> layers[] = {{"background", ui::Layer::Background},
                                                      {"bottom", ui::Layer::Bottom},
                                                      {"top", ui::Layer::Top},
                                                      {"overlay", ui::Layer::Overlay}};
  for (const auto& [name, layer] : layers) {
    const OptionsParse r = Parse({"--layer", name, "--speed", "7", "--algorithm=3", "--delay", "0"});
    ASSERT_TRUE(r.ok) << name << ": " << r.error;
    EXPECT_EQ(r.options.layer, layer);
    EXPECT_STREQ(ui::LayerName(layer), name);
    EXPECT_EQ(r.options.speed, 7);
    EXPECT_EQ(r.options.algorithm, 3);
    EXPECT_EQ(r.options.random, false);
    EXPECT_EQ(r.options.delayMicroseconds, 0);
    EXPECT_TRUE(r.options.output.empty());
    EXPECT_FALSE(r.options.root);
  }
  const OptionsParse last = Parse({"--layer=top", "--layer", "background"});
  EXPECT_EQ(last.options.layer, ui::Layer::Background);
}

TEST(LayerOptions, AnOutputByTheCompositorsName) {
  OptionsParse r = Parse({"--layer", "background", "--output", "HEADLESS-2"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.output, "HEADLESS-2");
  r = Parse({"--output=DP-1", "--layer=bottom"});  // in any order
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.output, "DP-1");
  // Names with blanks and non-ASCII letters are the compositor's business.
  r = Parse({"--layer", "top", "--output", "Écran de gauche"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.output, "Écran de gauche");
}

TEST(LayerOptions, BadLayersAndOutputsAndMixedModesAreOneLineErrors) {
  struct Bad {
    std::vector<std::string> args;
    const char* says;
  } bad[] = {
      {{"--layer", "wallpaper"}, "--layer: expected background, bottom, top or overlay, got 'wallpaper'"},
      {{"--layer", "Background"}, "--layer: expected"},  // the names are lower case, as the protocol's
      {{"--layer", ""}, "--layer: expected"},
      {{"--layer"}, "--layer: missing value"},
      {{"--layer", "top", "--output", ""}, "--output: expected"},
      {{"--layer", "top", "--output", "DP-1\n--root"}, "--output: expected"},
      {{"--layer", "top", "--output", std::string(300, 'x')}, "--output: expected"},
      {{"--output", "DP-1"}, "--output needs --layer"},
      {{"--layer", "top", "--root"}, "--layer draws on the compositor's outputs"},
      {{"--window-id", "0x20", "--layer", "top"}, "--layer draws on the compositor's outputs"},
  };
  for (const Bad& b : bad) {
    const OptionsParse r = Parse(b.args);
    EXPECT_FALSE(r.ok) << b.says;
    EXPECT_EQ(r.error.rfind(b.says, 0), 0u) << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
    EXPECT_LT(r.error.size(), 200u);
  }
}

TEST(SendOptions, TheCommandsWordsAndWhichInstanceOrOutput) {
  OptionsParse r = Parse({"--send", "algorithm", "7", "--output", "HEADLESS-2"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.options.send);
  EXPECT_EQ(r.options.sendWords, (std::vector<std::string>{"algorithm", "7"}));
  EXPECT_EQ(r.options.output, "HEADLESS-2");  // no --layer needed beside --send
  r = Parse({"--layer", "bottom", "--send", "status"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.sendWords, std::vector<std::string>{"status"});
  EXPECT_EQ(r.options.layer, ui::Layer::Bottom);
  // A bad word is the instance's or the client's to judge, with its status 2:
  // the option line only gathers it, even one that looks like a switch.
  r = Parse({"--send", "speed", "-5"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.sendWords, (std::vector<std::string>{"speed", "-5"}));
  r = Parse({"--root", "--replace"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.options.replace);
}

TEST(SendOptions, NothingToSendOrADrawingOptionBesideItIsAnError) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--send"}, {"--send", "--output", "DP-1"}, {"--send", "next", "--root"},
        {"--send", "next", "--speed", "3"}, {"--send", "pause", "--replace"}, {"--send", "next", "--window-id", "7"}}) {
    const OptionsParse r = Parse(args);
    EXPECT_FALSE(r.ok) << args.size();
    EXPECT_EQ(r.error.rfind("--send ", 0), 0u) << r.error;
    EXPECT_EQ(r.error.find('\n'), std::string::npos) << r.error;
  }
}

TEST(Options, OnBatteryTakesOneOfItsThreeWords) {
  const std::pair<const char*, int32_t> words[] = {{"every", 0}, {"slow", 1}, {"pause", 2}};
  for (const auto& [word, value] : words) {
    const OptionsParse r = Parse({"--root", "--on-battery", word});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.options.onBattery, value);
  }
  EXPECT_FALSE(Parse({"--root"}).options.onBattery);  // the stored choice then
  for (const char* bad : {"Pause", "", "2", "paused"}) {
    const OptionsParse r = Parse({"--layer", "background", "--on-battery", bad});
    EXPECT_FALSE(r.ok) << bad;
    EXPECT_EQ(r.error.rfind("--on-battery: expected every, slow or pause", 0), 0u) << r.error;
  }
  EXPECT_FALSE(Parse({"--send", "next", "--on-battery", "slow"}).ok);
}

TEST(Usage, NamesEverySwitchAndOption) {
  const std::string usage = kPrismoraUsage;
  for (const char* name : {"/s", "/c", "/p", "/a", "--root", "-root", "--window-id ID", "-window-id ID",
                           "--speed N", "--algorithm N", "--random", "--no-random", "--pixels", "--mesh",
                           "--delay MICROSECONDS", "--help",
                           "--version", "--layer LAYER", "--output NAME", "background, bottom, top or overlay",
                           "--send COMMAND", "--replace", "status", "--on-battery every|slow|pause"})
    EXPECT_NE(usage.find(name), std::string::npos) << name;
}

}  // namespace
