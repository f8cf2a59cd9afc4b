#include "simd/kernel_sets.h"

#if defined(LUMTRAX_SIMD_X86)
namespace lumtrax {
const Kernels kSse2Kernels = {SimdLevel::kSse2, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
}  // namespace lumtrax
#endif
