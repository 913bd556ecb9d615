// BMP encode and write at the largest export size, the export's copy loop,
// and the whole-picture path at 3840 x 2160 (render into planes, copy,
// encode, write), which the settings window's desktop-sized export takes and
// the command took before it streamed (bench_command times the command).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "bench/bench_state.h"
#include "engine/gradient.h"
#include "image/dib.h"
#include "image/wallpaper_copy.h"

namespace {

DIB::TDIB FilledImage(int32_t w, int32_t h) {
  DIB::TDIB image;
  image.SetBitCount(24);
  image.SetWidth(w);
  image.SetHeight(h);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) image.SetPixel(x, y, static_cast<uint32_t>(x * 7 + y * 13) * 2654435761u);
  }
  return image;
}

std::string ScratchFile(const char* name) { return (std::filesystem::temp_directory_path() / name).string(); }

void BM_EncodeBmp_1600x1200(benchmark::State& state) {
  const DIB::TDIB image = FilledImage(1600, 1200);
  for (auto _ : state) benchmark::DoNotOptimize(DIB::EncodeBmp(image));
  state.SetBytesProcessed(state.iterations() * 5760054);
}
BENCHMARK(BM_EncodeBmp_1600x1200)->Unit(benchmark::kMillisecond);

// Encode, write, fsync and rename: what "Save" costs.
void BM_SaveToFile_1600x1200(benchmark::State& state) {
  const DIB::TDIB image = FilledImage(1600, 1200);
  const std::string path = ScratchFile("prismora-bench-dib.bmp");
  for (auto _ : state) image.SaveToFile(path);
  std::filesystem::remove(path);
  state.SetBytesProcessed(state.iterations() * 5760054);
}
BENCHMARK(BM_SaveToFile_1600x1200)->Unit(benchmark::kMillisecond);

void BM_CopySamples_1600x1200(benchmark::State& state) {
  DIB::TDIB image = FilledImage(1600, 1200);
  const Gradient::PlaneView planes = Gradient::WallpaperPlanesView();
  for (auto _ : state) DIB::CopySamplesToImage(planes, 1600, 1200, image);
  state.SetItemsProcessed(state.iterations() * 1601 * 1201);
}
BENCHMARK(BM_CopySamples_1600x1200)->Unit(benchmark::kMillisecond);

// One 4K wallpaper the whole-picture way on all cores, by algorithm.
void BM_WholePicture_3840x2160(benchmark::State& state) {
  const auto pattern = StartedState(static_cast<int32_t>(state.range(0)), 42);
  const std::string path = ScratchFile("prismora-bench-4k.bmp");
  for (auto _ : state) {
    DIB::TDIB image;
    DIB::RenderWallpaperImage(*pattern, 3840, 2160, 0, image);
    image.SaveToFile(path);
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_WholePicture_3840x2160)->DenseRange(1, 12)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
