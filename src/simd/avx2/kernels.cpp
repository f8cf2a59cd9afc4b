// The kernels of the avx2 level: the generic kernels (simd/generic/) over
// the avx2 wrappers (avx2/isa.h), built for that instruction set alone.
#include "simd/kernel_sets.h"

#if defined(LUMTRAX_SIMD_X86)
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codes/ebcdic_host.h"
#include "codes/eightbit_host.h"
#include "codes/euc.h"
#include "common/bytes.h"
#include "common/cursor.h"
#include "simd/target.h"
#include "tables/host_tables.h"

LUMTRAX_TARGET_BEGIN("avx2,bmi,bmi2,popcnt")
namespace lumtrax {
namespace avx2 {
// The operations first, then the kernels written over them.
// clang-format off
#include "simd/generic/pieces.h"
#include "simd/avx2/isa.h"
#include "simd/generic/sjis_to_host.h"
#include "simd/generic/host_to_sjis.h"
// clang-format on
}  // namespace avx2
}  // namespace lumtrax
LUMTRAX_TARGET_END

namespace lumtrax {
const Kernels kAvx2Kernels = {SimdLevel::kAvx2,   avx2::SjisToEbcdic,   avx2::SjisToEightBit, avx2::SjisToEuc,
                              avx2::EbcdicToSjis, avx2::EightBitToSjis, avx2::EucToSjis};
}  // namespace lumtrax
#endif
