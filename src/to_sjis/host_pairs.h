// The classes of double-byte host and EUC codes: the JIS X 0208 pairs that
// arithmetic converts, and the code records handed to the gaiji server for
// the rest.
#ifndef LUMTRAX_TO_SJIS_HOST_PAIRS_H
#define LUMTRAX_TO_SJIS_HOST_PAIRS_H

#include <cstdint>

#include "common/bytes.h"
#include "gaiji/gaiji.h"
#include "to_sjis/jis_to_sjis.h"

namespace lumtrax {

constexpr bool IsHighByte(std::uint8_t b) { return InRange(b, 0xA1, 0xFE); }
constexpr bool IsLowHostByte(std::uint8_t b) { return InRange(b, 0x41, 0x9E); }

// The assigned area of JIS X 0208 in the EBCDIC host code, high bits set.
constexpr bool IsHostJisPair(std::uint8_t lead, std::uint8_t trail) {
    if (InRange(lead, 0xA1, 0xA7) || InRange(lead, 0xB0, 0xF3)) return IsHighByte(trail);
    if (lead == 0xA8) return InRange(trail, 0xA1, 0xC0);
    if (lead == 0xF4) return InRange(trail, 0xA1, 0xA6);
    return false;
}

constexpr bool IsHostOpenAreaPair(std::uint8_t lead, std::uint8_t trail) {
    return IsHighByte(lead) && IsHighByte(trail) && !IsHostJisPair(lead, trail);
}

constexpr bool IsHostLowLeadPair(std::uint8_t lead, std::uint8_t trail) {
    return IsLowHostByte(lead) && IsHighByte(trail);
}

constexpr bool IsHostLowTrailPair(std::uint8_t lead, std::uint8_t trail) {
    return IsHighByte(lead) && IsLowHostByte(trail);
}

// EUC: rows 1-8 and 16-84 whole, so A8 and F4 take every trail; rows 9-15
// and 85-94 belong to the gaiji server.
constexpr bool IsEucJisPair(std::uint8_t lead, std::uint8_t trail) {
    return (InRange(lead, 0xA1, 0xA8) || InRange(lead, 0xB0, 0xF4)) && IsHighByte(trail);
}

// A code record: the code's bytes and a 00; up to four bytes.
struct CodeRecord {
    std::uint8_t bytes[4];
};

// The record of an EBCDIC host pair outside the assigned area: a byte A1-FE
// travels with its high bit cleared, a byte 41-9E raised by 60, the pair
// unchanged when it is of neither form. This undoes the way the conversion
// into the host code wrote the server's code.
constexpr CodeRecord EbcdicHostRecord(std::uint8_t lead, std::uint8_t trail) {
    if (IsHostOpenAreaPair(lead, trail)) {
        return {{static_cast<std::uint8_t>(lead & 0x7F), static_cast<std::uint8_t>(trail & 0x7F), 0}};
    }
    if (IsHostLowLeadPair(lead, trail)) {
        return {{static_cast<std::uint8_t>(lead + 0x60), static_cast<std::uint8_t>(trail & 0x7F), 0}};
    }
    if (IsHostLowTrailPair(lead, trail)) {
        return {{static_cast<std::uint8_t>(lead & 0x7F), static_cast<std::uint8_t>(trail + 0x60), 0}};
    }
    return {{lead, trail, 0}};
}

// The record of an EUC pair outside the JIS area: the pair itself when the
// trail has its high bit, else the code-set-3 form 8F lead trail|80.
constexpr CodeRecord EucRecord(std::uint8_t lead, std::uint8_t trail) {
    if (trail >= 0x80) return {{lead, trail, 0, 0}};
    return {{0x8F, lead, static_cast<std::uint8_t>(trail | 0x80), 0}};
}

// Every conversion into Shift-JIS begins with no gaiji met. A text of length
// 0 or less is the empty text: true, with its terminator written.
inline bool StartsEmpty(std::uint8_t* dst, std::int32_t len, std::int32_t* status) {
    *status = kGaijiNone;
    if (len > 0) return false;
    dst[0] = 0x00;
    return true;
}

// Writes the Shift-JIS code of a JIS pair (high bits set or not).
inline void WriteJisAsSjis(std::uint8_t lead, std::uint8_t trail, std::uint8_t* out) {
    const BytePair sjis = JisToSjis(lead, trail);
    out[0] = sjis.lead;
    out[1] = sjis.trail;
}

}  // namespace lumtrax

#endif  // LUMTRAX_TO_SJIS_HOST_PAIRS_H
