// The dispatcher behind the three conversion exports, and the rules that all
// conversions share: default lengths, unassigned types, the raw-byte escape.
#ifndef LUMTRAX_API_DISPATCH_H
#define LUMTRAX_API_DISPATCH_H

#include <cstddef>
#include <cstdint>

#include "simd/kernels.h"

namespace lumtrax {

// The length of a Shift-JIS text, walked character by character as the
// conversions walk it: a 00 at the start of a character ends the text, a
// double-byte pair takes two bytes, a raw-byte escape 5C 01 X three (X may
// be 00), any other byte one. Counted without limit; the dispatcher refuses
// a text longer than a 32-bit length can hold.
std::size_t EscapedLength(const std::uint8_t* src);

// Writes 5C 01, the first source byte and 00; returns 3.
std::int32_t MakeRawByteEscape(std::uint8_t* dst, const std::uint8_t* src, std::int32_t* status);

// True for the types whose source is Shift-JIS: 0, 1, 2, 3 and 10.
bool HasShiftJisSource(std::int32_t type);

// True for the types 0-7, 10 and 11.
bool IsAssignedType(std::int32_t type);

// Runs one conversion. len 0 asks for the length to be computed; a negative
// len is an empty text. A null status is allowed and reports nothing; a null
// dst or src is refused with -1, and so is a text whose converted form could
// be longer than the 32-bit result can count (dst then holds an empty text).
// lrss and shift are the flags the exports add. The conversions run with
// the kernels of the process's level (ActiveKernels).
std::int32_t ConvertDispatch(std::int32_t type, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                             std::int32_t mode, std::int32_t* status, bool lrss, bool shift);

// As above, with the kernels of a given level (the tests compare them).
std::int32_t ConvertDispatch(const Kernels& kernels, std::int32_t type, std::uint8_t* dst, const std::uint8_t* src,
                             std::int32_t len, std::int32_t mode, std::int32_t* status, bool lrss, bool shift);

}  // namespace lumtrax

#endif  // LUMTRAX_API_DISPATCH_H
