// The SSE2 wrappers of the kernels' operations, 16 bytes at a time; included
// inside a level's namespace and target region (see simd/target.h). The
// SSSE3 level takes these and replaces the table lookup.
//
// A vector mask (VMask) has a byte of all ones or all zeros per byte; Bits
// (generic/pieces.h) has bit k for byte k.

using Vec = __m128i;
using VMask = __m128i;

constexpr unsigned kWidth = 16;
// Writes may reach past the bytes they are for.
constexpr bool kExactWrites = false;

LUMTRAX_INLINE Vec Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
LUMTRAX_INLINE void Store(std::uint8_t* p, Vec v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
LUMTRAX_INLINE Vec Splat(std::uint8_t b) { return _mm_set1_epi8(static_cast<char>(b)); }

LUMTRAX_INLINE Bits ToBits(VMask m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); }
LUMTRAX_INLINE VMask FromBits(Bits bits) {
    const __m128i select = _mm_set_epi8(-128, 64, 32, 16, 8, 4, 2, 1, -128, 64, 32, 16, 8, 4, 2, 1);
    __m128i spread = _mm_cvtsi32_si128(static_cast<int>(bits & 0xFFFF));
    spread = _mm_unpacklo_epi8(spread, spread);
    spread = _mm_unpacklo_epi16(spread, spread);
    spread = _mm_unpacklo_epi32(spread, spread);  // the low byte eight times, then the high byte
    return _mm_cmpeq_epi8(_mm_and_si128(spread, select), select);
}

LUMTRAX_INLINE VMask VEq(Vec v, std::uint8_t b) { return _mm_cmpeq_epi8(v, Splat(b)); }
// lo-hi as unsigned: moved so that lo lands on -128, the range is the signed
// values up to hi - lo - 128.
LUMTRAX_INLINE VMask VInRange(Vec v, std::uint8_t lo, std::uint8_t hi) {
    const __m128i moved = _mm_add_epi8(v, Splat(static_cast<std::uint8_t>(0x80 - lo)));
    return _mm_cmplt_epi8(moved, Splat(static_cast<std::uint8_t>(hi - lo - 127)));
}
LUMTRAX_INLINE VMask VHigh(Vec v) { return _mm_cmplt_epi8(v, _mm_setzero_si128()); }
LUMTRAX_INLINE VMask VAnd(VMask a, VMask b) { return _mm_and_si128(a, b); }
LUMTRAX_INLINE VMask VOr(VMask a, VMask b) { return _mm_or_si128(a, b); }

LUMTRAX_INLINE Vec Select(VMask m, Vec a, Vec b) { return _mm_or_si128(_mm_and_si128(m, a), _mm_andnot_si128(m, b)); }
LUMTRAX_INLINE Vec AddB(Vec a, Vec b) { return _mm_add_epi8(a, b); }
LUMTRAX_INLINE Vec SubB(Vec a, Vec b) { return _mm_sub_epi8(a, b); }
LUMTRAX_INLINE Vec OrB(Vec a, Vec b) { return _mm_or_si128(a, b); }
LUMTRAX_INLINE Vec AndB(Vec a, Vec b) { return _mm_and_si128(a, b); }
LUMTRAX_INLINE Vec AddWhere(VMask m, Vec v, std::uint8_t b) { return _mm_add_epi8(v, _mm_and_si128(m, Splat(b))); }
// (v + 1) / 2 per byte.
LUMTRAX_INLINE Vec HalfUp(Vec v) { return _mm_avg_epu8(v, _mm_setzero_si128()); }

// UTF-16 code units of single bytes: each byte of v as a unit, 2W bytes.
LUMTRAX_INLINE void StoreWords(std::uint8_t* out, Vec v, bool big_endian) {
    const __m128i zero = _mm_setzero_si128();
    Store(out, big_endian ? _mm_unpacklo_epi8(zero, v) : _mm_unpacklo_epi8(v, zero));
    Store(out + 16, big_endian ? _mm_unpackhi_epi8(zero, v) : _mm_unpackhi_epi8(v, zero));
}

// The W code units of UTF-16 at p (2W bytes) as bytes, where each is below
// 80; false where one is not.
LUMTRAX_INLINE bool LoadAsciiWords(const std::uint8_t* p, bool big_endian, Vec& v) {
    __m128i a = Load(p), b = Load(p + 16);
    if (big_endian) {
        a = _mm_or_si128(_mm_slli_epi16(a, 8), _mm_srli_epi16(a, 8));
        b = _mm_or_si128(_mm_slli_epi16(b, 8), _mm_srli_epi16(b, 8));
    }
    const __m128i high = _mm_and_si128(_mm_or_si128(a, b), _mm_set1_epi16(static_cast<short>(0xFF80)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) != 0xFFFF) return false;
    v = _mm_packus_epi16(a, b);
    return true;
}

#include "simd/generic/vector_pieces.h"

#ifndef LUMTRAX_ISA_HAS_LOOKUP
// The entries of a 256-byte table for each byte; SSE2 has no byte shuffle.
LUMTRAX_INLINE Vec Lookup(const ByteTable& table, Vec v, bool) { return LookupByteByByte(table, v); }
#endif
