// The SSE2 wrappers of the kernels' operations; included inside a level's
// namespace and target region (see simd/target.h). The SSSE3 level takes
// these with its byte shuffle (LUMTRAX_ISA_HAS_SHUFFLE).
//
// A window is 64 bytes, four SSE vectors side by side: the kernels' work on
// the bits of a window (where units begin, the shift state, where it ends),
// which is the same for 16 bytes as for 64, is done once for all four, and
// the vector operations on the four are independent of each other.
//
// A vector mask (VMask) has a byte of all ones or all zeros per byte; Bits
// (generic/pieces.h) has bit k for byte k.

constexpr unsigned kParts = 4;
struct Vec {
    __m128i part[kParts];  // bytes 16k to 16k + 15
};
using VMask = Vec;

constexpr unsigned kWidth = 16 * kParts;
// Writes may reach past the bytes they are for.
constexpr bool kExactWrites = false;

// An operation on each part (a macro: GCC would build a lambda without the
// region's target).
#define LUMTRAX_EACH_PART(expression)                                   \
    Vec each_;                                                          \
    for (unsigned k = 0; k < kParts; ++k) each_.part[k] = (expression); \
    return each_

LUMTRAX_INLINE __m128i Load16(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
LUMTRAX_INLINE Vec Load(const std::uint8_t* p) { LUMTRAX_EACH_PART(Load16(p + 16 * k)); }
LUMTRAX_INLINE void Store(std::uint8_t* p, Vec v) {
    for (unsigned k = 0; k < kParts; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16 * k), v.part[k]);
}
LUMTRAX_INLINE Vec Splat(std::uint8_t b) { LUMTRAX_EACH_PART(_mm_set1_epi8(static_cast<char>(b))); }

LUMTRAX_INLINE Bits ToBits(VMask m) {
    Bits bits = 0;
    for (unsigned k = 0; k < kParts; ++k) bits |= Bits{static_cast<unsigned>(_mm_movemask_epi8(m.part[k]))} << 16 * k;
    return bits;
}
LUMTRAX_INLINE __m128i FromBits16(unsigned bits) {
    const __m128i select = _mm_set_epi8(-128, 64, 32, 16, 8, 4, 2, 1, -128, 64, 32, 16, 8, 4, 2, 1);
    __m128i spread = _mm_cvtsi32_si128(static_cast<int>(bits & 0xFFFF));
    spread = _mm_unpacklo_epi8(spread, spread);
    spread = _mm_unpacklo_epi16(spread, spread);
    spread = _mm_unpacklo_epi32(spread, spread);  // the low byte eight times, then the high byte
    return _mm_cmpeq_epi8(_mm_and_si128(spread, select), select);
}
LUMTRAX_INLINE VMask FromBits(Bits bits) { LUMTRAX_EACH_PART(FromBits16(static_cast<unsigned>(bits >> 16 * k))); }

LUMTRAX_INLINE VMask VEq(Vec v, std::uint8_t b) {
    const __m128i all = _mm_set1_epi8(static_cast<char>(b));
    LUMTRAX_EACH_PART(_mm_cmpeq_epi8(v.part[k], all));
}
// lo-hi as unsigned: moved so that lo lands on -128, the range is the signed
// values up to hi - lo - 128.
LUMTRAX_INLINE VMask VInRange(Vec v, std::uint8_t lo, std::uint8_t hi) {
    const __m128i move = _mm_set1_epi8(static_cast<char>(0x80 - lo));
    const __m128i top = _mm_set1_epi8(static_cast<char>(hi - lo - 127));
    LUMTRAX_EACH_PART(_mm_cmplt_epi8(_mm_add_epi8(v.part[k], move), top));
}
LUMTRAX_INLINE VMask VHigh(Vec v) { LUMTRAX_EACH_PART(_mm_cmplt_epi8(v.part[k], _mm_setzero_si128())); }
LUMTRAX_INLINE VMask VAnd(VMask a, VMask b) { LUMTRAX_EACH_PART(_mm_and_si128(a.part[k], b.part[k])); }
LUMTRAX_INLINE VMask VOr(VMask a, VMask b) { LUMTRAX_EACH_PART(_mm_or_si128(a.part[k], b.part[k])); }

LUMTRAX_INLINE Vec Select(VMask m, Vec a, Vec b) {
    LUMTRAX_EACH_PART(_mm_or_si128(_mm_and_si128(m.part[k], a.part[k]), _mm_andnot_si128(m.part[k], b.part[k])));
}
LUMTRAX_INLINE Vec AddB(Vec a, Vec b) { LUMTRAX_EACH_PART(_mm_add_epi8(a.part[k], b.part[k])); }
LUMTRAX_INLINE Vec SubB(Vec a, Vec b) { LUMTRAX_EACH_PART(_mm_sub_epi8(a.part[k], b.part[k])); }
LUMTRAX_INLINE Vec OrB(Vec a, Vec b) { return VOr(a, b); }
LUMTRAX_INLINE Vec AndB(Vec a, Vec b) { return VAnd(a, b); }
LUMTRAX_INLINE Vec AddWhere(VMask m, Vec v, std::uint8_t b) { return AddB(v, AndB(m, Splat(b))); }
// (v + 1) / 2 per byte.
LUMTRAX_INLINE Vec HalfUp(Vec v) { LUMTRAX_EACH_PART(_mm_avg_epu8(v.part[k], _mm_setzero_si128())); }

// UTF-16 code units of single bytes: each byte of v as a unit, 2W bytes.
LUMTRAX_INLINE void StoreWords(std::uint8_t* out, Vec v, bool big_endian) {
    const __m128i zero = _mm_setzero_si128();
    for (unsigned k = 0; k < kParts; ++k) {
        const __m128i part = v.part[k];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32 * k),
                         big_endian ? _mm_unpacklo_epi8(zero, part) : _mm_unpacklo_epi8(part, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 32 * k + 16),
                         big_endian ? _mm_unpackhi_epi8(zero, part) : _mm_unpackhi_epi8(part, zero));
    }
}

// The W code units of UTF-16 at p (2W bytes) as bytes, where each is below
// 80; false where one is not.
LUMTRAX_INLINE bool LoadAsciiWords(const std::uint8_t* p, bool big_endian, Vec& v) {
    __m128i any = _mm_setzero_si128();
    for (unsigned k = 0; k < kParts; ++k) {
        __m128i a = Load16(p + 32 * k), b = Load16(p + 32 * k + 16);
        if (big_endian) {
            a = _mm_or_si128(_mm_slli_epi16(a, 8), _mm_srli_epi16(a, 8));
            b = _mm_or_si128(_mm_slli_epi16(b, 8), _mm_srli_epi16(b, 8));
        }
        any = _mm_or_si128(any, _mm_or_si128(a, b));
        v.part[k] = _mm_packus_epi16(a, b);
    }
    const __m128i high = _mm_and_si128(any, _mm_set1_epi16(static_cast<short>(0xFF80)));
    return _mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) == 0xFFFF;
}

#if defined(LUMTRAX_ISA_HAS_SHUFFLE)
// SSSE3: the 16 bytes at p in each part, and the byte shuffle.
LUMTRAX_INLINE Vec Row16(const std::uint8_t* p) {
    const __m128i row = Load16(p);
    LUMTRAX_EACH_PART(row);
}
LUMTRAX_INLINE Vec Shuffle(Vec entries, Vec index) {
    LUMTRAX_EACH_PART(_mm_shuffle_epi8(entries.part[k], index.part[k]));
}
LUMTRAX_INLINE Vec AddSaturated(Vec a, Vec b) { LUMTRAX_EACH_PART(_mm_adds_epu8(a.part[k], b.part[k])); }
#endif

#include "simd/generic/vector_pieces.h"

#ifndef LUMTRAX_ISA_HAS_SHUFFLE
// The entries of a 256-byte table for each byte; SSE2 has no byte shuffle.
LUMTRAX_INLINE Vec Lookup(const ByteTable& table, Vec v, bool) { return LookupByteByByte(table, v); }
#endif
