// The measuring aid of every drawing mode: under PRISMORA_FPS_LOG=1, a
// frames-per-second line on stderr each second, and other measuring lines;
// otherwise nothing. It changes nothing else.
#pragma once

#include <chrono>
#include <string>

namespace live {

// A frames-per-second line on stderr each second while the environment
// variable PRISMORA_FPS_LOG is 1: a measuring aid that changes nothing else.
class FrameRateLog {
 public:
  FrameRateLog();
  void Frame();
  // Another measuring line ("prismora: " and the text), under the same switch.
  void Note(const std::string& text) const;

 private:
  bool enabled_;
  int frames_ = 0;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace live
