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
#include "codes/unicode.h"
#include "codes/units.h"
#include "common/bytes.h"
#include "common/cursor.h"
#include "simd/kernel_sets.h"
#include "simd/target.h"
#include "tables/host_tables.h"
#include "tables/unicode_tables.h"
#include "codes/unicode_units.h"

// The table of a level's kernels, from the functions of its namespace.
#define LUMTRAX_KERNELS_OF(level, ns)                                                                         \
    {                                                                                                         \
        level, ns::SjisToEbcdicBlocks, ns::SjisToEightBitBlocks, ns::SjisToEucBlocks, ns::EbcdicToSjisBlocks, \
            ns::EightBitToSjisBlocks, ns::EucToSjisBlocks, LUMTRAX_TO_UNICODE_KERNELS(ns),                    \
            LUMTRAX_FROM_UNICODE_KERNELS(ns)                                                                  \
    }

// The kernels of the conversions to Unicode, by source code and form, and
// from Unicode, by form and target code (generic/unicode.h).
#define LUMTRAX_TO_UNICODE_OF(ns, code)                                \
    {                                                                  \
        ns::ToUnicodeBlocks<code, lumtrax::UnicodeForm::kUtf8>,        \
            ns::ToUnicodeBlocks<code, lumtrax::UnicodeForm::kUtf16Le>, \
            ns::ToUnicodeBlocks<code, lumtrax::UnicodeForm::kUtf16Be>  \
    }
#define LUMTRAX_TO_UNICODE_KERNELS(ns)                                     \
    {                                                                      \
        LUMTRAX_TO_UNICODE_OF(ns, lumtrax::SourceCode::kShiftJis),         \
            LUMTRAX_TO_UNICODE_OF(ns, lumtrax::SourceCode::kEbcdicHost),   \
            LUMTRAX_TO_UNICODE_OF(ns, lumtrax::SourceCode::kEightBitHost), \
            LUMTRAX_TO_UNICODE_OF(ns, lumtrax::SourceCode::kEuc)           \
    }
#define LUMTRAX_FROM_UNICODE_OF(ns, form)                                    \
    {                                                                        \
        ns::FromUnicodeBlocks<form, lumtrax::SourceCode::kShiftJis>,         \
            ns::FromUnicodeBlocks<form, lumtrax::SourceCode::kEbcdicHost>,   \
            ns::FromUnicodeBlocks<form, lumtrax::SourceCode::kEightBitHost>, \
            ns::FromUnicodeBlocks<form, lumtrax::SourceCode::kEuc>           \
    }
#define LUMTRAX_FROM_UNICODE_KERNELS(ns)                                 \
    {                                                                    \
        LUMTRAX_FROM_UNICODE_OF(ns, lumtrax::UnicodeForm::kUtf8),        \
            LUMTRAX_FROM_UNICODE_OF(ns, lumtrax::UnicodeForm::kUtf16Le), \
            LUMTRAX_FROM_UNICODE_OF(ns, lumtrax::UnicodeForm::kUtf16Be)  \
    }

#endif  // LUMTRAX_SIMD_GENERIC_LEVEL_H
