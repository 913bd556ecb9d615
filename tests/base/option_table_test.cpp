// The option table on a small program of its own, under both sets of rules:
// the spellings of a name and a value, where '=' splits, ranges at their
// edges, flags, repeats refused or replacing, values that look like options,
// and the exact one-line errors.
#include "base/option_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Values {
  bool help = false;
  bool verbose = false;
  std::optional<bool> colour;
  int32_t count = 3;
  std::optional<uint32_t> seed;
  std::string name;
  std::vector<std::string> seen;  // every value the name option stored, in order
};

using Table = Options::Table<Values>;

bool StoreName(std::string_view v, Values& values) {
  values.seen.emplace_back(v);
  values.name = v;
  return !v.empty() && v != "bad";
}

std::vector<Table::Option> TheOptions() {
  return {
      Table::Flag({"--help", "-h"}, &Values::help).MayRepeat(),
      Table::Flag({"--verbose", "-verbose"}, &Values::verbose),
      Table::Flag({"--colour"}, &Values::colour, true),
      Table::Flag({"--no-colour"}, &Values::colour, false),
      Table::Whole({"--count", "-count"}, -5, 10, &Values::count, "a whole number from -5 to 10"),
      Table::Whole({"--seed"}, 0, UINT32_MAX, &Values::seed, "a whole number from 0 to 4294967295"),
      Table::Value({"--name"}, "a name", StoreName),
  };
}

// prismora's rules: repeats replace, the next argument is always the value.
const Table kReplacing({.unknownWord = "option", .eachOnce = false, .valueMayBeginWithDashes = true}, TheOptions());
// prismora-wallpaper's: each option once, a "--" argument is never a value.
const Table kOnce({.unknownWord = "argument", .eachOnce = true, .valueMayBeginWithDashes = false}, TheOptions());

struct Read {
  std::string error;
  Values values;
};

Read ReadWith(const Table& table, const std::vector<std::string>& args) {
  Read r;
  r.error = table.Read(args, r.values);
  return r;
}

TEST(OptionTable, EverySpellingOfANameAndItsValue) {
  for (const Table* table : {&kReplacing, &kOnce}) {
    Read r = ReadWith(*table, {"--count", "7", "--seed=42", "-verbose", "--name", "x=y"});
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(r.values.count, 7);
    EXPECT_EQ(r.values.seed, 42u);
    EXPECT_TRUE(r.values.verbose);
    EXPECT_EQ(r.values.name, "x=y");  // only the option's own '=' splits
    r = ReadWith(*table, {"-count", "-5", "--count=10"});
    EXPECT_EQ(r.error, "");
    EXPECT_EQ(r.values.count, 10);
  }
  // A single-dash name takes no "=value": the whole argument is its name.
  EXPECT_EQ(ReadWith(kReplacing, {"-count=5"}).error, "unknown option '-count=5'");
  EXPECT_EQ(ReadWith(kOnce, {"-count=5"}).error, "unknown argument '-count=5'");
  // An empty value after '=' is a value, and the option judges it.
  const Read empty = ReadWith(kReplacing, {"--name="});
  EXPECT_EQ(empty.error, "--name: expected a name, got ''");
  EXPECT_EQ(empty.values.seen, std::vector<std::string>{""});
}

TEST(OptionTable, RangesHoldTheirEdgesAndNothingBeyond) {
  EXPECT_EQ(ReadWith(kReplacing, {"--count", "-5"}).values.count, -5);
  EXPECT_EQ(ReadWith(kReplacing, {"--seed", "4294967295"}).values.seed, 4294967295u);
  EXPECT_EQ(ReadWith(kReplacing, {"--seed", "0"}).values.seed, 0u);
  for (const char* bad : {"11", "-6", "+3", " 3", "3 ", "3.0", "0x3", "", "99999999999999999999"})
    EXPECT_EQ(ReadWith(kReplacing, {"--count", bad}).error,
              std::string("--count: expected a whole number from -5 to 10, got '") + bad + "'")
        << bad;
  EXPECT_EQ(ReadWith(kReplacing, {"--seed", "4294967296"}).error,
            "--seed: expected a whole number from 0 to 4294967295, got '4294967296'");
  // A refused value leaves the member as it was.
  Values v;
  EXPECT_NE(kReplacing.Read({"--count", "11"}, v), "");
  EXPECT_EQ(v.count, 3);
}

TEST(OptionTable, FlagsSetTheirValueAndTakeNoneOfTheirOwn) {
  Read r = ReadWith(kReplacing, {"--colour", "--no-colour"});
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.values.colour, false);
  EXPECT_FALSE(ReadWith(kReplacing, {}).values.colour.has_value());
  EXPECT_EQ(ReadWith(kReplacing, {"--verbose=yes"}).error, "unknown option '--verbose=yes'");
  EXPECT_EQ(ReadWith(kOnce, {"--help=1"}).error, "unknown argument '--help=1'");
}

TEST(OptionTable, RepeatsReplaceOrAreRefusedByTheProgramsRule) {
  Read r = ReadWith(kReplacing, {"--count", "1", "--count=2", "--verbose", "--verbose", "--name", "a", "--name", "b"});
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.values.count, 2);
  EXPECT_EQ(r.values.name, "b");

  EXPECT_EQ(ReadWith(kOnce, {"--count", "1", "--count=2"}).error, "--count: given more than once");
  EXPECT_EQ(ReadWith(kOnce, {"--verbose", "--verbose"}).error, "--verbose: given more than once");
  // A name counts as written: each spelling once.
  EXPECT_EQ(ReadWith(kOnce, {"--verbose", "-verbose"}).error, "");
  // Those that may repeat, repeat; and are counted neither way.
  r = ReadWith(kOnce, {"--help", "-h", "--help", "--verbose"});
  EXPECT_EQ(r.error, "");
  EXPECT_TRUE(r.values.help);
  // The repeat is found before the value is looked at.
  EXPECT_EQ(ReadWith(kOnce, {"--verbose", "--verbose=1"}).error, "--verbose: given more than once");
}

TEST(OptionTable, AValueThatLooksLikeAnOptionByTheProgramsRule) {
  Read r = ReadWith(kReplacing, {"--name", "--count"});
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.values.name, "--count");
  EXPECT_EQ(ReadWith(kReplacing, {"--count", "--verbose"}).error,
            "--count: expected a whole number from -5 to 10, got '--verbose'");

  EXPECT_EQ(ReadWith(kOnce, {"--name", "--count", "1"}).error, "--name: missing value, expected a name");
  // A single dash is no option: a negative number is a value.
  EXPECT_EQ(ReadWith(kOnce, {"--count", "-2"}).values.count, -2);
  EXPECT_EQ(ReadWith(kOnce, {"--name", "-"}).values.name, "-");
}

TEST(OptionTable, TheFirstFaultEndsTheReadInOneShortLine) {
  EXPECT_EQ(ReadWith(kReplacing, {"--count"}).error, "--count: missing value, expected a whole number from -5 to 10");
  EXPECT_EQ(ReadWith(kReplacing, {"stray", "--bogus"}).error, "unknown option 'stray'");
  EXPECT_EQ(ReadWith(kOnce, {"--bogus", "stray"}).error, "unknown argument '--bogus'");
  EXPECT_EQ(ReadWith(kReplacing, {"--"}).error, "unknown option '--'");
  EXPECT_EQ(ReadWith(kReplacing, {"--=1"}).error, "unknown option '--=1'");
  // Nothing after the fault is read.
  const Read r = ReadWith(kReplacing, {"--name", "bad", "--name", "good"});
  EXPECT_EQ(r.error, "--name: expected a name, got 'bad'");
  EXPECT_EQ(r.values.seen, std::vector<std::string>{"bad"});

  const std::string hostile = "--" + std::string(5000, 'x') + "\n\x1b[2J";
  const std::string error = ReadWith(kReplacing, {hostile}).error;
  EXPECT_EQ(error, "unknown option '--" + std::string(62, 'x') + "...'");
  const std::string escape = ReadWith(kReplacing, {"--name", "bad\n\x1b"}).error;
  EXPECT_EQ(escape.find_first_of("\n\x1b"), std::string::npos) << escape;
}

TEST(OptionTable, ShownKeepsSixtyFourCharactersWithoutControlCharacters) {
  EXPECT_EQ(Options::Shown("plain"), "plain");
  EXPECT_EQ(Options::Shown("a\tb\nc\x7f"), "a?b?c\x7f");
  EXPECT_EQ(Options::Shown(std::string(64, 'z')), std::string(64, 'z'));
  EXPECT_EQ(Options::Shown(std::string(65, 'z')), std::string(64, 'z') + "...");
}

}  // namespace
