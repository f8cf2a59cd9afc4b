// Sixteen bytes at a time: the fast paths of the conversion loops look at a
// block of text at once to find how far a run of single bytes or of
// double-byte characters goes. With SSE2 (every x86-64 target, and every
// 32-bit Windows target the library is built for) a block is one vector
// register; elsewhere the same answers come from plain loops.
//
// A block function reads the 16 bytes at p, and the byte after them where it
// says so; the caller keeps all of them readable. Masks have one bit per byte
// of the block, bit k for p[k]. Defining LUMTRAX_NO_SIMD selects the plain
// loops on any target (the tests check them that way).
#ifndef LUMTRAX_COMMON_BLOCKS_H
#define LUMTRAX_COMMON_BLOCKS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

#if !defined(LUMTRAX_NO_SIMD) && \
    (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#define LUMTRAX_SSE2 1
#include <emmintrin.h>
#else
#define LUMTRAX_SSE2 0
#endif

// LUMTRAX_ALWAYS_INLINE for a function, LUMTRAX_INLINE_LAMBDA after the
// parameters of a lambda: the steps of the block loops, which the compiler
// could otherwise leave as calls with their state in memory.
#if defined(__GNUC__)
#define LUMTRAX_ALWAYS_INLINE inline __attribute__((always_inline))
#define LUMTRAX_INLINE_LAMBDA __attribute__((always_inline))
#elif defined(_MSC_VER)
#define LUMTRAX_ALWAYS_INLINE __forceinline
#define LUMTRAX_INLINE_LAMBDA
#else
#define LUMTRAX_ALWAYS_INLINE inline
#define LUMTRAX_INLINE_LAMBDA
#endif

namespace lumtrax {

constexpr std::size_t kBlockSize = 16;
constexpr unsigned kWholeBlock = 0xFFFF;
constexpr unsigned kLastByte = 0x8000;

// True when the block at i lies inside the n counted bytes of a text.
inline bool BlockFits(std::size_t i, std::size_t n) { return i + kBlockSize <= n; }

// The lowest bit set in mask, which is not 0.
inline unsigned LowestBit(unsigned mask) {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index = 0;
    _BitScanForward(&index, mask);
    return static_cast<unsigned>(index);
#else
    return static_cast<unsigned>(__builtin_ctz(mask));
#endif
}

// How many of the block's first bytes have their bit set in mask: 0-16.
inline unsigned LeadingBytes(unsigned mask) { return LowestBit(~mask | (1u << kBlockSize)); }

// The place of the first byte of a block whose bit is set in stops, or 16
// when there is none.
inline unsigned FirstOf(unsigned stops) { return LowestBit(stops | (1u << kBlockSize)); }

// The bytes of a block from its byte k on (k 0-16).
inline unsigned BytesFrom(unsigned k) { return (kWholeBlock << k) & kWholeBlock; }

// Where the units of a block begin: at its byte from, or just after it when
// that byte is the trail of a pair that began before it (in_pair). The bytes
// before from are not the block's.
struct BlockStart {
    unsigned from = 0;
    bool in_pair = false;
};

// Walks a text a block at a time from the unit start i, up to the end of the
// n counted bytes or the first stop: whole blocks while a byte of the text
// follows them (so that a pair that begins at a block's last byte ends inside
// the text, in the next block), then the block that ends with the text, of
// which the bytes before the walk's place are done already. read(p, start)
// gives the units of the block at p (reading p[16] too): a struct with
// pair_starts, the bits of the bytes that begin a unit of two bytes, and
// EndAtTheText(), which drops what the last block's units cannot be when the
// text ends after the block. stops(units) gives the units where the walk
// stops, and write(at, units, count) converts the bytes of the block at
// src + at from start.from up to count, the first stop or 16. A pair that
// begins at the last counted byte takes the byte after the text and stops
// the walk too. Returns the place where the walk stopped, a unit start.
// Texts shorter than a block are left to the unit steps.
template <typename Read, typename Stops, typename Write>
LUMTRAX_ALWAYS_INLINE std::size_t WalkBlocks(const std::uint8_t* src, std::size_t i, std::size_t n, Read read,
                                             Stops stops, Write write) {
    if (n < kBlockSize) return i;
    BlockStart start;
    for (; i + kBlockSize < n; i += kBlockSize) {
        const auto units = read(src + i, start);
        const unsigned count = FirstOf(stops(units));
        write(i, units, count);
        if (count < kBlockSize) return i + count;
        start.in_pair = (units.pair_starts & kLastByte) != 0;
    }
    const std::size_t last = n - kBlockSize;
    start.from = static_cast<unsigned>(i - last);
    auto units = read(src + last, start);
    units.EndAtTheText();
    const unsigned count = FirstOf(stops(units) | (units.pair_starts & kLastByte));
    write(last, units, count);
    return last + count;
}

// The converted bytes of a block, for WriteBlockWithMarks: the block's 16
// bytes, then 16 bytes of 00 that the writes of its last bytes read past them.
struct ConvertedBlock {
    alignas(16) std::uint8_t bytes[2 * kBlockSize];
};

// Where the units of two bytes of a block begin, when the block's first
// byte begins a unit, each byte whose bit is set in may_begin begins a unit
// of two bytes wherever a unit begins there, and every other byte is a unit
// of its own. A run of such bytes begins a unit, so its units begin at its
// first byte and at every second byte after it: adding the first bit of a
// run carries through the run and clears it, which tells the runs that
// begin at an even place from those that begin at an odd one.
inline unsigned PairStarts(unsigned may_begin) {
    constexpr unsigned kEven = 0x5555u;
    const unsigned run_starts = may_begin & ~(may_begin << 1);
    const unsigned even_runs = may_begin & ~(may_begin + (run_starts & kEven));
    const unsigned odd_runs = may_begin & ~even_runs;
    return ((even_runs & kEven) | (odd_runs & ~kEven)) & kWholeBlock;
}

#if LUMTRAX_SSE2

inline __m128i LoadBlock(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void StoreBlock(std::uint8_t* p, __m128i block) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), block);
}
inline unsigned ByteMask(__m128i lanes) { return static_cast<unsigned>(_mm_movemask_epi8(lanes)); }

// The bytes below 80.
inline unsigned AsciiMask(const std::uint8_t* p) { return ~ByteMask(LoadBlock(p)) & kWholeBlock; }

// The bytes equal to b.
inline unsigned ByteEqualMask(const std::uint8_t* p, std::uint8_t b) {
    return ByteMask(_mm_cmpeq_epi8(LoadBlock(p), _mm_set1_epi8(static_cast<char>(b))));
}

// The k where p[k] is first and p[k + 1] is second; reads p[16].
inline unsigned PairStartMask(const std::uint8_t* p, std::uint8_t first, std::uint8_t second) {
    const __m128i at = _mm_cmpeq_epi8(LoadBlock(p), _mm_set1_epi8(static_cast<char>(first)));
    const __m128i next = _mm_cmpeq_epi8(LoadBlock(p + 1), _mm_set1_epi8(static_cast<char>(second)));
    return ByteMask(_mm_and_si128(at, next));
}

// The bytes that lie in lo-hi, compared as unsigned: moved so that lo lands
// on -128, the range is the signed values below hi - lo - 127.
inline __m128i BytesInRange(__m128i bytes, int lo, int hi) {
    const __m128i moved = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x80 - lo)));
    return _mm_cmplt_epi8(moved, _mm_set1_epi8(static_cast<char>(hi - lo - 127)));
}
inline unsigned BytesInRangeMask(__m128i bytes, int lo, int hi) { return ByteMask(BytesInRange(bytes, lo, hi)); }

// Pairs p[k] p[k + 1] for even k, from a mask of the bytes that may lead and
// one of the bytes that may trail: both bits of each pair whose lead and
// trail may, two bits per pair.
inline unsigned PairsOf(unsigned leads, unsigned trails) {
    const unsigned pairs = leads & (trails >> 1) & 0x5555u;
    return pairs | pairs << 1;
}

// The 16-bit lanes (a pair of bytes, lead in the low half) equal to value.
inline __m128i WordsEqual(__m128i words, int value) {
    return _mm_cmpeq_epi16(words, _mm_set1_epi16(static_cast<short>(value)));
}
inline __m128i Words(int value) { return _mm_set1_epi16(static_cast<short>(value)); }
// Picks a where mask is set, else b.
inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

// Byte k is FF where bit k of mask is set, else 00.
inline __m128i BytesOfMask(unsigned mask) {
    const __m128i bits = _mm_set_epi8(-128, 64, 32, 16, 8, 4, 2, 1, -128, 64, 32, 16, 8, 4, 2, 1);
    __m128i spread = _mm_cvtsi32_si128(static_cast<int>(mask & kWholeBlock));  // low byte, high byte
    spread = _mm_unpacklo_epi8(spread, spread);
    spread = _mm_unpacklo_epi16(spread, spread);
    spread = _mm_unpacklo_epi32(spread, spread);  // the low byte eight times, then the high byte
    return _mm_cmpeq_epi8(_mm_and_si128(spread, bits), bits);
}

// Puts the converted bytes of a block into a ConvertedBlock.
inline void StoreConverted(ConvertedBlock& block, __m128i bytes) {
    StoreBlock(block.bytes, bytes);
    StoreBlock(block.bytes + kBlockSize, _mm_setzero_si128());
}

// Copies the block, with the high bit of every byte set.
inline void CopyBlockWithHighBits(const std::uint8_t* from, std::uint8_t* to) {
    StoreBlock(to, _mm_or_si128(LoadBlock(from), _mm_set1_epi8(static_cast<char>(0x80))));
}

#else  // plain fallback: eight bytes at a time

inline std::uint64_t LoadWord(const std::uint8_t* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

inline unsigned AsciiMask(const std::uint8_t* p) {
    unsigned mask = 0;
    for (std::size_t k = 0; k < kBlockSize; ++k) mask |= (p[k] < 0x80 ? 1u : 0u) << k;
    return mask;
}

inline unsigned ByteEqualMask(const std::uint8_t* p, std::uint8_t b) {
    unsigned mask = 0;
    for (std::size_t k = 0; k < kBlockSize; ++k) mask |= (p[k] == b ? 1u : 0u) << k;
    return mask;
}

inline unsigned PairStartMask(const std::uint8_t* p, std::uint8_t first, std::uint8_t second) {
    unsigned mask = 0;
    for (std::size_t k = 0; k < kBlockSize; ++k) mask |= (p[k] == first && p[k + 1] == second ? 1u : 0u) << k;
    return mask;
}

inline void CopyBlockWithHighBits(const std::uint8_t* from, std::uint8_t* to) {
    for (std::size_t k = 0; k < kBlockSize; k += 8) {
        const std::uint64_t word = LoadWord(from + k) | 0x8080808080808080u;
        std::memcpy(to + k, &word, sizeof word);
    }
}

#endif

inline void CopyBlock(const std::uint8_t* from, std::uint8_t* to) { std::memcpy(to, from, kBlockSize); }

// How a block's marked bytes are written: a code of code_width bytes before
// each (a shift code, a shift sequence, a prefix), which write_code(k, at)
// writes at at for the marked byte k, or (drop) the marked byte left out.
template <typename WriteCode>
struct BlockMarks {
    unsigned marked;
    std::size_t code_width;
    WriteCode write_code;
    bool drop;
};

template <typename WriteCode>
BlockMarks<WriteCode> CodesBefore(unsigned marked, std::size_t code_width, WriteCode write_code) {
    return {marked, code_width, write_code, false};
}

inline auto Dropped(unsigned marked) {
    const auto no_code = [](unsigned, std::uint8_t*) {};
    return BlockMarks<decltype(no_code)>{marked, 0, no_code, true};
}

// Writes the bytes from..count-1 of a converted block to out as the marks
// say, and returns the place after them. The bytes go in pieces of 16, each
// from a mark to the next one, so a write reaches up to 16 bytes past the
// bytes it is for; those are written again by what follows, or lie past the
// end of the text. The caller keeps room for (2 + code_width) * 16 bytes at
// out.
//
// Where most blocks have a mark or two (records outside LRSS mode, whose
// runs are short), how many marks a block has is a branch that goes wrong
// for most blocks; with marks_expected the first two pieces are written
// without that branch: a piece with no mark ends at count, and its code goes
// past the text, where what follows writes over it.
template <typename WriteCode>
LUMTRAX_ALWAYS_INLINE std::uint8_t* WriteBlockPieces(const ConvertedBlock& block, unsigned from, unsigned count,
                                                     const BlockMarks<WriteCode>& marks, bool marks_expected,
                                                     std::uint8_t* out) {
    unsigned marked = marks.marked & BytesFrom(from) & ~BytesFrom(count);
    const unsigned skip = marks.drop ? 1 : 0;
    unsigned at = from;
    if (marks_expected) {
        for (int piece = 0; piece < 2; ++piece) {
            const unsigned k = LowestBit(marked | (1u << count));
            CopyBlock(block.bytes + at, out);
            out += k - at;
            marks.write_code(k, out);
            out += marked != 0 ? marks.code_width : 0;
            at = k + (marked != 0 ? skip : 0);
            marked &= marked - 1;
        }
    }
    for (; marked != 0; marked &= marked - 1) {
        const unsigned k = LowestBit(marked);
        CopyBlock(block.bytes + at, out);
        out += k - at;
        marks.write_code(k, out);
        out += marks.code_width;
        at = k + skip;
    }
    CopyBlock(block.bytes + at, out);
    return out + (count - at);
}

// As WriteBlockPieces, where end is the end of the destination: when it is
// too near for the pieces, they go through a scratch block.
template <typename WriteCode>
LUMTRAX_ALWAYS_INLINE std::uint8_t* WriteBlockWithMarks(const ConvertedBlock& block, unsigned from, unsigned count,
                                                        const BlockMarks<WriteCode>& marks, bool marks_expected,
                                                        std::uint8_t* out, const std::uint8_t* end) {
    // At most 16 bytes, a code before each, and one piece of 16 past them.
    const std::size_t reach = (2 + marks.code_width) * kBlockSize;
    if (static_cast<std::size_t>(end - out) >= reach) {
        return WriteBlockPieces(block, from, count, marks, marks_expected, out);
    }
    std::uint8_t scratch[4 * kBlockSize];
    const std::size_t written =
        static_cast<std::size_t>(WriteBlockPieces(block, from, count, marks, marks_expected, scratch) - scratch);
    std::memcpy(out, scratch, written);
    return out + written;
}

// Writes the bytes from..count-1 of a converted block as they are (see
// WriteBlockWithMarks); dst is the start of the destination. Where the
// destination's end is too near for a piece of 16 bytes from out, as for the
// block that ends a text (which begins before the walk's place, so from is
// above 0), the block goes 16 bytes back from there, over the from bytes
// written before it, which it writes again as they are.
inline std::uint8_t* WriteBlockFrom(const ConvertedBlock& block, unsigned from, unsigned count, std::uint8_t* dst,
                                    std::uint8_t* out, const std::uint8_t* end) {
    if (static_cast<std::size_t>(out - dst) >= from && static_cast<std::size_t>(end - (out - from)) >= kBlockSize &&
        static_cast<std::size_t>(end - out) < 2 * kBlockSize) {
        std::uint8_t* const back = out - from;
#if LUMTRAX_SSE2
        StoreBlock(back, Select(BytesOfMask(BytesFrom(from)), LoadBlock(block.bytes), LoadBlock(back)));
#else
        std::memcpy(back + from, block.bytes + from, kBlockSize - from);
#endif
        return out + (count - from);
    }
    return WriteBlockWithMarks(block, from, count, Dropped(0), false, out, end);
}

// The length of the run at src + i whose bytes have their bits set in the
// masks that block_mask(p) gives for the blocks from there on, counted over
// the blocks that lie inside the n counted bytes.
template <typename BlockMask>
LUMTRAX_ALWAYS_INLINE std::size_t RunLength(const std::uint8_t* src, std::size_t i, std::size_t n,
                                            BlockMask block_mask) {
    std::size_t length = 0;
    while (BlockFits(i + length, n)) {
        const unsigned mask = block_mask(src + i + length);
        // A whole block moves on by a constant, so that the next block's
        // address does not wait for the count.
        if ((mask & kWholeBlock) != kWholeBlock) return length + LeadingBytes(mask);
        length += kBlockSize;
    }
    return length;
}

// As RunLength, and then into the last bytes of the text, fewer than a
// block: those are read from the block that ends with the text (or, in a
// text shorter than a block, from a copy of them and of the byte after the
// text, padded with 00), and the run counts no byte past the text.
template <typename BlockMask>
LUMTRAX_ALWAYS_INLINE std::size_t RunLengthToEnd(const std::uint8_t* src, std::size_t i, std::size_t n,
                                                 BlockMask block_mask) {
    const std::size_t length = RunLength(src, i, n, block_mask);
    // Only a run that stopped for want of a whole block goes on into the
    // last bytes: it stopped at a block's start, with fewer bytes left.
    const std::size_t rest = n - i - length;
    if (rest == 0 || rest >= kBlockSize || length % kBlockSize != 0) return length;
    unsigned mask = 0;
    if (n >= kBlockSize) {
        // The block that ends with the text, without its bytes before the rest.
        mask = block_mask(src + n - kBlockSize) >> (kBlockSize - rest);
    } else {
        std::uint8_t tail[kBlockSize + 1] = {};
        std::memcpy(tail, src + i + length, rest + 1);
        mask = block_mask(tail);
    }
    const std::size_t counted = LeadingBytes(mask);
    return length + (counted < rest ? counted : rest);
}

// Writes a run of length bytes that lies at the start of room readable bytes
// of the text: write_block(k) writes the block from k whole while that block
// lies inside room (its bytes past the run are written again by what
// follows, or lie past the end of the result). Where the last block would
// not, a run of a block or more ends with the block that ends with it, which
// writes the bytes before it again as they are (a run of pairs is as long as
// an even number of bytes, so that block begins at a pair); a shorter one
// goes through write_rest(k), which writes the bytes of the run from k on
// exactly.
template <typename WriteBlock, typename WriteRest>
LUMTRAX_ALWAYS_INLINE void WriteRun(std::size_t length, std::size_t room, WriteBlock write_block,
                                    WriteRest write_rest) {
    std::size_t k = 0;
    for (; k < length && k + kBlockSize <= room; k += kBlockSize) write_block(k);
    if (k >= length) return;
    if (length >= kBlockSize) {
        write_block(length - kBlockSize);
    } else {
        write_rest(k);
    }
}

// The entries of a 256-byte table for a run of bytes.
template <typename Table>
void WriteRunThroughTable(const Table& table, const std::uint8_t* from, std::size_t length, std::size_t room,
                          std::uint8_t* to) {
    WriteRun(length, room,
             [&](std::size_t k) {
                 for (std::size_t b = k; b < k + kBlockSize; ++b) to[b] = table[from[b]];
             },
             [&](std::size_t k) {
                 for (; k < length; ++k) to[k] = table[from[k]];
             });
}

inline void CopyRun(const std::uint8_t* from, std::size_t length, std::size_t room, std::uint8_t* to) {
    WriteRun(length, room, [=](std::size_t k) { CopyBlock(from + k, to + k); },
             [=](std::size_t k) { std::memcpy(to + k, from + k, length - k); });
}

inline void CopyRunWithHighBits(const std::uint8_t* from, std::size_t length, std::size_t room, std::uint8_t* to) {
    WriteRun(length, room, [=](std::size_t k) { CopyBlockWithHighBits(from + k, to + k); },
             [=](std::size_t k) {
                 for (; k < length; ++k) to[k] = static_cast<std::uint8_t>(from[k] | 0x80);
             });
}

}  // namespace lumtrax

#endif  // LUMTRAX_COMMON_BLOCKS_H
