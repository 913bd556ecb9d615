// The wallpaper command's gpu engine: the per-pixel view's fragment shader
// drawn into an offscreen framebuffer a tile at a time and read back into
// sample planes, as the other engines fill them. The GPU computes in single
// precision with its own sine, cosine and logarithm, so its bytes are close
// to the other engines' but not the same: it is never chosen by itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/gradient.h"
#include "gpu/pattern_program.h"
#include "platform/offscreen_gl.h"

namespace gpu {

class GpuWallpaper {
 public:
  GpuWallpaper() = default;
  ~GpuWallpaper();
  GpuWallpaper(const GpuWallpaper&) = delete;
  GpuWallpaper& operator=(const GpuWallpaper&) = delete;

  // The offscreen context, its framebuffer and the algorithm's program.
  // False, with one line in `why`, when there is no usable OpenGL: no
  // context, no GLSL or framebuffer objects, or a shader that does not build.
  bool Open(int32_t algorithm, std::string& why);

  // Sample rows firstRow..lastRow, columns 0..lastColumn, into the planes
  // (whose first row is planes.firstRow),
  // with s's divisors (GridColumns, GridRows), phases and offsets: each
  // element the byte of its channel, as the low 8 bits of the other
  // engines' elements (sample column 0, which no picture shows, holds column
  // GridColumns'). After Open only.
  void RenderRows(const Gradient::PatternState& s, const Gradient::PlaneView& planes, int32_t lastColumn,
                  int32_t firstRow, int32_t lastRow);

  // The plan's rows band by band into the sink, in the plan's order, as
  // Gradient::RenderWallpaperBands hands them: a band is a tile's height of
  // rows, so memory grows with the width only.
  void RenderBands(const Gradient::PatternState& s, const Gradient::BandPlan& plan, Gradient::WallpaperBandSink& sink);

  // The largest tile drawn at once.
  int TileWidth() const { return tileWidth_; }
  int TileHeight() const { return tileHeight_; }

 private:
  bool MakeFramebuffer(std::string& why);
  void RenderTile(const Gradient::PatternState& s, const Gradient::PlaneView& planes, int32_t firstColumn,
                  int32_t lastColumn, int32_t firstRow, int32_t lastRow);

  std::unique_ptr<ui::OffscreenGL> context_;
  ui::GLFunctions gl_;
  PatternProgram program_;
  GLuint framebuffer_ = 0, renderbuffer_ = 0;
  int tileWidth_ = 0, tileHeight_ = 0;
  std::vector<uint8_t> pixels_;
};

}  // namespace gpu
