// A whole live frame as the saver draws it (clear, drift, sweep, mesh, swap)
// in a GLX window on the X display named by DISPLAY (an Xvfb with Mesa's
// software renderer in our measurements), at the settings preview's and the
// saver's sizes; the mesh submitted from client arrays (what DrawFrame does)
// and in immediate mode, the mesh alone, and the sweep alone. Counters give
// the page faults per frame, which the allocator settings change: run it once
// plain and once with MALLOC_MMAP_THRESHOLD_ / MALLOC_TRIM_THRESHOLD_ set.
// Skips with a message when there is no display.
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

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

Gradient::PatternState& FreshPattern() {
  static Gradient::PatternState s;
  std::memset(static_cast<void*>(&s), 0, sizeof s);
  Gradient::SetRandomSeed(12345);
  s.Speed = 25;
  s.Algorithm = 7;
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

void Sizes(benchmark::internal::Benchmark* b) {
  b->Args({512, 382})->Args({1024, 768})->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_FrameArrays)->Apply(Sizes);
BENCHMARK(BM_FrameImmediate)->Apply(Sizes);
BENCHMARK(BM_MeshArrays)->Apply(Sizes);
BENCHMARK(BM_MeshImmediate)->Apply(Sizes);
BENCHMARK(BM_ClearSwapOnly)->Apply(Sizes);
BENCHMARK(BM_Sweep)->Unit(benchmark::kMillisecond);

}  // namespace
