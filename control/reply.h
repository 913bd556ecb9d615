// The replies of a running instance, one line of JSON each. Every request
// gets zero or more data lines, then exactly one final line:
//   {"ok":true}                          done
//   {"ok":false,"error":"TEXT"}          not done, and why
// status gives one data line per output before its final line:
//   {"output":"DP-1","width":1920,"height":1080,"algorithm":7,"speed":25,
//    "random":false,"view":"mesh","fps":59.9,"paused":true,"why":["asked"]}
// "why" lists, in this order, what pauses the output: "asked" (pause),
// "covered", "display off", "on battery". Respond answers a line for the
// instance; ReplyReader reads the lines back for the sending client.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "control/steering.h"

namespace control {

// What the mode knows of an output beyond its settings.
struct OutputFacts {
  int width = 0, height = 0;  // the picture's pixels
  double framesPerSecond = 0;
  bool covered = false;     // nothing of it can be seen
  bool displayOff = false;  // its monitor's power is off
  bool onBattery = false;   // held because the machine runs on battery
};

// The error of an instance that has as many clients as it takes: the
// sender may try again a moment later.
extern const char* const kBusyError;

std::string OkLine();
std::string ErrorLine(std::string_view error);
std::string StatusLine(const std::string& name, const OutputSettings& settings, const OutputFacts& facts);

struct Response {
  std::vector<std::string> lines;  // without line ends
  std::vector<int> changed;        // the outputs whose settings changed
};

// Reads one request line, applies it to `steering` and answers it; `facts`
// is asked about each output that status reports.
Response Respond(Steering& steering, std::string_view line, const std::function<OutputFacts(int id)>& facts);

struct Reply {
  bool complete = false;  // the final line came
  bool ok = false;
  std::string error;              // the instance's reason, when !ok
  std::vector<std::string> data;  // the lines before the final one
};

class ReplyReader {
 public:
  // One line as received, without its line end. True once the final line
  // has come; lines after it are ignored.
  bool Add(std::string_view line);
  const Reply& Result() const { return reply_; }

 private:
  Reply reply_;
};

}  // namespace control
