// The twelve pattern algorithms and their fold ladders, each written once.
// Every formula is a template over a math policy P, which names the two
// number types a formula works with: P::Real, the type in which expressions
// are evaluated, and P::Single, a value as stored in a single-precision field.
// The x87 policy (X87Math below: long double and float, the processor's own
// sine, cosine and logarithm instructions) is the reference; the lane
// policies (engine/lane_math.h) evaluate several points at once in double
// precision and must give the very same results. The functions a formula
// calls (Sin, Cos, SinCos, Log10, Ln, Log2, Sqrt, Abs, Sq, Select) are found
// by overloading on the policy's types, and every comparison goes through
// Select, never through a branch, so that a policy can evaluate lanes.
//
// Each formula is also a template over the context that holds the per-point
// fields (PatternState itself, a thread's own PointScratch, or a lane
// policy's scratch) and over the type of the three channels: the policy's
// Single for the live form (every store rounds to single, every later read
// sees the rounded value) or its Real for the wallpaper form (never rounded).
//
// Each algorithm is split by what a term depends on: ForColumn computes the
// terms that depend only on the column, ForRow those that depend only on the
// row, AtPoint the rest. A sweep computes the column terms once and the row
// terms once per row; a single evaluation runs all three for one point. Both
// perform the very same operations on the very same values, so the results
// are bit-identical; the split only avoids repeating them.
#pragma once

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "engine/aligned_new.h"
#include "engine/x87.h"

namespace Gradient::detail {

using L = long double;

// The extended-precision values nearest to pi and 2 pi.
constexpr L kPi = 3.1415926535897932385L;
constexpr L kTwoPi = 6.283185307179586477L;

// ---- The x87 policy: the reference arithmetic ----
struct X87Math {
  using Real = long double;
  using Single = float;
};

inline L Sin(L x) { return x87::Sin(x); }
inline L Cos(L x) { return x87::Cos(x); }
inline void SinCos(L x, L& s, L& c) { x87::SinCos(x, s, c); }
inline L Log10(L x) { return x87::Log10(x); }
inline L Ln(L x) { return x87::Ln(x); }
inline L Log2(L x) { return x87::Log2(x); }
inline L Sqrt(L x) { return x87::Sqrt(x); }
inline L Abs(L x) { return std::fabs(x); }
inline L Sq(L v) { return v * v; }
inline L Select(bool condition, L ifTrue, L ifFalse) { return condition ? ifTrue : ifFalse; }

// ---- Fold ladder ----
// For t = top, top-1, ..., 1 and within each t for red, green, blue: a value
// strictly greater than t becomes 2t - value. Comparisons with NaN are false,
// so NaN passes unchanged. top 0 means no ladder.
template <class P, class T>
inline void FoldStep(T& v, int t) {
  using Real = typename P::Real;
  v = Select(v > t, Real(2 * t) - Real(v), Real(v));
}

template <class P, class T>
inline void FoldLadder(T& r, T& g, T& b, int top) {
  for (int t = top; t >= 1; --t) {
    FoldStep<P>(r, t);
    FoldStep<P>(g, t);
    FoldStep<P>(b, t);
  }
}

// Column/GridColumns and Row/GridRows, in the policy's precision. The index
// is an int32_t for the x87 policy and a lane of indices for a lane policy.
template <class P, class Ctx, class Index>
inline typename P::Real ColumnFraction(const Ctx& x, const Index& c) {
  return typename P::Real(c) / x.GridColumns;
}
template <class P, class Ctx, class Index>
inline typename P::Real RowFraction(const Ctx& x, const Index& r) {
  return typename P::Real(r) / x.GridRows;
}

// Finishing common to algorithms 1 and 4 to 12: nothing after the ladder,
// value * 255 on the way to the wallpaper's integer.
template <class P>
struct PlainFinish {
  using Real = typename P::Real;
  template <class T>
  static void FinishLive(T&, T&, T&) {}
  static Real Wallpaper(const Real& v) { return v * 255; }
};

// ---- Algorithms 1 and 4: iterated maps over SeqX, SeqY, SeqZ ----
// Kind 1: x' = (sin x / 2 + cos y)^2 + BiasX, y' = (cos x / 2 - sin y)^2 + BiasY,
//         tone |sin z| + |sin z|^2 / 2.
// Kind 4: x' = (sin x * cos y)^2 + BiasX,     y' = (cos x - sin y)^2 + BiasY,
//         tone |sin z| + sqrt(|sin z|) / 2.
template <class P, int Kind>
struct IteratedMap : PlainFinish<P> {
  using Real = typename P::Real;
  using Single = typename P::Single;
  static constexpr int kLadder = 3;
  struct ColumnTerms {
    Single X1, BiasX;
    Real sinX1, cosX1;
  };
  struct RowTerms {
    Single Y1, BiasY;
    Real sinY1, cosY1;
  };

  template <class Ctx, class Index>
  static void ForColumn(ColumnTerms& k, const Ctx& x, const Index& c) {
    k.X1 = (ColumnFraction<P>(x, c) - 0.5L) * 4 + Real(x.OffsetX) / 2;
    k.BiasX = Sin(Real(x.OffsetX) - Real(k.X1));
    SinCos(Real(k.X1), k.sinX1, k.cosX1);
  }
  template <class Ctx, class Index>
  static void ForRow(RowTerms& k, const Ctx& x, const Index& r) {
    k.Y1 = (RowFraction<P>(x, r) - 0.5L) * 4 + Real(x.OffsetY) / 2;
    // Both bias terms use OffsetX; OffsetY enters only through Y1.
    k.BiasY = Sin(Real(x.OffsetX) - Real(k.Y1));
    SinCos(Real(k.Y1), k.sinY1, k.cosY1);
  }

  // One step k -> k+1 from the sines and cosines of SeqX[k] and SeqY[k].
  template <class Ctx>
  static void Iterate(Ctx& x, int k, const Real& sx, const Real& cx, const Real& sy,
                      const Real& cy) {
    if constexpr (Kind == 1) {
      x.SeqX[k + 1] = Sq(sx / 2 + cy) + Real(x.BiasX);
      x.SeqY[k + 1] = Sq(cx / 2 - sy) + Real(x.BiasY);
    } else {
      x.SeqX[k + 1] = Sq(sx * cy) + Real(x.BiasX);
      x.SeqY[k + 1] = Sq(cx - sy) + Real(x.BiasY);
    }
    x.SeqZ[k + 1] = Log10((Sq(Real(x.SeqX[k + 1])) + Sq(Real(x.SeqY[k + 1]))) + 0.01L);
  }

  static Real Tone(const Real& z) {
    const Real s = Abs(Sin(z));
    if constexpr (Kind == 1) return s + Sq(s) / 2;
    return s + Sqrt(s) / 2;
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
      Real sx, cx, sy, cy;
      SinCos(Real(x.SeqX[x.Step]), sx, cx);
      SinCos(Real(x.SeqY[x.Step]), sy, cy);
      Iterate(x, x.Step, sx, cx, sy, cy);
    }
    R = Tone(Real(x.SeqZ[4]));
    G = Tone(Real(x.SeqZ[3]));
    B = Tone(Real(x.SeqZ[2]));
    FoldLadder<P>(R, G, B, kLadder);
  }
};

// ---- Algorithms 2 and 3: chained sums of sines ----
// Scale pi with the ladder 3, 2, 1 and a square afterwards (2); scale 2 pi,
// no ladder and sin^2 afterwards (3).
template <class P, int Kind>
struct SineSums {
  using Real = typename P::Real;
  using Single = typename P::Single;
  static constexpr int kLadder = Kind == 2 ? 3 : 0;
  static constexpr L kScale = Kind == 2 ? kPi : kTwoPi;
  struct ColumnTerms {
    Single U;
    Real sinUOx;
  };
  struct RowTerms {
    Single V;
    Real sinVB, sinVOy, sinA;
  };

  template <class Ctx, class Index>
  static void ForColumn(ColumnTerms& k, const Ctx& x, const Index& c) {
    k.U = ColumnFraction<P>(x, c) * kScale;
    k.sinUOx = Sin(Real(k.U) + Real(x.OffsetX));
  }
  template <class Ctx, class Index>
  static void ForRow(RowTerms& k, const Ctx& x, const Index& r) {
    k.V = RowFraction<P>(x, r) * kScale;
    k.sinVB = Sin(Real(k.V) + Real(x.PhaseB));
    k.sinVOy = Sin(Real(k.V) - Real(x.OffsetY));
    k.sinA = Sin(Real(x.PhaseA));
  }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const Real U(x.CellU), V(x.CellV);
    const Real A(x.PhaseA), Bp(x.PhaseB), C(x.PhaseC), Oy(x.OffsetY);
    R = Abs((Sin((U + V) + A) + kr.sinVB) + kc.sinUOx);
    G = Abs((Sin((U - Bp) + Real(R)) + Sin((V + C) - Real(R))) - kr.sinVOy);
    B = Abs(((Sin((U + C) + Real(G)) + Sin(V + Real(G))) + kr.sinA) + Sin((U + V) + Oy));
    FoldLadder<P>(R, G, B, kLadder);
  }

  static Real Finish(const Real& v) {
    if constexpr (Kind == 2) return v * v;
    return Sq(Sin(v));
  }
  template <class T>
  static void FinishLive(T& R, T& G, T& B) {
    R = Finish(Real(R));
    G = Finish(Real(G));
    B = Finish(Real(B));
  }
  // The square or sin^2 merged into the scaling by 255.
  static Real Wallpaper(const Real& v) {
    if constexpr (Kind == 2) return (v * 255) * v;
    return Sq(Sin(v)) * 255;
  }
};

// ---- Algorithm 5: chained cosines ----
template <class P>
struct Algorithm5 : PlainFinish<P> {
  using Real = typename P::Real;
  using Single = typename P::Single;
  static constexpr int kLadder = 3;
  struct ColumnTerms {
    Single U;
    Real sinU, cosU;
  };
  struct RowTerms {
    Single V;
    Real sinV, cosV;
  };

  template <class Ctx, class Index>
  static void ForColumn(ColumnTerms& k, const Ctx& x, const Index& c) {
    k.U = ColumnFraction<P>(x, c) * kTwoPi;
    SinCos(Real(k.U), k.sinU, k.cosU);
  }
  template <class Ctx, class Index>
  static void ForRow(RowTerms& k, const Ctx& x, const Index& r) {
    k.V = RowFraction<P>(x, r) * kTwoPi;
    SinCos(Real(k.V), k.sinV, k.cosV);
  }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    // Green and blue read red and green as stored, before any folding.
    R = Abs((kc.sinU + kr.cosV) + Real(x.PhaseA));
    G = Abs(Cos(Real(R)) + ((kr.sinV + kc.cosU) + Real(x.PhaseB)));
    B = Abs(Cos(Real(G)) + ((kc.sinU + kr.sinV) + Real(x.PhaseC)));
    FoldLadder<P>(R, G, B, kLadder);
  }
};

// ---- Algorithms 6 and 7: phase-shifted squared sines with the position
// factor P = (sin U + sin V)^2, multiplied (6) or added (7) ----
template <class P, int Kind>
struct PositionFactor : PlainFinish<P> {
  using Real = typename P::Real;
  using Single = typename P::Single;
  static constexpr int kLadder = 4;
  struct ColumnTerms {
    Single U;
    Real sinU, sinUAB;
  };
  struct RowTerms {
    Single V;
    Real sinV, sinVCA;
  };

  template <class Ctx, class Index>
  static void ForColumn(ColumnTerms& k, const Ctx& x, const Index& c) {
    k.U = ColumnFraction<P>(x, c) * kPi;
    k.sinU = Sin(Real(k.U));
    k.sinUAB = Sin((Real(k.U) + Real(x.PhaseA)) + Real(x.PhaseB));
  }
  template <class Ctx, class Index>
  static void ForRow(RowTerms& k, const Ctx& x, const Index& r) {
    k.V = RowFraction<P>(x, r) * kPi;
    k.sinV = Sin(Real(k.V));
    k.sinVCA = Sin((Real(k.V) + Real(x.PhaseC)) + Real(x.PhaseA));
  }

  static Real Combine(const Real& term, const Real& factor) {
    if constexpr (Kind == 6) return term * factor;
    return term + factor;
  }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const Real U(x.CellU), V(x.CellV);
    const Real factor = Sq(kc.sinU + kr.sinV);
    R = Combine(Sq(kc.sinUAB), factor);
    G = Combine(Sq(kr.sinVCA), factor);
    B = Combine(Sq(Sin((U + V) - Real(x.PhaseB))), factor);
    FoldLadder<P>(R, G, B, kLadder);
  }
};

// Coordinates shifted by the phases: U = c/W*pi + A/5, V = r/H*pi + B/5
// (algorithms 8 to 11).
template <class P, class Ctx, class Index>
inline typename P::Single ShiftedU(const Ctx& x, const Index& c) {
  return ColumnFraction<P>(x, c) * kPi + typename P::Real(x.PhaseA) / 5;
}
template <class P, class Ctx, class Index>
inline typename P::Single ShiftedV(const Ctx& x, const Index& r) {
  return RowFraction<P>(x, r) * kPi + typename P::Real(x.PhaseB) / 5;
}

// ---- Algorithm 8: shifted coordinates, mixed sines and cosines ----
template <class P>
struct Algorithm8 : PlainFinish<P> {
  using Real = typename P::Real;
  using Single = typename P::Single;
  static constexpr int kLadder = 4;
  struct ColumnTerms {
    Single U;
    Real sinUAB, sinU, cosU;
  };
  struct RowTerms {
    Single V;
    Real sinVCA, sinV, cosV;
  };

  template <class Ctx, class Index>
  static void ForColumn(ColumnTerms& k, const Ctx& x, const Index& c) {
    k.U = ShiftedU<P>(x, c);
    k.sinUAB = Sin((Real(k.U) + Real(x.PhaseA)) + Real(x.PhaseB));
    SinCos(Real(k.U), k.sinU, k.cosU);
  }
  template <class Ctx, class Index>
  static void ForRow(RowTerms& k, const Ctx& x, const Index& r) {
    k.V = ShiftedV<P>(x, r);
    k.sinVCA = Sin((Real(k.V) + Real(x.PhaseC)) + Real(x.PhaseA));
    SinCos(Real(k.V), k.sinV, k.cosV);
  }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const Real U(x.CellU), V(x.CellV);
    R = Sq(kc.sinUAB) + Sq(kc.sinU + kr.cosV);
    G = Sq(kr.sinVCA) + Sq(kc.cosU + kr.sinV);
    B = Sq(Sin((U + V) + Real(x.PhaseB))) + Sq(kc.cosU + kr.cosV);
    FoldLadder<P>(R, G, B, kLadder);
  }
};

// The shifted coordinates of algorithms 9 and 10 with the sine of each plus
// its phase and the cosine of each, computed once per column and per row.
template <class P>
struct ShiftedSinCosTerms {
  using Real = typename P::Real;
  using Single = typename P::Single;
  struct ColumnTerms {
    Single U;
    Real sinUA, cosU;
  };
  struct RowTerms {
    Single V;
    Real sinVB, cosV;
  };

  template <class Ctx, class Index>
  static void ForColumn(ColumnTerms& k, const Ctx& x, const Index& c) {
    k.U = ShiftedU<P>(x, c);
    k.sinUA = Sin(Real(k.U) + Real(x.PhaseA));
    k.cosU = Cos(Real(k.U));
  }
  template <class Ctx, class Index>
  static void ForRow(RowTerms& k, const Ctx& x, const Index& r) {
    k.V = ShiftedV<P>(x, r);
    k.sinVB = Sin(Real(k.V) + Real(x.PhaseB));
    k.cosV = Cos(Real(k.V));
  }
};

// ---- Algorithm 9: shifted coordinates, sine and cosine pairs ----
template <class P>
struct Algorithm9 : PlainFinish<P>, ShiftedSinCosTerms<P> {
  using typename ShiftedSinCosTerms<P>::Real;
  using typename ShiftedSinCosTerms<P>::ColumnTerms;
  using typename ShiftedSinCosTerms<P>::RowTerms;
  static constexpr int kLadder = 4;

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const Real U(x.CellU), V(x.CellV), C(x.PhaseC);
    Real sinUV, cosUV;
    SinCos(U + V, sinUV, cosUV);
    R = Sq(kc.sinUA + kc.cosU) + Sq(sinUV);
    G = Sq(kr.sinVB + kr.cosV) + Sq(cosUV);
    B = Sq(Sin((U + V) + C)) + Sq(Cos((U + V) - C));
    FoldLadder<P>(R, G, B, kLadder);
  }
};

// ---- Algorithm 10: logarithms of a sine plus twice a cosine ----
template <class P>
struct Algorithm10 : PlainFinish<P>, ShiftedSinCosTerms<P> {
  using typename ShiftedSinCosTerms<P>::Real;
  using typename ShiftedSinCosTerms<P>::ColumnTerms;
  using typename ShiftedSinCosTerms<P>::RowTerms;
  static constexpr int kLadder = 4;

  static Real Channel(const Real& s, const Real& c) { return Abs(Ln(Abs(s + 2 * c) + 0.4L)); }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const Real U(x.CellU), V(x.CellV);
    R = Channel(kc.sinUA, kr.cosV);
    G = Channel(kr.sinVB, kc.cosU);
    B = Channel(Sin((U + V) + Real(x.PhaseC)), Cos(U + V));
    FoldLadder<P>(R, G, B, kLadder);
  }
};

// ---- Algorithm 11: chained base-2 logarithms ----
template <class P>
struct Algorithm11 : PlainFinish<P> {
  using Real = typename P::Real;
  using Single = typename P::Single;
  static constexpr int kLadder = 4;
  struct ColumnTerms {
    Single U;
    Real sinUA, sinUC;
  };
  struct RowTerms {
    Single V;
    Real cosVC, sinVB;
  };

  template <class Ctx, class Index>
  static void ForColumn(ColumnTerms& k, const Ctx& x, const Index& c) {
    k.U = ShiftedU<P>(x, c);
    k.sinUA = Sin(Real(k.U) + Real(x.PhaseA));
    k.sinUC = Sin(Real(k.U) + Real(x.PhaseC));
  }
  template <class Ctx, class Index>
  static void ForRow(RowTerms& k, const Ctx& x, const Index& r) {
    k.V = ShiftedV<P>(x, r);
    k.cosVC = Cos(Real(k.V) + Real(x.PhaseC));
    k.sinVB = Sin(Real(k.V) + Real(x.PhaseB));
  }

  static Real Channel(const Real& a, const Real& b) { return Abs(Log2(Abs(a * b) + 0.4L)); }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const Real U(x.CellU), V(x.CellV), A(x.PhaseA), C(x.PhaseC);
    // Each step reads the channel just stored; the last replaces red.
    R = Channel(kc.sinUA, kr.cosVC);
    G = Channel(kr.sinVB, Cos((U + A) + Real(R)));
    B = Channel(kc.sinUC, Sin((V + C) + Real(G)));
    R = Channel(kc.sinUA, Cos((V + C) + Real(B)));
    FoldLadder<P>(R, G, B, kLadder);
  }
};

// ---- Algorithm 12: logarithm of twice a sine plus three times a
// cosine-sine product, over a full turn, floored at 0 ----
template <class P>
struct Algorithm12 : PlainFinish<P> {
  using Real = typename P::Real;
  using Single = typename P::Single;
  static constexpr int kLadder = 4;
  struct ColumnTerms {
    Single U;
    Real t1R, t2R, sinUB, sinUC;
  };
  struct RowTerms {
    Single V;
    Real sinVA, t1G, t2G;
  };

  template <class Ctx, class Index>
  static void ForColumn(ColumnTerms& k, const Ctx& x, const Index& c) {
    k.U = ColumnFraction<P>(x, c) * kTwoPi;
    const Real U(k.U);
    k.t1R = 2 * Sin(U + Real(x.PhaseA));
    k.t2R = 3 * Cos(U);
    k.sinUB = Sin(U + Real(x.PhaseB));
    k.sinUC = Sin(U + Real(x.PhaseC));
  }
  template <class Ctx, class Index>
  static void ForRow(RowTerms& k, const Ctx& x, const Index& r) {
    k.V = RowFraction<P>(x, r) * kTwoPi;
    const Real V(k.V);
    k.sinVA = Sin(V + Real(x.PhaseA));
    k.t1G = 2 * Sin(V + Real(x.PhaseB));
    k.t2G = 3 * Cos(V);
  }

  // ln |t2 * s + t1|; the logarithm itself is not made absolute.
  static Real Channel(const Real& t1, const Real& t2, const Real& s) {
    return Ln(Abs(t2 * s + t1));
  }

  // Negative, -infinity and NaN become +0.
  template <class T>
  static void Floor(T& v) {
    v = Select(v >= 0, Real(v), Real(0));
  }

  template <class Ctx, class T>
  static void AtPoint(Ctx& x, const ColumnTerms& kc, const RowTerms& kr, T& R, T& G, T& B) {
    x.CellU = kc.U;
    x.CellV = kr.V;
    const Real U(x.CellU), V(x.CellV);
    R = Channel(kc.t1R, kc.t2R, kr.sinVA);
    G = Channel(kr.t1G, kr.t2G, kc.sinUB);
    const Real t1 = 2 * Sin((U + V) + Real(x.PhaseC));
    const Real t2 = 3 * Cos(U + V);
    B = Channel(t1, t2, kc.sinUC);
    Floor(R);
    Floor(G);
    Floor(B);
    FoldLadder<P>(R, G, B, kLadder);
  }
};

// Algorithm<N, P>: algorithm N (1..12) under the math policy P.
template <int N, class P>
struct AlgorithmFor;
template <class P> struct AlgorithmFor<1, P> { using type = IteratedMap<P, 1>; };
template <class P> struct AlgorithmFor<2, P> { using type = SineSums<P, 2>; };
template <class P> struct AlgorithmFor<3, P> { using type = SineSums<P, 3>; };
template <class P> struct AlgorithmFor<4, P> { using type = IteratedMap<P, 4>; };
template <class P> struct AlgorithmFor<5, P> { using type = Algorithm5<P>; };
template <class P> struct AlgorithmFor<6, P> { using type = PositionFactor<P, 6>; };
template <class P> struct AlgorithmFor<7, P> { using type = PositionFactor<P, 7>; };
template <class P> struct AlgorithmFor<8, P> { using type = Algorithm8<P>; };
template <class P> struct AlgorithmFor<9, P> { using type = Algorithm9<P>; };
template <class P> struct AlgorithmFor<10, P> { using type = Algorithm10<P>; };
template <class P> struct AlgorithmFor<11, P> { using type = Algorithm11<P>; };
template <class P> struct AlgorithmFor<12, P> { using type = Algorithm12<P>; };
template <int N, class P>
using Algorithm = typename AlgorithmFor<N, P>::type;

// Calls f(std::integral_constant<int, n>{}) for n in 1..12 and returns true;
// false otherwise. The caller picks the policy: Algorithm<decltype(n)::value, P>.
template <class F>
inline bool WithAlgorithm(int32_t n, F&& f) {
  switch (n) {
    case 1: f(std::integral_constant<int, 1>{}); return true;
    case 2: f(std::integral_constant<int, 2>{}); return true;
    case 3: f(std::integral_constant<int, 3>{}); return true;
    case 4: f(std::integral_constant<int, 4>{}); return true;
    case 5: f(std::integral_constant<int, 5>{}); return true;
    case 6: f(std::integral_constant<int, 6>{}); return true;
    case 7: f(std::integral_constant<int, 7>{}); return true;
    case 8: f(std::integral_constant<int, 8>{}); return true;
    case 9: f(std::integral_constant<int, 9>{}); return true;
    case 10: f(std::integral_constant<int, 10>{}); return true;
    case 11: f(std::integral_constant<int, 11>{}); return true;
    case 12: f(std::integral_constant<int, 12>{}); return true;
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
