// The twelve pattern algorithms and their fold ladders, each written once.
// Every formula is a template over the context that holds the per-point
// fields (PatternState itself, or a thread's own PointScratch) and over the
// type of the three channels: float& into ColourGrid for the live form
// (every store rounds to single, every later read sees the rounded value) or
// long double& into PixelR/G/B for the wallpaper form (never rounded).
//
// Each algorithm is split by what a term depends on: ForColumn computes the
// terms that depend only on the column, ForRow those that depend only on the
// row, AtPoint the rest. A sweep computes the column terms once and the row
// terms once per row; a single evaluation runs all three for one point. Both
// perform the very same operations on the very same values, so the results
// are bit-identical; the split only avoids repeating them.
#pragma once

#include <cstdint>

#include "engine/x87.h"

namespace Gradient::detail {

using L = long double;

// The extended-precision values nearest to pi and 2 pi.
constexpr L kPi = 3.1415926535897932385L;
constexpr L kTwoPi = 6.283185307179586477L;

inline L Sq(L v) { return v * v; }

// ---- Fold ladder ----
// For t = top, top-1, ..., 1 and within each t for red, green, blue: a value
// strictly greater than t becomes 2t - value. Comparisons with NaN are false,
// so NaN passes unchanged. top 0 means no ladder.
template <class T>
inline void FoldStep(T& v, L t) {
  if (v > t) v = 2 * t - v;
}

template <class T>
inline void FoldLadder(T& r, T& g, T& b, int top) {
  for (int t = top; t >= 1; --t) {
    FoldStep(r, t);
    FoldStep(g, t);
    FoldStep(b, t);
  }
}

// Quantisation factor of the wallpaper form shared by most algorithms.
inline L ScaleBy255(L v) { return v * 255; }

// Column/GridColumns and Row/GridRows, in extended precision.
template <class Ctx>
inline L ColumnFraction(const Ctx& x, int32_t c) { return L(c) / x.GridColumns; }
template <class Ctx>
inline L RowFraction(const Ctx& x, int32_t r) { return L(r) / x.GridRows; }

// ---- Algorithms 1 and 4: iterated maps over SeqX, SeqY, SeqZ ----
// Kind 1: x' = (sin x / 2 + cos y)^2 + BiasX, y' = (cos x / 2 - sin y)^2 + BiasY,
//         tone |sin z| + |sin z|^2 / 2.
// Kind 4: x' = (sin x * cos y)^2 + BiasX,     y' = (cos x - sin y)^2 + BiasY,
//         tone |sin z| + sqrt(|sin z|) / 2.
template <int Kind>
struct IteratedMap {
  static constexpr int kLadder = 3;
  struct ColumnTerms {
    float X1, BiasX;
    L sinX1, cosX1;
  };
  struct RowTerms {
    float Y1, BiasY;
    L sinY1, cosY1;
  };

  template <class Ctx>
  static void ForColumn(ColumnTerms& k, const Ctx& x, int32_t c) {
    k.X1 = (ColumnFraction(x, c) - 0.5L) * 4 + L(x.OffsetX) / 2;
    k.BiasX = x87::Sin(L(x.OffsetX) - L(k.X1));
    x87::SinCos(k.X1, k.sinX1, k.cosX1);
  }
  template <class Ctx>
  static void ForRow(RowTerms& k, const Ctx& x, int32_t r) {
    k.Y1 = (RowFraction(x, r) - 0.5L) * 4 + L(x.OffsetY) / 2;
    // Both bias terms use OffsetX; OffsetY enters only through Y1.
    k.BiasY = x87::Sin(L(x.OffsetX) - L(k.Y1));
    x87::SinCos(k.Y1, k.sinY1, k.cosY1);
  }

  // One step k -> k+1 from the sines and cosines of SeqX[k] and SeqY[k].
  template <class Ctx>
  static void Iterate(Ctx& x, int k, L sx, L cx, L sy, L cy) {
    if constexpr (Kind == 1) {
      x.SeqX[k + 1] = Sq(sx / 2 + cy) + L(x.BiasX);
      x.SeqY[k + 1] = Sq(cx / 2 - sy) + L(x.BiasY);
    } else {
      x.SeqX[k + 1] = Sq(sx * cy) + L(x.BiasX);
      x.SeqY[k + 1] = Sq(cx - sy) + L(x.BiasY);
    }
    x.SeqZ[k + 1] = x87::Log10((Sq(x.SeqX[k + 1]) + Sq(x.SeqY[k + 1])) + 0.01L);
  }

  static L Tone(L z) {
    const L s = std::fabs(x87::Sin(z));
    if constexpr (Kind == 1) return s + Sq(s) / 2;
    return s + x87::Sqrt(s) / 2;
  }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.SeqX[1] = kc.X1;
    x.SeqY[1] = kr.Y1;
    x.BiasX = kc.BiasX;
    x.BiasY = kr.BiasY;
    x.Step = 1;
    Iterate(x, 1, kc.sinX1, kc.cosX1, kr.sinY1, kr.cosY1);
    for (x.Step = 2; x.Step <= 3; ++x.Step) {
      L sx, cx, sy, cy;
      x87::SinCos(x.SeqX[x.Step], sx, cx);
      x87::SinCos(x.SeqY[x.Step], sy, cy);
      Iterate(x, x.Step, sx, cx, sy, cy);
    }
    R = Tone(x.SeqZ[4]);
    G = Tone(x.SeqZ[3]);
    B = Tone(x.SeqZ[2]);
    FoldLadder(R, G, B, kLadder);
  }

  template <class T>
  static void FinishLive(T&, T&, T&) {}
  static L Wallpaper(L v) { return ScaleBy255(v); }
};

using Algorithm1 = IteratedMap<1>;
using Algorithm4 = IteratedMap<4>;

// ---- Algorithms 2 and 3: chained sums of sines ----
// Scale pi with the ladder 3, 2, 1 and a square afterwards (2); scale 2 pi,
// no ladder and sin^2 afterwards (3).
template <int Kind>
struct SineSums {
  static constexpr int kLadder = Kind == 2 ? 3 : 0;
  static constexpr L kScale = Kind == 2 ? kPi : kTwoPi;
  struct ColumnTerms {
    float U;
    L sinUOx;
  };
  struct RowTerms {
    float V;
    L sinVB, sinVOy, sinA;
  };

  template <class Ctx>
  static void ForColumn(ColumnTerms& k, const Ctx& x, int32_t c) {
    k.U = ColumnFraction(x, c) * kScale;
    k.sinUOx = x87::Sin(L(k.U) + L(x.OffsetX));
  }
  template <class Ctx>
  static void ForRow(RowTerms& k, const Ctx& x, int32_t r) {
    k.V = RowFraction(x, r) * kScale;
    k.sinVB = x87::Sin(L(k.V) + L(x.PhaseB));
    k.sinVOy = x87::Sin(L(k.V) - L(x.OffsetY));
    k.sinA = x87::Sin(L(x.PhaseA));
  }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const L U = x.CellU, V = x.CellV;
    const L A = x.PhaseA, Bp = x.PhaseB, C = x.PhaseC, Oy = x.OffsetY;
    R = std::fabs((x87::Sin((U + V) + A) + kr.sinVB) + kc.sinUOx);
    G = std::fabs((x87::Sin((U - Bp) + L(R)) + x87::Sin((V + C) - L(R))) - kr.sinVOy);
    B = std::fabs(((x87::Sin((U + C) + L(G)) + x87::Sin(V + L(G))) + kr.sinA) +
                  x87::Sin((U + V) + Oy));
    FoldLadder(R, G, B, kLadder);
  }

  static L Finish(L v) {
    if constexpr (Kind == 2) return v * v;
    return Sq(x87::Sin(v));
  }
  template <class T>
  static void FinishLive(T& R, T& G, T& B) {
    R = Finish(R);
    G = Finish(G);
    B = Finish(B);
  }
  // The square or sin^2 merged into the scaling by 255.
  static L Wallpaper(L v) {
    if constexpr (Kind == 2) return (v * 255) * v;
    return Sq(x87::Sin(v)) * 255;
  }
};

using Algorithm2 = SineSums<2>;
using Algorithm3 = SineSums<3>;

// Finishing common to algorithms 4 to 12: nothing after the ladder, value*255.
struct PlainFinish {
  template <class T>
  static void FinishLive(T&, T&, T&) {}
  static L Wallpaper(L v) { return ScaleBy255(v); }
};

// ---- Algorithm 5: chained cosines ----
struct Algorithm5 : PlainFinish {
  static constexpr int kLadder = 3;
  struct ColumnTerms {
    float U;
    L sinU, cosU;
  };
  struct RowTerms {
    float V;
    L sinV, cosV;
  };

  template <class Ctx>
  static void ForColumn(ColumnTerms& k, const Ctx& x, int32_t c) {
    k.U = ColumnFraction(x, c) * kTwoPi;
    x87::SinCos(k.U, k.sinU, k.cosU);
  }
  template <class Ctx>
  static void ForRow(RowTerms& k, const Ctx& x, int32_t r) {
    k.V = RowFraction(x, r) * kTwoPi;
    x87::SinCos(k.V, k.sinV, k.cosV);
  }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    // Green and blue read red and green as stored, before any folding.
    R = std::fabs((kc.sinU + kr.cosV) + L(x.PhaseA));
    G = std::fabs(x87::Cos(L(R)) + ((kr.sinV + kc.cosU) + L(x.PhaseB)));
    B = std::fabs(x87::Cos(L(G)) + ((kc.sinU + kr.sinV) + L(x.PhaseC)));
    FoldLadder(R, G, B, kLadder);
  }
};

// ---- Algorithms 6 and 7: phase-shifted squared sines with the position
// factor P = (sin U + sin V)^2, multiplied (6) or added (7) ----
template <int Kind>
struct PositionFactor : PlainFinish {
  static constexpr int kLadder = 4;
  struct ColumnTerms {
    float U;
    L sinU, sinUAB;
  };
  struct RowTerms {
    float V;
    L sinV, sinVCA;
  };

  template <class Ctx>
  static void ForColumn(ColumnTerms& k, const Ctx& x, int32_t c) {
    k.U = ColumnFraction(x, c) * kPi;
    k.sinU = x87::Sin(k.U);
    k.sinUAB = x87::Sin((L(k.U) + L(x.PhaseA)) + L(x.PhaseB));
  }
  template <class Ctx>
  static void ForRow(RowTerms& k, const Ctx& x, int32_t r) {
    k.V = RowFraction(x, r) * kPi;
    k.sinV = x87::Sin(k.V);
    k.sinVCA = x87::Sin((L(k.V) + L(x.PhaseC)) + L(x.PhaseA));
  }

  static L Combine(L term, L P) {
    if constexpr (Kind == 6) return term * P;
    return term + P;
  }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const L U = x.CellU, V = x.CellV;
    const L P = Sq(kc.sinU + kr.sinV);
    R = Combine(Sq(kc.sinUAB), P);
    G = Combine(Sq(kr.sinVCA), P);
    B = Combine(Sq(x87::Sin((U + V) - L(x.PhaseB))), P);
    FoldLadder(R, G, B, kLadder);
  }
};

using Algorithm6 = PositionFactor<6>;
using Algorithm7 = PositionFactor<7>;

// Coordinates shifted by the phases: U = c/W*pi + A/5, V = r/H*pi + B/5
// (algorithms 8 to 11).
template <class Ctx>
inline float ShiftedU(const Ctx& x, int32_t c) {
  return ColumnFraction(x, c) * kPi + L(x.PhaseA) / 5;
}
template <class Ctx>
inline float ShiftedV(const Ctx& x, int32_t r) {
  return RowFraction(x, r) * kPi + L(x.PhaseB) / 5;
}

// ---- Algorithm 8: shifted coordinates, mixed sines and cosines ----
struct Algorithm8 : PlainFinish {
  static constexpr int kLadder = 4;
  struct ColumnTerms {
    float U;
    L sinUAB, sinU, cosU;
  };
  struct RowTerms {
    float V;
    L sinVCA, sinV, cosV;
  };

  template <class Ctx>
  static void ForColumn(ColumnTerms& k, const Ctx& x, int32_t c) {
    k.U = ShiftedU(x, c);
    k.sinUAB = x87::Sin((L(k.U) + L(x.PhaseA)) + L(x.PhaseB));
    x87::SinCos(k.U, k.sinU, k.cosU);
  }
  template <class Ctx>
  static void ForRow(RowTerms& k, const Ctx& x, int32_t r) {
    k.V = ShiftedV(x, r);
    k.sinVCA = x87::Sin((L(k.V) + L(x.PhaseC)) + L(x.PhaseA));
    x87::SinCos(k.V, k.sinV, k.cosV);
  }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const L U = x.CellU, V = x.CellV;
    R = Sq(kc.sinUAB) + Sq(kc.sinU + kr.cosV);
    G = Sq(kr.sinVCA) + Sq(kc.cosU + kr.sinV);
    B = Sq(x87::Sin((U + V) + L(x.PhaseB))) + Sq(kc.cosU + kr.cosV);
    FoldLadder(R, G, B, kLadder);
  }
};

// The shifted coordinates of algorithms 9 and 10 with the sine of each plus
// its phase and the cosine of each, computed once per column and per row.
struct ShiftedSinCosTerms {
  struct ColumnTerms {
    float U;
    L sinUA, cosU;
  };
  struct RowTerms {
    float V;
    L sinVB, cosV;
  };

  template <class Ctx>
  static void ForColumn(ColumnTerms& k, const Ctx& x, int32_t c) {
    k.U = ShiftedU(x, c);
    k.sinUA = x87::Sin(L(k.U) + L(x.PhaseA));
    k.cosU = x87::Cos(k.U);
  }
  template <class Ctx>
  static void ForRow(RowTerms& k, const Ctx& x, int32_t r) {
    k.V = ShiftedV(x, r);
    k.sinVB = x87::Sin(L(k.V) + L(x.PhaseB));
    k.cosV = x87::Cos(k.V);
  }
};

// ---- Algorithm 9: shifted coordinates, sine and cosine pairs ----
struct Algorithm9 : PlainFinish, ShiftedSinCosTerms {
  static constexpr int kLadder = 4;

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const L U = x.CellU, V = x.CellV, C = x.PhaseC;
    L sinUV, cosUV;
    x87::SinCos(U + V, sinUV, cosUV);
    R = Sq(kc.sinUA + kc.cosU) + Sq(sinUV);
    G = Sq(kr.sinVB + kr.cosV) + Sq(cosUV);
    B = Sq(x87::Sin((U + V) + C)) + Sq(x87::Cos((U + V) - C));
    FoldLadder(R, G, B, kLadder);
  }
};

// ---- Algorithm 10: logarithms of a sine plus twice a cosine ----
struct Algorithm10 : PlainFinish, ShiftedSinCosTerms {
  static constexpr int kLadder = 4;

  static L Channel(L s, L c) { return std::fabs(x87::Ln(std::fabs(s + 2 * c) + 0.4L)); }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const L U = x.CellU, V = x.CellV;
    R = Channel(kc.sinUA, kr.cosV);
    G = Channel(kr.sinVB, kc.cosU);
    B = Channel(x87::Sin((U + V) + L(x.PhaseC)), x87::Cos(U + V));
    FoldLadder(R, G, B, kLadder);
  }
};

// ---- Algorithm 11: chained base-2 logarithms ----
struct Algorithm11 : PlainFinish {
  static constexpr int kLadder = 4;
  struct ColumnTerms {
    float U;
    L sinUA, sinUC;
  };
  struct RowTerms {
    float V;
    L cosVC, sinVB;
  };

  template <class Ctx>
  static void ForColumn(ColumnTerms& k, const Ctx& x, int32_t c) {
    k.U = ShiftedU(x, c);
    k.sinUA = x87::Sin(L(k.U) + L(x.PhaseA));
    k.sinUC = x87::Sin(L(k.U) + L(x.PhaseC));
  }
  template <class Ctx>
  static void ForRow(RowTerms& k, const Ctx& x, int32_t r) {
    k.V = ShiftedV(x, r);
    k.cosVC = x87::Cos(L(k.V) + L(x.PhaseC));
    k.sinVB = x87::Sin(L(k.V) + L(x.PhaseB));
  }

  static L Channel(L a, L b) { return std::fabs(x87::Log2(std::fabs(a * b) + 0.4L)); }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const L U = x.CellU, V = x.CellV, A = x.PhaseA, C = x.PhaseC;
    // Each step reads the channel just stored; the last replaces red.
    R = Channel(kc.sinUA, kr.cosVC);
    G = Channel(kr.sinVB, x87::Cos((U + A) + L(R)));
    B = Channel(kc.sinUC, x87::Sin((V + C) + L(G)));
    R = Channel(kc.sinUA, x87::Cos((V + C) + L(B)));
    FoldLadder(R, G, B, kLadder);
  }
};

// ---- Algorithm 12: logarithm of twice a sine plus three times a
// cosine-sine product, over a full turn, floored at 0 ----
struct Algorithm12 : PlainFinish {
  static constexpr int kLadder = 4;
  struct ColumnTerms {
    float U;
    L t1R, t2R, sinUB, sinUC;
  };
  struct RowTerms {
    float V;
    L sinVA, t1G, t2G;
  };

  template <class Ctx>
  static void ForColumn(ColumnTerms& k, const Ctx& x, int32_t c) {
    k.U = ColumnFraction(x, c) * kTwoPi;
    const L U = k.U;
    k.t1R = 2 * x87::Sin(U + L(x.PhaseA));
    k.t2R = 3 * x87::Cos(U);
    k.sinUB = x87::Sin(U + L(x.PhaseB));
    k.sinUC = x87::Sin(U + L(x.PhaseC));
  }
  template <class Ctx>
  static void ForRow(RowTerms& k, const Ctx& x, int32_t r) {
    k.V = RowFraction(x, r) * kTwoPi;
    const L V = k.V;
    k.sinVA = x87::Sin(V + L(x.PhaseA));
    k.t1G = 2 * x87::Sin(V + L(x.PhaseB));
    k.t2G = 3 * x87::Cos(V);
  }

  // ln |t2 * s + t1|; the logarithm itself is not made absolute.
  static L Channel(L t1, L t2, L s) { return x87::Ln(std::fabs(t2 * s + t1)); }

  template <class T>
  static void Floor(T& v) {
    if (!(v >= 0)) v = 0;  // negative, -infinity and NaN become +0
  }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const L U = x.CellU, V = x.CellV;
    R = Channel(kc.t1R, kc.t2R, kr.sinVA);
    G = Channel(kr.t1G, kr.t2G, kc.sinUB);
    const L t1 = 2 * x87::Sin((U + V) + L(x.PhaseC));
    const L t2 = 3 * x87::Cos(U + V);
    B = Channel(t1, t2, kc.sinUC);
    Floor(R);
    Floor(G);
    Floor(B);
    FoldLadder(R, G, B, kLadder);
  }
};

// Calls f(AlgorithmN{}) for n in 1..12 and returns true; false otherwise.
template <class F>
inline bool WithAlgorithm(int32_t n, F&& f) {
  switch (n) {
    case 1: f(Algorithm1{}); return true;
    case 2: f(Algorithm2{}); return true;
    case 3: f(Algorithm3{}); return true;
    case 4: f(Algorithm4{}); return true;
    case 5: f(Algorithm5{}); return true;
    case 6: f(Algorithm6{}); return true;
    case 7: f(Algorithm7{}); return true;
    case 8: f(Algorithm8{}); return true;
    case 9: f(Algorithm9{}); return true;
    case 10: f(Algorithm10{}); return true;
    case 11: f(Algorithm11{}); return true;
    case 12: f(Algorithm12{}); return true;
    default: return false;
  }
}

// One complete evaluation of the current point (x.Column, x.Row).
template <class Alg, class Ctx, class T>
inline void EvaluatePoint(Ctx& x, T& R, T& G, T& B) {
  typename Alg::ColumnTerms kc;
  typename Alg::RowTerms kr;
  Alg::ForColumn(kc, x, x.Column);
  Alg::ForRow(kr, x, x.Row);
  Alg::AtPoint(x, kc, kr, R, G, B);
}

}  // namespace Gradient::detail
