// The AVX-512 wrappers of the kernels' operations, 64 bytes at a time, with
// BW, VBMI (byte permutes: a table lookup is two of them) and VBMI2 (byte
// compress: bytes are left out, or codes put in after a permute, with no
// loop);
// included inside the level's namespace and target region (see
// simd/target.h). A vector mask is a mask register: VMask and Bits are the
// same 64 bits, bit k for byte k. Every write is masked to the bytes it is
// for, so nothing is written past them.

using Vec = __m512i;
using VMask = __mmask64;

constexpr unsigned kWidth = 64;
constexpr bool kExactWrites = true;

LUMTRAX_INLINE Vec Load(const std::uint8_t* p) { return _mm512_loadu_si512(p); }
LUMTRAX_INLINE void Store(std::uint8_t* p, Vec v) { _mm512_storeu_si512(p, v); }
LUMTRAX_INLINE Vec Splat(std::uint8_t b) { return _mm512_set1_epi8(static_cast<char>(b)); }

LUMTRAX_INLINE Bits ToBits(VMask m) { return _cvtmask64_u64(m); }
LUMTRAX_INLINE VMask FromBits(Bits bits) { return _cvtu64_mask64(bits); }

LUMTRAX_INLINE VMask VEq(Vec v, std::uint8_t b) { return _mm512_cmpeq_epi8_mask(v, Splat(b)); }
LUMTRAX_INLINE VMask VInRange(Vec v, std::uint8_t lo, std::uint8_t hi) {
    return _mm512_cmple_epu8_mask(_mm512_sub_epi8(v, Splat(lo)), Splat(static_cast<std::uint8_t>(hi - lo)));
}
LUMTRAX_INLINE VMask VHigh(Vec v) { return _mm512_movepi8_mask(v); }
LUMTRAX_INLINE VMask VAnd(VMask a, VMask b) { return _kand_mask64(a, b); }
LUMTRAX_INLINE VMask VOr(VMask a, VMask b) { return _kor_mask64(a, b); }

LUMTRAX_INLINE Vec Select(VMask m, Vec a, Vec b) { return _mm512_mask_blend_epi8(m, b, a); }
LUMTRAX_INLINE Vec AddB(Vec a, Vec b) { return _mm512_add_epi8(a, b); }
LUMTRAX_INLINE Vec SubB(Vec a, Vec b) { return _mm512_sub_epi8(a, b); }
LUMTRAX_INLINE Vec OrB(Vec a, Vec b) { return _mm512_or_si512(a, b); }
LUMTRAX_INLINE Vec AndB(Vec a, Vec b) { return _mm512_and_si512(a, b); }
LUMTRAX_INLINE Vec AddWhere(VMask m, Vec v, std::uint8_t b) { return _mm512_mask_add_epi8(v, m, v, Splat(b)); }
LUMTRAX_INLINE Vec HalfUp(Vec v) { return _mm512_avg_epu8(v, _mm512_setzero_si512()); }

// The window at p, of which left bytes are counted (p[left] readable): the
// bytes, and the bytes after each. Near the end, masked loads read the
// counted bytes and the one after them, and nothing beyond.
LUMTRAX_INLINE void LoadWindow(const std::uint8_t* p, std::size_t left, Vec& v, Vec& next) {
    if (left > kWidth) {
        v = Load(p);
        next = Load(p + 1);
        return;
    }
    v = _mm512_maskz_loadu_epi8(FromBits(Below(static_cast<unsigned>(left) + 1)), p);
    next = _mm512_maskz_loadu_epi8(FromBits(Below(static_cast<unsigned>(left))), p + 1);
}

// The entries of a 256-byte table for each byte: its halves of 128 entries
// by the low seven bits, the upper half only when a byte has its high bit.
LUMTRAX_INLINE Vec Lookup(const ByteTable& table, Vec v, bool any_high) {
    const std::uint8_t* t = table.data();
    const Vec low = _mm512_permutex2var_epi8(Load(t), v, Load(t + 64));
    if (!any_high) return low;
    const Vec high = _mm512_permutex2var_epi8(Load(t + 128), v, Load(t + 192));
    return _mm512_mask_blend_epi8(VHigh(v), low, high);
}

// Stores the first count bytes of v at out.
LUMTRAX_INLINE void StoreFirst(std::uint8_t* out, Vec v, unsigned count) {
    _mm512_mask_storeu_epi8(out, FromBits(Below(count)), v);
}

LUMTRAX_INLINE std::uint8_t* WriteKept(Vec bytes, unsigned count, Bits removed, std::uint8_t* out) {
    const Bits kept = Below(count) & ~removed;
    StoreFirst(out, _mm512_maskz_compress_epi8(FromBits(kept), bytes), BitCount(kept));
    return out + BitCount(kept);
}

// Where the codes go among the bytes written: each byte k has CodeWidth + 1
// slots, side by side, for the bytes of its code and itself (slot
// (CodeWidth + 1) k + j). The slots are laid out 64 at a time by permutes of
// constant indices, and the slots in use (a marked byte's code, a counted
// byte) are kept by a compress.
template <unsigned CodeWidth>
struct SlotLayout {
    static constexpr unsigned kSlots = CodeWidth + 1;  // a byte's
    std::uint8_t index[kSlots][64];   // slot vector t: the byte k (of the code, or 64 + k of the bytes) it takes
    std::uint8_t owner[kSlots][64];   // slot vector t: the byte k whose code or self it holds
    Bits seconds[kSlots];             // ... the slots of second bytes
    std::uint8_t flag[kSlots][64];    // 1: a code's slot (in use where the byte is marked), 2: a byte's
};

template <unsigned CodeWidth>
constexpr SlotLayout<CodeWidth> MakeSlotLayout() {
    SlotLayout<CodeWidth> layout{};
    constexpr unsigned kSlots = CodeWidth + 1;
    for (unsigned t = 0; t < kSlots; ++t) {
        for (unsigned at = 0; at < 64; ++at) {
            const unsigned slot = 64 * t + at, k = slot / kSlots, j = slot % kSlots;
            layout.index[t][at] = static_cast<std::uint8_t>(j == CodeWidth ? 64 + k : k);
            layout.owner[t][at] = static_cast<std::uint8_t>(k);
            if (j == 1 && CodeWidth == 2) layout.seconds[t] |= Bits{1} << at;
            layout.flag[t][at] = j == CodeWidth ? 2 : 1;
        }
    }
    return layout;
}

inline constexpr SlotLayout<1> kOneByteSlots = MakeSlotLayout<1>();
inline constexpr SlotLayout<2> kTwoByteSlots = MakeSlotLayout<2>();
static_assert(kOneByteSlots.index[0][0] == 0 && kOneByteSlots.index[0][1] == 64 && kOneByteSlots.index[1][63] == 127);
static_assert(kTwoByteSlots.index[0][2] == 64 && kTwoByteSlots.index[1][0] == 21 && kTwoByteSlots.index[2][63] == 127 &&
              kTwoByteSlots.seconds[0] == 0x2492492492492492u);

template <unsigned CodeWidth>
constexpr const SlotLayout<CodeWidth>& SlotsFor() {
    if constexpr (CodeWidth == 1) {
        return kOneByteSlots;
    } else {
        return kTwoByteSlots;
    }
}

// Writes out a vector's bytes [0, count) with the codes before the bytes
// they mark; returns the place after the last byte.
template <unsigned CodeWidth>
LUMTRAX_INLINE std::uint8_t* WriteCoded(Vec bytes, unsigned count, const Codes<CodeWidth>& codes, std::uint8_t* out) {
    const Bits counted = Below(count);
    const Bits marks = (codes.first_marks | codes.second_marks) & counted;
    if (marks == 0) {
        StoreFirst(out, bytes, count);
        return out + count;
    }
    constexpr const SlotLayout<CodeWidth>& kLayout = SlotsFor<CodeWidth>();
    const VMask firsts = FromBits(codes.first_marks);
    const Vec leads = Select(firsts, Splat(codes.first[0]), Splat(codes.second[0]));
    // Bit 1 where a byte is marked, bit 2 where it is counted.
    const Vec flags = _mm512_or_si512(_mm512_maskz_mov_epi8(FromBits(marks), Splat(1)),
                                      _mm512_maskz_mov_epi8(FromBits(counted), Splat(2)));
    const unsigned slots_used = (CodeWidth + 1) * count;
    for (unsigned t = 0; t < CodeWidth + 1 && 64 * t < slots_used; ++t) {
        Vec slots = _mm512_permutex2var_epi8(leads, Load(kLayout.index[t]), bytes);
        if constexpr (CodeWidth == 2) {
            const Vec seconds = Select(firsts, Splat(codes.first[1]), Splat(codes.second[1]));
            slots = _mm512_mask_permutexvar_epi8(slots, FromBits(kLayout.seconds[t]), Load(kLayout.owner[t]), seconds);
        }
        // Each slot's owner's flags, tested against what the slot needs.
        const Vec owners_flags = _mm512_maskz_permutexvar_epi8(~__mmask64{0}, Load(kLayout.owner[t]), flags);
        const VMask used = _mm512_test_epi8_mask(owners_flags, Load(kLayout.flag[t]));
        const unsigned n = BitCount(ToBits(used));
        StoreFirst(out, _mm512_maskz_compress_epi8(used, slots), n);
        out += n;
    }
    return out;
}

// UTF-16 code units of single bytes: each byte of v as a unit, 2W bytes.
LUMTRAX_INLINE void StoreWords(std::uint8_t* out, Vec v, bool big_endian) {
    Vec low = _mm512_maskz_cvtepu8_epi16(~0u, _mm512_maskz_extracti64x4_epi64(0xF, v, 0));
    Vec high = _mm512_maskz_cvtepu8_epi16(~0u, _mm512_maskz_extracti64x4_epi64(0xF, v, 1));
    if (big_endian) {
        low = _mm512_maskz_slli_epi16(~0u, low, 8);
        high = _mm512_maskz_slli_epi16(~0u, high, 8);
    }
    Store(out, low);
    Store(out + 64, high);
}

// The W code units of UTF-16 at p (2W bytes) as bytes, where each is below
// 80; false where one is not.
LUMTRAX_INLINE bool LoadAsciiWords(const std::uint8_t* p, bool big_endian, Vec& v) {
    Vec a = Load(p), b = Load(p + 64);
    if (big_endian) {
        a = _mm512_or_si512(_mm512_maskz_slli_epi16(~0u, a, 8), _mm512_maskz_srli_epi16(~0u, a, 8));
        b = _mm512_or_si512(_mm512_maskz_slli_epi16(~0u, b, 8), _mm512_maskz_srli_epi16(~0u, b, 8));
    }
    const Vec high = _mm512_and_si512(_mm512_or_si512(a, b), _mm512_set1_epi16(static_cast<short>(0xFF80)));
    if (_mm512_test_epi16_mask(high, high) != 0) return false;
    const Vec zero = _mm512_setzero_si512();
    v = _mm512_maskz_inserti64x4(0xFF, _mm512_maskz_inserti64x4(0x0F, zero, _mm512_maskz_cvtepi16_epi8(~0u, a), 0),
                                 _mm512_maskz_cvtepi16_epi8(~0u, b), 1);
    return true;
}
