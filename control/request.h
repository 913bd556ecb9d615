// The command language of a running prismora: one request a line,
// "COMMAND [ARGUMENT] [--output NAME]", read into a checked Request with an
// error text for the user, and written back in its one canonical form.
// Text only, no OS call: the socket that carries the lines is platform code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace control {

enum class Command {
  Next,       // the next algorithm (12 wraps to 1)
  Previous,   // the previous algorithm (1 wraps to 12)
  Algorithm,  // value: 1 to 12
  Speed,      // value: 0 to 50
  Random,     // value: 1 on, 0 off
  Pixels,     // the per-pixel view
  Mesh,       // the mesh view
  Pause,
  Resume,
  Toggle,  // pause what runs, or resume when everything named is paused
  Status,  // one line of JSON per output
};

constexpr int32_t kMinAlgorithm = 1;
constexpr int32_t kMaxAlgorithm = 12;
constexpr int32_t kMinSpeed = 0;
constexpr int32_t kMaxSpeed = 50;
// A request line is at most this long (without its line end); the socket
// refuses longer ones.
constexpr size_t kMaxLineBytes = 4096;

struct Request {
  Command command = Command::Status;
  int32_t value = 0;   // the argument of algorithm, speed and random
  std::string output;  // empty: every output
  bool operator==(const Request&) const = default;
};

struct ParsedRequest {
  std::optional<Request> request;
  std::string error;  // one line for the user when there is no request
};

// Words as the command line gives them: the command (any case), its
// argument where it takes one, and "--output NAME" or "--output=NAME"
// anywhere after the command.
ParsedRequest ParseRequestWords(const std::vector<std::string_view>& words);

// One line, words apart by spaces or tabs, a final "\r" ignored. The line is
// checked as text first (see CheckLineText).
ParsedRequest ParseRequestLine(std::string_view line);

// The canonical line of a request, without a line end: it reads back as the
// same request.
std::string FormatRequestLine(const Request& request);

// Why `line` is not a line of text (empty when it is): a NUL, a control
// character other than a tab (a final "\r" is allowed), bytes that are not
// UTF-8, or more than kMaxLineBytes bytes.
std::string CheckLineText(std::string_view line);

// The command's name as a request writes it ("next", "algorithm", ...).
const char* CommandName(Command command);

// The commands for messages: "next, previous, algorithm N, ...".
extern const char* const kCommandList;

}  // namespace control
