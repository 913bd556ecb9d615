// The engine's speed: one live sweep of the 120 x 90 grid (121 x 91 points)
// per algorithm, and the 1600 x 1200 wallpaper render per algorithm on one
// thread and on every core.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>
#include <thread>
#include <vector>

#include "engine/gradient.h"

namespace {

using namespace Gradient;

// CPU seconds of the whole process, every thread included: on a machine
// shared with other work the wall-clock time of a parallel render says little,
// the CPU time it consumed says what it costs.
double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
  return seconds(u.ru_utime) + seconds(u.ru_stime);
}

std::unique_ptr<PatternState> StartedState(int algorithm) {
  auto s = std::make_unique<PatternState>();
  SetRandomSeed(20240601);
  InitPattern(*s, 120, 90);
  s->Algorithm = algorithm;
  s->Speed = 25;
  return s;
}

void BM_LiveSweep120x90(benchmark::State& state) {
  auto s = StartedState(int(state.range(0)));
  for (auto _ : state) {
    SweepFrame(*s);
    benchmark::DoNotOptimize(s->ColourGrid.R[45][60]);
  }
  state.SetItemsProcessed(state.iterations() * 121 * 91);
}
BENCHMARK(BM_LiveSweep120x90)->DenseRange(1, 12)->Unit(benchmark::kMicrosecond);

void BM_Render1600x1200(benchmark::State& state) {
  auto s = StartedState(int(state.range(0)));
  s->GridColumns = 1600;
  s->GridRows = 1200;
  const int threads = int(state.range(1));
  std::vector<uint16_t> planes(size_t(3) * kWallpaperRows * kWallpaperColumns);
  const size_t plane = size_t(kWallpaperRows) * kWallpaperColumns;
  const PlaneView view{planes.data(), planes.data() + plane, planes.data() + 2 * plane,
                       kWallpaperColumns};
  const double cpuBefore = ProcessCpuSeconds();
  for (auto _ : state) {
    RenderWallpaperInto(*s, view, threads);
    benchmark::DoNotOptimize(planes[plane / 2]);
  }
  state.counters["cpu_ms_all_threads"] =
      (ProcessCpuSeconds() - cpuBefore) * 1000 / double(state.iterations());
  state.SetItemsProcessed(state.iterations() * 1601 * 1201);
  state.counters["threads"] = threads > 0 ? threads : int(std::thread::hardware_concurrency());
}
BENCHMARK(BM_Render1600x1200)
    ->ArgsProduct({benchmark::CreateDenseRange(1, 12, 1), {1, 0}})
    ->ArgNames({"alg", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
