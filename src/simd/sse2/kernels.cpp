// The kernels of the SSE2 level: the generic kernels over the SSE2
// operations (sse2/isa.h), built for that instruction set alone.
#include "simd/kernel_sets.h"

#if defined(LUMTRAX_SIMD_X86)
#include "simd/generic/level.h"

LUMTRAX_TARGET_BEGIN("sse2")
namespace lumtrax::sse2 {
// clang-format off
#include "simd/generic/pieces.h"
#include "simd/sse2/isa.h"
#include "simd/generic/kernels.h"
// clang-format on
}  // namespace lumtrax::sse2
LUMTRAX_TARGET_END

const lumtrax::Kernels lumtrax::kSse2Kernels = LUMTRAX_KERNELS_OF(lumtrax::SimdLevel::kSse2, lumtrax::sse2);
#endif
