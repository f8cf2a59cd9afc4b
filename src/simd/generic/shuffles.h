// What the levels with byte shuffles but no byte compression or expansion
// (SSSE3, AVX2) do by shuffles: look bytes up in a 256-byte table, and
// write a window's bytes a group at a time, each group through one shuffle
// from a table indexed by the group's bits, and one store, so that no branch
// depends on where the bits lie. Included at the end of vector_pieces.h,
// inside the level's namespace; the level's isa.h gives Sixteen(v, k), bytes
// 16k to 16k + 15 of a vector, and Row16(p), the 16 bytes at p in each 16
// bytes of a vector.

// The entries of a 256-byte table for each byte, by byte shuffles of the
// table's rows of 16 entries. For the row r the index is the byte less 16r
// (wrapping around), plus 70 with saturation: the bytes of that row give
// 70-7F, whose low half picks the entry; every other byte gives 80 or more,
// for which the shuffle gives 00. The rows 8-F only when a byte has its high
// bit.
LUMTRAX_INLINE Vec Lookup(const ByteTable& table, Vec v, bool any_high) {
    const Vec row_step = Splat(0x10);
    const Vec to_index = Splat(0x70);
    Vec result = Splat(0);
    Vec rest = v;
    const unsigned rows = any_high ? 16 : 8;
    for (unsigned r = 0; r < rows; ++r) {
        result = OrB(result, Shuffle(Row16(table.data() + 16 * r), AddSaturated(rest, to_index)));
        rest = SubB(rest, row_step);
    }
    return result;
}

// The shuffles that keep the units (of kUnit bytes) of a group of 8 whose
// bits are set, in their order; the places after them take 00.
template <unsigned kUnit>
struct KeepTable {
    std::uint8_t shuffle[256][8 * kUnit];
};

template <unsigned kUnit>
constexpr KeepTable<kUnit> MakeKeepTable() {
    KeepTable<kUnit> t{};
    for (unsigned kept = 0; kept < 256; ++kept) {
        unsigned at = 0;
        for (unsigned k = 0; k < 8; ++k) {
            if ((kept >> k & 1u) == 0) continue;
            for (unsigned b = 0; b < kUnit; ++b) t.shuffle[kept][at++] = static_cast<std::uint8_t>(kUnit * k + b);
        }
        for (; at < 8 * kUnit; ++at) t.shuffle[kept][at] = 0x80;
    }
    return t;
}
inline constexpr KeepTable<1> kKeepTable = MakeKeepTable<1>();
static_assert(kKeepTable.shuffle[0xFF][7] == 7 && kKeepTable.shuffle[0xA4][0] == 2 && kKeepTable.shuffle[0xA4][1] == 5 &&
              kKeepTable.shuffle[0xA4][2] == 7);

// The shuffles that put a code before the marked bytes of a group: a group
// of 8 bytes at 0-7 with their one-byte codes at 8-15 (the code for byte k
// at 8 + k), or of 4 bytes at 0-3 with their two-byte codes' first bytes at
// 4-7 and second bytes at 8-11.
struct CodeTable {
    std::uint8_t shuffle[256][16];
};

template <unsigned CodeWidth>
constexpr CodeTable MakeCodeTable() {
    constexpr unsigned kGroup = CodeWidth == 1 ? 8 : 4;
    CodeTable t{};
    for (unsigned marks = 0; marks < (1u << kGroup); ++marks) {
        unsigned at = 0;
        for (unsigned k = 0; k < kGroup; ++k) {
            if ((marks >> k & 1u) != 0) {
                for (unsigned b = 0; b < CodeWidth; ++b) t.shuffle[marks][at++] = static_cast<std::uint8_t>(kGroup * (b + 1) + k);
            }
            t.shuffle[marks][at++] = static_cast<std::uint8_t>(k);
        }
    }
    return t;
}
inline constexpr CodeTable kOneByteCodeTable = MakeCodeTable<1>();
inline constexpr CodeTable kTwoByteCodeTable = MakeCodeTable<2>();
static_assert(kOneByteCodeTable.shuffle[0x02][1] == 9 && kOneByteCodeTable.shuffle[0x02][2] == 1 &&
              kOneByteCodeTable.shuffle[0xFF][15] == 7);
static_assert(kTwoByteCodeTable.shuffle[0x2][1] == 5 && kTwoByteCodeTable.shuffle[0x2][2] == 9 &&
              kTwoByteCodeTable.shuffle[0x2][3] == 1 && kTwoByteCodeTable.shuffle[0xF][11] == 3);

LUMTRAX_INLINE void Put16(std::uint8_t* out, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v); }
LUMTRAX_INLINE __m128i TableRow(const std::uint8_t* row) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
}

// Writes out a vector's bytes [0, count) with the bytes at the set bits of
// removed left out, and returns the place after them. A write reaches up to
// kWidth bytes past that place.
LUMTRAX_INLINE std::uint8_t* WriteKept(Vec bytes, unsigned count, Bits removed, std::uint8_t* out) {
    const Bits kept = Below(count) & ~removed;
    if (kept == Below(kWidth)) {
        Store(out, bytes);
        return out + kWidth;
    }
    for (unsigned k = 0; 16 * k < count; ++k) {
        const __m128i sixteen = Sixteen(bytes, k);
        const unsigned low = static_cast<unsigned>(kept >> 16 * k & 0xFF);
        const unsigned high = static_cast<unsigned>(kept >> (16 * k + 8) & 0xFF);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out),
                         _mm_shuffle_epi8(sixteen, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kKeepTable.shuffle[low]))));
        out += BitCount(low);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out),
                         _mm_shuffle_epi8(_mm_srli_si128(sixteen, 8),
                                          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kKeepTable.shuffle[high]))));
        out += BitCount(high);
    }
    return out;
}

// Writes out a vector's bytes [0, count) with the codes before the bytes
// they mark, and returns the place after the last byte. A write reaches up
// to 16 bytes past that place.
template <unsigned CodeWidth>
LUMTRAX_INLINE std::uint8_t* WriteCoded(Vec bytes, unsigned count, const Codes<CodeWidth>& codes, std::uint8_t* out) {
    const Bits marks = (codes.first_marks | codes.second_marks) & Below(count);
    if (marks == 0) {
        Store(out, bytes);
        return out + count;
    }
    const VMask firsts = FromBits(codes.first_marks);
    const Vec lead_codes = Select(firsts, Splat(codes.first[0]), Splat(codes.second[0]));
    for (unsigned k = 0; 16 * k < count; ++k) {
        const __m128i sixteen = Sixteen(bytes, k);
        const __m128i leads = Sixteen(lead_codes, k);
        if constexpr (CodeWidth == 1) {
            // Two groups of 8: the bytes, then their codes.
            const __m128i groups[2] = {_mm_unpacklo_epi64(sixteen, leads), _mm_unpackhi_epi64(sixteen, leads)};
            for (unsigned g = 0; g < 2; ++g) {
                const unsigned from = 16 * k + 8 * g;
                if (from >= count) break;
                const unsigned group_marks = static_cast<unsigned>(marks >> from & 0xFF);
                Put16(out, _mm_shuffle_epi8(groups[g], TableRow(kOneByteCodeTable.shuffle[group_marks])));
                out += (count - from < 8 ? count - from : 8) + BitCount(group_marks);
            }
        } else {
            // Four groups of 4: the bytes, their codes' first bytes, then
            // their second bytes.
            const __m128i seconds = Sixteen(Select(firsts, Splat(codes.first[1]), Splat(codes.second[1])), k);
            const __m128i bytes_leads[2] = {_mm_unpacklo_epi32(sixteen, leads), _mm_unpackhi_epi32(sixteen, leads)};
            const __m128i twice[2] = {_mm_unpacklo_epi32(seconds, seconds), _mm_unpackhi_epi32(seconds, seconds)};
            for (unsigned g = 0; g < 4; ++g) {
                const unsigned from = 16 * k + 4 * g;
                if (from >= count) break;
                const __m128i group = g % 2 == 0 ? _mm_unpacklo_epi64(bytes_leads[g / 2], twice[g / 2])
                                                 : _mm_unpackhi_epi64(bytes_leads[g / 2], twice[g / 2]);
                const unsigned group_marks = static_cast<unsigned>(marks >> from & 0xF);
                Put16(out, _mm_shuffle_epi8(group, TableRow(kTwoByteCodeTable.shuffle[group_marks])));
                out += (count - from < 4 ? count - from : 4) + 2 * BitCount(group_marks);
            }
        }
    }
    return out;
}
