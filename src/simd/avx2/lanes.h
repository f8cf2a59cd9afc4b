// The AVX2 operations on 32-bit lanes that the kernels of the conversions
// to and from Unicode use (generic/unicode.h): 8 lanes, gathers. Included
// inside the level's namespace and target region, after isa.h.
//
// AVX2 has no byte compression, so a batch's lanes are the window's places
// as they lie (8 at a time), those where no unit begins left out by their
// bits; written bytes are packed four lanes at a time by a byte shuffle
// from a table.
#define LUMTRAX_ISA_HAS_LANES 1

using Lanes = __m256i;
using LaneBits = std::uint32_t;  // bit k for lane k
constexpr unsigned kLanes = 8;

LUMTRAX_INLINE Lanes LSplat(std::uint32_t x) { return _mm256_set1_epi32(static_cast<int>(x)); }
LUMTRAX_INLINE Lanes LAdd(Lanes a, Lanes b) { return _mm256_add_epi32(a, b); }
LUMTRAX_INLINE Lanes LSub(Lanes a, Lanes b) { return _mm256_sub_epi32(a, b); }
LUMTRAX_INLINE Lanes LAnd(Lanes a, Lanes b) { return _mm256_and_si256(a, b); }
LUMTRAX_INLINE Lanes LOr(Lanes a, Lanes b) { return _mm256_or_si256(a, b); }
LUMTRAX_INLINE Lanes LMul(Lanes a, std::uint32_t b) { return _mm256_mullo_epi32(a, LSplat(b)); }
template <int kBits>
LUMTRAX_INLINE Lanes LShl(Lanes a) {
    return _mm256_slli_epi32(a, kBits);
}
template <int kBits>
LUMTRAX_INLINE Lanes LShr(Lanes a) {
    return _mm256_srli_epi32(a, kBits);
}

LUMTRAX_INLINE LaneBits LaneBitsOf(Lanes m) {
    return static_cast<LaneBits>(_mm256_movemask_ps(_mm256_castsi256_ps(m)));
}
LUMTRAX_INLINE Lanes LaneMask(LaneBits m) {
    const Lanes select = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    return _mm256_cmpeq_epi32(_mm256_and_si256(LSplat(m), select), select);
}

LUMTRAX_INLINE LaneBits LEq(Lanes a, std::uint32_t b) { return LaneBitsOf(_mm256_cmpeq_epi32(a, LSplat(b))); }
// a < b as unsigned, b at least 1.
LUMTRAX_INLINE LaneBits LBelow(Lanes a, std::uint32_t b) {
    return LaneBitsOf(_mm256_cmpeq_epi32(_mm256_min_epu32(a, LSplat(b - 1)), a));
}
LUMTRAX_INLINE LaneBits LInRange(Lanes a, std::uint32_t lo, std::uint32_t hi) {
    return LBelow(LSub(a, LSplat(lo)), hi - lo + 1);
}
LUMTRAX_INLINE Lanes LSelect(LaneBits m, Lanes a, Lanes b) { return _mm256_blendv_epi8(b, a, LaneMask(m)); }
LUMTRAX_INLINE Lanes LAddWhere(LaneBits m, Lanes a, std::uint32_t b) {
    return LAdd(a, _mm256_and_si256(LaneMask(m), LSplat(b)));
}

// The 32-bit entries of table at the lanes of m (0 elsewhere).
LUMTRAX_INLINE Lanes LGather(const std::uint32_t* table, Lanes index, LaneBits m) {
    return _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), reinterpret_cast<const int*>(table), index, LaneMask(m),
                                       4);
}

// The 16-bit entries of table at the lanes of m (0 elsewhere), read as 32
// bits at their place (the tables have an entry to spare after the last).
LUMTRAX_INLINE Lanes LGatherWords(const std::uint16_t* table, Lanes index, LaneBits m) {
    const Lanes pairs =
        _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), reinterpret_cast<const int*>(table), index, LaneMask(m), 2);
    return LAnd(pairs, LSplat(0xFFFF));
}

// A window's units: where they begin, and how many there are. Batch b is
// the places 8b to 8b + 7.
struct UnitBytes {
    Bits starts;
    unsigned count;
};

LUMTRAX_INLINE UnitBytes UnitsAt(Bits starts) { return {starts, BitCount(starts)}; }
LUMTRAX_INLINE Vec PackBytes(const UnitBytes&, Vec v) { return v; }
LUMTRAX_INLINE unsigned BatchCount(const UnitBytes&) { return kWidth / kLanes; }

LUMTRAX_INLINE Lanes BatchLanes(Vec bytes, unsigned b) {
    const __m128i sixteen = Sixteen(bytes, b / 2);
    return _mm256_cvtepu8_epi32(b % 2 == 0 ? sixteen : _mm_srli_si128(sixteen, 8));
}

LUMTRAX_INLINE LaneBits BatchUnits(const UnitBytes& u, unsigned b) {
    return static_cast<LaneBits>(u.starts >> (kLanes * b) & 0xFF);
}
LUMTRAX_INLINE LaneBits BatchBits(const UnitBytes&, Bits places, unsigned b) {
    return static_cast<LaneBits>(places >> (kLanes * b) & 0xFF);
}
LUMTRAX_INLINE unsigned PlaceOf(const UnitBytes&, unsigned b, unsigned k) { return kLanes * b + k; }

// The shuffles that pack four lanes' first 0-3 bytes, by their lengths (2
// bits a lane), and how many bytes each packs.
struct PackingTable {
    std::uint8_t shuffle[256][16];
    std::uint8_t length[256];
};

constexpr PackingTable MakePackingTable() {
    PackingTable t{};
    for (unsigned index = 0; index < 256; ++index) {
        unsigned at = 0;
        for (unsigned lane = 0; lane < 4; ++lane) {
            for (unsigned k = 0; k < (index >> (2 * lane) & 3u); ++k)
                t.shuffle[index][at++] = static_cast<std::uint8_t>(4 * lane + k);
        }
        t.length[index] = static_cast<std::uint8_t>(at);
        for (; at < 16; ++at) t.shuffle[index][at] = 0x80;
    }
    return t;
}
inline constexpr PackingTable kPackingTable = MakePackingTable();
static_assert(kPackingTable.length[0xFF] == 12 && kPackingTable.shuffle[0x0D][1] == 4 &&
              kPackingTable.length[0x0D] == 4);

// The shuffles that pack the 16-bit units of the lanes of a mask of 8.
inline constexpr KeepTable<2> kWordPackingTable = MakeKeepTable<2>();
static_assert(kWordPackingTable.shuffle[0x02][0] == 2 && kWordPackingTable.shuffle[0x02][1] == 3 &&
              kWordPackingTable.shuffle[0x02][2] == 0x80);

// Writes bytes [0, length) of each lane of m, in lane order, where the
// length is 1 + two + three + four (bits of m); returns the place after them.
// Reaches 16 bytes.
LUMTRAX_INLINE std::uint8_t* PutLaneBytes(std::uint8_t* out, Lanes bytes, LaneBits m, LaneBits two, LaneBits three,
                                          LaneBits four) {
    if ((four & m) != 0) {
        alignas(32) std::uint32_t lanes[kLanes];
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), bytes);
        for (LaneBits left = m; left != 0; left &= left - 1) {
            const unsigned k = LowestBit(left);
            std::memcpy(out, &lanes[k], 4);
            out += 1 + (two >> k & 1u) + (three >> k & 1u) + (four >> k & 1u);
        }
        return out;
    }
    // The length's two bits: the lengths 1 to 3 have m, m and two, or all three.
    const LaneBits low = m ^ (two & m) ^ (three & m), high = two & m;
    for (unsigned half = 0; half < 2; ++half) {
        const unsigned index =
            static_cast<unsigned>(_pdep_u32(low >> (4 * half) & 0xF, 0x55) | _pdep_u32(high >> (4 * half) & 0xF, 0xAA));
        const __m128i lanes = half == 0 ? _mm256_castsi256_si128(bytes) : _mm256_extracti128_si256(bytes, 1);
        const __m128i shuffle = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kPackingTable.shuffle[index]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(lanes, shuffle));
        out += kPackingTable.length[index];
    }
    return out;
}

// Writes the lanes of m as UTF-16 code units, in lane order; reaches 16
// bytes.
LUMTRAX_INLINE std::uint8_t* PutLaneWords(std::uint8_t* out, Lanes words, LaneBits m, bool big_endian) {
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(words, _mm256_setzero_si256()), 0x08);
    __m128i units =
        _mm_shuffle_epi8(_mm256_castsi256_si128(packed),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(kWordPackingTable.shuffle[m & 0xFF])));
    if (big_endian) units = _mm_or_si128(_mm_slli_epi16(units, 8), _mm_srli_epi16(units, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), units);
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
    alignas(64) std::uint8_t copy[kWidth + 2] = {};
    CopyShort(copy, p, left);
    v = Load(copy);
    next = Load(copy + 1);
    next2 = Load(copy + 2);
}

LUMTRAX_INLINE void LoadUnitWindow(const std::uint8_t* p, std::size_t left, Vec& v, Vec& next) {
    if (left > kWidth) {
        v = Load(p);
        next = Load(p + 1);
        return;
    }
    alignas(64) std::uint8_t copy[kWidth + 1] = {};
    CopyShort(copy, p, left);
    v = Load(copy);
    next = Load(copy + 1);
}

// The units of UTF-16 as lanes, batch b the units 8b to 8b + 7; the text
// holds left bytes from p.
LUMTRAX_INLINE Lanes WordLanes(const std::uint8_t* p, std::size_t left, unsigned b, bool big_endian) {
    const std::size_t from = 16 * static_cast<std::size_t>(b);
    __m128i words;
    if (left >= from + 16) {
        words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from));
    } else {
        alignas(16) std::uint8_t copy[16] = {};
        if (left > from) CopyShort(copy, p + from, left - from);
        words = _mm_load_si128(reinterpret_cast<const __m128i*>(copy));
    }
    if (big_endian) words = _mm_or_si128(_mm_slli_epi16(words, 8), _mm_srli_epi16(words, 8));
    return _mm256_cvtepu16_epi32(words);
}
