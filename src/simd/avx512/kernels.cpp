// The kernels of the avx512 level: the generic kernels (simd/generic/) over
// the avx512 wrappers (avx512/isa.h), built for that instruction set alone.
#include "simd/kernel_sets.h"

#if defined(LUMTRAX_KERNELS_AVX512)
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

LUMTRAX_TARGET_BEGIN("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,popcnt")
namespace lumtrax {
namespace avx512 {
// The operations first, then the kernels written over them.
// clang-format off
#include "simd/generic/pieces.h"
#include "simd/avx512/isa.h"
#include "simd/generic/sjis_to_host.h"
#include "simd/generic/host_to_sjis.h"
// clang-format on
}  // namespace avx512
}  // namespace lumtrax
LUMTRAX_TARGET_END

namespace lumtrax {
const Kernels kAvx512Kernels = {SimdLevel::kAvx512,   avx512::SjisToEbcdic,   avx512::SjisToEightBit, avx512::SjisToEuc,
                                avx512::EbcdicToSjis, avx512::EightBitToSjis, avx512::EucToSjis};
}  // namespace lumtrax
#endif
