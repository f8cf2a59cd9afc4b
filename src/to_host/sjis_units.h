// Pieces of the loop that the conversions out of Shift-JIS share: the source
// and the working copy read side by side, the line end, and the raw-byte
// escape.
#ifndef LUMTRAX_TO_HOST_SJIS_UNITS_H
#define LUMTRAX_TO_HOST_SJIS_UNITS_H

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "to_host/jis_prepass.h"

namespace lumtrax {

// The source and its JIS form, indexed alike: n counted bytes, and the byte
// after them readable.
struct SjisText {
    const std::uint8_t* src;
    const std::uint8_t* jis;
    std::size_t n;

    bool LineEndAt(std::size_t i) const { return IsLineEndAt(src, i, n); }
    bool EscapeAt(std::size_t i) const { return IsRawByteEscapeAt(src, i, n); }
    // The byte a raw-byte escape at i carries, taken from the source.
    std::uint8_t CarriedByte(std::size_t i) const { return src[i + 2]; }
};

constexpr std::size_t kLineEndWidth = 2;
constexpr std::size_t kEscapeWidth = 3;

// A line end kept under the mode: both bytes, or the LF alone. cr and lf are
// the bytes as the target writes them.
inline void WriteKeptLineEnd(std::int32_t mode, std::uint8_t cr, std::uint8_t lf,
                             std::uint8_t*& out) {
    if (mode != kLineEndLfOnly) *out++ = cr;
    *out++ = lf;
}

inline bool KeepsLineEnd(std::int32_t mode) { return mode != kLineEndDrop; }

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SJIS_UNITS_H
