// The kernel sets this build has, one per level; which levels exist depends
// on the target (simd/kernels.cpp chooses among them).
//
// LUMTRAX_SIMD_X86: an x86 target whose compiler takes per-function target
// attributes, and no LUMTRAX_NO_SIMD: the SSE2, SSSE3 and AVX2 kernels.
// LUMTRAX_KERNELS_AVX512: on a 64-bit x86 target, the AVX-512 kernels too.
#ifndef LUMTRAX_SIMD_KERNEL_SETS_H
#define LUMTRAX_SIMD_KERNEL_SETS_H

#include "simd/kernels.h"

#if !defined(LUMTRAX_NO_SIMD) && (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define LUMTRAX_SIMD_X86 1
#if defined(__x86_64__)
#define LUMTRAX_KERNELS_AVX512 1
#endif
#endif

namespace lumtrax {

#if defined(LUMTRAX_SIMD_X86)
extern const Kernels kSse2Kernels;
extern const Kernels kSsse3Kernels;
extern const Kernels kAvx2Kernels;
#endif
#if defined(LUMTRAX_KERNELS_AVX512)
extern const Kernels kAvx512Kernels;
#endif

}  // namespace lumtrax

#endif  // LUMTRAX_SIMD_KERNEL_SETS_H
