// What stops a conversion to or from Unicode: a unit without a Unicode form,
// a character without a code, or text that is no valid UTF-8 or UTF-16.
#ifndef LUMTRAX_CODES_UNICODE_FAILURE_H
#define LUMTRAX_CODES_UNICODE_FAILURE_H

#include <cstdint>

namespace lumtrax {

enum class UnicodeFailure : std::uint8_t {
    kNone,
    // Decoding: the unit (a single byte, a pair, a gaiji's Shift-JIS code)
    // has no Unicode form in the mapping.
    kNoUnicodeForm,
    // Encoding: the character (or sequence) has no code in the mapping; in
    // double-byte-only mode, no double-byte code.
    kNoCode,
    // Invalid UTF-8 or UTF-16, an error in every mode:
    kStrayContinuation,  // UTF-8: a continuation byte 80-BF where a character begins
    kInvalidByte,        // UTF-8: F8-FF, which begin nothing
    kIncomplete,         // UTF-8: a sequence cut short by a byte that does not continue it
    kTruncated,          // cut short by the end of the text (UTF-8, UTF-16: an odd byte or a lone high surrogate)
    kOverlong,           // UTF-8: a value written in more bytes than it needs (C0, C1, E0 80-9F, F0 80-8F)
    kSurrogate,          // UTF-8: a surrogate D800-DFFF written as a character
    kOutOfRange,         // UTF-8: above U+10FFFF (F4 90-BF, F5-F7)
    kUnpairedSurrogate,  // UTF-16: a high surrogate without a low one after it, or a low one alone
};

constexpr bool IsTextFault(UnicodeFailure f) { return f >= UnicodeFailure::kStrayContinuation; }

// One character read from UTF-8 or UTF-16: its value and length, or the
// fault and the length of the ill-formed bytes (at least 1).
struct DecodedScalar {
    char32_t scalar;
    std::uint8_t length;
    UnicodeFailure fault;
};

}  // namespace lumtrax

#endif  // LUMTRAX_CODES_UNICODE_FAILURE_H
