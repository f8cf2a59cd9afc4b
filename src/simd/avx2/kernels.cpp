// The kernels of the AVX2 level: the generic kernels over the AVX2
// operations (avx2/isa.h), built for that instruction set alone.
#include "simd/kernel_sets.h"

#if defined(LUMTRAX_SIMD_X86)
#include "simd/generic/level.h"

LUMTRAX_TARGET_BEGIN("avx2,bmi,bmi2,popcnt")
namespace lumtrax::avx2 {
// clang-format off
#include "simd/generic/pieces.h"
#include "simd/avx2/isa.h"
#include "simd/avx2/lanes.h"
#include "simd/generic/kernels.h"
// clang-format on
}  // namespace lumtrax::avx2
LUMTRAX_TARGET_END

const lumtrax::Kernels lumtrax::kAvx2Kernels = LUMTRAX_KERNELS_OF(lumtrax::SimdLevel::kAvx2, lumtrax::avx2);
#endif
