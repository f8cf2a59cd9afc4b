// Pieces of the loop that the conversions out of Shift-JIS share: the source
// and the working copy read side by side, the line end, and the raw-byte
// escape.
#ifndef LUMTRAX_TO_HOST_SJIS_UNITS_H
#define LUMTRAX_TO_HOST_SJIS_UNITS_H

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "to_host/jis_prepass.h"
#include "to_host/shift_state.h"
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

// One unit of the text at i that is no double-byte character, as the host
// codes with a shift state write it: a line end, an LRSS placeholder, a
// raw-byte escape, or single bytes (one, or a run of them). image gives the
// host byte of a single byte; write_run writes a run of them. Returns the
// source bytes taken.
template <typename Image, typename WriteRun>
std::size_t WriteSingleByteUnit(const SjisText& text, std::size_t i, std::int32_t mode, bool lrss,
                                ShiftState& run, Image image, WriteRun write_run,
                                std::uint8_t*& out) {
    const std::uint8_t* jis = text.jis;
    if (text.LineEndAt(i)) {
        // A dropped line end leaves the run open: both sides share it.
        if (KeepsLineEnd(mode)) {
            run.Close(out);
            WriteKeptLineEnd(mode, image(jis[i]), image(jis[i + 1]), out);
        }
        return kLineEndWidth;
    }
    if (lrss && text.src[i] == kLrssPlaceholder) {
        run.Toggle(out);
        return 1;
    }
    // In LRSS mode only placeholders, kept line ends and the end of the text
    // close a run; otherwise every single byte and escape does.
    if (!lrss) run.Close(out);
    if (text.EscapeAt(i)) {
        *out++ = text.CarriedByte(i);
        return kEscapeWidth;
    }
    if (const std::size_t singles = text.AsciiRunAt(i, lrss || SplitsLineEnd(mode))) {
        write_run(jis + i, singles, text.RoomAt(i), out);
        out += singles;
        return singles;
    }
    *out++ = image(jis[i]);
    return 1;
}

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SJIS_UNITS_H
