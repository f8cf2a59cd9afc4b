// What the levels with byte shuffles but no byte compression (SSSE3, AVX2)
// do by shuffles: look bytes up in a 256-byte table, and (AVX2) leave bytes
// of a window out a group at a time, each group through one shuffle from a
// table indexed by the group's bits, and one store, so that no branch depends
// on where the bits lie. Included in vector_pieces.h, inside the level's
// namespace; the level's isa.h gives Row16(p), the 16 bytes at p in each 16
// bytes of a vector, and (AVX2) Sixteen(v, k), bytes 16k to 16k + 15 of a
// vector.

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

#if defined(LUMTRAX_ISA_KEEPS_BY_SHUFFLES)
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
static_assert(kKeepTable.shuffle[0xFF][7] == 7 && kKeepTable.shuffle[0xA4][0] == 2 &&
              kKeepTable.shuffle[0xA4][1] == 5 && kKeepTable.shuffle[0xA4][2] == 7);

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
        _mm_storel_epi64(
            reinterpret_cast<__m128i*>(out),
            _mm_shuffle_epi8(sixteen, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kKeepTable.shuffle[low]))));
        out += BitCount(low);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out),
                         _mm_shuffle_epi8(_mm_srli_si128(sixteen, 8),
                                          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kKeepTable.shuffle[high]))));
        out += BitCount(high);
    }
    return out;
}
#endif
