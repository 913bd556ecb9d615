// prismora-wallpaper: renders the picture that the settings window's "Save
// Wallpaper" would save for the same pattern state, at any size up to
// 16384 x 16384, as BMP or PNG, without a window system.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "cli/png_encode.h"
#include "cli/state_json.h"
#include "cli/terminal.h"
#include "cli/wallpaper_args.h"
#include "engine/gradient.h"
#include "gpu/gpu_wallpaper.h"
#include "platform/error.h"
#include "platform/file_writer.h"
#include "prismora_version.h"
#include "tools/dib.h"
#include "tools/wallpaper_copy.h"

namespace {

using WallpaperCli::WallpaperArgs;

// A percentage line on stderr, shown only on a terminal and only once the
// render has run for about a second, so short runs and pipes stay quiet.
struct Progress {
  bool terminal = WallpaperCli::StderrIsTerminal();
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  bool shown = false;
  int last = -1;

  static void Report(int percent, void* user) {
    auto* p = static_cast<Progress*>(user);
    if (!p->terminal || percent == p->last) return;
    if (std::chrono::steady_clock::now() - p->start < std::chrono::seconds(1)) return;
    std::fprintf(stderr, "\rRendering %3d%%", percent);
    std::fflush(stderr);
    p->shown = true;
    p->last = percent;
  }
  void Finish() const {
    if (shown) std::fputs(last == 100 ? "\n" : "\rRendering 100%\n", stderr);
  }
};

// Generator, algorithm, speed, grid, the given phases and offsets, then the
// drift of the requested frames: the order in which the windows set them up.
void PreparePattern(const WallpaperArgs& a, Gradient::PatternState& s) {
  if (a.seed) {
    Gradient::SetRandomSeed(*a.seed);
  } else {
    Gradient::SeedRandomFromClock();
  }
  s.Algorithm = a.algorithm ? *a.algorithm : Gradient::Random(12) + 1;
  s.Speed = a.speed;
  Gradient::InitPattern(s, 120, 90);
  if (a.phases) {
    s.PhaseA = (*a.phases)[0];
    s.PhaseB = (*a.phases)[1];
    s.PhaseC = (*a.phases)[2];
  }
  if (a.offsets) {
    s.OffsetX = (*a.offsets)[0];
    s.OffsetY = (*a.offsets)[1];
  }
  for (int32_t i = 0; i < a.frames; ++i) Gradient::DriftFrame(s);
}

void SaveImage(const std::string& output, WallpaperCli::ImageFormat format, DIB::TDIB& image) {
  if (format == WallpaperCli::ImageFormat::Bmp) {
    image.SaveToFile(output);
    return;
  }
  const int32_t w = image.Width(), h = image.Height();
  std::vector<uint8_t> rgb = WallpaperCli::TopDownRgb(image);
  image = DIB::TDIB();  // not needed any more: keep the peak memory down
  Platform::SaveFile(output, WallpaperCli::EncodePng(rgb, w, h));
}

// The gpu engine, or (null) the selected CPU engine. `gpuBy` names what asked
// for the gpu ("--engine", "PRISMORA_ENGINE"; null: nothing): without a
// usable OpenGL that is refused in one line, status 2, before anything is
// written or printed.
struct Renderer {
  std::unique_ptr<gpu::GpuWallpaper> gpu;
  int refused = 0;
};

Renderer OpenRenderer(const char* gpuBy, int32_t algorithm) {
  Renderer r;
  if (!gpuBy) return r;
  r.gpu = std::make_unique<gpu::GpuWallpaper>();
  std::string why;
  if (!r.gpu->Open(algorithm, why)) {
    std::fprintf(stderr, "prismora-wallpaper: %s: no usable OpenGL: %s\n", gpuBy, why.c_str());
    r.refused = 2;
  }
  return r;
}

int Run(const WallpaperArgs& a, const char* gpuBy) {
  Gradient::PatternState& s = Gradient::Pattern;
  PreparePattern(a, s);
  const Renderer renderer = OpenRenderer(gpuBy, s.Algorithm);
  if (renderer.refused) return renderer.refused;
  if (a.printState) {
    std::printf("%s\n", WallpaperCli::FormatStateJson(s).c_str());
    std::fflush(stdout);
  }
  DIB::TDIB image;
  Progress progress;
  if (renderer.gpu) {
    DIB::RenderWallpaperImage(
        s, a.width, a.height,
        [&](Gradient::PatternState& state, const Gradient::PlaneView& planes) {
          renderer.gpu->RenderInto(state, planes, &Progress::Report, &progress);
        },
        image);
  } else {
    DIB::RenderWallpaperImage(s, a.width, a.height, a.threads, image, &Progress::Report, &progress);
  }
  progress.Finish();
  SaveImage(a.output, a.format, image);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Gradient::SetupFloatingPoint();
  const WallpaperCli::ParseResult parsed = WallpaperCli::ParseWallpaperArgs(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.ok) {
    std::fprintf(stderr, "prismora-wallpaper: %s\n%s", parsed.error.c_str(), WallpaperCli::kUsage);
    return 2;
  }
  if (parsed.args.help) {
    std::fputs(WallpaperCli::kUsage, stdout);
    return 0;
  }
  if (parsed.args.version) {
    std::printf("prismora-wallpaper %s\n", PRISMORA_VERSION);
    return 0;
  }
  // The engine: --engine, else PRISMORA_ENGINE, else the widest (never the gpu).
  const char* fromEnvironment = std::getenv("PRISMORA_ENGINE");
  const char* gpuBy = nullptr;
  if (parsed.args.engine || (fromEnvironment && *fromEnvironment)) {
    const std::string name = parsed.args.engine ? *parsed.args.engine : fromEnvironment;
    const char* by = parsed.args.engine ? "--engine" : "PRISMORA_ENGINE";
    const std::string problem = name == WallpaperCli::kGpuEngine ? "" : Gradient::SelectEngineByName(name);
    if (!problem.empty()) {
      std::fprintf(stderr, "prismora-wallpaper: %s: %s\n", by, problem.c_str());
      return 2;
    }
    if (name == WallpaperCli::kGpuEngine) gpuBy = by;
  }
  try {
    return Run(parsed.args, gpuBy);
  } catch (const Platform::FileError& e) {  // the designed message, then why
    std::fprintf(stderr, "prismora-wallpaper: %s%s%s\n", e.what(), e.Reason().empty() ? "" : ": ",
                 e.Reason().c_str());
  } catch (const PrismoraError& e) {
    std::fprintf(stderr, "prismora-wallpaper: %s\n", e.what());
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "prismora-wallpaper: Out of memory\n");
  } catch (const std::exception& e) {  // e.g. no thread could be started
    std::fprintf(stderr, "prismora-wallpaper: %s\n", e.what());
  }
  return 1;
}
