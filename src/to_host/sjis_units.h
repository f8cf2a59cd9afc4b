// Pieces of the loop that the conversions out of Shift-JIS share: the source
// and the working copy read side by side, the line end, and the raw-byte
// escape.
#ifndef LUMTRAX_TO_HOST_SJIS_UNITS_H
#define LUMTRAX_TO_HOST_SJIS_UNITS_H

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "to_host/jis_prepass.h"
#include "to_host/sjis_runs.h"

namespace lumtrax {

// The source and its JIS form, indexed alike: n counted bytes, and the byte
// after them readable. escapes tells whether the conversion recognises the
// raw-byte escape.
struct SjisText {
    const std::uint8_t* src;
    const std::uint8_t* jis;
    std::size_t n;
    bool escapes;

    bool LineEndAt(std::size_t i) const { return IsLineEndAt(src, i, n); }
    bool EscapeAt(std::size_t i) const { return escapes && IsRawByteEscapeAt(src, i, n); }
    // The fast paths: how many bytes from i on a run of kanji (not gaiji),
    // or of single bytes below 80, covers (see RunLength). A single-byte run
    // stops before an escape, and before a line end when line_ends is true.
    std::size_t KanjiRunAt(std::size_t i) const { return PlainKanjiRun(src, i, n); }
    std::size_t AsciiRunAt(std::size_t i, bool line_ends) const {
        return AsciiRun(src, i, n, escapes, line_ends);
    }
    // The bytes from i to the end of the text, which a run's writer may read.
    std::size_t RoomAt(std::size_t i) const { return n - i; }
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

// Under the other modes a kept line end writes CR and LF as two single
// bytes would.
inline bool SplitsLineEnd(std::int32_t mode) { return mode == kLineEndLfOnly || mode == kLineEndDrop; }

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SJIS_UNITS_H
