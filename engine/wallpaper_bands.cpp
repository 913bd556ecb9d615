// The wallpaper rendered band by band: a ring of a few bands of planes,
// never cleared (the render writes every element), whose rows the threads
// take in small tasks in the plan's order. The calling thread renders too
// and, between its tasks, hands each finished band to the sink in order,
// so that one band is written while the next ones are rendered. A band's
// planes are reused once the sink has taken it.
#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/band_layout.h"
#include "engine/gradient.h"
#include "engine/wallpaper_rows.h"

namespace Gradient {
namespace {

// Bands in the ring: the one being written, and room for the threads to
// render ahead of it.
constexpr int32_t kSlots = 4;

// Band rows: a task for every thread (at least four tasks), so that all
// threads work on the oldest bands and the sink is never kept waiting long.
int32_t BandRowsFor(int threads, int32_t rows) {
  return std::min(rows, detail::kRowsPerTask * std::max(threads, 4));
}

class BandPipeline {
 public:
  BandPipeline(const PatternState& s, const BandPlan& plan, int threads, WallpaperBandSink& sink)
      : state_(s), lastColumn_(plan.lastColumn), stride_(plan.lastColumn + 1),
        layout_(plan, BandRowsFor(threads, plan.lastRow - plan.firstRow + 1)), threads_(threads), sink_(sink),
        // Not value-initialised: the render writes every element first.
        storage_(new uint16_t[size_t(kSlots) * 3 * size_t(layout_.BandRows()) * size_t(stride_)]) {
    for (int32_t b = 0; b < kSlots; ++b) rowsLeft_[b] = layout_.Rows(b);
  }

  void Run();

 private:
  // One thread's view of the tasks: which band its last task was in.
  class Tasks : public detail::RowTasks {
   public:
    Tasks(BandPipeline& pipeline, bool delivers) : delivers_(delivers), pipeline_(pipeline) {}
    bool Next(detail::RowTask& task) override { return pipeline_.Next(*this, task); }
    const bool delivers_;  // the calling thread: hands finished bands to the sink
    int32_t band_ = -1, rows_ = 0;

   private:
    BandPipeline& pipeline_;
  };

  PlaneView BandView(int32_t band) const {
    const size_t plane = size_t(layout_.BandRows()) * size_t(stride_);
    uint16_t* slot = storage_.get() + size_t(band % kSlots) * 3 * plane;
    return {slot, slot + plane, slot + 2 * plane, stride_, layout_.First(band)};
  }
  bool Next(Tasks& tasks, detail::RowTask& task);
  void Finished(Tasks& tasks);
  void HandOut(Tasks& tasks, detail::RowTask& task);
  bool DeliverFinishedBands(std::unique_lock<std::mutex>& lock);
  void Drain();
  void Stop();
  void RenderZeros();

  const PatternState& state_;
  const int32_t lastColumn_, stride_;
  const BandLayout layout_;
  const int threads_;
  WallpaperBandSink& sink_;
  std::unique_ptr<uint16_t[]> storage_;

  std::mutex mutex_;
  std::condition_variable changed_;
  int32_t nextBand_ = 0, nextRow_ = -1;  // the next task: its band, its first row (-1: the band's first)
  int32_t delivered_ = 0;               // bands the sink has taken
  int32_t rowsLeft_[kSlots];            // rows of each slot's band not rendered yet
  bool stopped_ = false;
  std::exception_ptr error_;
};

void BandPipeline::Finished(Tasks& tasks) {
  if (tasks.rows_ == 0) return;
  int32_t& left = rowsLeft_[tasks.band_ % kSlots];
  left -= tasks.rows_;
  tasks.rows_ = 0;
  if (left == 0) changed_.notify_all();
}

void BandPipeline::HandOut(Tasks& tasks, detail::RowTask& task) {
  const int32_t first = nextRow_ < 0 ? layout_.First(nextBand_) : nextRow_;
  const int32_t last = std::min(layout_.Last(nextBand_), first + detail::kRowsPerTask - 1);
  task = {first, last, BandView(nextBand_)};
  tasks.band_ = nextBand_;
  tasks.rows_ = last - first + 1;
  if (last == layout_.Last(nextBand_)) {
    ++nextBand_;
    nextRow_ = -1;
  } else {
    nextRow_ = last + 1;
  }
}

// Each band whose rows are all rendered, in order, to the sink (the mutex
// released meanwhile: its slot is not handed out again until it returns).
// False when the sink failed.
bool BandPipeline::DeliverFinishedBands(std::unique_lock<std::mutex>& lock) {
  while (!stopped_ && delivered_ < layout_.Count() && rowsLeft_[delivered_ % kSlots] == 0) {
    const int32_t band = delivered_;
    lock.unlock();
    try {
      sink_.TakeBand(BandView(band), layout_.First(band), layout_.Last(band));
    } catch (...) {
      lock.lock();
      error_ = std::current_exception();
      stopped_ = true;
      changed_.notify_all();
      return false;
    }
    lock.lock();
    rowsLeft_[band % kSlots] = layout_.Rows(band + kSlots);
    ++delivered_;
    changed_.notify_all();
  }
  return !stopped_;
}

bool BandPipeline::Next(Tasks& tasks, detail::RowTask& task) {
  std::unique_lock<std::mutex> lock(mutex_);
  Finished(tasks);
  for (;;) {
    if (tasks.delivers_ && !DeliverFinishedBands(lock)) return false;
    if (stopped_ || nextBand_ >= layout_.Count()) return false;
    if (nextBand_ < delivered_ + kSlots) {
      HandOut(tasks, task);
      return true;
    }
    changed_.wait(lock);
  }
}

// After the calling thread's last task: the bands the others still render.
void BandPipeline::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (DeliverFinishedBands(lock) && delivered_ < layout_.Count()) changed_.wait(lock);
}

void BandPipeline::Stop() {
  const std::lock_guard<std::mutex> lock(mutex_);
  stopped_ = true;
  changed_.notify_all();
}

// No formula to evaluate: every band is zeros, as untouched planes would be.
void BandPipeline::RenderZeros() {
  std::fill_n(storage_.get(), size_t(kSlots) * 3 * size_t(layout_.BandRows()) * size_t(stride_), uint16_t{0});
  for (int32_t b = 0; b < layout_.Count(); ++b) sink_.TakeBand(BandView(b), layout_.First(b), layout_.Last(b));
}

void BandPipeline::Run() {
  if (state_.Algorithm < 1 || state_.Algorithm > 12) {
    RenderZeros();
    return;
  }
  std::vector<std::thread> workers = detail::StartRenderThreads(threads_ - 1, [this] {
    Tasks tasks(*this, false);
    detail::RenderRowTasks(state_, lastColumn_, tasks);
  });
  Tasks own(*this, true);
  try {
    detail::RenderRowTasks(state_, lastColumn_, own);
    Drain();
  } catch (...) {
    Stop();  // the others would wait for this thread to free a slot
    for (auto& w : workers) w.join();
    throw;
  }
  for (auto& w : workers) w.join();
  if (error_) std::rethrow_exception(error_);
}

}  // namespace

void RenderWallpaperBands(const PatternState& s, const BandPlan& plan, int threads, WallpaperBandSink& sink) {
  if (plan.lastRow < plan.firstRow || plan.lastColumn < 0) return;
  const int32_t rows = plan.lastRow - plan.firstRow + 1;
  BandPipeline(s, plan, detail::WallpaperThreads(threads, rows), sink).Run();
}

}  // namespace Gradient
