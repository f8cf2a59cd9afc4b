// The dispatcher behind the three conversion exports, and the rules that all
// conversions share: default lengths, unassigned types, the raw-byte escape.
#ifndef LUMTRAX_API_DISPATCH_H
#define LUMTRAX_API_DISPATCH_H

#include <cstddef>
#include <cstdint>

#include "common/modes.h"
#include "simd/kernels.h"

namespace lumtrax {

// The length of a Shift-JIS text, walked character by character as the
// conversions walk it (codes/units.h): a 00 at the start of a character ends
// the text, a double-byte pair takes two bytes, a raw-byte escape 5C 01 X
// three (X may be 00), any other byte one. Counted without limit; the
// dispatcher refuses a text longer than a 32-bit length can hold.
std::size_t EscapedLength(const std::uint8_t* src);

// Runs one conversion. len 0 asks for the length to be computed; a negative
// len is an empty text. A null dst or src is refused with -1, and so is a
// text whose converted form could be longer than the 32-bit result can
// count (dst then holds an empty text); an unassigned type is -1 with the
// source copied. status receives what the call met of gaiji. The
// conversions run with the kernels of the process's level (ActiveKernels).
std::int32_t ConvertDispatch(std::int32_t type, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                             const CallMode& mode, GaijiOutcome& status);

// As above, with the kernels of a given level (the tests compare them).
std::int32_t ConvertDispatch(const Kernels& kernels, std::int32_t type, std::uint8_t* dst, const std::uint8_t* src,
                             std::int32_t len, const CallMode& mode, GaijiOutcome& status);

}  // namespace lumtrax

#endif  // LUMTRAX_API_DISPATCH_H
