// The frame-rate log: a measuring aid, on stderr while the environment
// variable PRISMORA_FPS_LOG is 1, that changes nothing else. About once a
// second, at a drawn frame, one line: the frames drawn since the last line,
// the part of that time the picture spent hidden (no frame asked for, so
// none drawn), and the drift steps taken since the pattern's clock started.
#pragma once

#include <chrono>
#include <string>

#include "live/frame_pacing.h"

namespace live {

// A pause between two drawn frames that passes the pacing's gap by more
// than this counts as hidden time: the display asked for no frame.
constexpr std::chrono::milliseconds kHiddenAfter{250};

class FrameRateLog {
 public:
  // name: what the lines are about ("" for the only picture; an output's
  // name on Wayland). enabled: the switch (by default PRISMORA_FPS_LOG=1).
  explicit FrameRateLog(std::string name = "");
  FrameRateLog(std::string name, bool enabled);

  // A frame drawn at `now` by `pacing`, after its TakeFrame.
  void Frame(PaceTime now, const FramePacing& pacing);
  // Another measuring line ("prismora: " and the text), under the same switch.
  void Note(const std::string& text) const;
  // The last line printed (empty before the first), for tests.
  const std::string& LastLine() const { return lastLine_; }

 private:
  void Print(PaceTime now, const FramePacing& pacing);

  std::string name_;
  bool enabled_;
  bool started_ = false;
  int frames_ = 0;
  PaceTime lineStart_, lastFrame_;
  std::chrono::duration<double> hidden_{0};
  std::string lastLine_;
};

}  // namespace live
