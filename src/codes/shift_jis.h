// Shift-JIS and its arithmetic with JIS X 0208, both directions side by side.
//
// The invariant of the arithmetic: JIS X 0208 is a square of 94 rows by 94
// cells, each numbered 21-7E. Shift-JIS folds two rows into one lead byte:
// the rows 2r-1 and 2r share the lead, the odd row taking the trails 40-9E
// (skipping 7F) and the even row the trails 9F-FC. The leads run 81-9F for
// the rows 1-62 and E0-EF for the rows 63-94. SjisToJis and JisToSjis are
// exact inverses over that square and the kanji class below; the gaiji
// class goes to the gaiji server instead.
//
// Each class test looks at a lead byte and the byte after it, and at
// nothing else.
#ifndef LUMTRAX_CODES_SHIFT_JIS_H
#define LUMTRAX_CODES_SHIFT_JIS_H

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/bytes.h"

namespace lumtrax {

// ---- the classes of a pair -------------------------------------------------

// The classes by their byte ranges. The conversions test a pair through the
// class tables below, which are derived from these and checked against them.
// The byte ranges of the classes, which the kernels test too.
inline constexpr ByteValues kSjisLeadsLow{0x81, 0x9F};
inline constexpr ByteValues kSjisLeadsHigh{0xE0, 0xFC};
inline constexpr ByteValues kSjisKanjiLeadsHigh{0xE0, 0xEF};
inline constexpr ByteValues kSjisTrailsLow{0x40, 0x7E};   // 7F is never a trail,
inline constexpr ByteValues kSjisTrailsHigh{0x80, 0xFC};  // 80 always is
inline constexpr ByteValues kSjisGaijiLeadsNec{0xED, 0xEE};
inline constexpr ByteValues kSjisGaijiLeadsHigh{0xF0, 0xFC};  // the user-defined area F0-F9, and FA-FC
constexpr std::uint8_t kSjisRow13Lead = 0x87;
inline constexpr ByteValues kSjisRow13TrailsHigh{0x80, 0x9E};  // row 13: the trails up to 9E

namespace sjis_ranges {

constexpr bool IsTrail(std::uint8_t trail) { return kSjisTrailsLow.Holds(trail) || kSjisTrailsHigh.Holds(trail); }

constexpr bool IsLead(std::uint8_t lead) { return kSjisLeadsLow.Holds(lead) || kSjisLeadsHigh.Holds(lead); }

constexpr bool IsDoubleByte(std::uint8_t lead, std::uint8_t trail) { return IsLead(lead) && IsTrail(trail); }

constexpr bool IsKanji(std::uint8_t lead, std::uint8_t trail) {
    return (kSjisLeadsLow.Holds(lead) || kSjisKanjiLeadsHigh.Holds(lead)) && IsTrail(trail);
}

// Row 13 of JIS X 0208: lead 87 with the trails up to 9E.
constexpr bool IsRow13Trail(std::uint8_t trail) {
    return kSjisTrailsLow.Holds(trail) || kSjisRow13TrailsHigh.Holds(trail);
}

constexpr bool IsGaiji(std::uint8_t lead, std::uint8_t trail) {
    if (kSjisGaijiLeadsHigh.Holds(lead) || kSjisGaijiLeadsNec.Holds(lead)) return IsTrail(trail);
    if (lead == kSjisRow13Lead) return IsRow13Trail(trail);
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

constexpr bool IsSjisLead(std::uint8_t lead) { return kSjisLeadClasses[lead] != 0; }
constexpr bool IsSjisTrail(std::uint8_t trail) { return (kSjisTrailClasses[trail] & kPairKanji) != 0; }

// Double-byte: kanji or gaiji.
constexpr bool IsSjisDoubleByte(std::uint8_t lead, std::uint8_t trail) { return SjisPairClasses(lead, trail) != 0; }

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

// Kanji and not gaiji: the pairs that arithmetic converts.
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
static_assert(IsSjisLead(0x81) && IsSjisLead(0x9F) && IsSjisLead(0xE0) && IsSjisLead(0xFC) && !IsSjisLead(0xA0));

// The ideographic space, JIS 21 21.
constexpr BytePair kSjisIdeographicSpace = {0x81, 0x40};

// ---- the units of a text that are no character -------------------------------

// A raw-byte escape 5C 01 X begins at i when its 5C and 01 both lie inside
// the n counted bytes; X may be the byte just after them.
constexpr bool IsRawByteEscapeAt(const std::uint8_t* src, std::size_t i, std::size_t n) {
    return i + 1 < n && src[i] == kEscapeFirst && src[i + 1] == kEscapeSecond;
}

// A line end CR LF needs both of its bytes inside the counted text.
constexpr bool IsLineEndAt(const std::uint8_t* src, std::size_t i, std::size_t n) {
    return i + 1 < n && src[i] == kCarriageReturn && src[i + 1] == kLineFeed;
}

// ---- JIS X 0208 ----------------------------------------------------------------

inline constexpr ByteValues kJisBytes{0x21, 0x7E};
// A JIS byte with its high bit set, as the host codes and EUC carry it.
inline constexpr ByteValues kHighJisBytes{0xA1, 0xFE};

constexpr bool IsJisByte(std::uint8_t b) { return kJisBytes.Holds(b); }
constexpr bool IsHighJisByte(std::uint8_t b) { return kHighJisBytes.Holds(b); }

// The assigned area: rows 1-7, row 8 cells 1-32, rows 16-83, row 84 cells
// 1-6.
constexpr bool IsJisAreaPair(std::uint8_t lead, std::uint8_t trail) {
    if (InRange(lead, 0x21, 0x27) || InRange(lead, 0x30, 0x73)) return IsJisByte(trail);
    if (lead == 0x28) return InRange(trail, 0x21, 0x40);
    if (lead == 0x74) return InRange(trail, 0x21, 0x26);
    return false;
}

// The rest of the square 21-7E by 21-7E.
constexpr bool IsJisOpenAreaPair(std::uint8_t lead, std::uint8_t trail) {
    return IsJisByte(lead) && IsJisByte(trail) && !IsJisAreaPair(lead, trail);
}

// ---- the arithmetic ------------------------------------------------------------

// The JIS code of a pair that passes IsSjisKanji; both bytes come out in
// 21-7E. The row byte comes from the lead and the trail, the cell byte from
// the trail alone.
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

// The Shift-JIS code of a JIS code, with or without its high bits set (the
// host codes and EUC carry them set). The lead comes from the row alone, the
// trail from the cell and the row's parity.
constexpr BytePair JisToSjis(std::uint8_t lead, std::uint8_t trail) {
    const int row = lead & 0x7F;
    const int cell = trail & 0x7F;
    const int sjis_lead = ((row + 1) >> 1) + (row < 0x5F ? 0x70 : 0xB0);
    const int sjis_trail = row % 2 == 1 ? cell + 0x1F + (cell >= 0x60 ? 1 : 0) : cell + 0x7E;
    return {static_cast<std::uint8_t>(sjis_lead), static_cast<std::uint8_t>(sjis_trail)};
}

static_assert(SjisToJis(0x81, 0x40).lead == 0x21 && SjisToJis(0x81, 0x40).trail == 0x21);
static_assert(SjisToJis(0x81, 0x80).lead == 0x21 && SjisToJis(0x81, 0x80).trail == 0x60);
static_assert(SjisToJis(0x88, 0x9F).lead == 0x30 && SjisToJis(0x88, 0x9F).trail == 0x21);
static_assert(SjisToJis(0xEF, 0xFC).lead == 0x7E && SjisToJis(0xEF, 0xFC).trail == 0x7E);
static_assert(JisToSjis(0xB0, 0xA1).lead == 0x88 && JisToSjis(0xB0, 0xA1).trail == 0x9F);
static_assert(JisToSjis(0xA1, 0xE0).lead == 0x81 && JisToSjis(0xA1, 0xE0).trail == 0x80);
static_assert(JisToSjis(0xF4, 0xA6).lead == 0xEA && JisToSjis(0xF4, 0xA6).trail == 0xA4);

// Writes the Shift-JIS code of a JIS pair (high bits set or not) at out.
inline void WriteJisAsSjis(std::uint8_t lead, std::uint8_t trail, std::uint8_t* out) {
    const BytePair sjis = JisToSjis(lead, trail);
    out[0] = sjis.lead;
    out[1] = sjis.trail;
}

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_SHIFT_JIS_H
