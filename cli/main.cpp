// prismora-wallpaper: renders the picture that the settings window's "Save
// Wallpaper" would save for the same pattern state, at any size up to
// 16384 x 16384, as BMP or PNG, without a window system. The picture is
// rendered in bands straight into the file, never whole in memory.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/error.h"
#include "cli/state_json.h"
#include "cli/terminal.h"
#include "cli/wallpaper_args.h"
#include "engine/gradient.h"
#include "gpu/gpu_wallpaper.h"
#include "image/byte_output.h"
#include "image/wallpaper_stream.h"
#include "platform/file_writer.h"
#include "prismora_version.h"

namespace {

using WallpaperCli::WallpaperArgs;

// A message on stderr under the command's name.
void Complain(const std::string& text) { WallpaperCli::PrintError("prismora-wallpaper: " + text); }

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
  Gradient::InitPattern(s, Gradient::kGridColumns, Gradient::kGridRows);
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

// The engine: --engine, else PRISMORA_ENGINE, else the widest (never the
// gpu). Returns false, having said why, when the name is unknown or cannot
// run here; gpuBy names what asked for the gpu engine, if anything did.
bool SelectEngine(const WallpaperArgs& a, const char*& gpuBy) {
  const char* fromEnvironment = std::getenv("PRISMORA_ENGINE");
  gpuBy = nullptr;
  if (!a.engine && !(fromEnvironment && *fromEnvironment)) return true;
  const std::string name = a.engine ? *a.engine : fromEnvironment;
  const char* by = a.engine ? "--engine" : "PRISMORA_ENGINE";
  if (name == WallpaperCli::kGpuEngine) {
    gpuBy = by;
    return true;
  }
  const std::string problem = Gradient::SelectEngineByName(name, WallpaperCli::kGpuEngine);
  if (problem.empty()) return true;
  Complain(std::string(by) + ": " + problem);
  return false;
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
    Complain(std::string(gpuBy) + ": no usable OpenGL: " + why);
    r.refused = 2;
  }
  return r;
}

// Who renders the bands: the gpu if it is open, else the selected engine on
// the requested threads; the picture's size is the grid (as the settings
// window's export sets it).
Image::BandRenderer Bands(Gradient::PatternState& s, const WallpaperArgs& a, gpu::GpuWallpaper* gpu) {
  s.GridColumns = a.width;
  s.GridRows = a.height;
  if (gpu) {
    return [&s, gpu](const Gradient::BandPlan& plan, Gradient::WallpaperBandSink& sink) {
      gpu->RenderBands(s, plan, sink);
    };
  }
  return [&s, threads = a.threads](const Gradient::BandPlan& plan, Gradient::WallpaperBandSink& sink) {
    Gradient::RenderWallpaperBands(s, plan, threads, sink);
  };
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
  // Made first: a file that cannot be made is reported before any render.
  Image::FileOutput out(a.output);
  Progress progress;
  Image::StreamWallpaper(a.format, a.width, a.height, Bands(s, a, renderer.gpu.get()), out, &Progress::Report,
                                &progress);
  progress.Finish();
  out.Commit();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Gradient::SetupFloatingPoint();
  const WallpaperCli::ParseResult parsed = WallpaperCli::ParseWallpaperArgs(WallpaperCli::Arguments(argc, argv));
  if (!parsed.ok) {
    Complain(parsed.error);
    std::fputs(WallpaperCli::kUsage, stderr);
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
  const char* gpuBy = nullptr;
  if (!SelectEngine(parsed.args, gpuBy)) return 2;
  try {
    return Run(parsed.args, gpuBy);
  } catch (const Platform::FileError& e) {  // the designed message, then why
    std::string text = e.what();
    if (!e.Reason().empty()) text += ": " + e.Reason();
    Complain(text);
  } catch (const PrismoraError& e) {
    Complain(e.what());
  } catch (const std::bad_alloc&) {
    Complain("Out of memory");
  } catch (const std::exception& e) {  // e.g. no thread could be started
    Complain(e.what());
  }
  return 1;
}
