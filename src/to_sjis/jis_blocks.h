// Runs of double-byte host or EUC codes, eight pairs at a time: a block of
// 16 bytes read as the pairs p[0] p[1], p[2] p[3], ... when p[0] begins a
// pair.
#ifndef LUMTRAX_TO_SJIS_JIS_BLOCKS_H
#define LUMTRAX_TO_SJIS_JIS_BLOCKS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

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

// EUC a block at a time (see WalkBlocks): every byte 80-FF that begins a unit
// begins a pair, whatever follows it.
struct EucBlockUnits {
    unsigned from;         // the first of the block's bytes
    unsigned pair_starts;  // a pair begins here
    unsigned trails;       // ... and ends here (a pair that begins at the last byte ends past the block)
    unsigned not_jis;      // pair starts of pairs outside IsEucJisPair (8E, gaiji)
    void EndAtTheText() {}
};

// Builds the units from the bytes 80-FF and the places where a pair of
// IsEucJisPair would begin.
inline EucBlockUnits MakeEucBlockUnits(unsigned high, unsigned jis_pairs, BlockStart start) {
    EucBlockUnits units{};
    units.from = start.from;
    const unsigned carried_trail = static_cast<unsigned>(start.in_pair) << start.from;
    units.pair_starts = PairStarts(high & BytesFrom(start.from) & ~carried_trail);
    units.trails = ((units.pair_starts << 1) | carried_trail) & kWholeBlock;
    units.not_jis = units.pair_starts & ~jis_pairs;
    return units;
}

// ReadEucBlock(p, start) gives the units of the block (it reads p[16] too),
// and SjisOfJisBlock(p, leads, trails, block) puts its Shift-JIS text into a
// ConvertedBlock: the JIS pairs (high bits set or not) that begin at leads
// and end at trails converted as JisToSjis converts them, the lead from the
// pair's first byte alone, the trail from its own byte and the parity of the
// byte before it (for a trail at the block's first byte, the byte before the
// block); every other byte unchanged.

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

// The Shift-JIS bytes of the JIS pairs in bytes, before holding the byte
// before each byte: at leads the Shift-JIS lead, at trails the trail, and
// elsewhere the byte itself.
inline __m128i SjisOfJisBytes(__m128i bytes, __m128i before, __m128i leads, __m128i trails) {
    const auto all = [](int b) { return _mm_set1_epi8(static_cast<char>(b)); };
    // Lead: (row + 1) / 2, plus 70, or B0 from row byte 5F on.
    const __m128i row = _mm_and_si128(bytes, all(0x7F));
    const __m128i lead =
        _mm_add_epi8(_mm_avg_epu8(row, _mm_setzero_si128()), Select(_mm_cmpgt_epi8(row, all(0x5E)), all(0xB0), all(0x70)));
    // Trail: odd rows take the trails 40-9E (skipping 7F), even rows 9F-FC.
    const __m128i cell = row;
    const __m128i odd_row = _mm_cmpeq_epi8(_mm_and_si128(before, all(1)), all(1));
    const __m128i odd_trail = _mm_sub_epi8(_mm_add_epi8(cell, all(0x1F)), _mm_cmpgt_epi8(cell, all(0x5F)));
    const __m128i trail = Select(odd_row, odd_trail, _mm_add_epi8(cell, all(0x7E)));
    return Select(leads, lead, Select(trails, trail, bytes));
}

// The byte before each byte of the block at p, for SjisOfJisBytes: before
// the first byte, the byte before the block when the first byte is a trail
// (else the first byte again, which nothing reads).
inline __m128i BytesBefore(const std::uint8_t* p, __m128i bytes, unsigned trails) {
    const std::ptrdiff_t first_before = -static_cast<std::ptrdiff_t>(trails & 1u);
    return _mm_or_si128(_mm_slli_si128(bytes, 1), _mm_cvtsi32_si128(p[first_before]));
}

inline void SjisOfJisBlock(const std::uint8_t* p, unsigned leads, unsigned trails, ConvertedBlock& block) {
    const __m128i bytes = LoadBlock(p);
    StoreConverted(block, SjisOfJisBytes(bytes, BytesBefore(p, bytes, trails), BytesOfMask(leads), BytesOfMask(trails)));
}

// SjisOfJisBlock for a block of EUC up to its first pair outside the JIS
// area: there every byte 80-FF belongs to a JIS pair, the leads at
// units.pair_starts.
inline void SjisOfEucBlock(const std::uint8_t* p, const EucBlockUnits& units, ConvertedBlock& block) {
    const __m128i bytes = LoadBlock(p);
    const __m128i leads = BytesOfMask(units.pair_starts);
    const __m128i trails = _mm_andnot_si128(leads, _mm_cmplt_epi8(bytes, _mm_setzero_si128()));
    StoreConverted(block, SjisOfJisBytes(bytes, BytesBefore(p, bytes, units.trails), leads, trails));
}


// Writes the Shift-JIS codes of the eight JIS pairs of a block.
inline void JisBlockToSjis(const std::uint8_t* p, std::uint8_t* out) {
    const __m128i bytes = LoadBlock(p);
    // The leads are the low bytes of the 16-bit lanes, the trails the high ones.
    StoreBlock(out, SjisOfJisBytes(bytes, _mm_slli_si128(bytes, 1), Words(0x00FF), Words(0xFF00)));
}

inline EucBlockUnits ReadEucBlock(const std::uint8_t* p, BlockStart start = {}) {
    const __m128i bytes = LoadBlock(p);
    const unsigned jis_leads = BytesInRangeMask(bytes, 0xA1, 0xA8) | BytesInRangeMask(bytes, 0xB0, 0xF4);
    const unsigned jis_trails = BytesInRangeMask(LoadBlock(p + 1), 0xA1, 0xFE);  // bit k for p[k + 1]
    return MakeEucBlockUnits(ByteMask(bytes), jis_leads & jis_trails, start);
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

inline EucBlockUnits ReadEucBlock(const std::uint8_t* p, BlockStart start = {}) {
    unsigned high = 0, jis_pairs = 0;
    for (unsigned k = 0; k < kBlockSize; ++k) {
        high |= (p[k] >= 0x80 ? 1u : 0u) << k;
        jis_pairs |= (IsEucJisPair(p[k], p[k + 1]) ? 1u : 0u) << k;
    }
    return MakeEucBlockUnits(high, jis_pairs, start);
}

inline void SjisOfJisBlock(const std::uint8_t* p, unsigned leads, unsigned trails, ConvertedBlock& block) {
    for (std::ptrdiff_t k = 0; k < static_cast<std::ptrdiff_t>(kBlockSize); ++k) {
        if ((leads >> k & 1u) != 0) {
            block.bytes[k] = JisToSjis(p[k], p[k + 1]).lead;
        } else if ((trails >> k & 1u) != 0) {
            block.bytes[k] = JisToSjis(p[k - 1], p[k]).trail;
        } else {
            block.bytes[k] = p[k];
        }
    }
    std::memset(block.bytes + kBlockSize, 0, kBlockSize);
}

inline void SjisOfEucBlock(const std::uint8_t* p, const EucBlockUnits& units, ConvertedBlock& block) {
    SjisOfJisBlock(p, units.pair_starts, units.trails, block);
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
