// The live frame's sweep (every grid point into ColourGrid), the single-point
// evaluations of both forms, the fold ladders for one value and the
// wallpaper quantisation of one channel.
#include <algorithm>

#include "engine/algorithms.h"
#include "engine/gradient.h"
#include "engine/lane_engine.h"

namespace Gradient {

namespace {

using detail::L;
using detail::X87Math;

template <class Alg>
void SweepLive(PatternState& s, int32_t lastColumn, int32_t lastRow) {
  typename Alg::ColumnTerms columns[kPlaneColumns];
  for (int32_t c = 0; c <= lastColumn; ++c) Alg::ForColumn(columns[c], s, c);
  typename Alg::RowTerms row;
  auto& grid = s.ColourGrid;
  for (s.Row = 0; s.Row <= lastRow; ++s.Row) {
    Alg::ForRow(row, s, s.Row);
    for (s.Column = 0; s.Column <= lastColumn; ++s.Column) {
      const int32_t r = s.Row, c = s.Column;
      Alg::AtPoint(s, columns[c], row, grid.R[r][c], grid.G[r][c], grid.B[r][c]);
      Alg::FinishLive(grid.R[r][c], grid.G[r][c], grid.B[r][c]);
    }
  }
}

long double Channel(const PatternState& s, int channel) {
  return channel == 0 ? s.PixelR : channel == 1 ? s.PixelG : s.PixelB;
}

// Ladder top of an algorithm: 3 for 1, 2, 4, 5; 4 for 6 to 12; none for 3.
int LadderTop(int algorithm) {
  int top = 0;
  detail::WithAlgorithm(algorithm, [&](auto n) { top = detail::Algorithm<decltype(n)::value, X87Math>::kLadder; });
  return top;
}

template <class T>
T FoldOne(T v, int algorithm) {
  T unused1 = 0, unused2 = 0;
  detail::FoldLadder<X87Math>(v, unused1, unused2, LadderTop(algorithm));
  return v;
}

// The sweep on the selected engine's lanes; the last point once more on the
// x87 path, so that the scratch fields hold what the x87 sweep leaves.
bool SweepOnLanes(PatternState& s, int32_t lastColumn, int32_t lastRow) {
  const detail::LaneEngine* lanes = detail::LaneEngineFor(SelectedEngine());
  if (!lanes || lastColumn < 0 || lastRow < 0 || s.Algorithm < 1 || s.Algorithm > 12) return false;
  {
    const detail::SseControlForLanes control;
    lanes->sweepLive(s, lastColumn, lastRow);
  }
  s.Column = lastColumn;
  s.Row = lastRow;
  EvaluateLivePoint(s);
  s.Row = lastRow + 1;
  s.Column = lastColumn + 1;
  return true;
}

}  // namespace

void SweepFrame(PatternState& s) {
  // ColourGrid holds at most 151 x 201 points; a larger grid is cut there.
  const int32_t lastRow = std::min(s.GridRows, kPlaneRows - 1);
  const int32_t lastColumn = std::min(s.GridColumns, kPlaneColumns - 1);
  if (SweepOnLanes(s, lastColumn, lastRow)) return;
  detail::WithAlgorithm(s.Algorithm, [&](auto n) {
    SweepLive<detail::Algorithm<decltype(n)::value, X87Math>>(s, lastColumn, lastRow);
  });
}

void detail::LivePointOnX87(PatternState& s, int32_t c, int32_t r) {
  CountLaneFallback();
  s.Column = c;
  s.Row = r;
  EvaluateLivePoint(s);
}

void EvaluateLivePoint(PatternState& s) {
  detail::WithAlgorithm(s.Algorithm, [&](auto n) {
    using Alg = detail::Algorithm<decltype(n)::value, X87Math>;
    auto& grid = s.ColourGrid;
    float& R = grid.R[s.Row][s.Column];
    float& G = grid.G[s.Row][s.Column];
    float& B = grid.B[s.Row][s.Column];
    detail::EvaluatePoint<Alg>(s, R, G, B);
    Alg::FinishLive(R, G, B);
  });
}

void EvaluateWallpaperPoint(PatternState& s) {
  detail::WithAlgorithm(s.Algorithm, [&](auto n) {
    detail::EvaluatePoint<detail::Algorithm<decltype(n)::value, X87Math>>(s, s.PixelR, s.PixelG, s.PixelB);
  });
}

uint16_t QuantiseChannel(const PatternState& s, int channel) {
  uint16_t q = 0;
  detail::WithAlgorithm(s.Algorithm, [&](auto n) {
    const L F = detail::Algorithm<decltype(n)::value, X87Math>::Wallpaper(Channel(s, channel));
    q = static_cast<uint16_t>(x87::RoundToInt64(F));
  });
  return q;
}

float FoldLive(float v, int algorithm) { return FoldOne(v, algorithm); }

long double FoldWallpaper(long double v, int algorithm) { return FoldOne(v, algorithm); }

}  // namespace Gradient
