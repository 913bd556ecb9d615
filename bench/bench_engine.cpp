// The engine's speed: one live sweep of the 120 x 90 grid (121 x 91 points)
// per algorithm and engine, and the 1600 x 1200 wallpaper render per
// algorithm and engine on one thread and on every core. Engines this
// processor cannot run are skipped with a message.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_state.h"
#include "engine/gradient.h"
#include "engine/lane_engine.h"

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

// The engines by number in the benchmarks' arguments.
constexpr Engine kEngineArgs[] = {Engine::X87, Engine::Sse2, Engine::Avx2, Engine::Avx512};
const std::vector<int64_t> kAllEngines = {0, 1, 2, 3};

// Selects the engine of a benchmark run; false (and the run skipped) when
// this processor lacks it.
bool UseEngine(benchmark::State& state, int64_t arg) {
  const Engine e = kEngineArgs[arg];
  state.SetLabel(EngineName(e));
  if (SelectEngine(e)) return true;
  state.SkipWithError((std::string(EngineName(e)) + " is not on this processor").c_str());
  return false;
}

void BM_LiveSweep120x90(benchmark::State& state) {
  if (!UseEngine(state, state.range(1))) return;
  auto s = StartedState(int(state.range(0)));
  const uint64_t fallbacks = detail::LaneFallbacks();
  for (auto _ : state) {
    SweepFrame(*s);
    benchmark::DoNotOptimize(s->ColourGrid.R[45][60]);
  }
  state.SetItemsProcessed(state.iterations() * 121 * 91);
  state.counters["x87_points"] = double(detail::LaneFallbacks() - fallbacks) / double(state.iterations());
}
BENCHMARK(BM_LiveSweep120x90)
    ->ArgsProduct({benchmark::CreateDenseRange(1, 12, 1), kAllEngines})
    ->ArgNames({"alg", "engine"})
    ->Unit(benchmark::kMicrosecond);

void BM_Render1600x1200(benchmark::State& state) {
  if (!UseEngine(state, state.range(2))) return;
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
    ->ArgsProduct({benchmark::CreateDenseRange(1, 12, 1), {1, 0}, kAllEngines})
    ->ArgNames({"alg", "threads", "engine"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
