// The AVX-512 wrappers of the kernels' operations, 64 bytes at a time, with
// BW, VBMI (byte permutes: a table lookup is two of them) and VBMI2 (byte
// compress and expand: bytes are left out or codes put in with no loop);
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

// Where the codes go among the bytes written: slot 2k of a 128-slot space is
// the code before byte k (when marks has k), slot 2k + 1 byte k itself; the
// slots in use, packed, are the places written. Returns the places of the
// codes as two halves of 128 bits.
struct Places {
    Bits low, high;
};

LUMTRAX_INLINE Places CodePlaces(Bits marks, unsigned count) {
    constexpr Bits kEvenSlots = 0x5555555555555555u;
    constexpr Bits kOddSlots = ~kEvenSlots;
    const Bits code_low = _pdep_u64(marks & 0xFFFFFFFFu, kEvenSlots);
    const Bits code_high = _pdep_u64(marks >> 32, kEvenSlots);
    const Bits byte_low = count >= 32 ? kOddSlots : _pdep_u64(Below(count), kOddSlots);
    const Bits byte_high = count >= 64 ? kOddSlots : _pdep_u64(Below(count) >> 32, kOddSlots);
    const Bits used_low = code_low | byte_low;
    const Bits low = _pext_u64(code_low, used_low);
    const Bits high = _pext_u64(code_high, code_high | byte_high);
    const unsigned shift = BitCount(used_low);  // 1-64
    if (shift == 64) return {low, high};
    return {low | high << shift, high >> (64 - shift)};
}

// The bytes of v from place `from` on, moved to the front.
LUMTRAX_INLINE Vec From(Vec v, unsigned from) {
    const Vec index = _mm512_add_epi8(
        _mm512_set_epi8(63, 62, 61, 60, 59, 58, 57, 56, 55, 54, 53, 52, 51, 50, 49, 48, 47, 46, 45, 44, 43, 42, 41, 40,
                        39, 38, 37, 36, 35, 34, 33, 32, 31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16,
                        15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0),
        Splat(static_cast<std::uint8_t>(from)));
    return _mm512_permutex2var_epi8(v, index, v);
}

// Writes out a vector's bytes [0, count) with the codes before the bytes
// they mark; returns the place after the last byte. Codes of one byte are
// put in by byte expansion: the bytes expand into the places that are no
// code's, the codes (packed in their order) into the others. Codes of two
// bytes go in pieces.
template <unsigned CodeWidth>
LUMTRAX_INLINE std::uint8_t* WriteCoded(Vec bytes, unsigned count, const Codes<CodeWidth>& codes, std::uint8_t* out) {
    const Bits marks = (codes.first_marks | codes.second_marks) & Below(count);
    if (marks == 0) {
        StoreFirst(out, bytes, count);
        return out + count;
    }
    if constexpr (CodeWidth == 1) {
        const unsigned total = count + BitCount(marks);  // up to 128
        const Places places = CodePlaces(marks, count);
        // The code of each mark, in the order of the marks.
        const Vec code_bytes = _mm512_maskz_compress_epi8(
            FromBits(marks),
            _mm512_mask_blend_epi8(FromBits(codes.first_marks), Splat(codes.second[0]), Splat(codes.first[0])));
        const unsigned in_low = total < 64 ? total : 64;
        const Bits bytes_low = ~places.low & Below(in_low);
        Vec low = _mm512_maskz_expand_epi8(FromBits(bytes_low), bytes);
        low = _mm512_mask_expand_epi8(low, FromBits(places.low), code_bytes);
        StoreFirst(out, low, in_low);
        if (total > 64) {
            const Bits bytes_high = ~places.high & Below(total - 64);
            Vec high = _mm512_maskz_expand_epi8(FromBits(bytes_high), From(bytes, BitCount(bytes_low)));
            high = _mm512_mask_expand_epi8(high, FromBits(places.high), From(code_bytes, BitCount(places.low)));
            StoreFirst(out + 64, high, total - 64);
        }
        return out + total;
    } else {
        // Two-byte codes, a quarter of the window at a time: slot 3k and
        // 3k + 1 of a 48-slot space are the code before byte k, slot 3k + 2
        // byte k itself.
        constexpr Bits kFirstSlots = 0x249249249249u;
        const VMask first_marks = FromBits(codes.first_marks);
        const Vec first_bytes = _mm512_mask_blend_epi8(first_marks, Splat(codes.second[0]), Splat(codes.first[0]));
        const Vec second_bytes = _mm512_mask_blend_epi8(first_marks, Splat(codes.second[1]), Splat(codes.first[1]));
        const Vec quarters[4] = {bytes, _mm512_maskz_alignr_epi32(0xFFFF, _mm512_setzero_si512(), bytes, 4),
                                 _mm512_maskz_alignr_epi32(0xFFFF, _mm512_setzero_si512(), bytes, 8),
                                 _mm512_maskz_alignr_epi32(0xFFFF, _mm512_setzero_si512(), bytes, 12)};
        for (unsigned q = 0; q < 4 && 16 * q < count; ++q) {
            const unsigned from = 16 * q;
            const unsigned n = count - from < 16 ? count - from : 16;
            const Bits quarter_marks = marks & (Bits{0xFFFF} << from);
            if (quarter_marks == 0) {
                StoreFirst(out, quarters[q], n);
                out += n;
                continue;
            }
            const Bits local = quarter_marks >> from;
            const Bits first_slots = _pdep_u64(local, kFirstSlots);
            const Bits second_slots = first_slots << 1;
            const Bits byte_slots = _pdep_u64(Below(n), kFirstSlots << 2);
            const Bits used = first_slots | second_slots | byte_slots;
            Vec written = _mm512_maskz_expand_epi8(FromBits(_pext_u64(byte_slots, used)), quarters[q]);
            written = _mm512_mask_expand_epi8(written, FromBits(_pext_u64(first_slots, used)),
                                              _mm512_maskz_compress_epi8(FromBits(quarter_marks), first_bytes));
            written = _mm512_mask_expand_epi8(written, FromBits(_pext_u64(second_slots, used)),
                                              _mm512_maskz_compress_epi8(FromBits(quarter_marks), second_bytes));
            const unsigned total = n + 2 * BitCount(local);
            StoreFirst(out, written, total);
            out += total;
        }
        return out;
    }
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
