// The live per-pixel view's drawing on the current context: the pattern at
// every pixel of the viewport, as a wallpaper of the viewport's size shows
// it, with each algorithm's program built the first time it is drawn. One
// per process (each mode draws with one context). A frame with no current
// context decides nothing, and one program that does not build is not taken
// for a context that cannot run shaders.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "gpu/pattern_program.h"

namespace gpu {

class PixelPainter {
 public:
  enum class Outcome {
    Drawn,           // the pattern is in the viewport (or nothing to draw: no algorithm)
    NoContext,       // no context is current: nothing drawn, nothing decided
    AlgorithmFails,  // this algorithm's program does not build here; the others may
    Unable,          // the context runs no shaders at all (no GLSL): never again
  };
  // Draws s into the current viewport. AlgorithmFails and Unable come with
  // one line in `why`, once: an algorithm that failed, or a painter that is
  // unable, answers at once after that, without a line and drawing nothing.
  Outcome Draw(const Gradient::PatternState& s, std::string& why);

 private:
  const PatternProgram* ProgramFor(int32_t algorithm, std::string& why);

  enum class State { Untried, Ready, Unable };
  State state_ = State::Untried;
  ui::GLFunctions gl_;
  std::map<int32_t, PatternProgram> programs_;
  std::set<int32_t> failed_;  // algorithms whose program did not build
};

// Which samples a viewport of this size at this place shows, as the
// wallpaper export lays a picture of that size out: its bottom row is
// sample row 1, its top row sample row `height`.
PicturePlacement ViewportPicture(int x, int y, int width, int height);

}  // namespace gpu
