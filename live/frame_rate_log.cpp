// The measuring lines under PRISMORA_FPS_LOG=1.
#include "live/frame_rate_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace live {

FrameRateLog::FrameRateLog() : start_(std::chrono::steady_clock::now()) {
  const char* flag = std::getenv("PRISMORA_FPS_LOG");
  enabled_ = flag && std::strcmp(flag, "1") == 0;
}

void FrameRateLog::Note(const std::string& text) const {
  if (enabled_) std::fprintf(stderr, "prismora: %s\n", text.c_str());
}

void FrameRateLog::Frame() {
  if (!enabled_) return;
  ++frames_;
  const auto now = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(now - start_).count();
  if (seconds < 1.0) return;
  std::fprintf(stderr, "prismora: %.1f fps\n", frames_ / seconds);
  frames_ = 0;
  start_ = now;
}

}  // namespace live
