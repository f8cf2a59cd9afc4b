// Compiling a region of a file for an instruction set: everything between
// LUMTRAX_TARGET_BEGIN("avx2,...") and LUMTRAX_TARGET_END is built with that
// target, as if each function carried the attribute target(...); the rest of
// the library and the program keep the baseline, so one binary runs on any
// x86 CPU and picks its kernels at run time. Headers of the standard library
// and of the rest of the library are included before the region, so that
// their inline functions are never built for a target that some CPU lacks;
// what the region defines lives in a namespace of its level.
#ifndef LUMTRAX_SIMD_TARGET_H
#define LUMTRAX_SIMD_TARGET_H

#define LUMTRAX_PRAGMA(text) _Pragma(#text)

#if defined(__clang__)
#define LUMTRAX_TARGET_BEGIN(isa) \
    LUMTRAX_PRAGMA(clang attribute push(__attribute__((target(isa))), apply_to = function))
#define LUMTRAX_TARGET_END LUMTRAX_PRAGMA(clang attribute pop)
#elif defined(__GNUC__)
#define LUMTRAX_TARGET_BEGIN(isa) LUMTRAX_PRAGMA(GCC push_options) LUMTRAX_PRAGMA(GCC target(isa))
#define LUMTRAX_TARGET_END LUMTRAX_PRAGMA(GCC pop_options)
#endif

#define LUMTRAX_INLINE inline __attribute__((always_inline))

#endif  // LUMTRAX_SIMD_TARGET_H
