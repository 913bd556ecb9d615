// The benchmarks' main: the floating-point set-up first, as the program does,
// then Google Benchmark.
#include <benchmark/benchmark.h>

#include "engine/gradient.h"

int main(int argc, char** argv) {
  Gradient::SetupFloatingPoint();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
