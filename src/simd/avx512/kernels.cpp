// The kernels of the AVX-512 level: the generic kernels over the AVX-512
// operations (avx512/isa.h), built for that instruction set alone.
#include "simd/kernel_sets.h"

#if defined(LUMTRAX_KERNELS_AVX512)
#include "simd/generic/level.h"

LUMTRAX_TARGET_BEGIN("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,popcnt")
namespace lumtrax::avx512 {
// clang-format off
#include "simd/generic/pieces.h"
#include "simd/avx512/isa.h"
#include "simd/avx512/lanes.h"
#include "simd/generic/kernels.h"
// clang-format on
}  // namespace lumtrax::avx512
LUMTRAX_TARGET_END

const lumtrax::Kernels lumtrax::kAvx512Kernels = LUMTRAX_KERNELS_OF(lumtrax::SimdLevel::kAvx512, lumtrax::avx512);
#endif
