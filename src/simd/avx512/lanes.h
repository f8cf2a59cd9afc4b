// The AVX-512 operations on 32-bit lanes that the kernels of the conversions
// to and from Unicode use (generic/unicode.h): 16 lanes, gathers, and the
// units of a window in text order. Included inside the level's namespace
// and target region, after isa.h.
//
// The zero-masked forms of the intrinsics are used throughout: GCC's plain
// ones start from an undefined vector, which its own warnings flag.
//
// The units of a window (the bytes at which they begin, and the one or two
// after each) are packed in text order by byte compression, so that a batch
// of lanes is 16 units one after another; written bytes are packed by byte
// compression too.
#define LUMTRAX_ISA_HAS_LANES 1

using Lanes = __m512i;
using LaneBits = std::uint32_t;  // bit k for lane k
constexpr unsigned kLanes = 16;

LUMTRAX_INLINE Lanes LSplat(std::uint32_t x) { return _mm512_set1_epi32(static_cast<int>(x)); }
LUMTRAX_INLINE Lanes LAdd(Lanes a, Lanes b) { return _mm512_add_epi32(a, b); }
LUMTRAX_INLINE Lanes LSub(Lanes a, Lanes b) { return _mm512_sub_epi32(a, b); }
LUMTRAX_INLINE Lanes LAnd(Lanes a, Lanes b) { return _mm512_and_si512(a, b); }
LUMTRAX_INLINE Lanes LOr(Lanes a, Lanes b) { return _mm512_or_si512(a, b); }
LUMTRAX_INLINE Lanes LMul(Lanes a, std::uint32_t b) { return _mm512_maskz_mullo_epi32(0xFFFF, a, LSplat(b)); }
template <int kBits>
LUMTRAX_INLINE Lanes LShl(Lanes a) {
    return _mm512_maskz_slli_epi32(0xFFFF, a, kBits);
}
template <int kBits>
LUMTRAX_INLINE Lanes LShr(Lanes a) {
    return _mm512_maskz_srli_epi32(0xFFFF, a, kBits);
}
LUMTRAX_INLINE LaneBits LEq(Lanes a, std::uint32_t b) { return _mm512_cmpeq_epi32_mask(a, LSplat(b)); }
LUMTRAX_INLINE LaneBits LBelow(Lanes a, std::uint32_t b) { return _mm512_cmplt_epu32_mask(a, LSplat(b)); }
LUMTRAX_INLINE LaneBits LInRange(Lanes a, std::uint32_t lo, std::uint32_t hi) {
    return _mm512_cmple_epu32_mask(LSub(a, LSplat(lo)), LSplat(hi - lo));
}
LUMTRAX_INLINE Lanes LSelect(LaneBits m, Lanes a, Lanes b) {
    return _mm512_mask_blend_epi32(static_cast<__mmask16>(m), b, a);
}
LUMTRAX_INLINE Lanes LAddWhere(LaneBits m, Lanes a, std::uint32_t b) {
    return _mm512_mask_add_epi32(a, static_cast<__mmask16>(m), a, LSplat(b));
}

// The 32-bit entries of table at the lanes of m (0 elsewhere).
LUMTRAX_INLINE Lanes LGather(const std::uint32_t* table, Lanes index, LaneBits m) {
    return _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), static_cast<__mmask16>(m), index, table, 4);
}

// The 16-bit entries of table at the lanes of m (0 elsewhere), read as 32
// bits at their place (the tables have an entry to spare after the last).
LUMTRAX_INLINE Lanes LGatherWords(const std::uint16_t* table, Lanes index, LaneBits m) {
    const Lanes pairs = _mm512_mask_i32gather_epi32(_mm512_setzero_si512(), static_cast<__mmask16>(m), index, table, 2);
    return LAnd(pairs, LSplat(0xFFFF));
}

// A window's units: where they begin, and how many there are.
struct UnitBytes {
    Bits starts;
    unsigned count;
};

LUMTRAX_INLINE UnitBytes UnitsAt(Bits starts) { return {starts, BitCount(starts)}; }

// The bytes of v at the units, in text order.
LUMTRAX_INLINE Vec PackBytes(const UnitBytes& u, Vec v) { return _mm512_maskz_compress_epi8(FromBits(u.starts), v); }

// The units as lanes: batch b holds the units 16b to 16b + 15, of bytes
// that PackBytes packed.
LUMTRAX_INLINE unsigned BatchCount(const UnitBytes& u) { return (u.count + kLanes - 1) / kLanes; }

LUMTRAX_INLINE Lanes BatchLanes(Vec bytes, unsigned b) {
    switch (b) {
        case 0:
            return _mm512_maskz_cvtepu8_epi32(0xFFFF, _mm512_maskz_extracti32x4_epi32(0xF, bytes, 0));
        case 1:
            return _mm512_maskz_cvtepu8_epi32(0xFFFF, _mm512_maskz_extracti32x4_epi32(0xF, bytes, 1));
        case 2:
            return _mm512_maskz_cvtepu8_epi32(0xFFFF, _mm512_maskz_extracti32x4_epi32(0xF, bytes, 2));
        default:
            return _mm512_maskz_cvtepu8_epi32(0xFFFF, _mm512_maskz_extracti32x4_epi32(0xF, bytes, 3));
    }
}

// The units of batch b that there are.
LUMTRAX_INLINE LaneBits BatchUnits(const UnitBytes& u, unsigned b) {
    return static_cast<LaneBits>(Below(u.count - kLanes * b) & 0xFFFF);
}

// A property of the window's places (bit k for place k), as the lanes of
// batch b have it.
LUMTRAX_INLINE LaneBits BatchBits(const UnitBytes& u, Bits places, unsigned b) {
    return static_cast<LaneBits>(_pext_u64(places, u.starts) >> (kLanes * b) & 0xFFFF);
}

// The place in the window of the unit in lane k of batch b.
LUMTRAX_INLINE unsigned PlaceOf(const UnitBytes& u, unsigned b, unsigned k) {
    return LowestBit(_pdep_u64(Bit(kLanes * b + k), u.starts));
}

// Writes bytes [0, length) of each lane of m, in lane order, where the
// length is 1 + two + three + four (bits of m); returns the place after them.
// Reaches 64 bytes.
LUMTRAX_INLINE std::uint8_t* PutLaneBytes(std::uint8_t* out, Lanes bytes, LaneBits m, LaneBits two, LaneBits three,
                                          LaneBits four) {
    const Bits keep = _pdep_u64(m, 0x1111111111111111u) | _pdep_u64(two & m, 0x2222222222222222u) |
                      _pdep_u64(three & m, 0x4444444444444444u) | _pdep_u64(four & m, 0x8888888888888888u);
    Store(out, _mm512_maskz_compress_epi8(FromBits(keep), bytes));
    return out + BitCount(keep);
}

// Writes the lanes of m (the first lanes of the batch, one after another)
// as UTF-16 code units; reaches 32 bytes.
LUMTRAX_INLINE std::uint8_t* PutLaneWords(std::uint8_t* out, Lanes words, LaneBits m, bool big_endian) {
    __m256i units = _mm512_maskz_cvtepi32_epi16(0xFFFF, words);
    if (big_endian) units = _mm256_or_si256(_mm256_slli_epi16(units, 8), _mm256_srli_epi16(units, 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), units);
    return out + 2 * BitCount(m);
}

// The W bytes at p, and the one and two bytes after each, of a window of
// which left bytes are counted: nothing at or past p + left is read (00
// stands for it).
LUMTRAX_INLINE void LoadUnitWindow(const std::uint8_t* p, std::size_t left, Vec& v, Vec& next, Vec& next2) {
    if (left >= kWidth + 2) {
        v = Load(p);
        next = Load(p + 1);
        next2 = Load(p + 2);
        return;
    }
    const unsigned n = static_cast<unsigned>(left);
    v = _mm512_maskz_loadu_epi8(FromBits(Below(n)), p);
    next = _mm512_maskz_loadu_epi8(FromBits(Below(n - 1)), p + 1);
    next2 = _mm512_maskz_loadu_epi8(FromBits(n >= 2 ? Below(n - 2) : 0), p + 2);
}

// The same without the bytes two after.
LUMTRAX_INLINE void LoadUnitWindow(const std::uint8_t* p, std::size_t left, Vec& v, Vec& next) {
    if (left > kWidth) {
        v = Load(p);
        next = Load(p + 1);
        return;
    }
    const unsigned n = static_cast<unsigned>(left);
    v = _mm512_maskz_loadu_epi8(FromBits(Below(n)), p);
    next = _mm512_maskz_loadu_epi8(FromBits(Below(n - 1)), p + 1);
}

// The units of UTF-16 (W/2 of a window) as lanes, batch b the units 16b
// to 16b + 15; the window holds left bytes.
LUMTRAX_INLINE Lanes WordLanes(const std::uint8_t* p, std::size_t left, unsigned b, bool big_endian) {
    const std::size_t from = 32 * static_cast<std::size_t>(b);
    __m256i words =
        left >= from + 32
            ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + from))
            : _mm256_maskz_loadu_epi8(
                  static_cast<__mmask32>(Below(static_cast<unsigned>(left > from ? left - from : 0))), p + from);
    if (big_endian) words = _mm256_or_si256(_mm256_slli_epi16(words, 8), _mm256_srli_epi16(words, 8));
    return _mm512_maskz_cvtepu16_epi32(0xFFFF, words);
}
