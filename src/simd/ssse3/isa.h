// SSSE3: the SSE2 wrappers with a table lookup by byte shuffles. Included
// inside the level's namespace and target region.
#define LUMTRAX_ISA_HAS_LOOKUP 1
#include "simd/sse2/isa.h"

// The entries of a 256-byte table for each byte. Bytes below 80 by byte
// shuffles of the table's first 8 rows of 16 entries: for the row r the
// index is the byte less 16r (wrapping around), plus 70 with saturation, so
// that the bytes of that row give 70-7F, whose low half picks the entry, and
// every other byte gives 80 or more, for which the shuffle gives 00. Where a
// byte has its high bit, 16 rows cost more than a lookup byte by byte.
LUMTRAX_INLINE Vec Lookup(const ByteTable& table, Vec v, bool any_high) {
    if (any_high) return LookupByteByByte(table, v);
    const __m128i row_step = Splat(0x10);
    const __m128i to_index = Splat(0x70);
    __m128i result = _mm_setzero_si128();
    __m128i rest = v;
    for (unsigned row = 0; row < 8; ++row) {
        result = _mm_or_si128(result, _mm_shuffle_epi8(Load(table.data() + 16 * row), _mm_adds_epu8(rest, to_index)));
        rest = _mm_sub_epi8(rest, row_step);
    }
    return result;
}
