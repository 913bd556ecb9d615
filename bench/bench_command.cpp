// The whole wallpaper command beside its yardstick, in one run. The
// yardstick: the straightforward reference, every point of the 1600 x 1200
// wallpaper evaluated from the plain formulas in long double with the C
// library's functions, one thread, none of the engine's shared column and
// row terms. The command: the real prismora-wallpaper started as a user
// starts it (render, encode, write, flush, rename), timed from outside, with
// its CPU time from the system's accounting. Where
// the reference of the same algorithm ran before in the same run, the
// command's row says how many times faster it is (times_reference).
// PRISMORA_WALLPAPER=/path/to/prismora-wallpaper measures another build (an
// older one, say).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_state.h"
#include "engine/gradient.h"
#include "tests/support/plain_formulas.h"

namespace {

using Clock = std::chrono::steady_clock;

std::map<int, double> referenceSeconds;  // by algorithm, from this run

void BM_LongDoubleReference1600x1200(benchmark::State& state) {
  const int alg = int(state.range(0));
  auto s = StartedState(alg, 42);  // the command's picture, for the reference to compute
  s->GridColumns = 1600;
  s->GridRows = 1200;
  std::vector<uint16_t> planes(size_t(3) * 1601 * 1201);
  double seconds = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    size_t i = 0;
    for (s->Row = 0; s->Row <= 1200; ++s->Row) {
      for (s->Column = 0; s->Column <= 1600; ++s->Column) {
        long double R, G, B;
        plain::PlainEvaluate<long double, plain::LibmFunctions>(*s, R, G, B, false);
        planes[i++] = plain::PlainQuantise<plain::LibmFunctions>(alg, R);
        planes[i++] = plain::PlainQuantise<plain::LibmFunctions>(alg, G);
        planes[i++] = plain::PlainQuantise<plain::LibmFunctions>(alg, B);
      }
    }
    benchmark::DoNotOptimize(planes.data());
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
  }
  referenceSeconds[alg] = seconds / double(state.iterations());
}
BENCHMARK(BM_LongDoubleReference1600x1200)
    ->ArgName("alg")
    ->Arg(4)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

std::string CommandPath() {
  const char* other = std::getenv("PRISMORA_WALLPAPER");
  return other && *other ? other : PRISMORA_WALLPAPER_BINARY;
}

// One run of the command; false when it could not be started or failed.
bool RunCommand(const std::vector<std::string>& argv, rusage& usage) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  return pid > 0 && wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

constexpr int32_t kSizes[][2] = {{1600, 1200}, {3840, 2160}, {16384, 16384}};

// Args: algorithm, threads, size (an index of kSizes), format (0 BMP, 1 PNG).
void BM_WallpaperCommand(benchmark::State& state) {
  const int alg = int(state.range(0));
  const auto [w, h] = kSizes[state.range(2)];
  const bool png = state.range(3) == 1;
  const std::string output =
      (std::filesystem::temp_directory_path() / ("prismora-bench-command." + std::string(png ? "png" : "bmp")))
          .string();
  const std::vector<std::string> argv = {CommandPath(),        "--algorithm", std::to_string(alg),
                                         "--size",             std::to_string(w) + "x" + std::to_string(h),
                                         "--threads",          std::to_string(state.range(1)),
                                         "--seed",             "42",
                                         "--output",           output};
  double seconds = 0, cpu = 0;
  for (auto _ : state) {
    rusage usage{};
    const auto start = Clock::now();
    if (!RunCommand(argv, usage)) {
      state.SkipWithError(("failed: " + argv[0]).c_str());
      break;
    }
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
    cpu += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  }
  std::filesystem::remove(output);
  const double runs = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
  state.counters["cpu_ms"] = cpu * 1000 / runs;
  const auto reference = referenceSeconds.find(alg);
  if (reference != referenceSeconds.end() && seconds > 0 && w == 1600)
    state.counters["times_reference"] = reference->second / (seconds / runs);
  state.SetLabel(png ? "png" : "bmp");
}
BENCHMARK(BM_WallpaperCommand)
    ->ArgNames({"alg", "threads", "size", "png"})
    ->Args({4, 2, 0, 0})
    ->Args({4, 2, 0, 1})
    ->Args({4, 1, 0, 0})
    ->Args({1, 2, 0, 0})
    ->Args({4, 2, 1, 0})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->UseRealTime();

// The largest picture (an 805 MB file): once, and only when
// PRISMORA_BENCH_LARGEST=1 asks for it.
const bool largestRegistered = [] {
  const char* wanted = std::getenv("PRISMORA_BENCH_LARGEST");
  if (!wanted || std::string(wanted) != "1") return false;
  benchmark::RegisterBenchmark("BM_WallpaperCommandLargest", BM_WallpaperCommand)
      ->ArgNames({"alg", "threads", "size", "png"})
      ->Args({4, 2, 2, 0})
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1)
      ->UseRealTime();
  return true;
}();

}  // namespace
