// The live frame's sweep (every grid point into ColourGrid), the single-point
// evaluations of both forms, the fold ladders for one value and the
// wallpaper quantisation of one channel.
#include <algorithm>

#include "engine/algorithms.h"
#include "engine/gradient.h"

namespace Gradient {

namespace {

using detail::L;

template <class Alg>
void SweepLive(PatternState& s) {
  // ColourGrid holds at most 151 x 201 points; a larger grid is cut there.
  const int32_t lastRow = std::min(s.GridRows, kPlaneRows - 1);
  const int32_t lastColumn = std::min(s.GridColumns, kPlaneColumns - 1);
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
  detail::WithAlgorithm(algorithm, [&](auto alg) { top = decltype(alg)::kLadder; });
  return top;
}

template <class T>
T FoldOne(T v, int algorithm) {
  T unused1 = 0, unused2 = 0;
  detail::FoldLadder(v, unused1, unused2, LadderTop(algorithm));
  return v;
}

}  // namespace

void SweepFrame(PatternState& s) {
  detail::WithAlgorithm(s.Algorithm, [&](auto alg) { SweepLive<decltype(alg)>(s); });
}

void EvaluateLivePoint(PatternState& s) {
  detail::WithAlgorithm(s.Algorithm, [&](auto alg) {
    using Alg = decltype(alg);
    auto& grid = s.ColourGrid;
    float& R = grid.R[s.Row][s.Column];
    float& G = grid.G[s.Row][s.Column];
    float& B = grid.B[s.Row][s.Column];
    detail::EvaluatePoint<Alg>(s, R, G, B);
    Alg::FinishLive(R, G, B);
  });
}

void EvaluateWallpaperPoint(PatternState& s) {
  detail::WithAlgorithm(s.Algorithm, [&](auto alg) {
    detail::EvaluatePoint<decltype(alg)>(s, s.PixelR, s.PixelG, s.PixelB);
  });
}

uint16_t QuantiseChannel(const PatternState& s, int channel) {
  uint16_t q = 0;
  detail::WithAlgorithm(s.Algorithm, [&](auto alg) {
    const L F = decltype(alg)::Wallpaper(Channel(s, channel));
    q = static_cast<uint16_t>(x87::RoundToInt64(F));
  });
  return q;
}

float FoldLive(float v, int algorithm) { return FoldOne(v, algorithm); }

long double FoldWallpaper(long double v, int algorithm) { return FoldOne(v, algorithm); }

}  // namespace Gradient
