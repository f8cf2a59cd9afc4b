// The byte-pair tests that sort Shift-JIS text into double-byte characters,
// kanji, gaiji and single bytes, the line-end test, and the arithmetic from a
// Shift-JIS kanji to its JIS X 0208 code. Each test looks at the lead byte
// and the byte after it, and at nothing else.
#ifndef LUMTRAX_TO_HOST_SJIS_CLASSES_H
#define LUMTRAX_TO_HOST_SJIS_CLASSES_H

#include <array>
#include <cstdint>

#include "common/bytes.h"

namespace lumtrax {

// The classes by their byte ranges. The conversions test a pair through the
// class tables below, which are derived from these and checked against them.
namespace sjis_ranges {

// 40-7E or 80-FC: 7F is never a trail, 80 always is.
constexpr bool IsTrail(std::uint8_t trail) {
    return InRange(trail, 0x40, 0x7E) || InRange(trail, 0x80, 0xFC);
}

constexpr bool IsDoubleByte(std::uint8_t lead, std::uint8_t trail) {
    return (InRange(lead, 0x81, 0x9F) || InRange(lead, 0xE0, 0xFC)) && IsTrail(trail);
}

constexpr bool IsKanji(std::uint8_t lead, std::uint8_t trail) {
    return (InRange(lead, 0x81, 0x9F) || InRange(lead, 0xE0, 0xEF)) && IsTrail(trail);
}

// Row 13 of JIS X 0208: lead 87 with the trails up to 9E.
constexpr bool IsRow13Trail(std::uint8_t trail) {
    return InRange(trail, 0x40, 0x7E) || InRange(trail, 0x80, 0x9E);
}

constexpr bool IsGaiji(std::uint8_t lead, std::uint8_t trail) {
    if (InRange(lead, 0xF0, 0xF9)) return IsTrail(trail);
    if (lead == 0x87) return IsRow13Trail(trail);
    if (InRange(lead, 0xED, 0xEE)) return IsTrail(trail);
    if (InRange(lead, 0xFA, 0xFC)) return IsTrail(trail);
    return false;
}

}  // namespace sjis_ranges

// Class bits of a byte as a lead and as a trail. A pair's classes are the
// bits its lead and its trail have in common: a kanji lead with any trail is
// kanji, a gaiji lead with any trail is gaiji, and the lead 87 (kanji with
// any trail) is gaiji with a trail of row 13.
constexpr std::uint8_t kPairKanji = 1;
constexpr std::uint8_t kPairGaiji = 2;
constexpr std::uint8_t kPairRow13 = 4;

using ClassTable = std::array<std::uint8_t, 256>;

constexpr ClassTable MakeSjisLeadClasses() {
    ClassTable table{};
    for (int b = 0; b < 256; ++b) {
        const auto lead = static_cast<std::uint8_t>(b);
        std::uint8_t bits = 0;
        if (sjis_ranges::IsKanji(lead, 0x40)) bits |= kPairKanji;
        if (sjis_ranges::IsGaiji(lead, 0xFC)) bits |= kPairGaiji;  // FC is no row-13 trail
        if (sjis_ranges::IsGaiji(lead, 0x40) && !sjis_ranges::IsGaiji(lead, 0xFC)) bits |= kPairRow13;
        table[b] = bits;
    }
    return table;
}

constexpr ClassTable MakeSjisTrailClasses() {
    ClassTable table{};
    for (int b = 0; b < 256; ++b) {
        const auto trail = static_cast<std::uint8_t>(b);
        std::uint8_t bits = 0;
        if (sjis_ranges::IsTrail(trail)) bits |= kPairKanji | kPairGaiji;
        if (sjis_ranges::IsRow13Trail(trail)) bits |= kPairRow13;
        table[b] = bits;
    }
    return table;
}

inline constexpr ClassTable kSjisLeadClasses = MakeSjisLeadClasses();
inline constexpr ClassTable kSjisTrailClasses = MakeSjisTrailClasses();

constexpr std::uint8_t SjisPairClasses(std::uint8_t lead, std::uint8_t trail) {
    return kSjisLeadClasses[lead] & kSjisTrailClasses[trail];
}

constexpr bool IsSjisTrail(std::uint8_t trail) { return (kSjisTrailClasses[trail] & kPairKanji) != 0; }

// Double-byte: kanji or gaiji.
constexpr bool IsSjisDoubleByte(std::uint8_t lead, std::uint8_t trail) {
    return SjisPairClasses(lead, trail) != 0;
}

// Kanji class: the pairs that arithmetic converts, assigned or not. It
// overlaps the gaiji class at lead 87 and at the leads ED and EE; wherever
// both are tested, the gaiji test comes first.
constexpr bool IsSjisKanji(std::uint8_t lead, std::uint8_t trail) {
    return (SjisPairClasses(lead, trail) & kPairKanji) != 0;
}

// Gaiji: the user-defined area F0-F9, row 13 (lead 87, trails up to 9E), the
// leads ED-EE and the leads FA-FC. The gaiji server converts these.
constexpr bool IsSjisGaiji(std::uint8_t lead, std::uint8_t trail) {
    return (SjisPairClasses(lead, trail) & (kPairGaiji | kPairRow13)) != 0;
}

// Kanji and not gaiji: the pairs that the pre-pass turns into JIS.
constexpr bool IsSjisPlainKanji(std::uint8_t lead, std::uint8_t trail) {
    return SjisPairClasses(lead, trail) == kPairKanji;
}

// The tables are built from the ranges; the unit tests compare the two over
// every pair. Here, the edges where the classes meet:
static_assert(IsSjisKanji(0x87, 0x9E) && IsSjisGaiji(0x87, 0x9E) && !IsSjisPlainKanji(0x87, 0x9E));
static_assert(IsSjisPlainKanji(0x87, 0x9F) && !IsSjisGaiji(0x87, 0x9F));
static_assert(IsSjisKanji(0xED, 0x40) && IsSjisGaiji(0xEE, 0xFC) && IsSjisPlainKanji(0xEF, 0xFC));
static_assert(!IsSjisKanji(0xF0, 0x40) && IsSjisGaiji(0xF0, 0x40) && IsSjisGaiji(0xFC, 0xFC));
static_assert(!IsSjisDoubleByte(0x81, 0x7F) && IsSjisPlainKanji(0x81, 0x80) && !IsSjisDoubleByte(0x81, 0xFD));
static_assert(!IsSjisDoubleByte(0x80, 0x40) && !IsSjisDoubleByte(0xA0, 0x40) && !IsSjisDoubleByte(0xFD, 0x40));

// 2 for CR LF, the bytes a line end takes; else 0.
constexpr std::int32_t CrLfLength(std::uint8_t first, std::uint8_t second) {
    return first == kCarriageReturn && second == kLineFeed ? 2 : 0;
}

// The JIS X 0208 code of a pair that passes IsSjisKanji; both bytes come out
// in 21-7E. Defined for that class only. The row byte comes from the lead and
// the trail, the cell byte from the trail alone.
constexpr std::uint8_t SjisToJisRow(std::uint8_t lead, std::uint8_t trail) {
    const int row_base = lead <= 0x9F ? 2 * lead - 0xE1 : 2 * lead - 0x161;
    return static_cast<std::uint8_t>(trail >= 0x9F ? row_base + 1 : row_base);
}

constexpr std::uint8_t SjisToJisCell(std::uint8_t trail) {
    if (trail >= 0x9F) return static_cast<std::uint8_t>(trail - 0x7E);
    return static_cast<std::uint8_t>(trail <= 0x7E ? trail - 0x1F : trail - 0x20);
}

constexpr BytePair SjisToJis(std::uint8_t lead, std::uint8_t trail) {
    return {SjisToJisRow(lead, trail), SjisToJisCell(trail)};
}

static_assert(SjisToJis(0x81, 0x40).lead == 0x21 && SjisToJis(0x81, 0x40).trail == 0x21);
static_assert(SjisToJis(0x81, 0x80).lead == 0x21 && SjisToJis(0x81, 0x80).trail == 0x60);
static_assert(SjisToJis(0x88, 0x9F).lead == 0x30 && SjisToJis(0x88, 0x9F).trail == 0x21);
static_assert(SjisToJis(0xEF, 0xFC).lead == 0x7E && SjisToJis(0xEF, 0xFC).trail == 0x7E);

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SJIS_CLASSES_H
