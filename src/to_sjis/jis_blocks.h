// Runs of double-byte host or EUC codes, eight pairs at a time: a block of
// 16 bytes read as the pairs p[0] p[1], p[2] p[3], ... when p[0] begins a
// pair.
#ifndef LUMTRAX_TO_SJIS_JIS_BLOCKS_H
#define LUMTRAX_TO_SJIS_JIS_BLOCKS_H

#include <cstddef>
#include <cstdint>

#include "common/blocks.h"
#include "to_sjis/host_pairs.h"
#include "to_sjis/jis_to_sjis.h"

namespace lumtrax {

// Which pairs JisToSjis converts, by code: the EBCDIC host code's assigned
// area (IsHostJisPair), the whole A1-FE square of the 8-bit host code, or
// EUC's rows (IsEucJisPair).
enum class JisArea { kEbcdicHost, kEightBitHost, kEuc };

constexpr bool IsJisPairOf(JisArea area, std::uint8_t lead, std::uint8_t trail) {
    switch (area) {
        case JisArea::kEbcdicHost:
            return IsHostJisPair(lead, trail);
        case JisArea::kEightBitHost:
            return IsHighByte(lead) && IsHighByte(trail);
        case JisArea::kEuc:
            return IsEucJisPair(lead, trail);
    }
    return false;
}

// EUC a block at a time, for a block whose first byte begins a unit: every
// byte 80-FF that begins a unit begins a pair, whatever follows it.
struct EucBlockUnits {
    unsigned pair_starts;
    unsigned not_jis;  // pair starts of pairs outside IsEucJisPair (8E, gaiji)
    // Blocks that may begin a long run of one kind.
    bool ascii_only() const { return pair_starts == 0; }
    bool jis_pairs_only() const { return pair_starts == 0x5555u && not_jis == 0; }
};

// ReadEucBlock(p) gives the units of the block (it reads p[16] too), and
// WriteSjisOfEucBlock(p, pair_starts, out) writes its Shift-JIS text: the
// JIS pairs that begin at pair_starts converted (the second byte inside the
// block), every other byte unchanged.

#if LUMTRAX_SSE2

// The bytes of the pairs that lie in the area, two bits per pair.
inline unsigned JisPairMask(JisArea area, const std::uint8_t* p) {
    const __m128i bytes = LoadBlock(p);
    const unsigned high = BytesInRangeMask(bytes, 0xA1, 0xFE);
    switch (area) {
        case JisArea::kEbcdicHost: {
            // Rows 8 and 84 end early.
            const unsigned whole_rows = BytesInRangeMask(bytes, 0xA1, 0xA7) | BytesInRangeMask(bytes, 0xB0, 0xF3);
            const unsigned row_8 = ByteMask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xA8))));
            const unsigned row_84 = ByteMask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xF4))));
            return PairsOf(whole_rows, high) | PairsOf(row_8, BytesInRangeMask(bytes, 0xA1, 0xC0)) |
                   PairsOf(row_84, BytesInRangeMask(bytes, 0xA1, 0xA6));
        }
        case JisArea::kEightBitHost:
            return PairsOf(high, high);
        case JisArea::kEuc:
        default:
            return PairsOf(BytesInRangeMask(bytes, 0xA1, 0xA8) | BytesInRangeMask(bytes, 0xB0, 0xF4), high);
    }
}

// Writes the Shift-JIS text of the block at p (reading p[16] too) whose
// JIS pairs (high bits set or not) begin at pair_starts, as JisToSjis gives
// each: the lead from the pair's first byte alone, the trail from the
// second and the parity of the first, worked out where the pair begins and
// moved onto its second byte; every other byte stays.
inline void WriteSjisOfJisBlock(const std::uint8_t* p, unsigned pair_starts, std::uint8_t* out) {
    const __m128i bytes = LoadBlock(p);
    const auto all = [](int b) { return _mm_set1_epi8(static_cast<char>(b)); };
    const __m128i row = _mm_and_si128(bytes, all(0x7F));
    const __m128i cell = _mm_and_si128(LoadBlock(p + 1), all(0x7F));  // of the pair that begins here
    // Lead: (row + 1) / 2, plus 70, or B0 from row byte 5F on.
    const __m128i lead =
        _mm_add_epi8(_mm_avg_epu8(row, _mm_setzero_si128()), Select(_mm_cmpgt_epi8(row, all(0x5E)), all(0xB0), all(0x70)));
    // Odd rows take the trails 40-9E (skipping 7F), even rows 9F-FC.
    const __m128i odd_row = _mm_cmpeq_epi8(_mm_and_si128(row, all(1)), all(1));
    const __m128i odd_trail = _mm_sub_epi8(_mm_add_epi8(cell, all(0x1F)), _mm_cmpgt_epi8(cell, all(0x5F)));
    const __m128i trail = _mm_slli_si128(Select(odd_row, odd_trail, _mm_add_epi8(cell, all(0x7E))), 1);
    const __m128i text = Select(BytesOfMask(pair_starts << 1), trail, bytes);
    StoreBlock(out, Select(BytesOfMask(pair_starts), lead, text));
}

// Writes the Shift-JIS codes of the eight JIS pairs of a block.
inline void JisBlockToSjis(const std::uint8_t* p, std::uint8_t* out) { WriteSjisOfJisBlock(p, 0x5555u, out); }

inline EucBlockUnits ReadEucBlock(const std::uint8_t* p) {
    const __m128i bytes = LoadBlock(p);
    const unsigned starts = PairStarts(ByteMask(bytes));
    const unsigned jis_leads = BytesInRangeMask(bytes, 0xA1, 0xA8) | BytesInRangeMask(bytes, 0xB0, 0xF4);
    const unsigned jis_trails = BytesInRangeMask(LoadBlock(p + 1), 0xA1, 0xFE);  // bit k for p[k + 1]
    return {starts, starts & ~(jis_leads & jis_trails)};
}

inline void WriteSjisOfEucBlock(const std::uint8_t* p, unsigned pair_starts, std::uint8_t* out) {
    WriteSjisOfJisBlock(p, pair_starts, out);
}

#else

inline unsigned JisPairMask(JisArea area, const std::uint8_t* p) {
    unsigned mask = 0;
    for (unsigned k = 0; k < kBlockSize; k += 2) mask |= (IsJisPairOf(area, p[k], p[k + 1]) ? 3u : 0u) << k;
    return mask;
}

inline void JisBlockToSjis(const std::uint8_t* p, std::uint8_t* out) {
    for (unsigned k = 0; k < kBlockSize; k += 2) WriteJisAsSjis(p[k], p[k + 1], out + k);
}

inline EucBlockUnits ReadEucBlock(const std::uint8_t* p) {
    unsigned high = 0, jis_pairs = 0;
    for (unsigned k = 0; k < kBlockSize; ++k) {
        high |= (p[k] >= 0x80 ? 1u : 0u) << k;
        jis_pairs |= (IsEucJisPair(p[k], p[k + 1]) ? 1u : 0u) << k;
    }
    const unsigned starts = PairStarts(high);
    return {starts, starts & ~jis_pairs};
}

inline void WriteSjisOfEucBlock(const std::uint8_t* p, unsigned pair_starts, std::uint8_t* out) {
    WriteBlockConvertingPairs(p, pair_starts, [](std::uint8_t lead, std::uint8_t trail, std::uint8_t* at) {
        WriteJisAsSjis(lead, trail, at);
    }, out);
}

#endif

// The bytes of the run of pairs of the area from i on (see RunLength). i
// must begin a pair.
inline std::size_t JisPairRun(JisArea area, const std::uint8_t* src, std::size_t i, std::size_t n) {
    return RunLength(src, i, n, [=](const std::uint8_t* p) { return JisPairMask(area, p); });
}

// The Shift-JIS codes of a run of pairs (see WriteRun).
inline void WriteSjisOfRun(const std::uint8_t* src, std::size_t length, std::size_t room, std::uint8_t* out) {
    WriteRun(length, room, [=](std::size_t k) { JisBlockToSjis(src + k, out + k); },
             [=](std::size_t k) {
                 for (; k < length; k += 2) WriteJisAsSjis(src[k], src[k + 1], out + k);
             });
}

}  // namespace lumtrax

#endif  // LUMTRAX_TO_SJIS_JIS_BLOCKS_H
