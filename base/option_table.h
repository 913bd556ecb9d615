// One option table for every command line of "--name value" options
// (prismora-wallpaper's, prismora's option line): each program lists its
// options, their value ranges and the rules it keeps as data; the table reads
// the arguments and words every error in one line. No OS call.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Options {

// The rules in which command lines differ.
struct Rules {
  // An unknown argument is reported as "unknown <unknownWord> '<argument>'".
  const char* unknownWord = "option";
  // true: an option given twice is refused ("NAME: given more than once"),
  // except those that may repeat; false: a later value replaces an earlier one.
  bool eachOnce = false;
  // false: an argument that begins with "--" is never taken as the value of
  // the option before it (that option is then missing its value).
  bool valueMayBeginWithDashes = true;
};

// Keeps a hostile argument from flooding a one-line message: at most 64
// characters ("..." after them), control characters as '?'.
std::string Shown(std::string_view text);

// A plain decimal whole number (no blanks, no '+', nothing after it) from lo
// to hi; false, and out unchanged, for anything else.
bool ParseWhole(std::string_view text, int64_t lo, int64_t hi, int64_t& out);

// One argument as the table reads it: its name, and for an argument that
// begins with "--" the value after its first '=' (absent without one).
struct Argument {
  std::string_view name;
  std::optional<std::string_view> value;
};
Argument SplitArgument(std::string_view argument);

// The one-line errors.
std::string UnknownArgument(const Rules& rules, std::string_view argument);
std::string GivenMoreThanOnce(std::string_view name);
std::string MissingValue(std::string_view name, const char* expected);
std::string BadValue(std::string_view name, const char* expected, std::string_view value);

// The options of one program, which fill its Values.
template <class Values>
class Table {
 public:
  struct Option {
    std::vector<std::string_view> names;  // every spelling: "--window-id", "-window-id"
    std::function<void(Values&)> set;     // a flag: what it sets
    // An option with a value: stores a valid value, false for any other;
    // `expected` says what a valid value looks like.
    std::function<bool(std::string_view, Values&)> store;
    const char* expected = "";
    bool mayRepeat = false;

    // Given again even where each option counts once (--help, --version).
    Option MayRepeat() && {
      mayRepeat = true;
      return std::move(*this);
    }
  };

  // A flag sets a member to a fixed value: --random sets random to true,
  // --no-random to false.
  template <class Member>
  static Option Flag(std::vector<std::string_view> names, Member Values::*member, bool value = true) {
    return {std::move(names), [member, value](Values& v) { v.*member = value; }, nullptr, ""};
  }

  // An option whose value `store` checks and keeps.
  static Option Value(std::vector<std::string_view> names, const char* expected,
                      std::function<bool(std::string_view, Values&)> store) {
    return {std::move(names), nullptr, std::move(store), expected};
  }

  // A whole number from lo to hi into a member (plain or optional).
  template <class Member>
  static Option Whole(std::vector<std::string_view> names, int64_t lo, int64_t hi, Member Values::*member,
                      const char* expected) {
    return Value(std::move(names), expected, [lo, hi, member](std::string_view text, Values& v) {
      int64_t n = 0;
      if (!ParseWhole(text, lo, hi, n)) return false;
      Assign(v.*member, n);
      return true;
    });
  }

  Table(Rules rules, std::vector<Option> options) : rules_(rules), options_(std::move(options)) {}

  // Reads args (without the program's name) into values, in order; "" when
  // all are read, else the error of the first argument at fault.
  std::string Read(const std::vector<std::string>& args, Values& values) const {
    std::set<std::string, std::less<>> seen;
    for (size_t i = 0; i < args.size(); ++i) {
      const Argument a = SplitArgument(args[i]);
      const Option* option = Find(a.name);
      const bool flag = option && option->set && !a.value;
      if (flag && option->mayRepeat) {
        option->set(values);
        continue;
      }
      if (rules_.eachOnce && !seen.insert(std::string(a.name)).second) return GivenMoreThanOnce(a.name);
      if (flag) {
        option->set(values);
        continue;
      }
      if (!option || !option->store) return UnknownArgument(rules_, args[i]);
      std::string_view value;
      if (a.value)
        value = *a.value;
      else if (i + 1 < args.size() && (rules_.valueMayBeginWithDashes || !args[i + 1].starts_with("--")))
        value = args[++i];
      else
        return MissingValue(a.name, option->expected);
      if (!option->store(value, values)) return BadValue(a.name, option->expected, value);
    }
    return {};
  }

 private:
  template <class T>
  static void Assign(T& member, int64_t n) {
    member = static_cast<T>(n);
  }
  template <class T>
  static void Assign(std::optional<T>& member, int64_t n) {
    member = static_cast<T>(n);
  }

  const Option* Find(std::string_view name) const {
    for (const Option& o : options_)
      for (std::string_view n : o.names)
        if (n == name) return &o;
    return nullptr;
  }

  Rules rules_;
  std::vector<Option> options_;
};

}  // namespace Options
