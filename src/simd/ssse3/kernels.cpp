// The kernels of the ssse3 level: the generic kernels (simd/generic/) over
// the ssse3 wrappers (ssse3/isa.h), built for that instruction set alone.
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

LUMTRAX_TARGET_BEGIN("ssse3")
namespace lumtrax {
namespace ssse3 {
// The operations first, then the kernels written over them.
// clang-format off
#include "simd/generic/pieces.h"
#include "simd/ssse3/isa.h"
#include "simd/generic/sjis_to_host.h"
#include "simd/generic/host_to_sjis.h"
// clang-format on
}  // namespace ssse3
}  // namespace lumtrax
LUMTRAX_TARGET_END

namespace lumtrax {
const Kernels kSsse3Kernels = {SimdLevel::kSsse3,   ssse3::SjisToEbcdic,   ssse3::SjisToEightBit, ssse3::SjisToEuc,
                               ssse3::EbcdicToSjis, ssse3::EightBitToSjis, ssse3::EucToSjis};
}  // namespace lumtrax
#endif
