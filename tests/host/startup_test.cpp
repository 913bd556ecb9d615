// The switch letter, the window-handle text and the mode they choose,
// including text that no screen-saver machinery would send.
#include "host/startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

StartupPlan Plan(std::vector<const char*> args) {
  args.insert(args.begin(), "prismora.scr");
  return PlanStartup(int(args.size()), args.data());
}

TEST(SwitchLetter, FirstCharacterIgnoredNextLetterUpperCased) {
  EXPECT_EQ(SwitchLetterOf("/s"), 'S');
  EXPECT_EQ(SwitchLetterOf("-S"), 'S');
  EXPECT_EQ(SwitchLetterOf("/c:1234"), 'C');
  EXPECT_EQ(SwitchLetterOf("xc"), 'C');
  EXPECT_EQ(SwitchLetterOf("cp"), 'P');  // the first character is dropped unseen
  EXPECT_EQ(SwitchLetterOf("/1"), '1');
  EXPECT_EQ(SwitchLetterOf("/\xe9"), '\xe9');  // only a..z change
  EXPECT_EQ(SwitchLetterOf("s"), 0);
  EXPECT_EQ(SwitchLetterOf(""), 0);
  EXPECT_EQ(SwitchLetterOf(nullptr), 0);
  const std::string huge = "/a" + std::string(1 << 20, 'z');
  EXPECT_EQ(SwitchLetterOf(huge.c_str()), 'A');
}

TEST(Dispatch, ModesAndHandlesFollowTheSwitch) {
  EXPECT_EQ(Plan({}).mode, StartMode::Saver);
  EXPECT_EQ(Plan({"s"}).mode, StartMode::Saver);
  EXPECT_EQ(Plan({"/s", "123"}).windowHandle, 0u);  // ignored for the saver
  EXPECT_EQ(Plan({"/z"}).mode, StartMode::Saver);
  EXPECT_EQ(Plan({"/C"}).mode, StartMode::Settings);
  EXPECT_EQ(Plan({"/c:4242"}).mode, StartMode::Settings);
  EXPECT_EQ(Plan({"/c:4242"}).windowHandle, 0u);
  EXPECT_EQ(Plan({"/c", "4242"}).windowHandle, 0u);

  const StartupPlan preview = Plan({"/p", "4242"});
  EXPECT_EQ(preview.mode, StartMode::Preview);
  EXPECT_EQ(preview.windowHandle, 4242u);
  EXPECT_EQ(Plan({"/p"}).windowHandle, 0u);
  EXPECT_EQ(Plan({"/p", "0x1A"}).windowHandle, 26u);
  EXPECT_EQ(Plan({"/p", "$1A"}).windowHandle, 26u);
  EXPECT_EQ(Plan({"/p", "12ab"}).windowHandle, 0u);
  EXPECT_EQ(Plan({"/p", "-$1A"}).windowHandle, 0u);

  const StartupPlan change = Plan({"-a", "77"});
  EXPECT_EQ(change.mode, StartMode::ChangePassword);
  EXPECT_EQ(change.windowHandle, 77u);
  EXPECT_EQ(Plan({"/a"}).windowHandle, 0u);
}

TEST(ParseWindowHandle, DecimalWithSignWithinThirtyTwoBits) {
  EXPECT_EQ(ParseWindowHandle("4242"), 4242u);
  EXPECT_EQ(ParseWindowHandle("   +17"), 17u);
  EXPECT_EQ(ParseWindowHandle("-1"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseWindowHandle("2147483647"), 0x7FFFFFFFu);
  EXPECT_EQ(ParseWindowHandle("-2147483648"), 0x80000000u);
  EXPECT_EQ(ParseWindowHandle("000000000000000000042"), 42u);
  EXPECT_EQ(ParseWindowHandle("2147483648"), 0u);
  EXPECT_EQ(ParseWindowHandle("-2147483649"), 0u);
  EXPECT_EQ(ParseWindowHandle("4294967295"), 0u);
  EXPECT_EQ(ParseWindowHandle("99999999999999999999999999999"), 0u);
}

TEST(ParseWindowHandle, HexOfAtMostEightDigitsAfterItsPrefix) {
  for (const char* text : {"$1A", "x1a", "X1A", "0x1A", "0X1a", "  $1A"})
    EXPECT_EQ(ParseWindowHandle(text), 26u) << text;
  EXPECT_EQ(ParseWindowHandle("$FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseWindowHandle("0x80000000"), 0x80000000u);
  EXPECT_EQ(ParseWindowHandle("$000000001"), 0u);  // nine digits
  EXPECT_EQ(ParseWindowHandle("$123456789"), 0u);
  for (const char* text : {"$", "0x", "x", "-$1A", "+$1A", "-0x1A", "$-1", "$ 1A", "0x0x1"})
    EXPECT_EQ(ParseWindowHandle(text), 0u) << text;
}

TEST(ParseWindowHandle, AnythingElseIsZero) {
  for (const char* text : {"", " ", "+", "-", "--1", "12ab", "12 ", "1.5", "1e3", "\t12",
                           "12\n", "00x1A", "0b101", "\xef\xbc\x91\xef\xbc\x92"})
    EXPECT_EQ(ParseWindowHandle(text), 0u) << text;
  EXPECT_EQ(ParseWindowHandle(static_cast<const char*>(nullptr)), 0u);
  EXPECT_EQ(ParseWindowHandle(std::string_view("12\0" "3", 4)), 0u);
  EXPECT_EQ(ParseWindowHandle(std::string(100000, '7')), 0u);
  EXPECT_EQ(ParseWindowHandle(std::string(100000, ' ') + "9"), 9u);
}

}  // namespace
