// The AVX2 wrappers of the kernels' operations, 32 bytes at a time; included
// inside the level's namespace and target region (see simd/target.h).
//
// A vector mask (VMask) has a byte of all ones or all zeros per byte; Bits
// (generic/pieces.h) has bit k for byte k.

using Vec = __m256i;
using VMask = __m256i;

constexpr unsigned kWidth = 32;
// Writes may reach past the bytes they are for.
constexpr bool kExactWrites = false;

LUMTRAX_INLINE Vec Load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
LUMTRAX_INLINE void Store(std::uint8_t* p, Vec v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
LUMTRAX_INLINE Vec Splat(std::uint8_t b) { return _mm256_set1_epi8(static_cast<char>(b)); }

LUMTRAX_INLINE Bits ToBits(VMask m) { return static_cast<std::uint32_t>(_mm256_movemask_epi8(m)); }
LUMTRAX_INLINE VMask FromBits(Bits bits) {
    // Each byte takes the byte of the mask that holds its bit, then tests it.
    const __m256i spread = _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(bits)),
                                               _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2,
                                                                2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3));
    const __m256i select = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
    return _mm256_cmpeq_epi8(_mm256_and_si256(spread, select), select);
}

LUMTRAX_INLINE VMask VEq(Vec v, std::uint8_t b) { return _mm256_cmpeq_epi8(v, Splat(b)); }
// lo-hi as unsigned: moved so that lo lands on -128, the range is the signed
// values up to hi - lo - 128.
LUMTRAX_INLINE VMask VInRange(Vec v, std::uint8_t lo, std::uint8_t hi) {
    const __m256i moved = _mm256_add_epi8(v, Splat(static_cast<std::uint8_t>(0x80 - lo)));
    return _mm256_cmpgt_epi8(Splat(static_cast<std::uint8_t>(hi - lo - 127)), moved);
}
LUMTRAX_INLINE VMask VHigh(Vec v) { return _mm256_cmpgt_epi8(_mm256_setzero_si256(), v); }
LUMTRAX_INLINE VMask VAnd(VMask a, VMask b) { return _mm256_and_si256(a, b); }
LUMTRAX_INLINE VMask VOr(VMask a, VMask b) { return _mm256_or_si256(a, b); }

LUMTRAX_INLINE Vec Select(VMask m, Vec a, Vec b) { return _mm256_blendv_epi8(b, a, m); }
LUMTRAX_INLINE Vec AddB(Vec a, Vec b) { return _mm256_add_epi8(a, b); }
LUMTRAX_INLINE Vec SubB(Vec a, Vec b) { return _mm256_sub_epi8(a, b); }
LUMTRAX_INLINE Vec OrB(Vec a, Vec b) { return _mm256_or_si256(a, b); }
LUMTRAX_INLINE Vec AndB(Vec a, Vec b) { return _mm256_and_si256(a, b); }
LUMTRAX_INLINE Vec AddWhere(VMask m, Vec v, std::uint8_t b) {
    return _mm256_add_epi8(v, _mm256_and_si256(m, Splat(b)));
}
LUMTRAX_INLINE Vec HalfUp(Vec v) { return _mm256_avg_epu8(v, _mm256_setzero_si256()); }

// The entries of a 256-byte table for each byte, by byte shuffles of the
// table's rows of 16 entries, each in both halves of the vector. For the row
// r the index is the byte less 16r (wrapping around), plus 70 with
// saturation: the bytes of that row give 70-7F, whose low half picks the
// entry; every other byte gives 80 or more, for which the shuffle gives 00.
// The rows 8-F only when a byte has its high bit.
LUMTRAX_INLINE Vec Lookup(const ByteTable& table, Vec v, bool any_high) {
    const __m256i row_step = Splat(0x10);
    const __m256i to_index = Splat(0x70);
    __m256i result = _mm256_setzero_si256();
    __m256i rest = v;
    const unsigned rows = any_high ? 16 : 8;
    for (unsigned row = 0; row < rows; ++row) {
        const __m256i entries =
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data() + 16 * row)));
        result = _mm256_or_si256(result, _mm256_shuffle_epi8(entries, _mm256_adds_epu8(rest, to_index)));
        rest = _mm256_sub_epi8(rest, row_step);
    }
    return result;
}

// UTF-16 code units of single bytes: each byte of v as a unit, 2W bytes.
LUMTRAX_INLINE void StoreWords(std::uint8_t* out, Vec v, bool big_endian) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i in_order = _mm256_permute4x64_epi64(v, 0xD8);  // 64-bit quarters 0 2 1 3
    Store(out, big_endian ? _mm256_unpacklo_epi8(zero, in_order) : _mm256_unpacklo_epi8(in_order, zero));
    Store(out + 32, big_endian ? _mm256_unpackhi_epi8(zero, in_order) : _mm256_unpackhi_epi8(in_order, zero));
}

// The W code units of UTF-16 at p (2W bytes) as bytes, where each is below
// 80; false where one is not.
LUMTRAX_INLINE bool LoadAsciiWords(const std::uint8_t* p, bool big_endian, Vec& v) {
    __m256i a = Load(p), b = Load(p + 32);
    if (big_endian) {
        a = _mm256_or_si256(_mm256_slli_epi16(a, 8), _mm256_srli_epi16(a, 8));
        b = _mm256_or_si256(_mm256_slli_epi16(b, 8), _mm256_srli_epi16(b, 8));
    }
    const __m256i high = _mm256_and_si256(_mm256_or_si256(a, b), _mm256_set1_epi16(static_cast<short>(0xFF80)));
    if (!_mm256_testz_si256(high, high)) return false;
    v = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
    return true;
}

#include "simd/generic/vector_pieces.h"
