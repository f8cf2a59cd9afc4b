// The kernels of the SSSE3 level: the generic kernels over the SSSE3
// operations (ssse3/isa.h), built for that instruction set alone.
#include "simd/kernel_sets.h"

#if defined(LUMTRAX_SIMD_X86)
#include "simd/generic/level.h"

LUMTRAX_TARGET_BEGIN("ssse3")
namespace lumtrax::ssse3 {
// clang-format off
#include "simd/generic/pieces.h"
#include "simd/ssse3/isa.h"
#include "simd/generic/kernels.h"
// clang-format on
}  // namespace lumtrax::ssse3
LUMTRAX_TARGET_END

const lumtrax::Kernels lumtrax::kSsse3Kernels = LUMTRAX_KERNELS_OF(lumtrax::SimdLevel::kSsse3, lumtrax::ssse3);
#endif
