// The kernels of the sse2 level: the generic kernels (simd/generic/) over
// the sse2 wrappers (sse2/isa.h), built for that instruction set alone.
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

LUMTRAX_TARGET_BEGIN("sse2")
namespace lumtrax {
namespace sse2 {
// The operations first, then the kernels written over them.
// clang-format off
#include "simd/generic/pieces.h"
#include "simd/sse2/isa.h"
#include "simd/generic/sjis_to_host.h"
#include "simd/generic/host_to_sjis.h"
// clang-format on
}  // namespace sse2
}  // namespace lumtrax
LUMTRAX_TARGET_END

namespace lumtrax {
const Kernels kSse2Kernels = {SimdLevel::kSse2,   sse2::SjisToEbcdic,   sse2::SjisToEightBit, sse2::SjisToEuc,
                              sse2::EbcdicToSjis, sse2::EightBitToSjis, sse2::EucToSjis};
}  // namespace lumtrax
#endif
