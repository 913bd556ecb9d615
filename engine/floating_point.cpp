// The process's floating-point set-up: x87 at 64-bit precision, round to
// nearest (ties to even), every exception masked; SSE likewise masked and
// rounding to nearest. Each thread that evaluates patterns calls it too,
// because a new thread's control word is not inherited on every system.
#include <cfenv>

#include "engine/gradient.h"
#include "engine/lane_engine.h"
#include "engine/x87.h"

namespace Gradient {

namespace detail {

#if PRISMORA_X87 && defined(__SSE__)
uint32_t SseControl() {
  uint32_t csr;
  asm volatile("stmxcsr %0" : "=m"(csr));
  return csr;
}
void SetSseControl(uint32_t csr) { asm volatile("ldmxcsr %0" : : "m"(csr)); }
#else
uint32_t SseControl() { return 0; }
void SetSseControl(uint32_t) {}
#endif

// All exceptions masked, rounding to nearest, and no flushing of subnormal
// results or inputs to zero (a library may have set those for its own threads
// or code; the lanes' bounds assume IEEE arithmetic).
uint32_t SseControlForEngine(uint32_t csr) { return (csr | 0x1F80u) & ~(0x6000u | 0x8000u | 0x0040u); }

}  // namespace detail

void SetupFloatingPoint() {
#if PRISMORA_X87
  const uint16_t cw = 0x133F;
  asm volatile("fldcw %0" : : "m"(cw));
#if defined(__SSE__)
  detail::SetSseControl(detail::SseControlForEngine(detail::SseControl()));
#endif
#else
  std::fesetround(FE_TONEAREST);
#endif
}

uint16_t FloatingPointControlWord() {
#if PRISMORA_X87
  uint16_t cw;
  asm volatile("fnstcw %0" : "=m"(cw));
  return cw;
#else
  return 0;
#endif
}

}  // namespace Gradient
