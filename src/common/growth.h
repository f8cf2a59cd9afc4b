// How large a destination a conversion may need: the growth rules. The bound
// holds for every mode and includes the terminating 00. It is the size that
// callers give the destination, which is never less than the text and two
// bytes; the block kernels may write anywhere inside it, past the terminator
// too. Each conversion type has its rule in the table of conversions
// (codes/conversions.h).
#ifndef LUMTRAX_COMMON_GROWTH_H
#define LUMTRAX_COMMON_GROWTH_H

#include <cstddef>
#include <cstdint>

namespace lumtrax {

enum class Growth : std::uint8_t {
    kEbcdicRuns,    // a 2B only before a pair, a 2C only after one: 5 bytes for every 3
    kEightBitRuns,  // a sequence is two bytes: 7 bytes for every 3, and a closing sequence
    kEucPrefixes,   // a byte 80-FF gains the prefix 8E
    kNoLonger,      // no unit writes more than it takes
    kEscape,        // 5C 01 and the first byte
    kCopy,          // an unassigned type: the source copied up to its first 00
    // The conversions to and from Unicode (no terminator of their own):
    kToUnicode,        // to UTF-8 or UTF-16: 4 bytes for every byte (a pair with a site character and a
                       // selector outside the BMP: 8; a single byte: 3 in UTF-8, 2 in UTF-16)
    kUtf8ToPlain,      // UTF-8 to Shift-JIS or EUC: 2 for every byte (a substitute pair for a letter in
                       // double-byte-only mode; 8E 80 for U+0080)
    kUtf16ToPlain,     // UTF-16 to Shift-JIS or EUC: no longer
    kUtf8ToEbcdic,     // UTF-8 to the EBCDIC host code: 2 for every byte (2B p p 2C s for 3), and a 2C
    kUtf16ToEbcdic,    // UTF-16 to it: 5 bytes for every 4 (2B p p 2C s for two characters), and a 2C
    kUtf8ToEightBit,   // UTF-8 to the 8-bit host code: 7 for every 3 (93 F0 p p 93 F1 s), and 93 F1
    kUtf16ToEightBit,  // UTF-16 to it: 7 for every 4, and 93 F1
};

// The destination bytes a conversion of len counted source bytes may write.
// Counted in 64 bits, so that no length a 32-bit count can hold overflows it
// where size_t has 32 bits.
constexpr std::uint64_t DestinationCapacity(Growth growth, std::uint64_t len) {
    // A unit that begins at the last counted byte may take the byte after it.
    const std::uint64_t consumed = len + 1;
    const std::uint64_t floor = len + 2;
    std::uint64_t text = len;
    switch (growth) {
        case Growth::kEbcdicRuns:
            text = 5 * consumed / 3 + 1;
            break;
        case Growth::kEightBitRuns:
            text = 7 * consumed / 3 + 2;
            break;
        case Growth::kEucPrefixes:
            text = 2 * len;
            break;
        case Growth::kNoLonger:
            text = consumed;
            break;
        case Growth::kEscape:
            text = 3;
            break;
        case Growth::kCopy:
            break;
        case Growth::kToUnicode:
            text = 4 * len;
            break;
        case Growth::kUtf8ToPlain:
        case Growth::kUtf8ToEbcdic:
            text = 2 * len + 2;
            break;
        case Growth::kUtf16ToPlain:
            break;
        case Growth::kUtf16ToEbcdic:
            text = 5 * len / 4 + 3;
            break;
        case Growth::kUtf8ToEightBit:
            text = 7 * len / 3 + 4;
            break;
        case Growth::kUtf16ToEightBit:
            text = 7 * len / 4 + 4;
            break;
    }
    const std::uint64_t with_terminator = text + 1;
    return with_terminator > floor ? with_terminator : floor;
}

// True when every text the conversion can make of len bytes has a length
// that the 32-bit result of a conversion can count.
constexpr bool ResultFitsACount(Growth growth, std::uint64_t len) {
    constexpr std::uint64_t kLargestCount = 0x7FFFFFFF;
    return len <= kLargestCount && DestinationCapacity(growth, len) - 1 <= kLargestCount;
}

static_assert(DestinationCapacity(Growth::kEbcdicRuns, 5) == 12 && DestinationCapacity(Growth::kNoLonger, 0) == 2);
static_assert(DestinationCapacity(Growth::kEightBitRuns, 2) == 10 && DestinationCapacity(Growth::kEscape, 9) == 11);
static_assert(DestinationCapacity(Growth::kToUnicode, 2) == 9 &&
              DestinationCapacity(Growth::kUtf16ToEightBit, 4) == 12);

}  // namespace lumtrax

#endif  // LUMTRAX_COMMON_GROWTH_H
