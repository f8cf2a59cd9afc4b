// Writing a block's bytes in pieces: between the bytes to leave out, or
// around the codes to put in. Each piece is one unaligned store of a whole
// vector of W bytes from the block, so a store reaches past the piece; what
// follows writes over that. The block holds its W bytes and W more after
// them. Included inside a level's namespace.

// One bit per byte of a window, bit k for byte k.
using Bits = std::uint64_t;

LUMTRAX_INLINE unsigned LowestBit(Bits bits) { return static_cast<unsigned>(__builtin_ctzll(bits)); }
LUMTRAX_INLINE unsigned BitCount(Bits bits) { return static_cast<unsigned>(__builtin_popcountll(bits)); }
// The bits below k (k up to 64).
LUMTRAX_INLINE Bits Below(unsigned k) { return k >= 64 ? ~Bits{0} : (Bits{1} << k) - 1; }
LUMTRAX_INLINE Bits Bit(unsigned k) { return Bits{1} << k; }
// The place of the first set bit, or none.
LUMTRAX_INLINE unsigned FirstOr(Bits bits, unsigned none) { return bits != 0 ? LowestBit(bits) : none; }

// The first and the last kSize of n bytes (kSize <= n <= 2 kSize).
template <std::size_t kSize>
LUMTRAX_INLINE void CopyEnds(std::uint8_t* to, const std::uint8_t* from, std::size_t n) {
    std::memcpy(to, from, kSize);
    std::memcpy(to + n - kSize, from + n - kSize, kSize);
}

// Copies n bytes by a few moves of fixed sizes that overlap, where memcpy of
// a size known only at run time would start a string move that costs more
// than a short text's bytes.
LUMTRAX_INLINE void CopyShort(std::uint8_t* to, const std::uint8_t* from, std::size_t n) {
    if (n >= 32) {
        for (std::size_t k = 0; k + 32 < n; k += 32) std::memcpy(to + k, from + k, 32);
        std::memcpy(to + n - 32, from + n - 32, 32);
    } else if (n >= 16) {
        CopyEnds<16>(to, from, n);
    } else if (n >= 8) {
        CopyEnds<8>(to, from, n);
    } else if (n >= 4) {
        CopyEnds<4>(to, from, n);
    } else if (n > 0) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
}

template <unsigned W>
LUMTRAX_INLINE void CopyPiece(const std::uint8_t* from, std::uint8_t* to) {
    std::memcpy(to, from, W);
}

template <unsigned W>
LUMTRAX_INLINE std::uint8_t* WriteKeptPieces(const std::uint8_t* block, unsigned count, Bits removed,
                                             std::uint8_t* out) {
    unsigned at = 0;
    for (Bits left_out = removed & Below(count); left_out != 0; left_out &= left_out - 1) {
        const unsigned k = LowestBit(left_out);
        CopyPiece<W>(block + at, out);
        out += k - at;
        at = k + 1;
    }
    CopyPiece<W>(block + at, out);
    return out + (count - at);
}

// The codes a block's bytes get before them: the first code before the bytes
// of first, the second before those of second, each kWidthOfCode bytes.
template <unsigned CodeWidth>
struct Codes {
    Bits first_marks;
    Bits second_marks;
    std::uint8_t first[CodeWidth];
    std::uint8_t second[CodeWidth];
};

template <unsigned W, unsigned CodeWidth>
LUMTRAX_INLINE std::uint8_t* WriteCodedPieces(const std::uint8_t* block, unsigned count, const Codes<CodeWidth>& codes,
                                              std::uint8_t* out) {
    unsigned at = 0;
    for (Bits left = (codes.first_marks | codes.second_marks) & Below(count); left != 0; left &= left - 1) {
        const unsigned k = LowestBit(left);
        CopyPiece<W>(block + at, out);
        out += k - at;
        std::memcpy(out, (codes.first_marks >> k & 1u) != 0 ? codes.first : codes.second, CodeWidth);
        out += CodeWidth;
        at = k;
    }
    CopyPiece<W>(block + at, out);
    return out + (count - at);
}
