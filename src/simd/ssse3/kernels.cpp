#include "simd/kernel_sets.h"

#if defined(LUMTRAX_SIMD_X86)
namespace lumtrax {
const Kernels kSsse3Kernels = {SimdLevel::kSsse3, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
}  // namespace lumtrax
#endif
