// What `new` and the standard containers may assume of the C library's
// malloc. They hand a type aligned to at most __STDCPP_DEFAULT_NEW_ALIGNMENT__
// to plain operator new, which aligns only as far as malloc does. Every C
// library we build for aligns to at least two pointers, and 32-bit Windows'
// to no more: 8 bytes, where GCC for that target claims 16 (and so does
// std::max_align_t, depending on the headers included first). An array of
// SSE2 lanes, or of the structures that hold them, would then be misaligned
// half the time, and the first SSE instruction reading it would fault. The
// build lowers the claim with -faligned-new=8 on such targets, so that every
// type aligned beyond malloc's guarantee takes the aligned operator new; this
// stops a build that forgets it.
#pragma once

#include <cstddef>

namespace Gradient {
constexpr std::size_t kMallocAlignment = 2 * sizeof(void*);
}

static_assert(__STDCPP_DEFAULT_NEW_ALIGNMENT__ <= Gradient::kMallocAlignment,
              "plain operator new would misalign the engine's vector types on this target: "
              "build with -faligned-new=8");
