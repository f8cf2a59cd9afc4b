// What every level's kernels.cpp includes before its target region: the
// headers of the standard library and of the rest of the library that the
// generic kernels use, so that none of their inline functions is built for
// the level's instruction set (see simd/target.h). Then, inside the region
// and the level's namespace, the level includes generic/pieces.h, its
// isa.h and generic/kernels.h, in that order.
#ifndef LUMTRAX_SIMD_GENERIC_LEVEL_H
#define LUMTRAX_SIMD_GENERIC_LEVEL_H

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codes/ebcdic_host.h"
#include "codes/eightbit_host.h"
#include "codes/euc.h"
#include "common/bytes.h"
#include "common/cursor.h"
#include "simd/kernel_sets.h"
#include "simd/target.h"
#include "tables/host_tables.h"

// The table of a level's kernels, from the functions of its namespace.
#define LUMTRAX_KERNELS_OF(level, ns)                                                                         \
    {                                                                                                         \
        level, ns::SjisToEbcdicBlocks, ns::SjisToEightBitBlocks, ns::SjisToEucBlocks, ns::EbcdicToSjisBlocks, \
            ns::EightBitToSjisBlocks, ns::EucToSjisBlocks, {}, {}                                             \
    }

#endif  // LUMTRAX_SIMD_GENERIC_LEVEL_H
