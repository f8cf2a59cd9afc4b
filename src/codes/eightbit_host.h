// The 8-bit host code: single bytes as they are in Shift-JIS, and double-
// byte characters in runs between a start sequence (93 F0, or 93 70) and the
// end sequence 93 F1. Both directions side by side.
//
// A kanji is its JIS X 0208 code with both high bits set, except the
// ideographic space (JIS 21 21), which is two ASCII spaces 20 20. A gaiji is
// the gaiji server's code as it stands.
#ifndef LUMTRAX_CODES_EIGHTBIT_HOST_H
#define LUMTRAX_CODES_EIGHTBIT_HOST_H

#include <cstdint>

#include "codes/shift_jis.h"
#include "common/bytes.h"

namespace lumtrax {

constexpr std::uint8_t kEightBitSequenceLead = 0x93;
constexpr std::uint8_t kEightBitStartF0 = 0xF0;
constexpr std::uint8_t kEightBitStart70 = 0x70;
constexpr std::uint8_t kEightBitEnd = 0xF1;

// Which start sequence the conversion out of Shift-JIS writes: type 2 93 F0,
// type 10 93 70. The way back reads both.
enum class StartSequence { kF0, k70 };

// 93 F0 and 93 70 open a run, 93 F1 closes it; 93 with any other byte is no
// sequence.
constexpr bool EightBitSequenceOpens(std::uint8_t second) {
    return second == kEightBitStartF0 || second == kEightBitStart70;
}
constexpr bool EightBitSequenceCloses(std::uint8_t second) { return second == kEightBitEnd; }
constexpr bool IsEightBitSequence(std::uint8_t first, std::uint8_t second) {
    return first == kEightBitSequenceLead && (EightBitSequenceOpens(second) || EightBitSequenceCloses(second));
}

// The ideographic space: two ASCII spaces.
constexpr BytePair kEightBitSpace = {0x20, 0x20};

// A kanji of the JIS form (both bytes 21-7E) in the 8-bit host code.
constexpr BytePair EightBitKanji(std::uint8_t jis_lead, std::uint8_t jis_trail) {
    if (jis_lead == 0x21 && jis_trail == 0x21) return kEightBitSpace;
    return {static_cast<std::uint8_t>(jis_lead | 0x80), static_cast<std::uint8_t>(jis_trail | 0x80)};
}

// A pair in a run that arithmetic converts back: a JIS code with the high
// bits set, or the ideographic space.
constexpr bool IsEightBitJisPair(std::uint8_t lead, std::uint8_t trail) {
    return IsHighJisByte(lead) && IsHighJisByte(trail);
}
constexpr bool IsEightBitSpace(std::uint8_t lead, std::uint8_t trail) {
    return lead == kEightBitSpace.lead && trail == kEightBitSpace.trail;
}

static_assert(EightBitKanji(0x21, 0x21).lead == 0x20 && EightBitKanji(0x30, 0x21).lead == 0xB0);

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_EIGHTBIT_HOST_H
