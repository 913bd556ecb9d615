// The settings window's "Your Desktop" export at 2560 x 1440: planes of its
// own, render, copy into the image and BMP encode, on all cores, by
// algorithm; with the heap's peak during the export (every allocation of the
// process is counted, the planes and the image being nearly all of it).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

#include "bench/bench_state.h"
#include "engine/gradient.h"
#include "image/dib.h"
#include "tools/wallpaper_export.h"

namespace {

std::atomic<long long> liveBytes{0}, peakBytes{0};

// The size of each block sits in front of it, so that delete can count it.
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Counted(std::size_t size) {
  auto* block = static_cast<char*>(std::malloc(size + kHeader));
  if (!block) throw std::bad_alloc();
  *reinterpret_cast<std::size_t*>(block) = size;
  const long long now = liveBytes += static_cast<long long>(size);
  long long peak = peakBytes.load();
  while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
  }
  return block + kHeader;
}

void Uncounted(void* p) {
  if (!p) return;
  char* block = static_cast<char*>(p) - kHeader;
  liveBytes -= static_cast<long long>(*reinterpret_cast<std::size_t*>(block));
  std::free(block);
}

constexpr int32_t kWidth = 2560, kHeight = 1440;

void BM_DesktopExport_2560x1440(benchmark::State& state) {
  const auto pattern = StartedState(static_cast<int32_t>(state.range(0)), 42);
  double peakMB = 0;
  for (auto _ : state) {
    const long long before = liveBytes.load();
    peakBytes = before;
    DIB::TDIB image;  // as the settings window creates it: 1 x 1 at 24 bits
    image.SetBitCount(24);
    WallpaperExport::RenderIntoImage(*pattern, image, kWidth, kHeight);
    benchmark::DoNotOptimize(DIB::EncodeBmp(image));
    peakMB = static_cast<double>(peakBytes.load() - before) / (1 << 20);
  }
  state.counters["peak_MB"] = peakMB;
}
BENCHMARK(BM_DesktopExport_2560x1440)->DenseRange(1, 12)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

void* operator new(std::size_t size) { return Counted(size); }
void* operator new[](std::size_t size) { return Counted(size); }
void operator delete(void* p) noexcept { Uncounted(p); }
void operator delete[](void* p) noexcept { Uncounted(p); }
void operator delete(void* p, std::size_t) noexcept { Uncounted(p); }
void operator delete[](void* p, std::size_t) noexcept { Uncounted(p); }
