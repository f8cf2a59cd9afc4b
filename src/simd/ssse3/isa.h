// SSSE3: the SSE2 wrappers with a table lookup by byte shuffles. Included
// inside the level's namespace and target region.
#define LUMTRAX_ISA_HAS_LOOKUP 1
#include "simd/sse2/isa.h"

// The entries of a 256-byte table for each byte: the table's rows of 16
// entries each looked up by the low half of the byte and kept where the
// high half names the row. The rows 8-F only when a byte has its high bit.
LUMTRAX_INLINE Vec Lookup(const ByteTable& table, Vec v, bool any_high) {
    const __m128i row_of = _mm_and_si128(_mm_srli_epi16(v, 4), Splat(0x0F));
    const __m128i low = _mm_and_si128(v, Splat(0x0F));
    __m128i result = _mm_setzero_si128();
    const unsigned rows = any_high ? 16 : 8;
    for (unsigned row = 0; row < rows; ++row) {
        const __m128i entries = _mm_shuffle_epi8(Load(table.data() + 16 * row), low);
        result = _mm_or_si128(result, _mm_and_si128(entries, _mm_cmpeq_epi8(row_of, Splat(static_cast<std::uint8_t>(row)))));
    }
    return result;
}
