// Small byte helpers shared by every part of the library.
#ifndef LUMTRAX_COMMON_BYTES_H
#define LUMTRAX_COMMON_BYTES_H

#include <cstdint>

namespace lumtrax {

// True when b lies in lo-hi, both inclusive.
constexpr bool InRange(std::uint8_t b, std::uint8_t lo, std::uint8_t hi) { return b >= lo && b <= hi; }

// A range of byte values, both ends inclusive: the codes name their ranges
// once, and the plain loops and the kernels test the same ones.
struct ByteValues {
    std::uint8_t lo;
    std::uint8_t hi;
    constexpr bool Holds(std::uint8_t b) const { return InRange(b, lo, hi); }
};

// Two bytes of a double-byte code, lead first.
struct BytePair {
    std::uint8_t lead;
    std::uint8_t trail;
};

// The byte that stands for a shift code or sequence in LRSS-mode Shift-JIS.
constexpr std::uint8_t kLrssPlaceholder = 0xA0;

// The raw-byte escape 5C 01 X carries X through a conversion unchanged.
constexpr std::uint8_t kEscapeFirst = 0x5C;
constexpr std::uint8_t kEscapeSecond = 0x01;

constexpr std::uint8_t kCarriageReturn = 0x0D;
constexpr std::uint8_t kLineFeed = 0x0A;

}  // namespace lumtrax

#endif  // LUMTRAX_COMMON_BYTES_H
