// The live per-pixel view's drawing on the current context: the pattern at
// every pixel of the viewport, as a wallpaper of the viewport's size shows
// it, with each algorithm's program built the first time it is drawn. One
// per process (each mode draws with one context).
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "gpu/pattern_program.h"

namespace gpu {

class PixelPainter {
 public:
  // Draws s into the current viewport (nothing for an algorithm outside
  // 1..12). False, with one line in `why`, when
  // the context cannot (no GLSL, or the shader does not build); after that
  // it answers false at once, without a line, and draws nothing.
  bool Draw(const Gradient::PatternState& s, std::string& why);

 private:
  const PatternProgram* ProgramFor(int32_t algorithm, std::string& why);

  enum class State { Untried, Ready, Unable };
  State state_ = State::Untried;
  ui::GLFunctions gl_;
  std::map<int32_t, PatternProgram> programs_;
};

// Which samples a viewport of this size at this place shows, as the
// wallpaper export lays a picture of that size out: its bottom row is
// sample row 1, its top row sample row `height`.
PicturePlacement ViewportPicture(int x, int y, int width, int height);

}  // namespace gpu
