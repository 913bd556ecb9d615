// The live pattern's two clocks. Its motion: one drift step per 10 ms of
// time, whatever is drawn. Its frames: drawn only when the display will show
// them (a Wayland frame callback, an X window that can be seen, a screen that
// is on) and no sooner than the shortest gap between frames (--delay). Before
// a drawn frame the drift catches up by the whole steps that elapsed, so the
// state after N steps is the state that N ticks of a 10 ms timer make. No
// clock of its own: the time is passed in, so that tests run a virtual one.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "engine/gradient.h"

namespace live {

using PaceTime = std::chrono::steady_clock::time_point;

// The pattern's own tick: one drift step per 10 ms.
constexpr std::chrono::microseconds kDriftStep{10000};

// Who asks for frames: the mode's own timer or window (Always: a frame is
// due whenever the gap has passed), or the display (a frame is due only
// after the display asked for one, as Wayland's frame callbacks do).
enum class FrameRequests { Always, FromDisplay };

class FramePacing {
 public:
  // The pattern's clock starts at `start` with no step taken. `gap`: the
  // shortest time between two drawn frames (0: none).
  explicit FramePacing(PaceTime start, std::chrono::microseconds gap = std::chrono::microseconds(0),
                       FrameRequests requests = FrameRequests::Always);

  // The display asked for a frame (its last frame was shown, or the surface
  // is new or has a new size).
  void DisplayAsks() { asked_ = true; }
  // When the next frame may be drawn; none while the display has not asked.
  std::optional<PaceTime> NextFrameAt() const;
  bool FrameDue(PaceTime now) const;
  // A frame drawn at `now`: the drift steps that came due since the last
  // frame (since the start for the first), counted as taken. The next frame
  // waits for the gap and, with FromDisplay, for the display to ask again.
  int64_t TakeFrame(PaceTime now);

  // Whole steps since the start at `now`: what a 10 ms timer would have made.
  int64_t StepsDueBy(PaceTime now) const;
  int64_t StepsTaken() const { return steps_; }
  int64_t FramesDrawn() const { return frames_; }
  PaceTime Start() const { return start_; }
  // The shortest gap in force: --delay's, or the floor when that is longer.
  std::chrono::microseconds Gap() const { return floor_ > gap_ ? floor_ : gap_; }

  // A floor under the gap (battery power's "20 frames a second"; 0: none).
  // The drift is not touched: the same motion with fewer frames.
  void SetFloorGap(std::chrono::microseconds floor);
  // Held: no frame is due, whatever the display asks (a pause; the last
  // frame stays on the screen). Released, a frame is due at once, and it
  // brings the drift to the time by the steps that passed meanwhile.
  void Hold(bool held);
  bool Held() const { return held_; }

 private:
  PaceTime start_;
  std::chrono::microseconds gap_;
  FrameRequests requests_;
  std::chrono::microseconds floor_{0};
  bool held_ = false;
  bool asked_ = true;  // a new surface's first frame is wanted
  PaceTime next_;
  int64_t steps_ = 0;
  int64_t frames_ = 0;
};

// Brings the pattern to a frame drawn at `now`: the drift steps due. What a
// per-pixel draw needs, which evaluates the pattern itself.
int64_t AdvanceDrift(Gradient::PatternState& s, FramePacing& pacing, PaceTime now);

// The same for the mesh, then the sweep of every grid point into ColourGrid
// where anything moved (and always on a first frame): a frame that comes
// before the next step shows the grid it already has.
void AdvanceMeshFrame(Gradient::PatternState& s, FramePacing& pacing, PaceTime now);

}  // namespace live
