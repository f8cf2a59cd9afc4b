// The EBCDIC host code: single bytes through one of two table sets, and
// double-byte characters in runs between the shift codes 2B (open) and 2C
// (close). Both directions side by side.
//
// A kanji is its JIS X 0208 code with both high bits set. A gaiji is the
// gaiji server's code, written in the form of its class so that the way
// back hands the server the same record again: a JIS-square code (both
// bytes 21-7E) with both high bits set, a code with a high lead (A1-FE)
// and a JIS trail with the lead lowered by 60, one with a JIS lead and a
// high trail with the trail lowered by 60, and any other code as it is.
#ifndef LUMTRAX_CODES_EBCDIC_HOST_H
#define LUMTRAX_CODES_EBCDIC_HOST_H

#include <cstdint>

#include "codes/host_code.h"
#include "codes/shift_jis.h"
#include "common/bytes.h"
#include "tables/host_tables.h"

namespace lumtrax {

constexpr std::uint8_t kEbcdicRunOpen = 0x2B;
constexpr std::uint8_t kEbcdicRunClose = 0x2C;

constexpr bool IsEbcdicShiftCode(std::uint8_t b) { return b == kEbcdicRunOpen || b == kEbcdicRunClose; }

// LF in both table sets; it ends a line.
constexpr std::uint8_t kEbcdicLineFeed = 0x25;
static_assert(kSjisToHostSet0[kLineFeed] == kEbcdicLineFeed && kSjisToHostSet1[kLineFeed] == kEbcdicLineFeed);

// ---- out of Shift-JIS ----------------------------------------------------------

constexpr bool IsEbcdicHighLeadPair(std::uint8_t lead, std::uint8_t trail) {
    return IsHighJisByte(lead) && IsJisByte(trail);
}

constexpr bool IsEbcdicHighTrailPair(std::uint8_t lead, std::uint8_t trail) {
    return IsJisByte(lead) && IsHighJisByte(trail);
}

// The host pair of the JIS-form bytes of one double-byte character: a
// kanji's JIS code, or the gaiji server's code.
constexpr BytePair EbcdicHostPair(std::uint8_t lead, std::uint8_t trail) {
    if (IsJisByte(lead) && IsJisByte(trail)) {
        return {static_cast<std::uint8_t>(lead + 0x80), static_cast<std::uint8_t>(trail + 0x80)};
    }
    if (IsEbcdicHighLeadPair(lead, trail)) {
        return {static_cast<std::uint8_t>(lead - 0x60), static_cast<std::uint8_t>(trail + 0x80)};
    }
    if (IsEbcdicHighTrailPair(lead, trail)) {
        return {static_cast<std::uint8_t>(lead + 0x80), static_cast<std::uint8_t>(trail - 0x60)};
    }
    return {lead, trail};
}

// ---- into Shift-JIS ------------------------------------------------------------

constexpr bool IsEbcdicLowByte(std::uint8_t b) { return InRange(b, 0x41, 0x9E); }

// The assigned area of JIS X 0208 with the high bits set: the rows A1-A7 and
// B0-F3 whole, row A8 up to C0, row F4 up to A6. The pairs that arithmetic
// converts back.
inline constexpr ByteValues kEbcdicWholeRowsLow{0xA1, 0xA7};
inline constexpr ByteValues kEbcdicWholeRowsHigh{0xB0, 0xF3};
constexpr std::uint8_t kEbcdicShortRowLow = 0xA8;
inline constexpr ByteValues kEbcdicShortRowLowCells{0xA1, 0xC0};
constexpr std::uint8_t kEbcdicShortRowHigh = 0xF4;
inline constexpr ByteValues kEbcdicShortRowHighCells{0xA1, 0xA6};

constexpr bool IsEbcdicJisPair(std::uint8_t lead, std::uint8_t trail) {
    if (kEbcdicWholeRowsLow.Holds(lead) || kEbcdicWholeRowsHigh.Holds(lead)) return IsHighJisByte(trail);
    if (lead == kEbcdicShortRowLow) return kEbcdicShortRowLowCells.Holds(trail);
    if (lead == kEbcdicShortRowHigh) return kEbcdicShortRowHighCells.Holds(trail);
    return false;
}

constexpr bool IsEbcdicOpenAreaPair(std::uint8_t lead, std::uint8_t trail) {
    return IsHighJisByte(lead) && IsHighJisByte(trail) && !IsEbcdicJisPair(lead, trail);
}

constexpr bool IsEbcdicLowLeadPair(std::uint8_t lead, std::uint8_t trail) {
    return IsEbcdicLowByte(lead) && IsHighJisByte(trail);
}

constexpr bool IsEbcdicLowTrailPair(std::uint8_t lead, std::uint8_t trail) {
    return IsHighJisByte(lead) && IsEbcdicLowByte(trail);
}

// The server record of a pair outside the assigned area: it undoes
// EbcdicHostPair. A byte A1-FE travels with its high bit cleared, a byte
// 41-9E raised by 60, the pair unchanged when it is of neither form.
constexpr CodeRecord EbcdicHostRecord(std::uint8_t lead, std::uint8_t trail) {
    if (IsEbcdicOpenAreaPair(lead, trail)) {
        return {{static_cast<std::uint8_t>(lead & 0x7F), static_cast<std::uint8_t>(trail & 0x7F), 0, 0}};
    }
    if (IsEbcdicLowLeadPair(lead, trail)) {
        return {{static_cast<std::uint8_t>(lead + 0x60), static_cast<std::uint8_t>(trail & 0x7F), 0, 0}};
    }
    if (IsEbcdicLowTrailPair(lead, trail)) {
        return {{static_cast<std::uint8_t>(lead & 0x7F), static_cast<std::uint8_t>(trail + 0x60), 0, 0}};
    }
    return {{lead, trail, 0, 0}};
}

static_assert(EbcdicHostPair(0x30, 0x21).lead == 0xB0 && EbcdicHostPair(0x30, 0x21).trail == 0xA1);
static_assert(EbcdicHostRecord(0x41, 0xA1).bytes[0] == 0xA1 && EbcdicHostRecord(0x41, 0xA1).bytes[1] == 0x21);

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_EBCDIC_HOST_H
