// How a double-byte character of the JIS form becomes a pair of the EBCDIC
// host code. Kanji arrive as JIS (both bytes 21-7E) and get both high bits;
// a gaiji arrives as the server's two bytes and is written in the form of its
// class, so that the way back can hand the server the same record again.
#ifndef LUMTRAX_TO_HOST_EBCDIC_PAIRS_H
#define LUMTRAX_TO_HOST_EBCDIC_PAIRS_H

#include <cstdint>

#include "common/bytes.h"

namespace lumtrax {

constexpr bool IsJisByte(std::uint8_t b) { return InRange(b, 0x21, 0x7E); }
constexpr bool IsHighJisByte(std::uint8_t b) { return InRange(b, 0xA1, 0xFE); }

// The assigned area of JIS X 0208: rows 1-7, row 8 cells 1-32, rows 16-83,
// row 84 cells 1-6.
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

constexpr bool IsHighLeadPair(std::uint8_t lead, std::uint8_t trail) {
    return IsHighJisByte(lead) && IsJisByte(trail);
}

constexpr bool IsHighTrailPair(std::uint8_t lead, std::uint8_t trail) {
    return IsJisByte(lead) && IsHighJisByte(trail);
}

// The host pair for the JIS-form bytes of one double-byte character.
constexpr BytePair EbcdicHostPair(std::uint8_t lead, std::uint8_t trail) {
    if (IsJisAreaPair(lead, trail) || IsJisOpenAreaPair(lead, trail)) {
        return {static_cast<std::uint8_t>(lead + 0x80), static_cast<std::uint8_t>(trail + 0x80)};
    }
    if (IsHighLeadPair(lead, trail)) {
        return {static_cast<std::uint8_t>(lead - 0x60), static_cast<std::uint8_t>(trail + 0x80)};
    }
    if (IsHighTrailPair(lead, trail)) {
        return {static_cast<std::uint8_t>(lead + 0x80), static_cast<std::uint8_t>(trail - 0x60)};
    }
    return {lead, trail};
}

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_EBCDIC_PAIRS_H
