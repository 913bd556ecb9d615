// The frame-rate log's counting and its lines.
#include "live/frame_rate_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace live {

namespace {

bool SwitchedOn() {
  const char* flag = std::getenv("PRISMORA_FPS_LOG");
  return flag && std::strcmp(flag, "1") == 0;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

FrameRateLog::FrameRateLog(std::string name) : FrameRateLog(std::move(name), SwitchedOn()) {}

FrameRateLog::FrameRateLog(std::string name, bool enabled) : name_(std::move(name)), enabled_(enabled) {}

void FrameRateLog::Note(const std::string& text) const {
  if (enabled_) std::fprintf(stderr, "prismora: %s\n", text.c_str());
}

// The first frame starts the count; each later one adds itself and, where
// the pause before it was too long for the pacing, the time it waited.
void FrameRateLog::Frame(PaceTime now, const FramePacing& pacing) {
  if (!enabled_) return;
  if (!started_) {
    started_ = true;
    lineStart_ = lastFrame_ = pacing.Start();
  }
  const auto pause = now - lastFrame_;
  const auto expected = std::chrono::duration_cast<std::chrono::steady_clock::duration>(pacing.Gap()) + kHiddenAfter;
  if (pause > expected) hidden_ += pause - std::chrono::duration_cast<std::chrono::steady_clock::duration>(pacing.Gap());
  lastFrame_ = now;
  ++frames_;
  if (now - lineStart_ >= std::chrono::seconds(1)) Print(now, pacing);
}

void FrameRateLog::Print(PaceTime now, const FramePacing& pacing) {
  const double seconds = Seconds(now - lineStart_);
  char line[256];
  std::snprintf(line, sizeof line, "prismora: %s%s%.1f fps: %d frames drawn in %.2f s, hidden %.2f s; drift %lld steps in %.2f s",
                name_.c_str(), name_.empty() ? "" : ": ", frames_ / seconds, frames_, seconds, hidden_.count(),
                static_cast<long long>(pacing.StepsTaken()), Seconds(now - pacing.Start()));
  lastLine_ = line;
  std::fprintf(stderr, "%s\n", line);
  frames_ = 0;
  hidden_ = std::chrono::duration<double>(0);
  lineStart_ = now;
}

}  // namespace live
