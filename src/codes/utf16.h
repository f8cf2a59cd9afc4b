// UTF-16 in either byte order, one scalar value at a time, both directions
// side by side. The text is bytes: two to a code unit, the low byte first
// (little-endian) or last (big-endian). A character outside the BMP is a
// high surrogate D800-DBFF followed by a low one DC00-DFFF; any other
// surrogate is unpaired, an error. Reading never looks past the `left`
// bytes it is given.
#ifndef LUMTRAX_CODES_UTF16_H
#define LUMTRAX_CODES_UTF16_H

#include <cstddef>
#include <cstdint>

#include "codes/unicode_failure.h"

namespace lumtrax {

enum class ByteOrder : std::uint8_t { kLittleEndian, kBigEndian };

constexpr char16_t ReadUtf16Unit(const std::uint8_t* p, ByteOrder order) {
    return order == ByteOrder::kLittleEndian ? static_cast<char16_t>(p[0] | p[1] << 8)
                                             : static_cast<char16_t>(p[0] << 8 | p[1]);
}

constexpr bool IsHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

constexpr DecodedScalar DecodeUtf16(const std::uint8_t* p, std::size_t left, ByteOrder order) {
    if (left < 2) return {0, 1, UnicodeFailure::kTruncated};
    const char16_t first = ReadUtf16Unit(p, order);
    if (!IsHighSurrogate(first) && !IsLowSurrogate(first)) return {first, 2, UnicodeFailure::kNone};
    if (IsLowSurrogate(first)) return {0, 2, UnicodeFailure::kUnpairedSurrogate};
    if (left < 4) return {0, static_cast<std::uint8_t>(left), UnicodeFailure::kTruncated};
    const char16_t second = ReadUtf16Unit(p + 2, order);
    if (!IsLowSurrogate(second)) return {0, 2, UnicodeFailure::kUnpairedSurrogate};
    return {0x10000 + ((first - 0xD800u) << 10 | (second - 0xDC00u)), 4, UnicodeFailure::kNone};
}

constexpr void WriteUtf16Unit(char32_t unit, std::uint8_t* out, ByteOrder order) {
    const auto high = static_cast<std::uint8_t>(unit >> 8);
    const auto low = static_cast<std::uint8_t>(unit);
    out[0] = order == ByteOrder::kLittleEndian ? low : high;
    out[1] = order == ByteOrder::kLittleEndian ? high : low;
}

// Writes a scalar value (not a surrogate, at most U+10FFFF) at out; returns
// its length, 2 or 4.
constexpr int EncodeUtf16(char32_t c, std::uint8_t* out, ByteOrder order) {
    if (c < 0x10000) {
        WriteUtf16Unit(c, out, order);
        return 2;
    }
    WriteUtf16Unit(0xD800 + ((c - 0x10000) >> 10), out, order);
    WriteUtf16Unit(0xDC00 + ((c - 0x10000) & 0x3FF), out + 2, order);
    return 4;
}

namespace utf16_checks {

constexpr bool RoundTrips(char32_t c, ByteOrder order, std::uint8_t first_byte) {
    std::uint8_t b[4] = {};
    const int n = EncodeUtf16(c, b, order);
    const DecodedScalar d = DecodeUtf16(b, static_cast<std::size_t>(n), order);
    return b[0] == first_byte && d.scalar == c && d.length == n && d.fault == UnicodeFailure::kNone;
}

static_assert(RoundTrips(0x3042, ByteOrder::kLittleEndian, 0x42) && RoundTrips(0x3042, ByteOrder::kBigEndian, 0x30));
static_assert(RoundTrips(0x20B9F, ByteOrder::kBigEndian, 0xD8) && RoundTrips(0x10FFFF, ByteOrder::kLittleEndian, 0xFF));

}  // namespace utf16_checks

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_UTF16_H
