// The live sweep and the wallpaper rows on lanes: the same column and row
// terms, hoisted as in the x87 sweep, and the same formulas at every point,
// N neighbouring columns at once. A lane whose result the lane policy cannot
// vouch for is evaluated on the x87 path instead. Included once by each lane
// unit (engine/lanes_*.cpp) after it names its width, namespace and engine.
#pragma once

#include <cstring>
#include <memory>

#include "engine/algorithms.h"
#include "engine/lane_engine.h"
#include "engine/lane_math.h"

namespace Gradient::PRISMORA_LANE_NAMESPACE {
namespace {

// The per-point fields of one evaluation, lane by lane; the phases, offsets
// and divisors are the same in every lane.
struct LaneScratch {
  explicit LaneScratch(const PatternState& s)
      : GridColumns(s.GridColumns), GridRows(s.GridRows), OffsetX(s.OffsetX), OffsetY(s.OffsetY),
        PhaseA(s.PhaseA), PhaseB(s.PhaseB), PhaseC(s.PhaseC) {}
  int32_t GridColumns, GridRows;
  int32_t Step = 0;
  Single OffsetX, OffsetY;
  Single PhaseA, PhaseB, PhaseC;
  Single CellU, CellV;
  Single BiasX, BiasY;
  Single SeqX[5], SeqY[5], SeqZ[5];
};

// The columns first, first+1, ..., first+N-1.
inline Real ColumnIndices(int32_t first) {
  D v;
  for (int i = 0; i < N; ++i) v[i] = double(first + i);
  return {v, D{}};
}

inline int32_t LanesIn(int32_t first, int32_t lastColumn) {
  return lastColumn - first + 1 < N ? lastColumn - first + 1 : N;
}

template <class Alg>
void ColumnTermsOf(typename Alg::ColumnTerms* columns, const LaneScratch& x, int32_t groups) {
  for (int32_t g = 0; g < groups; ++g) Alg::ForColumn(columns[g], x, ColumnIndices(g * N));
}

void StoreLive(PatternState& s, int32_t r, int32_t first, int32_t lastColumn, const Single& R,
               const Single& G, const Single& B) {
  const F red = __builtin_convertvector(R.v, F);
  const F green = __builtin_convertvector(G.v, F);
  const F blue = __builtin_convertvector(B.v, F);
  const int32_t lanes = LanesIn(first, lastColumn);
  if (lanes == N) {
    std::memcpy(&s.ColourGrid.R[r][first], &red, sizeof red);
    std::memcpy(&s.ColourGrid.G[r][first], &green, sizeof green);
    std::memcpy(&s.ColourGrid.B[r][first], &blue, sizeof blue);
  } else {
    for (int i = 0; i < lanes; ++i) {
      s.ColourGrid.R[r][first + i] = red[i];
      s.ColourGrid.G[r][first + i] = green[i];
      s.ColourGrid.B[r][first + i] = blue[i];
    }
  }
  const I unsure = (R.e != Splat(0)) | (G.e != Splat(0)) | (B.e != Splat(0));
  if (!Any(unsure)) return;
  for (int i = 0; i < lanes; ++i) {
    if (unsure[i]) detail::LivePointOnX87(s, first + i, r);
  }
}

// flatten: the formulas and every lane operation inlined into the loop.
template <int A>
__attribute__((flatten)) void SweepLiveWith(PatternState& s, int32_t lastColumn, int32_t lastRow) {
  using Alg = detail::Algorithm<A, LaneMath>;
  LaneScratch x(s);
  const int32_t groups = lastColumn / N + 1;
  typename Alg::ColumnTerms columns[kPlaneColumns / N + 1];
  ColumnTermsOf<Alg>(columns, x, groups);
  typename Alg::RowTerms row;
  for (int32_t r = 0; r <= lastRow; ++r) {
    Alg::ForRow(row, x, Real(r));
    for (int32_t g = 0; g < groups; ++g) {
      Single R, G, B;
      Alg::AtPoint(x, columns[g], row, R, G, B);
      Alg::FinishLive(R, G, B);
      StoreLive(s, r, g * N, lastColumn, R, G, B);
    }
  }
}

void SweepLive(PatternState& s, int32_t lastColumn, int32_t lastRow) {
  detail::WithAlgorithm(s.Algorithm, [&](auto n) { SweepLiveWith<decltype(n)::value>(s, lastColumn, lastRow); });
}

typedef uint16_t Element __attribute__((vector_size(2 * N)));

void StoreElements(uint16_t* plane, int32_t first, int32_t lanes, I q) {
  const Element e = __builtin_convertvector(q, Element);
  if (lanes == N) {
    std::memcpy(plane + first, &e, sizeof e);
    return;
  }
  for (int i = 0; i < lanes; ++i) plane[first + i] = e[i];
}

template <class Alg>
__attribute__((flatten)) void RenderRow(const PatternState& s, LaneScratch& x, const PlaneView& planes,
               const typename Alg::ColumnTerms* columns, int32_t groups, int32_t lastColumn, int32_t r) {
  typename Alg::RowTerms row;
  Alg::ForRow(row, x, Real(r));
  const size_t base = size_t(r - planes.firstRow) * size_t(planes.stride);
  for (int32_t g = 0; g < groups; ++g) {
    Real R, G, B;
    Alg::AtPoint(x, columns[g], row, R, G, B);
    I unsure{};
    const I qr = Quantised(Alg::Wallpaper(R), unsure);
    const I qg = Quantised(Alg::Wallpaper(G), unsure);
    const I qb = Quantised(Alg::Wallpaper(B), unsure);
    const int32_t first = g * N, lanes = LanesIn(first, lastColumn);
    StoreElements(planes.R + base, first, lanes, qr);
    StoreElements(planes.G + base, first, lanes, qg);
    StoreElements(planes.B + base, first, lanes, qb);
    if (!Any(unsure)) continue;
    for (int i = 0; i < lanes; ++i) {
      if (!unsure[i]) continue;
      uint16_t element[3];
      detail::WallpaperPixelOnX87(s, first + i, r, element);
      planes.R[base + first + i] = element[0];
      planes.G[base + first + i] = element[1];
      planes.B[base + first + i] = element[2];
    }
  }
}

template <int A>
void RenderRowsWith(const PatternState& s, int32_t lastColumn, detail::RowTasks& tasks) {
  using Alg = detail::Algorithm<A, LaneMath>;
  LaneScratch x(s);
  const int32_t groups = lastColumn / N + 1;
  std::unique_ptr<typename Alg::ColumnTerms[]> columns(new typename Alg::ColumnTerms[size_t(groups)]);
  ColumnTermsOf<Alg>(columns.get(), x, groups);
  detail::RowTask task;
  while (tasks.Next(task)) {
    for (int32_t r = task.first; r <= task.last; ++r)
      RenderRow<Alg>(s, x, task.planes, columns.get(), groups, lastColumn, r);
  }
}

void RenderRows(const PatternState& s, int32_t lastColumn, detail::RowTasks& tasks) {
  detail::WithAlgorithm(s.Algorithm, [&](auto n) { RenderRowsWith<decltype(n)::value>(s, lastColumn, tasks); });
}

void Kernels(const detail::KernelValues& k) {
  for (int first = 0; first < k.count; first += N) {
    D x{};
    const int lanes = k.count - first < N ? k.count - first : N;
    for (int i = 0; i < lanes; ++i) x[i] = k.x[first + i];
    Real s, c;
    SinCos(Real(x, D{}), s, c);
    const Real ln = Ln(Real(x, D{})), log2 = Log2(Real(x, D{})), log10 = Log10(Real(x, D{}));
    for (int i = 0; i < lanes; ++i) {
      k.sin[first + i] = s.v[i];
      k.cos[first + i] = c.v[i];
      k.ln[first + i] = ln.v[i];
      k.log2[first + i] = log2.v[i];
      k.log10[first + i] = log10.v[i];
    }
  }
}

}  // namespace
}  // namespace Gradient::PRISMORA_LANE_NAMESPACE

namespace Gradient::detail {
extern const LaneEngine PRISMORA_LANE_ENGINE;
const LaneEngine PRISMORA_LANE_ENGINE = {PRISMORA_LANE_ENUM, PRISMORA_LANE_WIDTH,
                                         &PRISMORA_LANE_NAMESPACE::SweepLive,
                                         &PRISMORA_LANE_NAMESPACE::RenderRows,
                                         &PRISMORA_LANE_NAMESPACE::Kernels};
}  // namespace Gradient::detail
