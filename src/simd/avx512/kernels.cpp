#include "simd/kernel_sets.h"

#if defined(LUMTRAX_KERNELS_AVX512)
namespace lumtrax {
const Kernels kAvx512Kernels = {SimdLevel::kAvx512, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
}  // namespace lumtrax
#endif
