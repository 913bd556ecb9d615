// The engine's elementary functions on extended (80-bit) values.
// On x86 they are the x87 instructions themselves (fsin, fcos, fyl2x,
// fsqrt, fistp), so every build gives the processor's own results; elsewhere
// the C library's long double functions stand in. Nothing else in the engine
// uses inline assembly or the C library's transcendental functions.
#pragma once

#include <cmath>
#include <cstdint>

#if defined(__i386__) || defined(__x86_64__)
#define PRISMORA_X87 1
#else
#define PRISMORA_X87 0
#endif

namespace Gradient::x87 {

// Arguments of this magnitude or more are outside the range of fsin/fcos.
constexpr long double kTrigLimit = 0x1p63L;

// The slow path of the trigonometric functions: the processor reports a
// finite argument of magnitude 2^63 or more as out of range and we give 0;
// an infinity is an invalid operation and gives NaN, as does a NaN.
inline long double OutOfRange(long double x) {
  return std::isfinite(x) ? 0.0L : x - x;
}

inline long double Sin(long double x) {
  if (!(std::fabs(x) < kTrigLimit)) return OutOfRange(x);
#if PRISMORA_X87
  asm("fsin" : "+t"(x));
  return x;
#else
  return sinl(x);
#endif
}

inline long double Cos(long double x) {
  if (!(std::fabs(x) < kTrigLimit)) return OutOfRange(x);
#if PRISMORA_X87
  asm("fcos" : "+t"(x));
  return x;
#else
  return cosl(x);
#endif
}

// Sine and cosine of one argument: fsin and fcos, not fsincos. Most
// processors give the same bits either way, but not every one (some virtual
// processors' fsincos differs from fsin and fcos in the last bit for a few
// arguments in a thousand), and the formulas are written with a sine and a
// cosine: the two instructions give their values on every processor.
inline void SinCos(long double x, long double& s, long double& c) {
  s = Sin(x);
  c = Cos(x);
}

#if PRISMORA_X87
// y * log2(x), the one logarithm instruction; the caller loads y.
inline long double Yl2x(long double x, long double y) {
  long double r;
  asm("fyl2x" : "=t"(r) : "0"(x), "u"(y) : "st(1)");
  return r;
}
#endif

inline long double Log10(long double x) {
#if PRISMORA_X87
  long double lg2;
  asm("fldlg2" : "=t"(lg2));
  return Yl2x(x, lg2);
#else
  return log10l(x);
#endif
}

inline long double Ln(long double x) {
#if PRISMORA_X87
  long double ln2;
  asm("fldln2" : "=t"(ln2));
  return Yl2x(x, ln2);
#else
  return logl(x);
#endif
}

inline long double Log2(long double x) {
#if PRISMORA_X87
  long double one;
  asm("fld1" : "=t"(one));
  return Yl2x(x, one);
#else
  return log2l(x);
#endif
}

inline long double Sqrt(long double x) {
#if PRISMORA_X87
  asm("fsqrt" : "+t"(x));
  return x;
#else
  return sqrtl(x);
#endif
}

// Conversion to a 64-bit integer in the current rounding mode (to nearest,
// ties to even). NaN, infinities and values out of range give the
// processor's integer-indefinite value INT64_MIN.
inline int64_t RoundToInt64(long double x) {
#if PRISMORA_X87
  int64_t i;
  asm("fistpll %0" : "=m"(i) : "t"(x) : "st");
  return i;
#else
  if (!(x >= -0x1p63L && x < 0x1p63L)) return INT64_MIN;
  return llrintl(x);
#endif
}

}  // namespace Gradient::x87
