// The frame pacing's schedule and the drift's catch-up.
#include "live/frame_pacing.h"

namespace live {

FramePacing::FramePacing(PaceTime start, std::chrono::microseconds gap, FrameRequests requests)
    : start_(start), gap_(gap.count() > 0 ? gap : std::chrono::microseconds(0)), requests_(requests), next_(start) {}

std::optional<PaceTime> FramePacing::NextFrameAt() const {
  if (!asked_ || held_) return std::nullopt;
  return next_;
}

bool FramePacing::FrameDue(PaceTime now) const { return asked_ && !held_ && now >= next_; }

void FramePacing::SetFloorGap(std::chrono::microseconds floor) {
  floor_ = floor.count() > 0 ? floor : std::chrono::microseconds(0);
}

// A frame after a pause comes at once: the picture has been still long
// enough. The display's own asking is kept as it stood.
void FramePacing::Hold(bool held) {
  if (held_ && !held) next_ = start_;
  held_ = held;
}

int64_t FramePacing::StepsDueBy(PaceTime now) const {
  if (now <= start_) return 0;
  return std::chrono::duration_cast<std::chrono::microseconds>(now - start_) / kDriftStep;
}

// The schedule keeps its beat while frames come on time, so that a 10 ms gap
// gives 100 frames a second, not a little less; a frame later than a whole
// gap starts it again from itself, so that the next one still waits a gap.
int64_t FramePacing::TakeFrame(PaceTime now) {
  const int64_t due = StepsDueBy(now);
  const int64_t steps = due > steps_ ? due - steps_ : 0;
  steps_ += steps;
  ++frames_;
  const std::chrono::microseconds gap = Gap();
  next_ += gap;
  if (next_ < now) next_ = now + gap;
  if (requests_ == FrameRequests::FromDisplay) asked_ = false;
  return steps;
}

int64_t AdvanceDrift(Gradient::PatternState& s, FramePacing& pacing, PaceTime now) {
  const int64_t steps = pacing.TakeFrame(now);
  for (int64_t i = 0; i < steps; ++i) Gradient::DriftFrame(s);
  return steps;
}

void AdvanceMeshFrame(Gradient::PatternState& s, FramePacing& pacing, PaceTime now) {
  const bool first = pacing.FramesDrawn() == 0;
  if (AdvanceDrift(s, pacing, now) > 0 || first) Gradient::SweepFrame(s);
}

}  // namespace live
