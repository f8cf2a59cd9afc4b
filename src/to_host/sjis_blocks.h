// Shift-JIS a block of 16 bytes at a time, for a block whose first byte
// begins a character: where its characters begin, and the JIS form of its
// kanji. A block function reads the byte after the block too.
#ifndef LUMTRAX_TO_HOST_SJIS_BLOCKS_H
#define LUMTRAX_TO_HOST_SJIS_BLOCKS_H

#include <cstdint>

#include "common/blocks.h"
#include "common/bytes.h"
#include "to_host/sjis_classes.h"

namespace lumtrax {

// The units of a block, one bit per byte.
struct SjisBlockUnits {
    unsigned pair_starts;   // a double-byte character begins here
    unsigned not_plain;     // ... and is a gaiji, or has the lead 87 (gaiji or kanji by its trail)
    unsigned escapes;       // 5C 01 where a unit begins
    unsigned line_ends;     // 0D 0A where a unit begins
    unsigned high_singles;  // a single byte 80-FF
    // The bytes of the double-byte characters (the last one may end past the block).
    unsigned pair_bytes() const { return (pair_starts | pair_starts << 1) & kWholeBlock; }
    // Blocks that may begin a long run of one kind.
    bool ascii_only() const { return pair_starts == 0 && high_singles == 0; }
    bool plain_kanji_only() const { return pair_starts == 0x5555u && not_plain == 0; }
};

// Builds the units from the bytes that may begin a double-byte character
// (a lead with a trail after it) and the other byte classes.
inline SjisBlockUnits MakeSjisBlockUnits(unsigned may_begin, unsigned other_leads, unsigned escape_pairs,
                                         unsigned line_end_pairs, unsigned high) {
    SjisBlockUnits units{};
    units.pair_starts = PairStarts(may_begin);
    const unsigned unit_starts = ~(units.pair_starts << 1) & kWholeBlock;
    units.not_plain = units.pair_starts & other_leads;
    units.escapes = escape_pairs & unit_starts;
    units.line_ends = line_end_pairs & unit_starts;
    units.high_singles = high & unit_starts & ~units.pair_starts;
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

// The units of the block at p; reads p[16] too. Past an escape they are
// not those of the text (its carried byte counts as a byte of its own), but
// the fast paths stop at the first escape.
inline SjisBlockUnits ReadSjisBlock(const std::uint8_t* p) {
    const __m128i bytes = LoadBlock(p);
    const __m128i next = LoadBlock(p + 1);
    const auto equal = [](__m128i v, int b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b))); };
    const unsigned leads = ByteMask(_mm_or_si128(BytesInRange(bytes, 0x81, 0x9F), BytesInRange(bytes, 0xE0, 0xFC)));
    const unsigned trails = ByteMask(_mm_andnot_si128(equal(next, 0x7F), BytesInRange(next, 0x40, 0xFC)));
    const unsigned other_leads =
        ByteMask(_mm_or_si128(_mm_or_si128(BytesInRange(bytes, 0xED, 0xEE), BytesInRange(bytes, 0xF0, 0xFC)), equal(bytes, 0x87)));
    const unsigned escape_pairs = ByteMask(_mm_and_si128(equal(bytes, kEscapeFirst), equal(next, kEscapeSecond)));
    const unsigned line_end_pairs = ByteMask(_mm_and_si128(equal(bytes, kCarriageReturn), equal(next, kLineFeed)));
    return MakeSjisBlockUnits(leads & trails, other_leads, escape_pairs, line_end_pairs, ByteMask(bytes));
}

// Writes the JIS form of the block at p (reading p[16] too) whose kanji
// begin at kanji_starts, byte by byte: the byte that begins a kanji becomes
// its row byte, from itself and the trail after it; the trail becomes its
// cell byte, from itself alone; every other byte stays. The sums are those
// of SjisToJis in bytes that wrap around.
inline void WriteJisOfBlock(const std::uint8_t* p, unsigned kanji_starts, std::uint8_t* out) {
    const __m128i bytes = LoadBlock(p);
    const __m128i next = LoadBlock(p + 1);
    const auto all = [](int b) { return _mm_set1_epi8(static_cast<char>(b)); };
    // Row: 2L + 1F for the leads 81-9F, 2L + 9F (that is 2L - 161) for
    // E0-EF, and one more when the trail is 9F or above.
    const __m128i row_base = Select(BytesInRange(bytes, 0xE0, 0xFF), all(0x9F), all(0x1F));
    const __m128i row = _mm_sub_epi8(_mm_add_epi8(_mm_add_epi8(bytes, bytes), row_base), BytesInRange(next, 0x9F, 0xFF));
    // Cell: the trail less 1F (40-7E), 20 (80-9E) or 7E (9F-FC).
    const __m128i from_80 = _mm_cmpgt_epi8(_mm_setzero_si128(), bytes);
    const __m128i offset = _mm_add_epi8(_mm_sub_epi8(all(0x1F), from_80), _mm_and_si128(BytesInRange(bytes, 0x9F, 0xFF), all(0x5E)));
    const __m128i cell = _mm_sub_epi8(bytes, offset);
    const __m128i form = Select(BytesOfMask(kanji_starts << 1), cell, bytes);
    StoreBlock(out, Select(BytesOfMask(kanji_starts), row, form));
}

// Writes the JIS codes of the eight pairs of a block of kanji.
inline void WriteJisOfKanjiPairs(const std::uint8_t* p, std::uint8_t* out) { WriteJisOfBlock(p, 0x5555u, out); }

// Writes the JIS form jis of a block with the high bit set in the bytes of
// pair_bytes, the others unchanged.
inline void WriteBlockWithHighBitsIn(const std::uint8_t* jis, unsigned pair_bytes, std::uint8_t* out) {
    const __m128i high = _mm_and_si128(BytesOfMask(pair_bytes), _mm_set1_epi8(static_cast<char>(0x80)));
    StoreBlock(out, _mm_or_si128(LoadBlock(jis), high));
}

#else

inline unsigned PlainKanjiMask(const std::uint8_t* p) {
    unsigned mask = 0;
    for (unsigned k = 0; k < kBlockSize; k += 2) {
        mask |= (p[k] != 0x87 && IsSjisPlainKanji(p[k], p[k + 1]) ? 3u : 0u) << k;
    }
    return mask;
}

inline SjisBlockUnits ReadSjisBlock(const std::uint8_t* p) {
    unsigned may_begin = 0, other_leads = 0, escape_pairs = 0, line_end_pairs = 0, high = 0;
    for (unsigned k = 0; k < kBlockSize; ++k) {
        const unsigned bit = 1u << k;
        if (IsSjisDoubleByte(p[k], p[k + 1])) may_begin |= bit;
        if (p[k] == 0x87 || IsSjisGaiji(p[k], 0x40)) other_leads |= bit;
        if (p[k] == kEscapeFirst && p[k + 1] == kEscapeSecond) escape_pairs |= bit;
        if (p[k] == kCarriageReturn && p[k + 1] == kLineFeed) line_end_pairs |= bit;
        if (p[k] >= 0x80) high |= bit;
    }
    return MakeSjisBlockUnits(may_begin, other_leads, escape_pairs, line_end_pairs, high);
}

inline void WriteJisOfKanjiPairs(const std::uint8_t* p, std::uint8_t* out) {
    for (unsigned k = 0; k < kBlockSize; k += 2) {
        const BytePair jis = SjisToJis(p[k], p[k + 1]);
        out[k] = jis.lead;
        out[k + 1] = jis.trail;
    }
}

inline void WriteJisOfBlock(const std::uint8_t* p, unsigned kanji_starts, std::uint8_t* out) {
    WriteBlockConvertingPairs(p, kanji_starts, [](std::uint8_t lead, std::uint8_t trail, std::uint8_t* at) {
        const BytePair jis = SjisToJis(lead, trail);
        at[0] = jis.lead;
        at[1] = jis.trail;
    }, out);
}

inline void WriteBlockWithHighBitsIn(const std::uint8_t* jis, unsigned pair_bytes, std::uint8_t* out) {
    for (unsigned k = 0; k < kBlockSize; ++k) out[k] = static_cast<std::uint8_t>(jis[k] | ((pair_bytes >> k & 1u) != 0 ? 0x80 : 0));
}

#endif

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SJIS_BLOCKS_H
