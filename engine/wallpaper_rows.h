// Inside the engine: the rows of a wallpaper render handed out as small
// tasks to any thread, and their render on the selected engine. Shared by the
// whole-picture render (wallpaper.cpp) and the banded one
// (wallpaper_bands.cpp); the lane engines take their rows from the same tasks.
#pragma once

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "engine/gradient.h"

namespace Gradient::detail {

// Rows a task holds: small, so that threads share a picture evenly.
constexpr int32_t kRowsPerTask = 4;

// Rows first..last to render, columns 0..lastColumn of the render, into planes.
struct RowTask {
  int32_t first = 0, last = -1;
  PlaneView planes{};
};

// Hands out the rows of a wallpaper render in small tasks, to any thread.
class RowTasks {
 public:
  virtual ~RowTasks() = default;
  // The next task; false when none are left. Asking for the next task says
  // that the previous one is done.
  virtual bool Next(RowTask& task) = 0;
};

// The tasks' rows with s's algorithm (1..12) on the selected engine, on the
// calling thread, whose x87 control word the caller has set up.
void RenderRowTasks(const PatternState& s, int32_t lastColumn, RowTasks& tasks);

// How many threads a render of `rows` rows uses: `requested`, or all cores
// for 0, and never more than there are tasks.
int WallpaperThreads(int requested, int32_t rows);

// Starts up to `count` threads running body (each after setting up its
// floating point); fewer when the system refuses more.
std::vector<std::thread> StartRenderThreads(int count, const std::function<void()>& body);

}  // namespace Gradient::detail
