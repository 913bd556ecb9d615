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
#include "engine/lane_engine.h"
#include "engine/wallpaper_rows.h"

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

// The shared plan of one render: what to sweep and where the rows stand.
struct RenderJob {
  const PatternState& state;
  PlaneView planes;
  int32_t lastColumn, lastRow;
  std::atomic<int32_t> nextRow{0};
  std::atomic<int32_t> rowsDone{0};
};

uint16_t Quantise(long double F) { return static_cast<uint16_t>(x87::RoundToInt64(F)); }

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

// One thread's share of the rows: small tasks until none are left, each
// counted as done when the thread asks for the next; the calling thread
// reports the progress.
class ThreadTasks : public detail::RowTasks {
 public:
  ThreadTasks(RenderJob& job, ProgressReport* progress) : job_(job), progress_(progress) {}
  bool Next(detail::RowTask& task) override {
    if (taken_ > 0) {
      job_.rowsDone.fetch_add(taken_);
      taken_ = 0;
      if (progress_) progress_->Update(job_.rowsDone.load());
    }
    task.first = job_.nextRow.fetch_add(detail::kRowsPerTask);
    if (task.first > job_.lastRow) return false;
    task.last = std::min(job_.lastRow, task.first + detail::kRowsPerTask - 1);
    task.planes = job_.planes;
    taken_ = task.last - task.first + 1;
    return true;
  }

 private:
  RenderJob& job_;
  ProgressReport* progress_;
  int32_t taken_ = 0;
};

template <class Alg>
void RenderRow(PointScratch& x, const PlaneView& planes, int32_t lastColumn,
               const typename Alg::ColumnTerms* columns, int32_t r) {
  typename Alg::RowTerms row;
  Alg::ForRow(row, x, r);
  x.Row = r;
  const size_t base = size_t(r - planes.firstRow) * size_t(planes.stride);
  uint16_t* R = planes.R + base;
  uint16_t* G = planes.G + base;
  uint16_t* B = planes.B + base;
  for (int32_t c = 0; c <= lastColumn; ++c) {
    x.Column = c;
    Alg::AtPoint(x, columns[c], row, x.PixelR, x.PixelG, x.PixelB);
    R[c] = Quantise(Alg::Wallpaper(x.PixelR));
    G[c] = Quantise(Alg::Wallpaper(x.PixelG));
    B[c] = Quantise(Alg::Wallpaper(x.PixelB));
  }
}

// The x87 path: the column terms once, then the rows the tasks hand out.
template <class Alg>
void RenderTasksOnX87(const PatternState& s, int32_t lastColumn, detail::RowTasks& tasks) {
  PointScratch x(s);
  std::vector<typename Alg::ColumnTerms> columns(size_t(lastColumn) + 1);
  for (int32_t c = 0; c <= lastColumn; ++c) Alg::ForColumn(columns[c], x, c);
  detail::RowTask task;
  while (tasks.Next(task)) {
    for (int32_t r = task.first; r <= task.last; ++r)
      RenderRow<Alg>(x, task.planes, lastColumn, columns.data(), r);
  }
}

void RenderAll(RenderJob& job, int threads, ProgressReport& progress) {
  std::vector<std::thread> workers = detail::StartRenderThreads(threads - 1, [&job] {
    ThreadTasks tasks(job, nullptr);
    detail::RenderRowTasks(job.state, job.lastColumn, tasks);
  });
  ThreadTasks tasks(job, &progress);
  detail::RenderRowTasks(job.state, job.lastColumn, tasks);
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
    const bool known = s.Algorithm >= 1 && s.Algorithm <= 12;
    if (known) {
      RenderAll(job, detail::WallpaperThreads(threads, lastRow + 1), report);
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

void detail::RenderRowTasks(const PatternState& s, int32_t lastColumn, RowTasks& tasks) {
  if (const LaneEngine* lanes = LaneEngineFor(SelectedEngine())) {
    const SseControlForLanes control;
    lanes->renderRows(s, lastColumn, tasks);
    return;
  }
  WithAlgorithm(s.Algorithm, [&](auto n) {
    RenderTasksOnX87<Algorithm<decltype(n)::value, X87Math>>(s, lastColumn, tasks);
  });
}

int detail::WallpaperThreads(int requested, int32_t rows) {
  const int n = requested > 0 ? requested : int(std::thread::hardware_concurrency());
  const int32_t tasks = (rows + kRowsPerTask - 1) / kRowsPerTask;
  return int(std::clamp<int64_t>(n, 1, std::max<int32_t>(tasks, 1)));
}

std::vector<std::thread> detail::StartRenderThreads(int count, const std::function<void()>& body) {
  std::vector<std::thread> threads;
  for (int i = 0; i < count; ++i) {
    try {
      threads.emplace_back([body] {
        SetupFloatingPoint();
        body();
      });
    } catch (const std::system_error&) {
      break;  // fewer threads: the calling thread takes the remaining rows
    }
  }
  return threads;
}

void detail::WallpaperPixelOnX87(const PatternState& s, int32_t c, int32_t r, uint16_t out[3]) {
  CountLaneFallback();
  PointScratch x(s);
  x.Column = c;
  x.Row = r;
  detail::WithAlgorithm(s.Algorithm, [&](auto n) {
    using Alg = detail::Algorithm<decltype(n)::value, detail::X87Math>;
    detail::EvaluatePoint<Alg>(x, x.PixelR, x.PixelG, x.PixelB);
    out[0] = Quantise(Alg::Wallpaper(x.PixelR));
    out[1] = Quantise(Alg::Wallpaper(x.PixelG));
    out[2] = Quantise(Alg::Wallpaper(x.PixelB));
  });
}

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
