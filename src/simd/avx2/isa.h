// The AVX2 wrappers of the kernels' operations; included inside the level's
// namespace and target region (see simd/target.h).
//
// A window is 64 bytes, two AVX2 vectors side by side: the kernels' work on
// the bits of a window (where units begin, the shift state, where it ends),
// which is the same for 32 bytes as for 64, is done once for both, and the
// two halves' vector operations are independent of each other.
//
// A vector mask (VMask) has a byte of all ones or all zeros per byte; Bits
// (generic/pieces.h) has bit k for byte k.

struct Vec {
    __m256i lo, hi;  // bytes 0-31 and 32-63
};
using VMask = Vec;

constexpr unsigned kWidth = 64;
// Writes may reach past the bytes they are for.
constexpr bool kExactWrites = false;

// An operation on each half (a macro: GCC would build a lambda without the
// region's target).
#define LUMTRAX_EACH_HALF(a, b, op) \
    Vec { op((a).lo, (b).lo), op((a).hi, (b).hi) }

LUMTRAX_INLINE __m256i Load32(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
LUMTRAX_INLINE void Store32(std::uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
LUMTRAX_INLINE Vec Load(const std::uint8_t* p) { return {Load32(p), Load32(p + 32)}; }
LUMTRAX_INLINE void Store(std::uint8_t* p, Vec v) {
    Store32(p, v.lo);
    Store32(p + 32, v.hi);
}
LUMTRAX_INLINE Vec Splat(std::uint8_t b) {
    const __m256i all = _mm256_set1_epi8(static_cast<char>(b));
    return {all, all};
}

LUMTRAX_INLINE Bits ToBits(VMask m) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(m.lo)) |
           Bits{static_cast<std::uint32_t>(_mm256_movemask_epi8(m.hi))} << 32;
}
// Each byte takes the byte of the mask that holds its bit, then tests it.
LUMTRAX_INLINE __m256i FromBits32(std::uint32_t bits) {
    const __m256i spread = _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(bits)),
                                               _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2,
                                                                2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3));
    const __m256i select = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
    return _mm256_cmpeq_epi8(_mm256_and_si256(spread, select), select);
}
LUMTRAX_INLINE VMask FromBits(Bits bits) {
    return {FromBits32(static_cast<std::uint32_t>(bits)), FromBits32(static_cast<std::uint32_t>(bits >> 32))};
}

LUMTRAX_INLINE VMask VEq(Vec v, std::uint8_t b) { return LUMTRAX_EACH_HALF(v, Splat(b), _mm256_cmpeq_epi8); }
// lo-hi as unsigned: moved so that lo lands on -128, the range is the signed
// values up to hi - lo - 128.
LUMTRAX_INLINE VMask VInRange(Vec v, std::uint8_t lo, std::uint8_t hi) {
    const __m256i move = _mm256_set1_epi8(static_cast<char>(0x80 - lo));
    const __m256i top = _mm256_set1_epi8(static_cast<char>(hi - lo - 127));
    return {_mm256_cmpgt_epi8(top, _mm256_add_epi8(v.lo, move)), _mm256_cmpgt_epi8(top, _mm256_add_epi8(v.hi, move))};
}
LUMTRAX_INLINE VMask VHigh(Vec v) {
    const __m256i zero = _mm256_setzero_si256();
    return {_mm256_cmpgt_epi8(zero, v.lo), _mm256_cmpgt_epi8(zero, v.hi)};
}
LUMTRAX_INLINE VMask VAnd(VMask a, VMask b) { return LUMTRAX_EACH_HALF(a, b, _mm256_and_si256); }
LUMTRAX_INLINE VMask VOr(VMask a, VMask b) { return LUMTRAX_EACH_HALF(a, b, _mm256_or_si256); }

LUMTRAX_INLINE Vec Select(VMask m, Vec a, Vec b) {
    return {_mm256_blendv_epi8(b.lo, a.lo, m.lo), _mm256_blendv_epi8(b.hi, a.hi, m.hi)};
}
LUMTRAX_INLINE Vec AddB(Vec a, Vec b) { return LUMTRAX_EACH_HALF(a, b, _mm256_add_epi8); }
LUMTRAX_INLINE Vec SubB(Vec a, Vec b) { return LUMTRAX_EACH_HALF(a, b, _mm256_sub_epi8); }
LUMTRAX_INLINE Vec OrB(Vec a, Vec b) { return VOr(a, b); }
LUMTRAX_INLINE Vec AndB(Vec a, Vec b) { return VAnd(a, b); }
LUMTRAX_INLINE Vec AddWhere(VMask m, Vec v, std::uint8_t b) { return AddB(v, AndB(m, Splat(b))); }
LUMTRAX_INLINE Vec HalfUp(Vec v) {
    const __m256i zero = _mm256_setzero_si256();
    return {_mm256_avg_epu8(v.lo, zero), _mm256_avg_epu8(v.hi, zero)};
}

// The 16 bytes at p in each 16 bytes of a vector.
LUMTRAX_INLINE Vec Row16(const std::uint8_t* p) {
    const __m256i row = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    return {row, row};
}
LUMTRAX_INLINE Vec Shuffle(Vec entries, Vec index) { return LUMTRAX_EACH_HALF(entries, index, _mm256_shuffle_epi8); }
LUMTRAX_INLINE Vec AddSaturated(Vec a, Vec b) { return LUMTRAX_EACH_HALF(a, b, _mm256_adds_epu8); }

// Bytes 16k to 16k + 15 of a vector, k 0-3.
LUMTRAX_INLINE __m128i Sixteen(Vec v, unsigned k) {
    const __m256i half = k < 2 ? v.lo : v.hi;
    return k % 2 == 0 ? _mm256_castsi256_si128(half) : _mm256_extracti128_si256(half, 1);
}

// UTF-16 code units of single bytes: each byte of v as a unit, 2W bytes.
LUMTRAX_INLINE void StoreWords(std::uint8_t* out, Vec v, bool big_endian) {
    const __m256i zero = _mm256_setzero_si256();
    for (const __m256i half : {v.lo, v.hi}) {
        const __m256i in_order = _mm256_permute4x64_epi64(half, 0xD8);  // 64-bit quarters 0 2 1 3
        Store32(out, big_endian ? _mm256_unpacklo_epi8(zero, in_order) : _mm256_unpacklo_epi8(in_order, zero));
        Store32(out + 32, big_endian ? _mm256_unpackhi_epi8(zero, in_order) : _mm256_unpackhi_epi8(in_order, zero));
        out += 64;
    }
}

// The W code units of UTF-16 at p (2W bytes) as bytes, where each is below
// 80; false where one is not.
LUMTRAX_INLINE bool LoadAsciiWords(const std::uint8_t* p, bool big_endian, Vec& v) {
    __m256i words[4] = {Load32(p), Load32(p + 32), Load32(p + 64), Load32(p + 96)};
    __m256i any = _mm256_setzero_si256();
    for (__m256i& w : words) {
        if (big_endian) w = _mm256_or_si256(_mm256_slli_epi16(w, 8), _mm256_srli_epi16(w, 8));
        any = _mm256_or_si256(any, w);
    }
    const __m256i high = _mm256_and_si256(any, _mm256_set1_epi16(static_cast<short>(0xFF80)));
    if (!_mm256_testz_si256(high, high)) return false;
    v.lo = _mm256_permute4x64_epi64(_mm256_packus_epi16(words[0], words[1]), 0xD8);
    v.hi = _mm256_permute4x64_epi64(_mm256_packus_epi16(words[2], words[3]), 0xD8);
    return true;
}

#define LUMTRAX_ISA_HAS_SHUFFLE 1
#define LUMTRAX_ISA_KEEPS_BY_SHUFFLES 1
#include "simd/generic/vector_pieces.h"
