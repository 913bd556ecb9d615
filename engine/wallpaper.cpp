// The wallpaper rasteriser: the wallpaper form of the selected algorithm at
// every pixel, quantised to 16-bit elements (low 16 bits of the rounded
// 64-bit value, no clamping). Rows are shared out among threads, each with
// its own copy of the per-point scratch fields; every pixel depends only on
// its own position and the pattern's phases and offsets, so the bytes never
// depend on the thread count.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/algorithms.h"
#include "engine/gradient.h"

namespace Gradient {

WallpaperPlaneSet WallpaperPlanes;

PlaneView WallpaperPlanesView() {
  return {&WallpaperPlanes.R[0][0], &WallpaperPlanes.G[0][0], &WallpaperPlanes.B[0][0],
          kWallpaperColumns};
}

namespace {

// The fields of PatternState that one evaluation reads or writes, so that a
// worker thread can evaluate points without touching the shared record.
struct PointScratch {
  explicit PointScratch(const PatternState& s)
      : GridColumns(s.GridColumns), GridRows(s.GridRows),
        OffsetX(s.OffsetX), OffsetY(s.OffsetY),
        PhaseA(s.PhaseA), PhaseB(s.PhaseB), PhaseC(s.PhaseC) {}
  int32_t GridColumns, GridRows;
  int32_t Column = 0, Row = 0, Step = 0;
  float OffsetX, OffsetY;
  float PhaseA, PhaseB, PhaseC;
  float CellU = 0, CellV = 0;
  long double PixelR = 0, PixelG = 0, PixelB = 0;
  float BiasX = 0, BiasY = 0;
  float SeqX[5] = {}, SeqY[5] = {}, SeqZ[5] = {};
};

constexpr int32_t kRowsPerTask = 4;

// The shared plan of one render: what to sweep and where the rows stand.
struct RenderJob {
  const PatternState& state;
  PlaneView planes;
  int32_t lastColumn, lastRow;
  std::atomic<int32_t> nextRow{0};
  std::atomic<int32_t> rowsDone{0};
};

uint16_t Quantise(long double F) { return static_cast<uint16_t>(x87::RoundToInt64(F)); }

template <class Alg>
void RenderRow(PointScratch& x, const RenderJob& job,
               const typename Alg::ColumnTerms* columns, int32_t r) {
  typename Alg::RowTerms row;
  Alg::ForRow(row, x, r);
  x.Row = r;
  const size_t base = size_t(r) * size_t(job.planes.stride);
  uint16_t* R = job.planes.R + base;
  uint16_t* G = job.planes.G + base;
  uint16_t* B = job.planes.B + base;
  for (int32_t c = 0; c <= job.lastColumn; ++c) {
    x.Column = c;
    Alg::AtPoint(x, columns[c], row, x.PixelR, x.PixelG, x.PixelB);
    R[c] = Quantise(Alg::Wallpaper(x.PixelR));
    G[c] = Quantise(Alg::Wallpaper(x.PixelG));
    B[c] = Quantise(Alg::Wallpaper(x.PixelB));
  }
}

// Takes rows in small tasks until none are left; `afterTask` runs after each.
template <class Alg, class AfterTask>
void RenderTasks(RenderJob& job, const typename Alg::ColumnTerms* columns, AfterTask afterTask) {
  PointScratch x(job.state);
  for (;;) {
    const int32_t first = job.nextRow.fetch_add(kRowsPerTask);
    if (first > job.lastRow) return;
    const int32_t last = std::min(job.lastRow, first + kRowsPerTask - 1);
    for (int32_t r = first; r <= last; ++r) RenderRow<Alg>(x, job, columns, r);
    job.rowsDone.fetch_add(last - first + 1);
    afterTask();
  }
}

// Reports each whole percentage once, from the calling thread only.
struct ProgressReport {
  void (*callback)(int, void*);
  void* user;
  int32_t totalRows;
  int last = -1;
  void Update(int32_t rowsDone) {
    if (!callback) return;
    const int percent = int(int64_t{rowsDone} * 100 / totalRows);
    if (percent > last) {
      last = percent;
      callback(percent, user);
    }
  }
};

int ThreadCount(int requested, int32_t rows) {
  int n = requested > 0 ? requested : int(std::thread::hardware_concurrency());
  const int32_t tasks = (rows + kRowsPerTask - 1) / kRowsPerTask;
  return int(std::clamp<int64_t>(n, 1, std::max<int32_t>(tasks, 1)));
}

template <class Alg>
void RenderAll(RenderJob& job, int threads, ProgressReport& progress) {
  std::vector<typename Alg::ColumnTerms> columns(size_t(job.lastColumn) + 1);
  {
    PointScratch x(job.state);
    for (int32_t c = 0; c <= job.lastColumn; ++c) Alg::ForColumn(columns[c], x, c);
  }
  std::vector<std::thread> workers;
  for (int i = 1; i < threads; ++i) {
    try {
      workers.emplace_back([&job, &columns] {
        SetupFloatingPoint();
        RenderTasks<Alg>(job, columns.data(), [] {});
      });
    } catch (const std::system_error&) {
      break;  // fewer threads: the calling thread takes the remaining rows
    }
  }
  RenderTasks<Alg>(job, columns.data(), [&] { progress.Update(job.rowsDone.load()); });
  if (progress.callback) {
    while (job.rowsDone.load() < job.lastRow + 1) {
      progress.Update(job.rowsDone.load());
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  for (auto& w : workers) w.join();
  progress.Update(job.lastRow + 1);
}

// Sweeps rows 0..lastRow x columns 0..lastColumn; GridColumns and GridRows
// stay the divisors. Afterwards the record holds what the last pixel left.
void Render(PatternState& s, const PlaneView& planes, int32_t lastColumn, int32_t lastRow,
            int threads, void (*progress)(int, void*), void* user) {
  if (s.GridRows < 0) return;
  if (lastColumn >= 0 && lastRow >= 0) {
    RenderJob job{s, planes, lastColumn, lastRow};
    ProgressReport report{progress, user, lastRow + 1};
    const bool known = detail::WithAlgorithm(s.Algorithm, [&](auto alg) {
      RenderAll<decltype(alg)>(job, ThreadCount(threads, lastRow + 1), report);
    });
    if (known) {
      // The scratch fields and PixelR/G/B as the last pixel sets them.
      s.Column = lastColumn;
      s.Row = lastRow;
      EvaluateWallpaperPoint(s);
    }
  }
  s.Row = lastRow + 1;
  s.Column = std::max(lastColumn + 1, 0);
}

}  // namespace

void RenderWallpaperInto(PatternState& s, const PlaneView& planes, int threads,
                         void (*progress)(int percent, void* user), void* user) {
  Render(s, planes, s.GridColumns, s.GridRows, threads, progress, user);
}

void RenderWallpaper(PatternState& s) {
  // The static planes hold at most 1201 x 1601 samples; a larger grid is cut there.
  Render(s, WallpaperPlanesView(), std::min(s.GridColumns, kWallpaperColumns - 1),
         std::min(s.GridRows, kWallpaperRows - 1), 0, nullptr, nullptr);
}

}  // namespace Gradient
