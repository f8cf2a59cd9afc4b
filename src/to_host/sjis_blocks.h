// Runs of kanji, eight pairs at a time: a block of 16 Shift-JIS bytes read
// as the pairs p[0] p[1], p[2] p[3], ... when p[0] begins a character.
#ifndef LUMTRAX_TO_HOST_SJIS_BLOCKS_H
#define LUMTRAX_TO_HOST_SJIS_BLOCKS_H

#include <cstdint>

#include "common/blocks.h"
#include "to_host/sjis_classes.h"

namespace lumtrax {

#if LUMTRAX_SSE2

// The bytes of the pairs that are kanji and not gaiji (IsSjisPlainKanji),
// two bits per pair.
inline unsigned PlainKanjiMask(const std::uint8_t* p) {
    const __m128i bytes = LoadBlock(p);
    const unsigned kanji_leads = BytesInRangeMask(bytes, 0x81, 0x9F) | BytesInRangeMask(bytes, 0xE0, 0xEF);
    const unsigned gaiji_leads = BytesInRangeMask(bytes, 0xED, 0xEE);
    const unsigned row13_leads = ByteMask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x87))));
    const unsigned trails = BytesInRangeMask(bytes, 0x40, 0x7E) | BytesInRangeMask(bytes, 0x80, 0xFC);
    // Lead 87 is gaiji with the trails up to 9E, kanji with the others.
    const unsigned past_row13 = BytesInRangeMask(bytes, 0x9F, 0xFC);
    return PairsOf(kanji_leads & ~gaiji_leads, trails) & ~PairsOf(row13_leads, ~past_row13);
}

// Writes the JIS codes of eight kanji pairs, as SjisToJis does one.
inline void SjisBlockToJis(const std::uint8_t* p, std::uint8_t* out) {
    const __m128i pairs = LoadBlock(p);
    const __m128i lead = PairLeads(pairs);
    const __m128i trail = PairTrails(pairs);
    // Each lead covers two rows; the trails from 9F on are the second row.
    const __m128i second_row = _mm_cmpgt_epi16(trail, Words(0x9E));
    const __m128i row_base = _mm_sub_epi16(_mm_add_epi16(lead, lead),
                                           Select(_mm_cmpgt_epi16(lead, Words(0x9F)), Words(0x161), Words(0xE1)));
    const __m128i row = _mm_sub_epi16(row_base, second_row);  // minus -1: plus one
    // The trails of the first row skip 7F.
    const __m128i first_row_offset = Select(_mm_cmpgt_epi16(trail, Words(0x7E)), Words(0x20), Words(0x1F));
    const __m128i cell = _mm_sub_epi16(trail, Select(second_row, Words(0x7E), first_row_offset));
    StoreBlock(out, MakePairs(row, cell));
}

#else

inline unsigned PlainKanjiMask(const std::uint8_t* p) {
    unsigned mask = 0;
    for (unsigned k = 0; k < kBlockSize; k += 2) mask |= (IsSjisPlainKanji(p[k], p[k + 1]) ? 3u : 0u) << k;
    return mask;
}

inline void SjisBlockToJis(const std::uint8_t* p, std::uint8_t* out) {
    for (unsigned k = 0; k < kBlockSize; k += 2) {
        const BytePair jis = SjisToJis(p[k], p[k + 1]);
        out[k] = jis.lead;
        out[k + 1] = jis.trail;
    }
}

#endif

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SJIS_BLOCKS_H
