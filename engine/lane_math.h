// The lane policy: N points at once in double precision (N = 2, 4 or 8, one
// instruction set per translation unit, PRISMORA_LANE_WIDTH), giving the same
// results as the x87 policy or saying that it cannot.
//
// Every Real carries, beside its value, a bound on how far the value can be
// from what the x87 path computes for the same point (extended precision,
// the processor's own sine, cosine and logarithm). Each operation adds what it
// can add: one rounding of each path, and what the inputs' bounds become
// through the operation. Where the x87 path rounds or decides (a store into a
// single-precision field, a comparison, the wallpaper's conversion to an
// integer), the lane is certain when every value within twice the bound
// rounds or decides the same way; otherwise the value becomes unknown (an
// infinite bound), which every later operation keeps, and the sweep evaluates
// that point on the x87 path. So a lane result is either the x87 result, bit
// for bit, or not used.
//
// The elementary functions are this file's own (range reduction and
// polynomials in plain multiplications and additions, no fused multiply-add,
// no C library), so that they give the same bits on every width and system.
// Everything has internal linkage: this file is compiled once per
// instruction set, and nothing of it may be shared between those units.
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <limits>

#include "engine/aligned_new.h"
#include "engine/lane_engine.h"

#ifndef PRISMORA_LANE_WIDTH
#error "PRISMORA_LANE_WIDTH must be 2, 4 or 8"
#endif

namespace Gradient::PRISMORA_LANE_NAMESPACE {
namespace {

// Every lane operation is inlined into the loops: a call would pass its
// vectors through memory.
#define LANE_INLINE inline __attribute__((always_inline))

constexpr int N = PRISMORA_LANE_WIDTH;
typedef double D __attribute__((vector_size(8 * N)));
typedef int64_t I __attribute__((vector_size(8 * N)));
typedef uint64_t U __attribute__((vector_size(8 * N)));
typedef float F __attribute__((vector_size(4 * N)));

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// x + kMagic - kMagic rounds x to an integer, ties to even (|x| < 2^51), and
// the low bits of x + kMagic hold that integer.
constexpr double kMagic = 0x1.8p52;

LANE_INLINE D Splat(double x) { return D{} + x; }
LANE_INLINE I SplatI(int64_t x) { return I{} + x; }
LANE_INLINE I Bits(D x) { return __builtin_bit_cast(I, x); }
LANE_INLINE D FromBits(I x) { return __builtin_bit_cast(D, x); }
LANE_INLINE D Fabs(D x) { return FromBits(Bits(x) & SplatI(INT64_MAX)); }
LANE_INLINE D RoundToInteger(D x) { return (x + kMagic) - kMagic; }
// The integer an exactly integral x (|x| < 2^51) holds.
LANE_INLINE I IntegerOf(D x) { return Bits(x + kMagic) - Bits(Splat(kMagic)); }
// The double nearest to each float rounding of x.
LANE_INLINE D RoundToSingle(D x) { return __builtin_convertvector(__builtin_convertvector(x, F), D); }
// 2^-E for x = 2^E m, m in [1, 2): at least 1/x, without a division
// (positive normal x).
LANE_INLINE D InverseBound(D x) {
  return FromBits((SplatI(0x7fe) << 52) - (Bits(x) & SplatI(int64_t(0x7ff) << 52)));
}
LANE_INLINE D Unknown(I mask, D bound) { return mask ? Splat(kInfinity) : bound; }

LANE_INLINE D SquareRoot(D x) {
#if PRISMORA_LANE_WIDTH == 2
  return __builtin_bit_cast(D, _mm_sqrt_pd(__builtin_bit_cast(__m128d, x)));
#elif PRISMORA_LANE_WIDTH == 4
  return __builtin_bit_cast(D, _mm256_sqrt_pd(__builtin_bit_cast(__m256d, x)));
#else
  // The zero-masked form: GCC 12 warns about the plain one's undefined source.
  return __builtin_bit_cast(D, _mm512_maskz_sqrt_pd(0xFF, __builtin_bit_cast(__m512d, x)));
#endif
}

LANE_INLINE bool Any(I mask) {
#if PRISMORA_LANE_WIDTH == 2
  return _mm_movemask_pd(__builtin_bit_cast(__m128d, mask)) != 0;
#elif PRISMORA_LANE_WIDTH == 4
  return _mm256_movemask_pd(__builtin_bit_cast(__m256d, mask)) != 0;
#else
  return _mm512_test_epi64_mask(__builtin_bit_cast(__m512i, mask), __builtin_bit_cast(__m512i, mask)) != 0;
#endif
}

// ---- Bounds ----
// One rounding of this path and one of the x87 path together, relative to
// the result (2^-53 + 2^-64, with room to spare).
constexpr double kRounding = 0x1p-52;
LANE_INLINE D Rounding(D v) { return Fabs(v) * kRounding; }

using detail::kLogError;
using detail::kTrigError;
using detail::kTrigLimit;
using detail::kTrigPerArgument;

struct Single;

// A lane of values with their bounds.
struct Real {
  D v, e;
  Real() = default;
  Real(D value, D bound) : v(value), e(bound) {}
  explicit Real(int k) : v(Splat(double(k))), e(D{}) {}
  // A constant of the formulas: the double nearest to it, and how far that is.
  explicit Real(long double k) : v(Splat(double(k))), e(Splat(ErrorOf(k))) {}
  LANE_INLINE Real(const Single& s);  // NOLINT: a stored value reads as a Real, as a float does

  static constexpr double ErrorOf(long double k) {
    const long double d = k - static_cast<long double>(static_cast<double>(k));
    return static_cast<double>(d < 0 ? -d : d);
  }
};

// A lane of values as stored in a single-precision field: each value a float,
// bound 0 when it is the x87 path's float, infinite when that is not certain.
struct Single {
  D v, e;
  Single() = default;
  Single(float f) : v(Splat(f)), e(D{}) {}  // NOLINT: a field of the record, the same in every lane
  LANE_INLINE Single(const Real& r) {        // NOLINT: the store rounds, as into a float
    const D margin = r.e * 2;
    v = RoundToSingle(r.v);
    const I sure = RoundToSingle(r.v - margin) == RoundToSingle(r.v + margin);
    e = Unknown(~sure, D{});
  }
};

LANE_INLINE Real::Real(const Single& s) : v(s.v), e(s.e) {}

// The outcome of a comparison in each lane, and the lanes where it is not certain.
struct Cond {
  I is, unsure;
};

// A sum or difference of two exactly known values adds a rounding only where
// the double one was not exact (the error-free sum tells); an exact double sum
// is exact in extended precision too, so that a tie rounds the same way on
// both paths. Where an input is already uncertain the rounding is added as it
// is, without asking.
LANE_INLINE D SumRounding(const Real& a, const Real& b, D bv, D v) {
  const I exactInputs = (a.e == Splat(0)) & (b.e == Splat(0));
  if (!Any(exactInputs)) return Rounding(v);
  const D bb = v - a.v;
  const D error = (a.v - (v - bb)) + (bv - bb);
  return (exactInputs & (error == Splat(0))) ? D{} : Rounding(v);
}
LANE_INLINE Real operator+(const Real& a, const Real& b) {
  const D v = a.v + b.v;
  return {v, (a.e + b.e) + SumRounding(a, b, b.v, v)};
}
LANE_INLINE Real operator-(const Real& a, const Real& b) {
  const D v = a.v - b.v;
  return {v, (a.e + b.e) + SumRounding(a, b, -b.v, v)};
}
// Values whose low 27 significand bits are zero (floats among them): the
// product of two such values is exact in double, and so in extended precision.
LANE_INLINE I Short(D v) { return (Bits(v) & SplatI((int64_t(1) << 27) - 1)) == SplatI(0); }
LANE_INLINE D ProductRounding(const Real& a, const Real& b, D v) {
  const I exactInputs = (a.e == Splat(0)) & (b.e == Splat(0));
  if (!Any(exactInputs)) return Rounding(v);
  return (exactInputs & Short(a.v) & Short(b.v)) ? D{} : Rounding(v);
}
LANE_INLINE Real operator*(const Real& a, const Real& b) {
  const D v = a.v * b.v;
  return {v, ((Fabs(a.v) * b.e + Fabs(b.v) * a.e) + a.e * b.e) + ProductRounding(a, b, v)};
}
constexpr bool PowerOfTwo(int k) { return k > 0 && (k & (k - 1)) == 0; }
LANE_INLINE Real operator*(const Real& a, int k) {
  const D v = a.v * double(k);
  const double size = k < 0 ? -double(k) : double(k);
  if (PowerOfTwo(k)) return {v, a.e * size};  // exact
  return {v, a.e * size + Rounding(v)};
}
LANE_INLINE Real operator*(int k, const Real& a) { return a * k; }
// a / d adds a rounding only where the quotient is not exact: with v split
// into 26 high bits and the rest, v d = a exactly when a - high d (exact by
// Sterbenz) equals low d (both products exact while d has at most 26 bits).
LANE_INLINE Real operator/(const Real& a, int d) {
  const D v = a.v / double(d);
  const double size = d < 0 ? -double(d) : double(d);
  if (PowerOfTwo(d)) return {v, a.e / size};
  if (size >= 0x1p26) return {v, a.e / size + Rounding(v)};
  const D high = FromBits(Bits(v) & SplatI(~((int64_t(1) << 27) - 1)));
  const D low = v - high;
  const I exact = (a.v - high * double(d)) == low * double(d);
  return {v, a.e / size + (exact ? D{} : Rounding(v))};
}
LANE_INLINE Real operator+(const Real& a, long double k) { return a + Real(k); }
LANE_INLINE Real operator-(const Real& a, long double k) { return a - Real(k); }
LANE_INLINE Real operator*(const Real& a, long double k) { return a * Real(k); }

LANE_INLINE Real Abs(const Real& a) { return {Fabs(a.v), a.e}; }
LANE_INLINE Real Sq(const Real& a) { return a * a; }

LANE_INLINE Cond Compared(I is, const Real& a, int t) {
  const I sure = (Fabs(a.v - Splat(t)) > a.e * 2) | (a.e == Splat(0));
  return {is, ~sure};
}
LANE_INLINE Cond operator>(const Real& a, int t) { return Compared(a.v > Splat(t), a, t); }
LANE_INLINE Cond operator>=(const Real& a, int t) { return Compared(a.v >= Splat(t), a, t); }

LANE_INLINE Real Select(const Cond& c, const Real& ifTrue, const Real& ifFalse) {
  const D v = c.is ? ifTrue.v : ifFalse.v;
  const D e = c.is ? ifTrue.e : ifFalse.e;
  return {v, Unknown(c.unsure, e)};
}

// ---- Sine and cosine ----
// x = k pi/2 + r, |r| <= pi/4 (a little more where x 2/pi rounds up to the
// next k), with pi/2 in three parts of which the first two have 33 bits, so
// that k times each is exact for |k| < 2^20 and the first subtraction too.
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kPio2Part1 = 0x1.921fb544p+0;
constexpr double kPio2Part2 = 0x1.0b4611a6p-34;
constexpr double kPio2Part3 = 0x1.3198a2e037073p-69;
// Polynomials of sin r and cos r on |r| <= pi/4 (odd and even minimax fits).
constexpr double kS1 = -1.66666666666666324348e-01, kS2 = 8.33333333332248946124e-03,
                 kS3 = -1.98412698298579493134e-04, kS4 = 2.75573137070700676789e-06,
                 kS5 = -2.50507602534068634195e-08, kS6 = 1.58969099521155010221e-10;
constexpr double kC1 = 4.16666666666666019037e-02, kC2 = -1.38888888888741095749e-03,
                 kC3 = 2.48015872894767294178e-05, kC4 = -2.75573143513906633035e-07,
                 kC5 = 2.08757232129817482790e-09, kC6 = -1.13596475577881948265e-11;

LANE_INLINE void SinCosKernel(D x, D& sine, D& cosine) {
  const D t = x * kTwoOverPi + kMagic;
  const D k = t - kMagic;
  const I quadrant = Bits(t);  // its low bits are k's
  const D r = ((x - k * kPio2Part1) - k * kPio2Part2) - k * kPio2Part3;
  const D z = r * r;
  const D s = r + (r * z) * (kS1 + z * (kS2 + z * (kS3 + z * (kS4 + z * (kS5 + z * kS6)))));
  const D c = (1.0 - 0.5 * z) + (z * z) * (kC1 + z * (kC2 + z * (kC3 + z * (kC4 + z * (kC5 + z * kC6)))));
  const I odd = (quadrant & 1) != 0;
  const D s0 = odd ? c : s;
  const D c0 = odd ? s : c;
  sine = FromBits(Bits(s0) ^ ((quadrant & 2) << 62));
  cosine = FromBits(Bits(c0) ^ (((quadrant + 1) & 2) << 62));
}

LANE_INLINE D TrigBound(const Real& a) {
  const D bound = (a.e + kTrigError) + Fabs(a.v) * kTrigPerArgument;
  return Unknown(~(Fabs(a.v) <= kTrigLimit), bound);
}

LANE_INLINE void SinCos(const Real& a, Real& sine, Real& cosine) {
  D s, c;
  SinCosKernel(a.v, s, c);
  const D bound = TrigBound(a);
  sine = {s, bound};
  cosine = {c, bound};
}
LANE_INLINE Real Sin(const Real& a) {
  Real s, c;
  SinCos(a, s, c);
  return s;
}
LANE_INLINE Real Cos(const Real& a) {
  Real s, c;
  SinCos(a, s, c);
  return c;
}

// ---- Logarithms ----
// x = 2^k m with m in [sqrt(1/2), sqrt(2)); ln m = f - f^2/2 + s (f^2/2 + R(s^2))
// with f = m - 1 and s = f / (2 + f); ln 2 in two parts.
constexpr int64_t kSqrtHalfBits = 0x3fe6a09e667f3bcd;
constexpr double kLg1 = 6.666666666666735130e-01, kLg2 = 3.999999999940941908e-01,
                 kLg3 = 2.857142874366239149e-01, kLg4 = 2.222219843214978396e-01,
                 kLg5 = 1.818357216161805012e-01, kLg6 = 1.531383769920937332e-01,
                 kLg7 = 1.479819860511658591e-01;
constexpr double kLn2Hi = 6.93147180369123816490e-01, kLn2Lo = 1.90821492927058770002e-10;

LANE_INLINE D LnKernel(D x) {
  // In unsigned arithmetic: x may be negative or not a number here (its lane
  // is left to the x87 path), and its bits must not overflow a signed type.
  const U bits = __builtin_bit_cast(U, x);
  const U shifted = bits - uint64_t(kSqrtHalfBits);
  const I k = __builtin_bit_cast(I, shifted) >> 52;
  const D m = __builtin_bit_cast(D, bits - (shifted & (U{} + (uint64_t(0xfff) << 52))));
  const D dk = FromBits(k + Bits(Splat(kMagic))) - kMagic;
  const D f = m - 1.0;
  const D s = f / (2.0 + f);
  const D z = s * s;
  const D w = z * z;
  const D t1 = w * (kLg2 + w * (kLg4 + w * kLg6));
  const D t2 = z * (kLg1 + w * (kLg3 + w * (kLg5 + w * kLg7)));
  const D hfsq = (0.5 * f) * f;
  return dk * kLn2Hi - ((hfsq - (s * (hfsq + (t2 + t1)) + dk * kLn2Lo)) - f);
}

// The logarithm times `scale` (1, 1/ln 2, 1/ln 10) of positive normal values
// known to within half their size; anything else is left to the x87 path.
// The input's bound b becomes at most b / (x - b) <= 2 b / x <= 2 b 2^-E,
// times the scale (at most 1.45).
LANE_INLINE Real ScaledLog(const Real& a, double scale) {
  const D v = LnKernel(a.v) * scale;
  const I known = (a.v >= std::numeric_limits<double>::min()) & (a.v < kInfinity) & (a.e < a.v * 0.5);
  const D bound = (a.e * InverseBound(a.v)) * 3.0 + Fabs(v) * kLogError;
  return {v, Unknown(~known, bound)};
}
LANE_INLINE Real Ln(const Real& a) { return ScaledLog(a, 1.0); }
LANE_INLINE Real Log2(const Real& a) { return ScaledLog(a, 1.44269504088896340736); }
LANE_INLINE Real Log10(const Real& a) { return ScaledLog(a, 0.434294481903251827651); }

// sqrt is correctly rounded on both paths; its input's bound b becomes at most
// b / (sqrt(x) + sqrt(x')) <= b / sqrt(x) <= b 2^-E for sqrt(x) = 2^E m.
LANE_INLINE Real Sqrt(const Real& a) {
  const D v = SquareRoot(a.v);
  return {v, a.e * InverseBound(v) + Rounding(v)};
}

// ---- The wallpaper's integer ----
// The low bits of F rounded to an integer (ties to even), and the lanes where
// that is not certain added to `unsure`.
LANE_INLINE I Quantised(const Real& F, I& unsure) {
  const D margin = F.e * 2;
  const I sure = (RoundToInteger(F.v - margin) == RoundToInteger(F.v + margin)) & (Fabs(F.v) < 0x1p30);
  unsure |= ~sure;
  return IntegerOf(RoundToInteger(F.v));
}

// The lane policy for the formulas.
struct LaneMath {
  using Real = PRISMORA_LANE_NAMESPACE::Real;
  using Single = PRISMORA_LANE_NAMESPACE::Single;
};

}  // namespace
}  // namespace Gradient::PRISMORA_LANE_NAMESPACE

#undef LANE_INLINE
