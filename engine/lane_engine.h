// Inside the engine: what a lane engine (one translation unit per instruction
// set, engine/lanes_*.cpp) offers the live sweep and the wallpaper render,
// and the x87 evaluations of single points that it falls back on. The lane
// units are compiled for their own instruction set, so nothing may pass
// between them and the rest of the engine but these plain functions.
#pragma once

#include <cstdint>

#include "engine/gradient.h"
#include "engine/wallpaper_rows.h"

namespace Gradient::detail {

// What the lane engines assume of their elementary functions against the
// processor's (the engine's lane tests measure and hold them): sine and
// cosine within kTrigError plus kTrigPerArgument times the argument (the
// processor reduces large arguments with a finite pi), for arguments up to
// kTrigLimit, where their own range reduction is exact; the logarithms within
// kLogError relative to the result.
constexpr double kTrigError = 0x1p-49;
constexpr double kTrigPerArgument = 0x1p-60;
constexpr double kTrigLimit = 0x1p20;
constexpr double kLogError = 0x1p-48;

// Figures of the elementary functions of one lane engine, for the tests:
// each output holds the function of each input.
struct KernelValues {
  const double* x;
  int count;
  double *sin, *cos, *ln, *log2, *log10;
};

struct LaneEngine {
  Engine engine;
  int width;  // points evaluated at once
  // Rows 0..lastRow x columns 0..lastColumn of the live grid with s.Algorithm
  // (1..12), as the x87 sweep computes them; the scratch fields afterwards
  // hold whatever the lanes left.
  void (*sweepLive)(PatternState& s, int32_t lastColumn, int32_t lastRow);
  // The wallpaper rows that `tasks` hands out, columns 0..lastColumn, into
  // the tasks' planes; reads only the divisors, phases, offsets and
  // algorithm of s.
  void (*renderRows)(const PatternState& s, int32_t lastColumn, RowTasks& tasks);
  void (*kernels)(const KernelValues& values);
};

// The SSE control register, and what the engine needs in it (every
// exception masked, rounding to nearest, no flushing to zero): the lane
// sweeps set it for their run and put the caller's back afterwards.
uint32_t SseControl();
void SetSseControl(uint32_t csr);
uint32_t SseControlForEngine(uint32_t csr);
class SseControlForLanes {
 public:
  SseControlForLanes() : saved_(SseControl()) { SetSseControl(SseControlForEngine(saved_)); }
  ~SseControlForLanes() { SetSseControl(saved_); }
  SseControlForLanes(const SseControlForLanes&) = delete;
  SseControlForLanes& operator=(const SseControlForLanes&) = delete;

 private:
  uint32_t saved_;
};

// The lane engines this build has (null where the build has none).
const LaneEngine* LaneEngineFor(Engine e);
extern const LaneEngine kSse2Lanes, kAvx2Lanes, kAvx512Lanes;

// The x87 evaluations the lanes fall back on for a point whose result they
// cannot vouch for. The live one writes ColourGrid[r][c] (and the scratch
// fields of s); the wallpaper one touches nothing of s and gives the three
// 16-bit elements.
void LivePointOnX87(PatternState& s, int32_t c, int32_t r);
void WallpaperPixelOnX87(const PatternState& s, int32_t c, int32_t r, uint16_t out[3]);
// How many points the lanes have handed to those two so far (for the tests
// and the benchmarks).
uint64_t LaneFallbacks();
void CountLaneFallback();

}  // namespace Gradient::detail
