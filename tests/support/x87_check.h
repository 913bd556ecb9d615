// Is the x87 unit this test runs on a real processor's? Emulators (QEMU's
// user mode, which runs our 32-bit Windows tests where the kernel refuses
// 32-bit programs) compute fsin and fcos in double precision, so the x87
// path's values there are not the processor's and every comparison of
// x87-path bytes with the lanes or with another build would fail for the
// emulator's sake. The known answers are the processor's fsin and fcos of a
// few arguments, which need no range reduction: the processor gives them to
// within one unit of the 64-bit significand, and they are not doubles.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

#include "engine/x87.h"

namespace x87check {

struct KnownAnswer {
  const char* what;
  long double x;
  long double (*f)(long double);
  long double processor;
};

inline const KnownAnswer kKnownAnswers[] = {
    {"fsin(0.5)", 0.5L, Gradient::x87::Sin, 0xf.57743a2582f7f44p-5L},
    {"fcos(0.5)", 0.5L, Gradient::x87::Cos, 0xe.0a94032dbea7ceep-4L},
    {"fsin(0.75)", 0.75L, Gradient::x87::Sin, 0xa.e7fe0b5fc786b2ep-4L},
};

// "" where the x87 unit gives the processor's answers; otherwise one line
// saying which answer differs and how.
inline std::string WhyNotTheProcessors() {
  for (const KnownAnswer& k : kKnownAnswers) {
    const long double got = k.f(k.x);
    const long double ulp = std::ldexp(1.0L, std::ilogb(k.processor) - 63);
    if (std::fabs(got - k.processor) > ulp) {
      char line[200];
      std::snprintf(line, sizeof line, "%s gives %La where the processor gives %La", k.what, got, k.processor);
      return std::string("the x87 unit does not give the processor's answers (") + line +
             "; an emulator's, such as QEMU's double-precision fsin), so the x87 path's bytes here are not the "
             "processor's";
    }
  }
  return "";
}

}  // namespace x87check
