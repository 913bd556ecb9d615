// libFuzzer target: one request line on any bytes, through the parser, the
// outputs' settings and the reply, as a running instance meets it. Checked:
// a line read as a request writes back to a line that reads the same; the
// settings stay in their ranges; every reply is lines of valid JSON text
// ending in exactly one final line that the sender reads back.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "control/instance.h"
#include "control/reply.h"
#include "control/request.h"
#include "control/steering.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckSettings(const control::OutputSettings& s) {
  Check(s.algorithm >= control::kMinAlgorithm && s.algorithm <= control::kMaxAlgorithm);
  Check(s.speed >= control::kMinSpeed && s.speed <= control::kMaxSpeed);
}

void CheckReply(const std::vector<std::string>& lines) {
  Check(!lines.empty());
  control::ReplyReader reader;
  for (size_t i = 0; i < lines.size(); ++i) {
    Check(control::CheckLineText(lines[i]).empty() || lines[i].size() > control::kMaxLineBytes);
    Check(lines[i].find('\n') == std::string::npos);
    Check(reader.Add(lines[i]) == (i + 1 == lines.size()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const control::ParsedRequest parsed = control::ParseRequestLine(line);
  Check(parsed.request.has_value() != !parsed.error.empty());
  if (parsed.request) {
    const std::string canonical = control::FormatRequestLine(*parsed.request);
    const control::ParsedRequest again = control::ParseRequestLine(canonical);
    Check(again.request == parsed.request);
    // Its words, as prismora --send gets them, make the same line.
    std::vector<std::string> words;
    for (size_t start = 0, end; start <= canonical.size(); start = end + 1) {
      end = std::min(canonical.find(' ', start), canonical.size());
      words.push_back(canonical.substr(start, end - start));
    }
    Check(control::RequestLineFromWords(words, "").line == canonical);
  }

  // The same line against an instance with two outputs, one of them named
  // after the line's last word, so --output finds one sometimes.
  uint32_t draws = size;
  control::Steering steering({25, 7, size % 2 == 1, false}, [&draws] {
    draws = draws * 1103515245u + 12345u;
    return int32_t(draws % 12) + 1;
  });
  steering.AddOutput(1, "DP-1");
  steering.AddOutput(2, std::string(line.substr(line.find_last_of(' ') + 1)));
  const control::Response response = control::Respond(steering, line, [](int id) {
    return control::OutputFacts{id * 640, id * 480, id * 29.97, id == 1, id == 2, false};
  });
  CheckReply(response.lines);
  Check(response.lines.back() == control::OkLine() || !parsed.request || !parsed.request->output.empty());
  for (const control::OutputEntry& o : steering.Outputs()) CheckSettings(o.settings);
  CheckSettings(steering.Shared());
  steering.FollowSettings({int32_t(size % 51), int32_t(size % 12) + 1, size % 3 == 0, size % 5 == 0});
  for (const control::OutputEntry& o : steering.Outputs()) CheckSettings(o.settings);
  return 0;
}
