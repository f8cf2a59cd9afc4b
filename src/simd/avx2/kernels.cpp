#include "simd/kernel_sets.h"

#if defined(LUMTRAX_SIMD_X86)
namespace lumtrax {
const Kernels kAvx2Kernels = {SimdLevel::kAvx2, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
}  // namespace lumtrax
#endif
