// The gpu engine: an offscreen context, one framebuffer of a tile's size,
// the algorithm's program drawn over each tile, the pixels read back.
#include "gpu/gpu_wallpaper.h"

#include <algorithm>
#include <cstring>

#include "engine/band_layout.h"

namespace gpu {

namespace {

constexpr int kLargestTileWidth = 2048;
constexpr int kLargestTileHeight = 512;
constexpr GLenum kMaxRenderbufferSize = 0x84E8;  // GL_MAX_RENDERBUFFER_SIZE (3.0)

bool ContextHasFramebuffers(const ui::GLFunctions& gl) {
  if (!gl.HasFramebuffers()) return false;
  if (ContextVersion() >= 30) return true;
  const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  return extensions && (std::strstr(extensions, "GL_ARB_framebuffer_object") ||
                        std::strstr(extensions, "GL_EXT_framebuffer_object"));
}

}  // namespace

GpuWallpaper::~GpuWallpaper() {
  if (!context_) return;
  program_.Delete(gl_);
  if (framebuffer_) gl_.DeleteFramebuffers(1, &framebuffer_);
  if (renderbuffer_) gl_.DeleteRenderbuffers(1, &renderbuffer_);
}

bool GpuWallpaper::Open(int32_t algorithm, std::string& why) {
  context_ = ui::OpenOffscreenGL(why);
  if (!context_) return false;
  gl_ = ui::LoadGLFunctions();
  if (!ContextRunsShaders(gl_, why)) return false;
  if (!ContextHasFramebuffers(gl_)) {
    why = "the OpenGL driver has no framebuffer objects (3.0 is needed)";
    return false;
  }
  return MakeFramebuffer(why) && program_.Build(gl_, algorithm, why);
}

// An 8-bit RGBA colour buffer of the largest tile the driver allows.
bool GpuWallpaper::MakeFramebuffer(std::string& why) {
  GLint largest = 0, viewport[2] = {0, 0};
  glGetIntegerv(kMaxRenderbufferSize, &largest);
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
  tileWidth_ = std::min({kLargestTileWidth, int(largest), int(viewport[0])});
  tileHeight_ = std::min({kLargestTileHeight, int(largest), int(viewport[1])});
  gl_.GenRenderbuffers(1, &renderbuffer_);
  gl_.BindRenderbuffer(GL_RENDERBUFFER, renderbuffer_);
  gl_.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, tileWidth_, tileHeight_);
  gl_.GenFramebuffers(1, &framebuffer_);
  gl_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffer_);
  if (tileWidth_ < 1 || tileHeight_ < 1 || gl_.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    why = "the OpenGL driver cannot draw into an offscreen framebuffer";
    return false;
  }
  pixels_.resize(size_t(tileWidth_) * size_t(tileHeight_) * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  return true;
}

void GpuWallpaper::RenderTile(const Gradient::PatternState& s, const Gradient::PlaneView& planes,
                              int32_t firstColumn, int32_t lastColumn, int32_t firstRow, int32_t lastRow) {
  const int width = lastColumn - firstColumn + 1, height = lastRow - firstRow + 1;
  glViewport(0, 0, width, height);
  program_.Draw(gl_, s, {float(s.GridColumns), float(s.GridRows), -float(firstColumn), -float(firstRow)});
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels_.data());
  for (int y = 0; y < height; ++y) {
    const uint8_t* rgba = pixels_.data() + size_t(y) * size_t(width) * 4;
    const size_t at = size_t(firstRow + y - planes.firstRow) * size_t(planes.stride) + size_t(firstColumn);
    for (int x = 0; x < width; ++x, rgba += 4) {
      planes.R[at + size_t(x)] = rgba[0];
      planes.G[at + size_t(x)] = rgba[1];
      planes.B[at + size_t(x)] = rgba[2];
    }
  }
}

void GpuWallpaper::RenderRows(const Gradient::PatternState& s, const Gradient::PlaneView& planes,
                              int32_t lastColumn, int32_t firstRow, int32_t lastRow) {
  for (int32_t r = firstRow; r <= lastRow; r += tileHeight_) {
    const int32_t r1 = std::min(lastRow, r + tileHeight_ - 1);
    for (int32_t c = 0; c <= lastColumn; c += tileWidth_)
      RenderTile(s, planes, c, std::min(lastColumn, c + tileWidth_ - 1), r, r1);
  }
}

void GpuWallpaper::RenderBands(const Gradient::PatternState& s, const Gradient::BandPlan& plan,
                               Gradient::WallpaperBandSink& sink) {
  if (plan.lastRow < plan.firstRow || plan.lastColumn < 0) return;
  const Gradient::BandLayout bands(plan, tileHeight_);
  const int32_t stride = plan.lastColumn + 1;
  const size_t elements = size_t(stride) * size_t(bands.BandRows());
  std::vector<uint16_t> r(elements), g(elements), b(elements);
  for (int32_t i = 0; i < bands.Count(); ++i) {
    const Gradient::PlaneView band{r.data(), g.data(), b.data(), stride, bands.First(i)};
    RenderRows(s, band, plan.lastColumn, bands.First(i), bands.Last(i));
    sink.TakeBand(band, bands.First(i), bands.Last(i));
  }
}

}  // namespace gpu
