// EUC: single bytes below 80 as they are, a kanji as its JIS X 0208 code with
// both high bits set, a single byte 80-FF (a half-width katakana, or any
// other byte with the high bit that starts no character) behind the prefix
// 8E. Both directions side by side.
//
// Rows 1-8 and 16-84 are converted by arithmetic; the other rows (and the
// code-set-3 form 8F) belong to the gaiji server.
#ifndef LUMTRAX_CODES_EUC_H
#define LUMTRAX_CODES_EUC_H

#include <cstdint>

#include "codes/host_code.h"
#include "codes/shift_jis.h"
#include "common/bytes.h"

namespace lumtrax {

// The prefix that carries a single byte 80-FF.
constexpr std::uint8_t kSingleShift2 = 0x8E;

// A kanji of the JIS form in EUC.
constexpr BytePair EucKanji(std::uint8_t jis_lead, std::uint8_t jis_trail) {
    return {static_cast<std::uint8_t>(jis_lead | 0x80), static_cast<std::uint8_t>(jis_trail | 0x80)};
}

// The pairs that arithmetic converts back: rows 1-8 and 16-84 whole, so
// that A8 and F4 take every trail.
inline constexpr ByteValues kEucJisRowsLow{0xA1, 0xA8};
inline constexpr ByteValues kEucJisRowsHigh{0xB0, 0xF4};

constexpr bool IsEucJisPair(std::uint8_t lead, std::uint8_t trail) {
    return (kEucJisRowsLow.Holds(lead) || kEucJisRowsHigh.Holds(lead)) && IsHighJisByte(trail);
}

// The server record of a pair outside the JIS rows: the pair itself when the
// trail has its high bit, else the code-set-3 form 8F lead trail|80.
constexpr CodeRecord EucRecord(std::uint8_t lead, std::uint8_t trail) {
    if (trail >= 0x80) return {{lead, trail, 0, 0}};
    return {{0x8F, lead, static_cast<std::uint8_t>(trail | 0x80), 0}};
}

static_assert(EucKanji(0x30, 0x21).lead == 0xB0 && IsEucJisPair(0xB0, 0xA1) && !IsEucJisPair(0xA9, 0xA1));

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_EUC_H
