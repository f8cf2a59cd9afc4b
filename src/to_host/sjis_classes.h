// The byte-pair tests that sort Shift-JIS text into double-byte characters,
// kanji, gaiji and single bytes, the line-end test, and the arithmetic from a
// Shift-JIS kanji to its JIS X 0208 code. Each test looks at the lead byte
// and the byte after it, and at nothing else.
#ifndef LUMTRAX_TO_HOST_SJIS_CLASSES_H
#define LUMTRAX_TO_HOST_SJIS_CLASSES_H

#include <cstdint>

#include "common/bytes.h"

namespace lumtrax {

// 40-7E or 80-FC: 7F is never a trail, 80 always is.
constexpr bool IsSjisTrail(std::uint8_t trail) {
    return InRange(trail, 0x40, 0x7E) || InRange(trail, 0x80, 0xFC);
}

constexpr bool IsSjisDoubleByte(std::uint8_t lead, std::uint8_t trail) {
    return (InRange(lead, 0x81, 0x9F) || InRange(lead, 0xE0, 0xFC)) && IsSjisTrail(trail);
}

// Kanji class: the pairs that arithmetic converts, assigned or not. It
// overlaps the gaiji class at lead 87 and at the leads ED and EE; wherever
// both are tested, the gaiji test comes first.
constexpr bool IsSjisKanji(std::uint8_t lead, std::uint8_t trail) {
    return (InRange(lead, 0x81, 0x9F) || InRange(lead, 0xE0, 0xEF)) && IsSjisTrail(trail);
}

// Gaiji: the user-defined area F0-F9, row 13 (lead 87, trails up to 9E), the
// leads ED-EE and the leads FA-FC. The gaiji server converts these.
constexpr bool IsSjisGaiji(std::uint8_t lead, std::uint8_t trail) {
    if (InRange(lead, 0xF0, 0xF9)) return IsSjisTrail(trail);
    if (lead == 0x87) return InRange(trail, 0x40, 0x7E) || InRange(trail, 0x80, 0x9E);
    if (InRange(lead, 0xED, 0xEE)) return IsSjisTrail(trail);
    if (InRange(lead, 0xFA, 0xFC)) return IsSjisTrail(trail);
    return false;
}

// 2 for CR LF, the bytes a line end takes; else 0.
constexpr std::int32_t CrLfLength(std::uint8_t first, std::uint8_t second) {
    return first == kCarriageReturn && second == kLineFeed ? 2 : 0;
}

// The JIS X 0208 code of a pair that passes IsSjisKanji; both bytes come out
// in 21-7E. Defined for that class only.
constexpr BytePair SjisToJis(std::uint8_t lead, std::uint8_t trail) {
    const int row_base = lead <= 0x9F ? 2 * lead - 0xE1 : 2 * lead - 0x161;
    if (trail >= 0x9F) {
        return {static_cast<std::uint8_t>(row_base + 1), static_cast<std::uint8_t>(trail - 0x7E)};
    }
    const int cell = trail <= 0x7E ? trail - 0x1F : trail - 0x20;
    return {static_cast<std::uint8_t>(row_base), static_cast<std::uint8_t>(cell)};
}

static_assert(SjisToJis(0x81, 0x40).lead == 0x21 && SjisToJis(0x81, 0x40).trail == 0x21);
static_assert(SjisToJis(0x81, 0x80).lead == 0x21 && SjisToJis(0x81, 0x80).trail == 0x60);
static_assert(SjisToJis(0x88, 0x9F).lead == 0x30 && SjisToJis(0x88, 0x9F).trail == 0x21);
static_assert(SjisToJis(0xEF, 0xFC).lead == 0x7E && SjisToJis(0xEF, 0xFC).trail == 0x7E);

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SJIS_CLASSES_H
