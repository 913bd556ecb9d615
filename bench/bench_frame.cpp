// A whole live frame as the saver draws it (clear, drift, sweep, mesh, swap)
// in a GLX window on the X display named by DISPLAY (an Xvfb with Mesa's
// software renderer in our measurements), at the settings preview's and the
// saver's sizes; the mesh submitted from client arrays (what DrawFrame does)
// and in immediate mode, the mesh alone, and the sweep alone. Counters give
// the page faults per frame, which the allocator settings change: run it once
// plain and once with MALLOC_MMAP_THRESHOLD_ / MALLOC_TRIM_THRESHOLD_ set.
// Beside them the live frame in each view (the mesh, the per-pixel view) for
// every algorithm at 1024 x 768 and 1920 x 1080: frames per second with the
// renderer finished each frame, the process's CPU per frame (the renderer's
// threads included, as Mesa's software renderer is the GPU here), and the
// CPU the drawing thread spends to issue a frame, the renderer's work left
// out. Skips with a message when there is no display.
// Before X11's headers, whose macros (Always) the pacing's names would meet.
#include "live/pattern_view.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <time.h>

#include <chrono>
#include <cstring>
#include <map>
#include <utility>

#include "engine/gradient.h"

namespace {

// A mapped override-redirect window (swaps of an unmapped window may skip
// the copy to the screen) with a current context, one per size.
bool MakeCurrentTarget(int width, int height) {
  static Display* display = XOpenDisplay(nullptr);
  static std::map<std::pair<int, int>, std::pair<Window, GLXContext>> targets;
  if (!display) return false;
  auto it = targets.find({width, height});
  if (it == targets.end()) {
    int attributes[] = {GLX_RGBA, GLX_DOUBLEBUFFER, GLX_RED_SIZE, 8, GLX_GREEN_SIZE, 8, GLX_BLUE_SIZE, 8, 0};
    XVisualInfo* visual = glXChooseVisual(display, DefaultScreen(display), attributes);
    if (!visual) return false;
    XSetWindowAttributes wa{};
    wa.override_redirect = True;
    wa.colormap = XCreateColormap(display, DefaultRootWindow(display), visual->visual, AllocNone);
    const Window w = XCreateWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, visual->depth, InputOutput, visual->visual,
                                   CWOverrideRedirect | CWColormap, &wa);
    XMapWindow(display, w);
    GLXContext context = glXCreateContext(display, visual, nullptr, True);
    XFree(visual);
    XSync(display, False);
    if (!context) return false;
    it = targets.emplace(std::make_pair(width, height), std::make_pair(w, context)).first;
  }
  glXMakeCurrent(display, it->second.first, it->second.second);
  // The saver's projection and clear colour.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glViewport(0, 0, width, height);
  gluPerspective(45.0, 1.0, 0.1, 100.0);
  glMatrixMode(GL_MODELVIEW);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  return true;
}

long MinorFaults() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_minflt;
}

Gradient::PatternState& FreshPattern(int32_t algorithm = 7) {
  static Gradient::PatternState s;
  std::memset(static_cast<void*>(&s), 0, sizeof s);
  Gradient::SetRandomSeed(12345);
  s.Speed = 25;
  s.Algorithm = algorithm;
  Gradient::InitPattern(s, 120, 90);
  return s;
}

enum class Mesh { Arrays, Immediate, NoMesh };

void RunFrames(benchmark::State& state, bool sweep, Mesh mesh) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  if (!MakeCurrentTarget(width, height)) {
    state.SkipWithError("no X display with GLX (set DISPLAY, e.g. to an Xvfb)");
    return;
  }
  Gradient::PatternState& s = FreshPattern();
  Gradient::SweepFrame(s);  // colours for the mesh-only runs
  const long faults = MinorFaults();
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT);
    Gradient::DriftFrame(s);
    if (sweep) Gradient::SweepFrame(s);
    if (mesh == Mesh::Arrays) Gradient::SubmitMesh(s);
    if (mesh == Mesh::Immediate) Gradient::SubmitMeshImmediate(s);
    glXSwapBuffers(glXGetCurrentDisplay(), glXGetCurrentDrawable());
    glFinish();
  }
  state.counters["faults/frame"] =
      benchmark::Counter(static_cast<double>(MinorFaults() - faults), benchmark::Counter::kAvgIterations);
}

void BM_FrameArrays(benchmark::State& state) { RunFrames(state, true, Mesh::Arrays); }
void BM_FrameImmediate(benchmark::State& state) { RunFrames(state, true, Mesh::Immediate); }
void BM_MeshArrays(benchmark::State& state) { RunFrames(state, false, Mesh::Arrays); }
void BM_MeshImmediate(benchmark::State& state) { RunFrames(state, false, Mesh::Immediate); }
void BM_ClearSwapOnly(benchmark::State& state) { RunFrames(state, false, Mesh::NoMesh); }

void BM_Sweep(benchmark::State& state) {
  Gradient::PatternState& s = FreshPattern();
  for (auto _ : state) {
    Gradient::DriftFrame(s);
    Gradient::SweepFrame(s);
    benchmark::DoNotOptimize(s.ColourGrid.R[45][60]);
  }
}

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

void SwapAndFinish() {
  glXSwapBuffers(glXGetCurrentDisplay(), glXGetCurrentDrawable());
  glFinish();
}

// The target, the view and a first frame (which builds the shader); false,
// with the benchmark skipped, where the view cannot be drawn.
bool PrepareLive(benchmark::State& state, live::PatternView view, Gradient::PatternState*& s) {
  if (!MakeCurrentTarget(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)))) {
    state.SkipWithError("no X display with GLX (set DISPLAY, e.g. to an Xvfb)");
    return false;
  }
  live::UsePatternView(view);
  s = &FreshPattern(static_cast<int32_t>(state.range(2)));
  glClear(GL_COLOR_BUFFER_BIT);
  live::DrawPatternFrame(*s);
  SwapAndFinish();
  if (live::PatternViewInUse() != view) {
    state.SkipWithError("the per-pixel view cannot be drawn here");
    return false;
  }
  return true;
}

// Whole frames, each finished by the renderer.
void RunLiveFrames(benchmark::State& state, live::PatternView view) {
  Gradient::PatternState* s = nullptr;
  if (!PrepareLive(state, view, s)) return;
  const double cpu0 = ProcessCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    glClear(GL_COLOR_BUFFER_BIT);
    live::DrawPatternFrame(*s);
    SwapAndFinish();
  }
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double frames = static_cast<double>(state.iterations());
  state.counters["fps"] = frames / wall;
  state.counters["process_cpu_ms_per_frame"] = 1000.0 * (ProcessCpuSeconds() - cpu0) / frames;
}

// The drawing thread's CPU to issue a frame (the drift, for the mesh the
// sweep and its arrays, the draw calls); the renderer finishes untimed.
void RunIssueCost(benchmark::State& state, live::PatternView view) {
  Gradient::PatternState* s = nullptr;
  if (!PrepareLive(state, view, s)) return;
  for (auto _ : state) {
    live::DrawPatternFrame(*s);
    state.PauseTiming();
    SwapAndFinish();
    glClear(GL_COLOR_BUFFER_BIT);
    state.ResumeTiming();
  }
}

void BM_LiveMesh(benchmark::State& state) { RunLiveFrames(state, live::PatternView::Mesh); }
void BM_LivePixels(benchmark::State& state) { RunLiveFrames(state, live::PatternView::Pixels); }
void BM_IssueMesh(benchmark::State& state) { RunIssueCost(state, live::PatternView::Mesh); }
void BM_IssuePixels(benchmark::State& state) { RunIssueCost(state, live::PatternView::Pixels); }

void LiveSizes(benchmark::internal::Benchmark* b) {
  for (const auto& size : {std::make_pair(1024, 768), std::make_pair(1920, 1080)})
    for (int algorithm = 1; algorithm <= 12; ++algorithm) b->Args({size.first, size.second, algorithm});
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

// A fixed count: the untimed finish of each frame is far longer than the
// timed part, which would otherwise ask for thousands of frames.
void IssueSizes(benchmark::internal::Benchmark* b) {
  for (int algorithm = 1; algorithm <= 12; ++algorithm) b->Args({1920, 1080, algorithm});
  b->Unit(benchmark::kMicrosecond)->Iterations(100);
}

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({512, 382})->Args({1024, 768})->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_FrameArrays)->Apply(Sizes);
BENCHMARK(BM_FrameImmediate)->Apply(Sizes);
BENCHMARK(BM_MeshArrays)->Apply(Sizes);
BENCHMARK(BM_MeshImmediate)->Apply(Sizes);
BENCHMARK(BM_ClearSwapOnly)->Apply(Sizes);
BENCHMARK(BM_Sweep)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveMesh)->Apply(LiveSizes);
BENCHMARK(BM_LivePixels)->Apply(LiveSizes);
BENCHMARK(BM_IssueMesh)->Apply(IssueSizes);
BENCHMARK(BM_IssuePixels)->Apply(IssueSizes);

}  // namespace
