// Shared helpers of the engine tests: a zeroed record on the heap, a replica
// of the generator in plain 64-bit arithmetic, and a plain evaluation of
// every algorithm written straight from its formulas, point by point, with
// none of the engine's column and row terms.
#pragma once

#include <cmath>
#include <memory>

#include "engine/gradient.h"
#include "engine/x87.h"

namespace enginetest {

using L = long double;
using namespace Gradient;

inline std::unique_ptr<PatternState> NewState(int32_t columns = 120, int32_t rows = 90) {
  auto s = std::make_unique<PatternState>();
  s->GridColumns = columns;
  s->GridRows = rows;
  return s;
}

inline void SetPhases(PatternState& s, float a, float b, float c) {
  s.PhaseA = a;
  s.PhaseB = b;
  s.PhaseC = c;
}

// seed := seed * 134775813 + 1 (mod 2^32); result = high half of seed * n.
struct Lcg {
  uint64_t seed;
  uint32_t Next(uint32_t n) {
    seed = (seed * 134775813ull + 1ull) & 0xFFFFFFFFull;
    return uint32_t((seed * n) >> 32);
  }
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
template <class T>
void PlainEvaluate(PatternState& s, T& R, T& G, T& B, bool live) {
  using namespace Gradient::x87;
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
    auto channel = [](L t1, L t2, L sine) { return Ln(std::fabs(t2 * sine + t1)); };
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
inline uint16_t PlainQuantise(int alg, L v) {
  const L F = alg == 2 ? (v * 255) * v : alg == 3 ? Sq(x87::Sin(v)) * 255 : v * 255;
  return uint16_t(x87::RoundToInt64(F));
}

}  // namespace enginetest
