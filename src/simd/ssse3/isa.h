// SSSE3: the SSE2 wrappers with a table lookup by byte shuffles. Included
// inside the level's namespace and target region.
#define LUMTRAX_ISA_HAS_LOOKUP 1
#include "simd/sse2/isa.h"

// The entries of a 256-byte table for each byte, by byte shuffles of the
// table's rows of 16 entries. For the row r the index is the byte less 16r
// (wrapping around), plus 70 with saturation: the bytes of that row give
// 70-7F, whose low half picks the entry; every other byte gives 80 or more,
// for which the shuffle gives 00. The rows 8-F only when a byte has its
// high bit.
LUMTRAX_INLINE Vec Lookup(const ByteTable& table, Vec v, bool any_high) {
    const __m128i row_step = Splat(0x10);
    const __m128i to_index = Splat(0x70);
    __m128i result = _mm_setzero_si128();
    __m128i rest = v;
    const unsigned rows = any_high ? 16 : 8;
    for (unsigned row = 0; row < rows; ++row) {
        result = _mm_or_si128(result, _mm_shuffle_epi8(Load(table.data() + 16 * row), _mm_adds_epu8(rest, to_index)));
        rest = _mm_sub_epi8(rest, row_step);
    }
    return result;
}
