// Request lines read and written.
#include "control/request.h"

#include <array>

#include "control/text.h"

namespace control {

const char* const kCommandList =
    "next, previous, algorithm N (1 to 12), speed N (0 to 50), random on|off, pixels, mesh, pause, resume, "
    "toggle, status";

namespace {

struct CommandInfo {
  Command command;
  const char* name;
  bool takesValue;
};

constexpr std::array<CommandInfo, 11> kCommands = {{
    {Command::Next, "next", false},
    {Command::Previous, "previous", false},
    {Command::Algorithm, "algorithm", true},
    {Command::Speed, "speed", true},
    {Command::Random, "random", true},
    {Command::Pixels, "pixels", false},
    {Command::Mesh, "mesh", false},
    {Command::Pause, "pause", false},
    {Command::Resume, "resume", false},
    {Command::Toggle, "toggle", false},
    {Command::Status, "status", false},
}};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

const CommandInfo* FindCommand(std::string_view word) {
  for (const CommandInfo& c : kCommands)
    if (SameWord(word, c.name)) return &c;
  return nullptr;
}

// Decimal digits only (no sign, no spaces), within [low, high].
std::optional<int32_t> NumberIn(std::string_view word, int32_t low, int32_t high) {
  if (word.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > high) return std::nullopt;  // also keeps the sum from overflowing
  }
  if (value < low) return std::nullopt;
  return static_cast<int32_t>(value);
}

ParsedRequest Fail(std::string error) { return {std::nullopt, std::move(error)}; }

// The command's argument, checked.
ParsedRequest WithValue(const CommandInfo& info, std::string_view word) {
  Request r{info.command, 0, {}};
  switch (info.command) {
    case Command::Algorithm:
      if (const auto n = NumberIn(word, kMinAlgorithm, kMaxAlgorithm)) r.value = *n;
      else return Fail("algorithm takes a number from 1 to 12, not " + Quoted(word));
      break;
    case Command::Speed:
      if (const auto n = NumberIn(word, kMinSpeed, kMaxSpeed)) r.value = *n;
      else return Fail("speed takes a number from 0 to 50, not " + Quoted(word));
      break;
    case Command::Random:
      if (SameWord(word, "on")) r.value = 1;
      else if (SameWord(word, "off")) r.value = 0;
      else return Fail("random takes on or off, not " + Quoted(word));
      break;
    default: break;
  }
  return {r, {}};
}

std::string MissingValue(Command command) {
  switch (command) {
    case Command::Algorithm: return "algorithm needs a number from 1 to 12";
    case Command::Speed: return "speed needs a number from 0 to 50";
    default: return "random needs on or off";
  }
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

}  // namespace

const char* CommandName(Command command) {
  for (const CommandInfo& c : kCommands)
    if (c.command == command) return c.name;
  return "status";
}

ParsedRequest ParseRequestWords(const std::vector<std::string_view>& words) {
  if (words.empty()) return Fail(std::string("no command; the commands are: ") + kCommandList);
  const CommandInfo* info = FindCommand(words[0]);
  if (!info) return Fail("unknown command " + Quoted(words[0]) + "; the commands are: " + kCommandList);
  std::vector<std::string_view> arguments;
  std::optional<std::string_view> output;
  for (size_t i = 1; i < words.size(); ++i) {
    const std::string_view w = words[i];
    if (w == "--output") {
      if (i + 1 == words.size()) return Fail("--output needs the name of an output");
      output = words[++i];
    } else if (w.substr(0, 9) == "--output=") {
      output = w.substr(9);
    } else if (w.substr(0, 2) == "--") {
      return Fail("unknown option " + Quoted(w) + "; a command takes only --output NAME");
    } else {
      arguments.push_back(w);
    }
  }
  if (output && output->empty()) return Fail("--output needs the name of an output");
  const size_t wanted = info->takesValue ? 1 : 0;
  if (arguments.size() < wanted) return Fail(MissingValue(info->command));
  if (arguments.size() > wanted)
    return Fail(std::string(info->name) + (wanted ? " takes one argument" : " takes no argument") + ", not " +
                Quoted(arguments[wanted]));
  ParsedRequest parsed = wanted ? WithValue(*info, arguments[0]) : ParsedRequest{Request{info->command, 0, {}}, {}};
  if (parsed.request && output) parsed.request->output = std::string(*output);
  return parsed;
}

ParsedRequest ParseRequestLine(std::string_view line) {
  if (const std::string why = CheckLineText(line); !why.empty()) return Fail(why);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsSpace(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !IsSpace(line[i])) ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  if (words.empty()) return Fail(std::string("an empty line; the commands are: ") + kCommandList);
  return ParseRequestWords(words);
}

std::string FormatRequestLine(const Request& request) {
  std::string line = CommandName(request.command);
  if (request.command == Command::Random) line += request.value ? " on" : " off";
  else if (request.command == Command::Algorithm || request.command == Command::Speed)
    line.append(" ").append(std::to_string(request.value));
  if (!request.output.empty()) line.append(" --output ").append(request.output);
  return line;
}

std::string CheckLineText(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() > kMaxLineBytes) return "a line longer than " + std::to_string(kMaxLineBytes) + " bytes";
  for (size_t i = 0; i < line.size();) {
    const auto b = static_cast<unsigned char>(line[i]);
    if (b == 0) return "not a line of text: a NUL byte";
    if ((b < 0x20 && b != '\t') || b == 0x7F) return "not a line of text: a control character";
    const size_t n = Utf8SequenceLength(line.substr(i));
    if (n == 0) return "not a line of text: bytes that are not UTF-8";
    i += n;
  }
  return {};
}

}  // namespace control
