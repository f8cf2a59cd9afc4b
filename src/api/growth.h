// How large a destination each conversion may need: the growth rules. The
// bound holds for every export and line-end mode and includes the
// terminating 00. It is the size that callers give the destination, which
// is never less than the text and two bytes; the block kernels may write
// anywhere inside it, past the terminator too.
#ifndef LUMTRAX_API_GROWTH_H
#define LUMTRAX_API_GROWTH_H

#include <cstddef>
#include <cstdint>

namespace lumtrax {

// The destination bytes a conversion of len counted source bytes may write.
// For an unassigned type the source is copied up to its first 00, so the
// caller's text length plus one is what counts there.
// Counted in 64 bits, so that no length a 32-bit count can hold overflows it
// where size_t has 32 bits.
constexpr std::uint64_t DestinationCapacity(std::int32_t type, std::uint64_t len) {
    // A unit that begins at the last counted byte may take the byte after it.
    const std::uint64_t consumed = len + 1;
    const std::uint64_t floor = len + 2;
    std::uint64_t text = 0;
    switch (type) {
        case 0:
        case 1:
            // A 2B only before a pair, a 2C only after one: at most 5 bytes
            // for every 3, and a placeholder is one shift code.
            text = 5 * consumed / 3 + 1;
            break;
        case 2:
        case 10:
            // A sequence is two bytes: pair and single byte alternating give
            // 7 bytes for every 3, plus a closing sequence.
            text = 7 * consumed / 3 + 2;
            break;
        case 3:
            text = 2 * len;  // a byte 80-FF gains the prefix 8E
            break;
        case 4:
        case 5:
        case 6:
        case 7:
            text = consumed;  // no unit writes more than it takes
            break;
        case 11:
            text = 3;
            break;
        default:
            text = len;
            break;
    }
    const std::uint64_t with_terminator = text + 1;
    return with_terminator > floor ? with_terminator : floor;
}

// True when every text the conversion can make of len bytes has a length
// that the 32-bit result of a conversion can count.
constexpr bool ResultFitsACount(std::int32_t type, std::uint64_t len) {
    constexpr std::uint64_t kLargestCount = 0x7FFFFFFF;
    return len <= kLargestCount && DestinationCapacity(type, len) - 1 <= kLargestCount;
}

}  // namespace lumtrax

#endif  // LUMTRAX_API_GROWTH_H
