// The operations that the levels without masked loads and stores (SSE2,
// SSSE3, AVX2) build from their loads and stores alone; included at the end
// of their isa.h. A window's bytes are written in pieces (pieces.h): a store
// per code put in or byte left out, which costs less than a fixed shuffle per
// group of bytes where the codes are as sparse as in text; AVX2 leaves bytes
// out by shuffles (shuffles.h), which there costs less.

// The window at p, of which left bytes are counted (p[left] readable): the
// bytes, and the bytes after each (p[1]...). Where fewer than a vector and
// the byte after it are left, they come from a copy padded with 00.
LUMTRAX_INLINE void LoadWindow(const std::uint8_t* p, std::size_t left, Vec& v, Vec& next) {
    if (left > kWidth) {
        v = Load(p);
        next = Load(p + 1);
        return;
    }
    alignas(kWidth) std::uint8_t copy[2 * kWidth] = {};
    CopyShort(copy, p, left + 1);
    v = Load(copy);
    next = Load(copy + 1);
}

// The entries of a 256-byte table for each byte, looked up one by one.
LUMTRAX_INLINE Vec LookupByteByByte(const ByteTable& table, Vec v) {
    alignas(kWidth) std::uint8_t bytes[kWidth];
    Store(bytes, v);
    for (unsigned k = 0; k < kWidth; ++k) bytes[k] = table[bytes[k]];
    return Load(bytes);
}

#if defined(LUMTRAX_ISA_HAS_SHUFFLE)
#include "simd/generic/shuffles.h"
#endif

// A vector's bytes in a block of twice its width, the rest 00, which the
// piece writers read from.
struct Block {
    alignas(kWidth) std::uint8_t bytes[2 * kWidth];
    explicit Block(Vec v) {
        Store(bytes, v);
        std::memset(bytes + kWidth, 0, kWidth);
    }
};

#if !defined(LUMTRAX_ISA_KEEPS_BY_SHUFFLES)
// Writes out a vector's bytes [0, count) with the bytes at the set bits of
// removed left out, and returns the place after them. A write reaches up to
// kWidth bytes past that place.
LUMTRAX_INLINE std::uint8_t* WriteKept(Vec bytes, unsigned count, Bits removed, std::uint8_t* out) {
    const Block block(bytes);
    return WriteKeptPieces<kWidth>(block.bytes, count, removed, out);
}
#endif

// Writes out a vector's bytes [0, count) with the codes before the bytes
// they mark, and returns the place after the last byte. A write reaches up
// to kWidth bytes past that place.
template <unsigned CodeWidth>
LUMTRAX_INLINE std::uint8_t* WriteCoded(Vec bytes, unsigned count, const Codes<CodeWidth>& codes, std::uint8_t* out) {
    const Block block(bytes);
    return WriteCodedPieces<kWidth>(block.bytes, count, codes, out);
}
