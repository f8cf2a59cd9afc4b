// Shift-JIS a block of 16 bytes at a time: where its characters begin, the
// JIS form of its kanji, and the walk over a text's blocks. A block function
// reads the byte after the block too.
#ifndef LUMTRAX_TO_HOST_SJIS_BLOCKS_H
#define LUMTRAX_TO_HOST_SJIS_BLOCKS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/blocks.h"
#include "common/bytes.h"
#include "to_host/sjis_classes.h"

namespace lumtrax {

// The units of a block, one bit per byte.
struct SjisBlockUnits {
    unsigned from;          // the first of the block's bytes
    unsigned pair_starts;   // a double-byte character begins here
    unsigned trails;        // ... and ends here (a pair that begins at the last byte ends past the block)
    unsigned not_plain;     // a pair the fast paths leave to the unit steps: a lead 87 or ED-FC
                            // (every gaiji, and the kanji of the leads 87 and EF)
    unsigned escapes;       // 5C 01 where a unit begins
    unsigned line_ends;     // 0D 0A where a unit begins
    unsigned high_singles;  // a single byte 80-FF
    unsigned placeholders;  // a single byte A0
    // The bytes of the double-byte characters.
    unsigned pair_bytes() const { return pair_starts | trails; }
    // The bytes that begin a unit of one byte or of three (an escape).
    unsigned single_starts() const { return BytesFrom(from) & ~pair_bytes(); }
    // The trail at from of a pair that began before the block, or 0.
    unsigned carried_trail() const { return trails & ~(pair_starts << 1); }
    // The block ends with the text: a line end or an escape needs its first
    // two bytes inside it.
    void EndAtTheText() {
        line_ends &= ~kLastByte;
        escapes &= ~kLastByte;
    }
};

// Builds the units from the bytes that may begin a double-byte character
// (a lead with a trail after it) and the other byte classes.
inline SjisBlockUnits MakeSjisBlockUnits(unsigned may_begin, unsigned other_leads, unsigned escape_pairs,
                                         unsigned line_end_pairs, unsigned high, unsigned a0, BlockStart start) {
    SjisBlockUnits units{};
    units.from = start.from;
    const unsigned carried_trail = static_cast<unsigned>(start.in_pair) << start.from;
    units.pair_starts = PairStarts(may_begin & BytesFrom(start.from) & ~carried_trail);
    units.trails = ((units.pair_starts << 1) | carried_trail) & kWholeBlock;
    const unsigned singles = units.single_starts();
    units.not_plain = units.pair_starts & other_leads;
    units.escapes = escape_pairs & singles;
    units.line_ends = line_end_pairs & singles;
    units.high_singles = high & singles;
    units.placeholders = a0 & singles;
    return units;
}

#if LUMTRAX_SSE2

// The bytes of the pairs p[0] p[1], p[2] p[3], ... that are kanji and not
// gaiji (IsSjisPlainKanji), two bits per pair; the lead 87, gaiji or kanji
// by its trail, is left to the unit steps. Reads the block alone.
inline unsigned PlainKanjiMask(const std::uint8_t* p) {
    const __m128i bytes = LoadBlock(p);
    const __m128i kanji_leads = _mm_or_si128(BytesInRange(bytes, 0x81, 0x9F), BytesInRange(bytes, 0xE0, 0xEF));
    const __m128i other_leads = _mm_or_si128(BytesInRange(bytes, 0xED, 0xEE),
                                             _mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x87))));
    const __m128i trails = _mm_andnot_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x7F)), BytesInRange(bytes, 0x40, 0xFC));
    return PairsOf(ByteMask(_mm_andnot_si128(other_leads, kanji_leads)), ByteMask(trails));
}

// The units of the block at p from start on; reads p[16] too. Past an
// escape they are not those of the text (its carried byte counts as a byte
// of its own), but the fast paths stop at the first escape.
inline SjisBlockUnits ReadSjisBlock(const std::uint8_t* p, BlockStart start = {}) {
    const __m128i bytes = LoadBlock(p);
    const __m128i next = LoadBlock(p + 1);
    const auto equal = [](__m128i v, int b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b))); };
    const unsigned high = ByteMask(bytes);
    unsigned may_begin = 0, other_leads = 0;
    if (high != 0 || start.in_pair) {  // else single bytes below 80 alone
        const __m128i leads = _mm_or_si128(BytesInRange(bytes, 0x81, 0x9F), BytesInRange(bytes, 0xE0, 0xFC));
        const __m128i trails = _mm_andnot_si128(equal(next, 0x7F), BytesInRange(next, 0x40, 0xFC));
        may_begin = ByteMask(_mm_and_si128(leads, trails));
        // 87, and the leads from ED on (ED-EE and F0-FC are gaiji; EF is left
        // to the unit steps with them).
        const __m128i from_ed = _mm_cmpeq_epi8(_mm_max_epu8(bytes, _mm_set1_epi8(static_cast<char>(0xED))), bytes);
        other_leads = ByteMask(_mm_or_si128(from_ed, equal(bytes, 0x87)));
    }
    const unsigned escape_pairs = ByteMask(_mm_and_si128(equal(bytes, kEscapeFirst), equal(next, kEscapeSecond)));
    const unsigned line_end_pairs = ByteMask(_mm_and_si128(equal(bytes, kCarriageReturn), equal(next, kLineFeed)));
    const unsigned a0 = ByteMask(equal(bytes, kLrssPlaceholder));
    return MakeSjisBlockUnits(may_begin, other_leads, escape_pairs, line_end_pairs, high, a0, start);
}

// Writes the JIS form of the block at p (reading p[16] too) with the units
// given, byte by byte: the byte that begins a kanji becomes its row byte,
// from itself and the trail after it; a trail becomes its cell byte, from
// itself alone; every other byte stays. The sums are those of SjisToJis in
// bytes that wrap around. The bytes before units.from keep what out holds.
inline void WriteJisOfBlock(const std::uint8_t* p, const SjisBlockUnits& units, std::uint8_t* out) {
    const __m128i bytes = LoadBlock(p);
    if (units.pair_bytes() == 0 && units.from == 0) {
        StoreBlock(out, bytes);
        return;
    }
    const __m128i next = LoadBlock(p + 1);
    const auto all = [](int b) { return _mm_set1_epi8(static_cast<char>(b)); };
    // Row: 2L + 1F for the leads 81-9F, 2L + 9F (that is 2L - 161) for
    // E0-EF, which have 40 set, and one more when the trail is 9F or above.
    const __m128i lead_40 = _mm_add_epi8(bytes, _mm_and_si128(bytes, all(0x40)));
    const __m128i row =
        _mm_sub_epi8(_mm_add_epi8(_mm_add_epi8(lead_40, lead_40), all(0x1F)), BytesInRange(next, 0x9F, 0xFF));
    // Cell: the trail less 1F (40-7E), 20 (80-9E) or 7E (9F-FC).
    const __m128i from_80 = _mm_cmpgt_epi8(_mm_setzero_si128(), bytes);
    const __m128i offset =
        _mm_add_epi8(_mm_sub_epi8(all(0x1F), from_80), _mm_and_si128(BytesInRange(bytes, 0x9F, 0xFF), all(0x5E)));
    const __m128i cell = _mm_sub_epi8(bytes, offset);
    __m128i form = Select(BytesOfMask(units.pair_starts), row, Select(BytesOfMask(units.trails), cell, bytes));
    if (units.from != 0) form = Select(BytesOfMask(BytesFrom(units.from)), form, LoadBlock(out));
    StoreBlock(out, form);
}

// Writes the JIS codes of the eight pairs of a block of kanji.
inline void WriteJisOfKanjiPairs(const std::uint8_t* p, std::uint8_t* out) {
    SjisBlockUnits kanji{};
    kanji.pair_starts = 0x5555u;
    kanji.trails = 0xAAAAu;
    WriteJisOfBlock(p, kanji, out);
}

// The block of the JIS form at jis with the high bit set in the bytes of
// pair_bytes, the others unchanged.
inline void SetHighBitsIn(const std::uint8_t* jis, unsigned pair_bytes, ConvertedBlock& block) {
    const __m128i high = _mm_and_si128(BytesOfMask(pair_bytes), _mm_set1_epi8(static_cast<char>(0x80)));
    StoreConverted(block, _mm_or_si128(LoadBlock(jis), high));
}

// Puts the bytes of pair_bytes of the JIS form at jis, with the high bit
// set, into a block over what it holds there.
inline void PutPairsWithHighBits(const std::uint8_t* jis, unsigned pair_bytes, ConvertedBlock& block) {
    const __m128i pairs = _mm_or_si128(LoadBlock(jis), _mm_set1_epi8(static_cast<char>(0x80)));
    StoreConverted(block, Select(BytesOfMask(pair_bytes), pairs, LoadBlock(block.bytes)));
}

#else

inline unsigned PlainKanjiMask(const std::uint8_t* p) {
    unsigned mask = 0;
    for (unsigned k = 0; k < kBlockSize; k += 2) {
        mask |= (p[k] != 0x87 && IsSjisPlainKanji(p[k], p[k + 1]) ? 3u : 0u) << k;
    }
    return mask;
}

inline SjisBlockUnits ReadSjisBlock(const std::uint8_t* p, BlockStart start = {}) {
    unsigned may_begin = 0, other_leads = 0, escape_pairs = 0, line_end_pairs = 0, high = 0, a0 = 0;
    for (unsigned k = 0; k < kBlockSize; ++k) {
        const unsigned bit = 1u << k;
        if (IsSjisDoubleByte(p[k], p[k + 1])) may_begin |= bit;
        if (p[k] == 0x87 || p[k] >= 0xED) other_leads |= bit;
        if (p[k] == kEscapeFirst && p[k + 1] == kEscapeSecond) escape_pairs |= bit;
        if (p[k] == kCarriageReturn && p[k + 1] == kLineFeed) line_end_pairs |= bit;
        if (p[k] >= 0x80) high |= bit;
        if (p[k] == kLrssPlaceholder) a0 |= bit;
    }
    return MakeSjisBlockUnits(may_begin, other_leads, escape_pairs, line_end_pairs, high, a0, start);
}

inline void WriteJisOfKanjiPairs(const std::uint8_t* p, std::uint8_t* out) {
    for (unsigned k = 0; k < kBlockSize; k += 2) {
        const BytePair jis = SjisToJis(p[k], p[k + 1]);
        out[k] = jis.lead;
        out[k + 1] = jis.trail;
    }
}

inline void WriteJisOfBlock(const std::uint8_t* p, const SjisBlockUnits& units, std::uint8_t* out) {
    for (unsigned k = units.from; k < kBlockSize; ++k) {
        const unsigned bit = 1u << k;
        if ((units.pair_starts & bit) != 0) {
            out[k] = SjisToJisRow(p[k], p[k + 1]);
        } else if ((units.trails & bit) != 0) {
            out[k] = SjisToJisCell(p[k]);
        } else {
            out[k] = p[k];
        }
    }
}

inline void SetHighBitsIn(const std::uint8_t* jis, unsigned pair_bytes, ConvertedBlock& block) {
    for (unsigned k = 0; k < kBlockSize; ++k) {
        block.bytes[k] = static_cast<std::uint8_t>(jis[k] | ((pair_bytes >> k & 1u) != 0 ? 0x80 : 0));
    }
    std::memset(block.bytes + kBlockSize, 0, kBlockSize);
}

inline void PutPairsWithHighBits(const std::uint8_t* jis, unsigned pair_bytes, ConvertedBlock& block) {
    for (unsigned k = 0; k < kBlockSize; ++k) {
        if ((pair_bytes >> k & 1u) != 0) block.bytes[k] = static_cast<std::uint8_t>(jis[k] | 0x80);
    }
    std::memset(block.bytes + kBlockSize, 0, kBlockSize);
}

#endif

// Walks Shift-JIS text a block at a time (see WalkBlocks).
template <typename Stops, typename Write>
LUMTRAX_ALWAYS_INLINE std::size_t WalkSjisBlocks(const std::uint8_t* src, std::size_t i, std::size_t n, Stops stops,
                                                 Write write) {
    const auto read = [](const std::uint8_t* p, BlockStart start) { return ReadSjisBlock(p, start); };
    return WalkBlocks(src, i, n, read, stops, write);
}

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SJIS_BLOCKS_H
