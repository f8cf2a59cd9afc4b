// UTF-8: one scalar value at a time, both directions side by side.
//
// A character is a lead byte and as many continuation bytes (80-BF) as the
// lead says: 00-7F alone, C2-DF one more, E0-EF two, F0-F4 three. Reading
// checks every byte and the value, and names the first fault; the length of
// an ill-formed sequence is that of its bytes up to the fault (the lead, the
// continuation bytes that are there), at least 1. Reading never looks past
// the `left` bytes it is given.
#ifndef LUMTRAX_CODES_UTF8_H
#define LUMTRAX_CODES_UTF8_H

#include <cstddef>
#include <cstdint>

#include "codes/unicode_failure.h"

namespace lumtrax {

constexpr bool IsUtf8Continuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// The bytes a character of this lead takes, or 0 for a byte that leads
// nothing (a continuation byte, F8-FF). C0, C1 and F5-F7 lead sequences of
// their length that are always faulty (overlong, out of range).
constexpr int Utf8SequenceLength(std::uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xC0) return 0;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    if (lead < 0xF8) return 4;
    return 0;
}

constexpr DecodedScalar DecodeUtf8(const std::uint8_t* p, std::size_t left) {
    const std::uint8_t lead = p[0];
    if (lead < 0x80) return {lead, 1, UnicodeFailure::kNone};
    const int length = Utf8SequenceLength(lead);
    if (length == 0) {
        return {0, 1, IsUtf8Continuation(lead) ? UnicodeFailure::kStrayContinuation : UnicodeFailure::kInvalidByte};
    }
    char32_t value = lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        if (static_cast<std::size_t>(k) >= left) {
            return {0, static_cast<std::uint8_t>(k), UnicodeFailure::kTruncated};
        }
        if (!IsUtf8Continuation(p[k])) return {0, static_cast<std::uint8_t>(k), UnicodeFailure::kIncomplete};
        value = value << 6 | (p[k] & 0x3F);
    }
    constexpr char32_t kLowest[5] = {0, 0, 0x80, 0x800, 0x10000};
    const auto n = static_cast<std::uint8_t>(length);
    if (value < kLowest[length]) return {0, n, UnicodeFailure::kOverlong};
    if (value > 0x10FFFF) return {0, n, UnicodeFailure::kOutOfRange};
    if (value >= 0xD800 && value <= 0xDFFF) return {0, n, UnicodeFailure::kSurrogate};
    return {value, n, UnicodeFailure::kNone};
}

// Writes a scalar value (not a surrogate, at most U+10FFFF) at out; returns
// its length, 1 to 4.
constexpr int EncodeUtf8(char32_t c, std::uint8_t* out) {
    if (c < 0x80) {
        out[0] = static_cast<std::uint8_t>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<std::uint8_t>(0xC0 | c >> 6);
        out[1] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<std::uint8_t>(0xE0 | c >> 12);
        out[1] = static_cast<std::uint8_t>(0x80 | (c >> 6 & 0x3F));
        out[2] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<std::uint8_t>(0xF0 | c >> 18);
    out[1] = static_cast<std::uint8_t>(0x80 | (c >> 12 & 0x3F));
    out[2] = static_cast<std::uint8_t>(0x80 | (c >> 6 & 0x3F));
    out[3] = static_cast<std::uint8_t>(0x80 | (c & 0x3F));
    return 4;
}

namespace utf8_checks {

constexpr bool Reads(const char* bytes, std::size_t n, char32_t scalar, int length, UnicodeFailure fault) {
    std::uint8_t b[4] = {};
    for (std::size_t k = 0; k < n; ++k) b[k] = static_cast<std::uint8_t>(bytes[k]);
    const DecodedScalar d = DecodeUtf8(b, n);
    return d.scalar == scalar && d.length == length && d.fault == fault;
}

constexpr bool RoundTrips(char32_t c, int length) {
    std::uint8_t b[4] = {};
    const int n = EncodeUtf8(c, b);
    const DecodedScalar d = DecodeUtf8(b, static_cast<std::size_t>(n));
    return n == length && d.scalar == c && d.length == n && d.fault == UnicodeFailure::kNone;
}

static_assert(RoundTrips(0x7F, 1) && RoundTrips(0x80, 2) && RoundTrips(0x7FF, 2) && RoundTrips(0x800, 3) &&
              RoundTrips(0xFFFF, 3) && RoundTrips(0x10000, 4) && RoundTrips(0x10FFFF, 4));
static_assert(Reads("\xC0\x80", 2, 0, 2, UnicodeFailure::kOverlong) &&
              Reads("\xE0\x9F\xBF", 3, 0, 3, UnicodeFailure::kOverlong) &&
              Reads("\xED\xA0\x80", 3, 0, 3, UnicodeFailure::kSurrogate) &&
              Reads("\xF4\x90\x80\x80", 4, 0, 4, UnicodeFailure::kOutOfRange) &&
              Reads("\xE3\x81", 2, 0, 2, UnicodeFailure::kTruncated) &&
              Reads("\xE3\x41", 2, 0, 1, UnicodeFailure::kIncomplete) &&
              Reads("\x80", 1, 0, 1, UnicodeFailure::kStrayContinuation) &&
              Reads("\xFF", 1, 0, 1, UnicodeFailure::kInvalidByte));

}  // namespace utf8_checks

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_UTF8_H
