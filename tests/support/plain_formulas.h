// Every algorithm written straight from its formulas, point by point, with
// none of the engine's column and row terms, in long double over a set of
// elementary functions: the processor's own (X87Functions: the engine's
// reference, which the engine tests compare with) or the C library's
// (LibmFunctions: the straightforward reference of the benchmarks).
#pragma once

#include <cmath>
#include <cstdint>

#include "engine/gradient.h"
#include "engine/x87.h"

namespace plain {

using L = long double;
using Gradient::PatternState;

struct X87Functions {
  static L Sin(L x) { return Gradient::x87::Sin(x); }
  static L Cos(L x) { return Gradient::x87::Cos(x); }
  static L Log10(L x) { return Gradient::x87::Log10(x); }
  static L Ln(L x) { return Gradient::x87::Ln(x); }
  static L Log2(L x) { return Gradient::x87::Log2(x); }
  static L Sqrt(L x) { return Gradient::x87::Sqrt(x); }
  static int64_t RoundToInt64(L x) { return Gradient::x87::RoundToInt64(x); }
};

struct LibmFunctions {
  static L Sin(L x) { return sinl(x); }
  static L Cos(L x) { return cosl(x); }
  static L Log10(L x) { return log10l(x); }
  static L Ln(L x) { return logl(x); }
  static L Log2(L x) { return log2l(x); }
  static L Sqrt(L x) { return sqrtl(x); }
  static int64_t RoundToInt64(L x) { return llrintl(x); }
};

constexpr L kPi = 3.1415926535897932385L;
constexpr L kTwoPi = 6.283185307179586477L;

inline L Sq(L v) { return v * v; }

template <class T>
void Ladder(T& r, T& g, T& b, int top) {
  for (int t = top; t >= 1; --t) {
    for (T* v : {&r, &g, &b}) {
      if (*v > t) *v = 2.0L * t - *v;
    }
  }
}

// One evaluation of s.Algorithm at (s.Column, s.Row); T = float for the live
// form (channels stored and read back as single), long double for the
// wallpaper form. Includes the live form's square / sin^2 for 2 and 3 only
// when `live` is set.
template <class T, class F = X87Functions>
void PlainEvaluate(PatternState& s, T& R, T& G, T& B, bool live) {
  const auto Sin = [](L x) { return F::Sin(x); };
  const auto Cos = [](L x) { return F::Cos(x); };
  const auto Log10 = [](L x) { return F::Log10(x); };
  const auto Ln = [](L x) { return F::Ln(x); };
  const auto Log2 = [](L x) { return F::Log2(x); };
  const auto Sqrt = [](L x) { return F::Sqrt(x); };
  const L c = s.Column, r = s.Row, W = s.GridColumns, H = s.GridRows;
  const int alg = s.Algorithm;
  auto A = [&] { return L(s.PhaseA); };
  auto Bp = [&] { return L(s.PhaseB); };
  auto C = [&] { return L(s.PhaseC); };
  auto U = [&] { return L(s.CellU); };
  auto V = [&] { return L(s.CellV); };
  if (alg == 1 || alg == 4) {
    s.SeqX[1] = (c / W - 0.5L) * 4 + L(s.OffsetX) / 2;
    s.SeqY[1] = (r / H - 0.5L) * 4 + L(s.OffsetY) / 2;
    s.BiasX = Sin(L(s.OffsetX) - s.SeqX[1]);
    s.BiasY = Sin(L(s.OffsetX) - s.SeqY[1]);
    for (s.Step = 1; s.Step <= 3; ++s.Step) {
      const int k = s.Step;
      if (alg == 1) {
        s.SeqX[k + 1] = Sq(Sin(s.SeqX[k]) / 2 + Cos(s.SeqY[k])) + s.BiasX;
        s.SeqY[k + 1] = Sq(Cos(s.SeqX[k]) / 2 - Sin(s.SeqY[k])) + s.BiasY;
      } else {
        s.SeqX[k + 1] = Sq(Sin(s.SeqX[k]) * Cos(s.SeqY[k])) + s.BiasX;
        s.SeqY[k + 1] = Sq(Cos(s.SeqX[k]) - Sin(s.SeqY[k])) + s.BiasY;
      }
      s.SeqZ[k + 1] = Log10(Sq(s.SeqX[k + 1]) + Sq(s.SeqY[k + 1]) + 0.01L);
    }
    auto tone = [&](L z) {
      const L v = std::fabs(Sin(z));
      return alg == 1 ? v + v * v / 2 : v + Sqrt(v) / 2;
    };
    R = tone(s.SeqZ[4]);
    G = tone(s.SeqZ[3]);
    B = tone(s.SeqZ[2]);
    Ladder(R, G, B, 3);
  } else if (alg == 2 || alg == 3) {
    const L scale = alg == 2 ? kPi : kTwoPi;
    s.CellU = c / W * scale;
    s.CellV = r / H * scale;
    R = std::fabs(Sin(U() + V() + A()) + Sin(V() + Bp()) + Sin(U() + L(s.OffsetX)));
    G = std::fabs(Sin(U() - Bp() + R) + Sin(V() + C() - R) - Sin(V() - L(s.OffsetY)));
    B = std::fabs(Sin(U() + C() + G) + Sin(V() + G) + Sin(A()) + Sin(U() + V() + L(s.OffsetY)));
    if (alg == 2) Ladder(R, G, B, 3);
    if (live) {
      for (T* v : {&R, &G, &B}) *v = alg == 2 ? L(*v) * L(*v) : Sq(Sin(*v));
    }
  } else if (alg == 5) {
    s.CellU = c / W * kTwoPi;
    s.CellV = r / H * kTwoPi;
    R = std::fabs(Sin(U()) + Cos(V()) + A());
    G = std::fabs(Cos(R) + (Sin(V()) + Cos(U()) + Bp()));
    B = std::fabs(Cos(G) + (Sin(U()) + Sin(V()) + C()));
    Ladder(R, G, B, 3);
  } else if (alg == 6 || alg == 7) {
    s.CellU = c / W * kPi;
    s.CellV = r / H * kPi;
    const L P = Sq(Sin(U()) + Sin(V()));
    const L t[3] = {Sq(Sin(U() + A() + Bp())), Sq(Sin(V() + C() + A())), Sq(Sin(U() + V() - Bp()))};
    R = alg == 6 ? t[0] * P : t[0] + P;
    G = alg == 6 ? t[1] * P : t[1] + P;
    B = alg == 6 ? t[2] * P : t[2] + P;
    Ladder(R, G, B, 4);
  } else if (alg >= 8 && alg <= 11) {
    s.CellU = c / W * kPi + A() / 5;
    s.CellV = r / H * kPi + Bp() / 5;
    if (alg == 8) {
      R = Sq(Sin(U() + A() + Bp())) + Sq(Sin(U()) + Cos(V()));
      G = Sq(Sin(V() + C() + A())) + Sq(Cos(U()) + Sin(V()));
      B = Sq(Sin(U() + V() + Bp())) + Sq(Cos(U()) + Cos(V()));
    } else if (alg == 9) {
      R = Sq(Sin(U() + A()) + Cos(U())) + Sq(Sin(U() + V()));
      G = Sq(Sin(V() + Bp()) + Cos(V())) + Sq(Cos(U() + V()));
      B = Sq(Sin(U() + V() + C())) + Sq(Cos(U() + V() - C()));
    } else if (alg == 10) {
      R = std::fabs(Ln(std::fabs(Sin(U() + A()) + 2 * Cos(V())) + 0.4L));
      G = std::fabs(Ln(std::fabs(Sin(V() + Bp()) + 2 * Cos(U())) + 0.4L));
      B = std::fabs(Ln(std::fabs(Sin(U() + V() + C()) + 2 * Cos(U() + V())) + 0.4L));
    } else {
      R = std::fabs(Log2(std::fabs(Sin(U() + A()) * Cos(V() + C())) + 0.4L));
      G = std::fabs(Log2(std::fabs(Sin(V() + Bp()) * Cos(U() + A() + R)) + 0.4L));
      B = std::fabs(Log2(std::fabs(Sin(U() + C()) * Sin(V() + C() + G)) + 0.4L));
      R = std::fabs(Log2(std::fabs(Sin(U() + A()) * Cos(V() + C() + B)) + 0.4L));
    }
    Ladder(R, G, B, 4);
  } else if (alg == 12) {
    s.CellU = c / W * kTwoPi;
    s.CellV = r / H * kTwoPi;
    auto channel = [&](L t1, L t2, L sine) { return Ln(std::fabs(t2 * sine + t1)); };
    R = channel(2 * Sin(U() + A()), 3 * Cos(U()), Sin(V() + A()));
    G = channel(2 * Sin(V() + Bp()), 3 * Cos(V()), Sin(U() + Bp()));
    B = channel(2 * Sin(U() + V() + C()), 3 * Cos(U() + V()), Sin(U() + C()));
    for (T* v : {&R, &G, &B}) {
      if (!(*v >= 0)) *v = 0;
    }
    Ladder(R, G, B, 4);
  }
}

// The wallpaper element of one channel value.
template <class F = X87Functions>
uint16_t PlainQuantise(int alg, L v) {
  const L scaled = alg == 2 ? (v * 255) * v : alg == 3 ? Sq(F::Sin(v)) * 255 : v * 255;
  return uint16_t(F::RoundToInt64(scaled));
}

}  // namespace plain
