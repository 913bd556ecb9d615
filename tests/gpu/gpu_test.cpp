// The generated shaders on the driver the machine has (an offscreen EGL
// context): they build, a broken one says why in one line, the gpu engine's
// pictures stay within a step of the x87 engine's, and the per-pixel view
// lays a viewport out as the wallpaper export lays out a picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/wallpaper_stream.h"
#include "engine/gradient.h"
#include "gpu/gpu_wallpaper.h"
#include "gpu/pixel_painter.h"
#include "platform/offscreen_gl.h"
#include "tests/cli/memory_output.h"
#include "tools/wallpaper_copy.h"

namespace {

class GpuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Gradient::SetupFloatingPoint();
    std::string why;
    context_ = ui::OpenOffscreenGL(why);
    if (!context_) GTEST_SKIP() << "no offscreen OpenGL: " << why;
    gl_ = ui::LoadGLFunctions();
    std::string noShaders;
    if (!gpu::ContextRunsShaders(gl_, noShaders)) GTEST_SKIP() << noShaders;
  }
  std::unique_ptr<ui::OffscreenGL> context_;
  ui::GLFunctions gl_;
};

TEST_F(GpuTest, EveryAlgorithmsShaderBuildsOnTheDriver) {
  std::printf("renderer: %s, OpenGL %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
              reinterpret_cast<const char*>(glGetString(GL_VERSION)));
  for (int alg = 1; alg <= 12; ++alg) {
    gpu::PatternProgram program;
    std::string why;
    EXPECT_TRUE(program.Build(gl_, alg, why)) << "algorithm " << alg << ": " << why;
    program.Delete(gl_);
  }
}

TEST_F(GpuTest, AShaderThatDoesNotBuildSaysWhyInOneLine) {
  std::string why;
  const GLuint program = gpu::BuildProgram(gl_, "#version 110\nvoid main() { gl_Position = gl_Vertex; }\n",
                                           "#version 110\nvoid main() { gl_FragColor = vec4(Undeclared); }\n", why);
  EXPECT_EQ(program, 0u);
  EXPECT_EQ(why.rfind("fragment shader: ", 0), 0u) << why;
  EXPECT_EQ(why.find('\n'), std::string::npos) << why;
  gpu::PatternProgram none;
  EXPECT_FALSE(none.Build(gl_, 13, why));
  EXPECT_EQ(why, "there is no algorithm 13");
}

// A picture as the settings window's export makes it: the gpu engine's
// planes, or the selected CPU engine's, copied into the image.
DIB::TDIB Picture(Gradient::PatternState s, int32_t W, int32_t H, gpu::GpuWallpaper* gpuEngine) {
  DIB::TDIB image;
  if (!gpuEngine) {
    DIB::RenderWallpaperImage(s, W, H, 0, image);
    return image;
  }
  DIB::SamplePlanes planes(W, H);
  s.GridColumns = W;
  s.GridRows = H;
  gpuEngine->RenderRows(s, planes.View(), W, 0, H);
  image.SetBitCount(24);
  image.SetWidth(W);
  image.SetHeight(H);
  DIB::CopySamplesToImage(planes.View(), W, H, image);
  return image;
}

struct Difference {
  size_t bytes = 0, withinOne = 0;
  int largest = 0;
};

// Over the pictures' stored bytes (the rows' padding is 0 in both).
Difference Compare(const DIB::TDIB& a, const DIB::TDIB& b) {
  Difference d;
  EXPECT_EQ(a.Pixels().size(), b.Pixels().size());
  for (size_t i = 0; i < std::min(a.Pixels().size(), b.Pixels().size()); ++i) {
    const int diff = std::abs(int(a.Pixels()[i]) - int(b.Pixels()[i]));
    d.bytes++;
    if (diff <= 1) d.withinOne++;
    d.largest = std::max(d.largest, diff);
  }
  return d;
}

Gradient::PatternState StateOf(int32_t algorithm, uint32_t seed, int frames) {
  Gradient::PatternState s{};
  Gradient::SetRandomSeed(seed);
  s.Algorithm = algorithm;
  s.Speed = 25;
  Gradient::InitPattern(s, 120, 90);
  for (int i = 0; i < frames; ++i) Gradient::DriftFrame(s);
  return s;
}

TEST_F(GpuTest, TheGpuEnginesPicturesAreWithinAStepOfTheX87Engines) {
  ASSERT_TRUE(Gradient::SelectEngine(Gradient::Engine::X87));
  for (int alg = 1; alg <= 12; ++alg) {
    gpu::GpuWallpaper engine;
    std::string why;
    ASSERT_TRUE(engine.Open(alg, why)) << why;
    for (uint32_t seed : {7u, 42u}) {
      const Gradient::PatternState s = StateOf(alg, seed, 100);
      const Difference d = Compare(Picture(s, 320, 240, &engine), Picture(s, 320, 240, nullptr));
      EXPECT_GE(double(d.withinOne), 0.999 * double(d.bytes)) << "algorithm " << alg << " seed " << seed;
      EXPECT_LE(d.largest, 8) << "algorithm " << alg << " seed " << seed;
    }
  }
  Gradient::SelectEngine(Gradient::Engine::Auto);
}

// Tiles meet without a seam: a picture wider and taller than the largest
// tile is as close to the x87 engine's as a picture of one tile.
TEST_F(GpuTest, APictureOfSeveralTilesIsThePictureOfOne) {
  gpu::GpuWallpaper engine;
  std::string why;
  ASSERT_TRUE(engine.Open(7, why)) << why;
  const int32_t W = engine.TileWidth() + 37, H = engine.TileHeight() * 2 + 5;
  const Gradient::PatternState s = StateOf(7, 3, 10);
  const Difference d = Compare(Picture(s, W, H, &engine), Picture(s, W, H, nullptr));
  EXPECT_GE(double(d.withinOne), 0.999 * double(d.bytes));
  EXPECT_LE(d.largest, 8);
}

// The bands' rows as a sink receives them, with the order they came in.
class RowsTaken : public Gradient::WallpaperBandSink {
 public:
  explicit RowsTaken(int32_t W) : W_(W) {}
  void TakeBand(const Gradient::PlaneView& band, int32_t first, int32_t last) override {
    firstRows.push_back(first);
    for (int32_t r = first; r <= last; ++r) {
      std::vector<uint8_t> row(3 * size_t(W_));
      DIB::SampleRowAsBgr(band, r, W_, row.data());
      rows.emplace_back(r, row);
    }
  }
  std::vector<int32_t> firstRows;
  std::vector<std::pair<int32_t, std::vector<uint8_t>>> rows;

 private:
  int32_t W_;
};

// The command streams the gpu engine's picture a band of tiles' height at a
// time, bottom-up for a BMP and top-down for a PNG: band edges that are not
// the whole picture's tile edges change no byte of it.
TEST_F(GpuTest, TheStreamedPictureIsTheWholeOne) {
  gpu::GpuWallpaper engine;
  std::string why;
  ASSERT_TRUE(engine.Open(9, why)) << why;
  const int32_t W = engine.TileWidth() + 37, H = engine.TileHeight() * 2 + 5;
  Gradient::PatternState s = StateOf(9, 11, 20);
  const std::vector<uint8_t> whole = DIB::EncodeBmp(Picture(s, W, H, &engine));
  s.GridColumns = W;
  s.GridRows = H;
  MemoryOutput bmp;
  WallpaperCli::StreamWallpaper(WallpaperCli::ImageFormat::Bmp, W, H,
                                [&](const Gradient::BandPlan& plan, Gradient::WallpaperBandSink& sink) {
                                  engine.RenderBands(s, plan, sink);
                                },
                                bmp);
  EXPECT_TRUE(bmp.bytes == whole);

  RowsTaken up(W), down(W);
  engine.RenderBands(s, {1, H, W, false}, up);
  engine.RenderBands(s, {1, H, W, true}, down);
  ASSERT_EQ(up.rows.size(), size_t(H));
  ASSERT_EQ(down.rows.size(), size_t(H));
  EXPECT_TRUE(std::is_sorted(up.firstRows.begin(), up.firstRows.end()));
  EXPECT_TRUE(std::is_sorted(down.firstRows.rbegin(), down.firstRows.rend()));
  EXPECT_GT(up.firstRows.size(), 2u);
  std::sort(down.rows.begin(), down.rows.end());
  EXPECT_TRUE(up.rows == down.rows);
}

// The per-pixel view in a viewport of 64 x 48 at (5, 7) of a larger
// framebuffer shows the picture the command saves at 64 x 48, to the byte.
TEST_F(GpuTest, AViewportShowsThePictureOfItsSize) {
  GLuint framebuffer = 0, colour = 0;
  gl_.GenRenderbuffers(1, &colour);
  gl_.BindRenderbuffer(GL_RENDERBUFFER, colour);
  gl_.RenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 80, 60);
  gl_.GenFramebuffers(1, &framebuffer);
  gl_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  gl_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
  ASSERT_EQ(gl_.CheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
  const Gradient::PatternState s = StateOf(11, 5, 30);
  glViewport(5, 7, 64, 48);
  gpu::PixelPainter painter;
  std::string why;
  ASSERT_EQ(painter.Draw(s, why), gpu::PixelPainter::Outcome::Drawn) << why;
  std::vector<uint8_t> rgba(64 * 48 * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(5, 7, 64, 48, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
  gl_.BindFramebuffer(GL_FRAMEBUFFER, 0);
  gl_.DeleteFramebuffers(1, &framebuffer);
  gl_.DeleteRenderbuffers(1, &colour);

  gpu::GpuWallpaper engine;
  ASSERT_TRUE(engine.Open(11, why)) << why;
  const DIB::TDIB saved = Picture(s, 64, 48, &engine);
  // Both count rows from the bottom; the picture stores blue, green, red.
  int differing = 0;
  for (int row = 0; row < 48; ++row) {
    for (int x = 0; x < 64; ++x) {
      const uint8_t* shown = &rgba[size_t(row * 64 + x) * 4];
      const uint8_t* stored = &saved.Pixels()[size_t(row) * size_t(saved.WidthBytes()) + size_t(3 * x)];
      if (shown[0] != stored[2] || shown[1] != stored[1] || shown[2] != stored[0]) ++differing;
    }
  }
  EXPECT_EQ(differing, 0);
}

// A frame drawn where no context is current (here: another thread, which
// has none) draws nothing and decides nothing: every GL call there answers 0,
// which must not pass for a shader that does not build. The next frame on
// the context draws.
TEST_F(GpuTest, AFrameWithoutAContextIsNotTakenForAFailedShader) {
  const Gradient::PatternState s = StateOf(3, 5, 30);
  gpu::PixelPainter painter;
  std::string why;
  gpu::PixelPainter::Outcome elsewhere = gpu::PixelPainter::Outcome::Drawn;
  std::thread([&] { elsewhere = painter.Draw(s, why); }).join();
  EXPECT_EQ(elsewhere, gpu::PixelPainter::Outcome::NoContext);
  EXPECT_EQ(why, "");
  EXPECT_EQ(painter.Draw(s, why), gpu::PixelPainter::Outcome::Drawn) << why;
  std::thread([&] { elsewhere = painter.Draw(s, why); }).join();
  EXPECT_EQ(elsewhere, gpu::PixelPainter::Outcome::NoContext);
  EXPECT_EQ(painter.Draw(s, why), gpu::PixelPainter::Outcome::Drawn) << why;
}

}  // namespace
