// The engine's speed on every build, the Windows ones under Wine included
// (Google Benchmark has no build for them here): one live sweep of the
// 120 x 90 grid (121 x 91 points) and one 1600 x 1200 wallpaper on two
// threads, per algorithm and engine, each the median of several runs. The
// native build runs the same program, so that both are measured alike in
// one session.
//
// usage: bench_engines_plain [--runs N] [--sweeps N]
// Prints Markdown tables: microseconds per sweep, milliseconds per picture.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_state.h"
#include "engine/gradient.h"

namespace {

using namespace Gradient;
using Clock = std::chrono::steady_clock;

constexpr Engine kEngines[] = {Engine::X87, Engine::Sse2, Engine::Avx2, Engine::Avx512};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

template <class F>
double MedianSeconds(int runs, F&& once) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    once();
    times.push_back(Seconds(Clock::now() - start));
  }
  std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
  return times[size_t(runs / 2)];
}

double LiveSweepMicroseconds(int algorithm, int runs, int sweeps) {
  auto s = StartedState(algorithm);
  SweepFrame(*s);  // warm
  return MedianSeconds(runs, [&] {
           for (int i = 0; i < sweeps; ++i) SweepFrame(*s);
         }) * 1e6 / sweeps;
}

double WallpaperMilliseconds(int algorithm, int runs) {
  auto s = StartedState(algorithm);
  s->GridColumns = 1600;
  s->GridRows = 1200;
  const size_t plane = size_t(1201) * 1601;
  std::vector<uint16_t> planes(3 * plane);
  const PlaneView view{planes.data(), planes.data() + plane, planes.data() + 2 * plane, 1601};
  return MedianSeconds(runs, [&] { RenderWallpaperInto(*s, view, 2); }) * 1e3;
}

void PrintHeader(const char* what) {
  std::printf("\n%s\n\n| engine |", what);
  for (int a = 1; a <= 12; ++a) std::printf(" %d |", a);
  std::printf("\n|---|");
  for (int a = 1; a <= 12; ++a) std::printf("---|");
  std::printf("\n");
}

template <class F>
void PrintTable(const char* what, const char* format, F&& measure) {
  PrintHeader(what);
  for (Engine e : kEngines) {
    if (!SelectEngine(e)) {
      std::printf("| %s | not on this processor |\n", EngineName(e));
      continue;
    }
    std::printf("| %s |", EngineName(e));
    for (int a = 1; a <= 12; ++a) {
      std::printf(format, measure(a));
      std::fflush(stdout);
    }
    std::printf("\n");
  }
  SelectEngine(Engine::Auto);
}

int ArgumentOr(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], name) == 0) return std::max(1, std::atoi(argv[i + 1]));
  }
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  SetupFloatingPoint();
  const int runs = ArgumentOr(argc, argv, "--runs", 5);
  const int sweeps = ArgumentOr(argc, argv, "--sweeps", 50);
  std::printf("median of %d runs; %d sweeps a run\n", runs, sweeps);
  PrintTable("Live sweep of 121 x 91 points, microseconds", " %.0f |",
             [&](int a) { return LiveSweepMicroseconds(a, runs, sweeps); });
  PrintTable("1600 x 1200 wallpaper on 2 threads, milliseconds", " %.0f |",
             [&](int a) { return WallpaperMilliseconds(a, runs); });
  return 0;
}
