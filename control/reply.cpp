// Reply lines written, answered and read back.
#include "control/reply.h"

#include <cmath>

#include "control/text.h"

namespace control {

namespace {

// Frames a second with one decimal, whatever the locale.
std::string Tenths(double value) {
  if (!(value > 0)) value = 0;  // also a value that is not a number
  if (value > 1e6) value = 1e6;
  const long long tenths = std::llround(value * 10);
  return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string Reasons(const OutputSettings& s, const OutputFacts& f) {
  std::string list;
  auto add = [&](bool on, const char* why) {
    if (on) list += std::string(list.empty() ? "\"" : ",\"") + why + "\"";
  };
  add(s.pausedByRequest, "asked");
  add(f.covered, "covered");
  add(f.displayOff, "display off");
  add(f.onBattery, "on battery");
  return "[" + list + "]";
}

const char* Bool(bool b) { return b ? "true" : "false"; }

constexpr std::string_view kOk = "{\"ok\":true}";
constexpr std::string_view kErrorStart = "{\"ok\":false,\"error\":";
constexpr std::string_view kFinalStart = "{\"ok\":";

}  // namespace

const char* const kBusyError = "busy: too many clients at once";

std::string OkLine() { return std::string(kOk); }

std::string ErrorLine(std::string_view error) { return std::string(kErrorStart) + JsonString(error) + "}"; }

std::string StatusLine(const std::string& name, const OutputSettings& s, const OutputFacts& f) {
  const bool paused = s.pausedByRequest || f.covered || f.displayOff || f.onBattery;
  return "{\"output\":" + JsonString(name) + ",\"width\":" + std::to_string(f.width) +
         ",\"height\":" + std::to_string(f.height) + ",\"algorithm\":" + std::to_string(s.algorithm) +
         ",\"speed\":" + std::to_string(s.speed) + ",\"random\":" + Bool(s.random) + ",\"view\":\"" +
         (s.pixels ? "pixels" : "mesh") + "\",\"fps\":" + Tenths(f.framesPerSecond) + ",\"paused\":" + Bool(paused) +
         ",\"why\":" + Reasons(s, f) + "}";
}

Response Respond(Steering& steering, std::string_view line, const std::function<OutputFacts(int id)>& facts) {
  Response response;
  const ParsedRequest parsed = ParseRequestLine(line);
  if (!parsed.request) {
    response.lines.push_back(ErrorLine(parsed.error));
    return response;
  }
  const Applied applied = steering.Apply(*parsed.request);
  if (!applied.ok) {
    response.lines.push_back(ErrorLine(applied.error));
    return response;
  }
  response.changed = applied.changed;
  if (parsed.request->command == Command::Status) {
    for (const OutputEntry& o : steering.Outputs())
      if (parsed.request->output.empty() || o.name == parsed.request->output)
        response.lines.push_back(StatusLine(o.name, o.settings, facts ? facts(o.id) : OutputFacts{}));
  }
  response.lines.push_back(OkLine());
  return response;
}

bool ReplyReader::Add(std::string_view line) {
  if (reply_.complete) return true;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.substr(0, kFinalStart.size()) != kFinalStart) {
    reply_.data.emplace_back(line);
    return false;
  }
  reply_.complete = true;
  reply_.ok = line == kOk;
  if (reply_.ok) return true;
  size_t pos = kErrorStart.size();
  const auto error = line.substr(0, pos) == kErrorStart ? ReadJsonString(line, pos) : std::nullopt;
  reply_.error = error && line.substr(pos) == "}" ? *error : "a reply that cannot be read: " + Quoted(line);
  return true;
}

}  // namespace control
