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
#include "to_host/sjis_blocks.h"
#include "to_host/sjis_classes.h"
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

// The conversions into the host codes with a shift state take a Target that
// says how the host code writes a text's characters:
//
//   std::uint8_t Single(std::uint8_t b): a single byte b (of the JIS form);
//   void WriteSingles(const std::uint8_t* jis, std::size_t length, std::size_t room, std::uint8_t* out):
//       a run of single bytes, a block at a time (see WriteRun);
//   void WriteKanji(const std::uint8_t* jis, std::size_t length, std::size_t room, std::uint8_t* out):
//       a run of kanji, the same way;
//   void ConvertBlock(const std::uint8_t* jis, const SjisBlockUnits& units, ConvertedBlock& block):
//       the bytes of a block of kanji and single bytes from units.from on.

// One unit of the text at i that is no double-byte character, as the host
// codes with a shift state write it: a line end, an LRSS placeholder, a
// raw-byte escape, or a single byte. Returns the source bytes taken.
template <typename Target>
std::size_t WriteSingleByteUnit(const SjisText& text, std::size_t i, std::int32_t mode, bool lrss,
                                ShiftState& run, const Target& target, std::uint8_t*& out) {
    const std::uint8_t* jis = text.jis;
    if (text.LineEndAt(i)) {
        // A dropped line end leaves the run open: both sides share it.
        if (KeepsLineEnd(mode)) {
            run.Close(out);
            WriteKeptLineEnd(mode, target.Single(jis[i]), target.Single(jis[i + 1]), out);
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
    *out++ = target.Single(jis[i]);
    return 1;
}

// The fast paths of the host codes with a shift state at i, up to the first
// gaiji, escape, LRSS placeholder, or line end that the mode writes otherwise
// than as two single bytes: a block of single bytes below 80 alone or of kanji
// alone begins a run that goes a block at a time, and other blocks go through
// WalkSjisBlocks, with their shift codes. Writes to out and returns the source
// bytes taken (0 leaves the unit at i to the unit steps). Runs are written a
// block at a time (see WriteRun): a run's host text is as long as the run,
// and a block begins 16 bytes or more before the end of the source, while the
// growth bound keeps room for 5 bytes for every 3 of those. end is the end of
// the destination, which the block writes need to know (see
// WriteBlockWithMarks).
template <typename Target>
std::size_t HostOfBlocks(const SjisText& text, std::size_t i, std::int32_t mode, bool lrss, ShiftState& run,
                         const Target& target, std::uint8_t*& out, const std::uint8_t* end) {
    if (BlockFits(i, text.n)) {
        if (AsciiMask(text.src + i) == kWholeBlock) {
            // In LRSS mode a kept line end closes an open run.
            const std::size_t singles = text.AsciiRunAt(i, SplitsLineEnd(mode) || (lrss && run.in_run()));
            if (singles >= kBlockSize) {
                if (!lrss) run.Close(out);
                target.WriteSingles(text.jis + i, singles, text.RoomAt(i), out);
                out += singles;
                return singles;
            }
        } else if (PlainKanjiMask(text.src + i) == kWholeBlock) {
            const std::size_t kanji = text.KanjiRunAt(i);
            run.Open(out);
            target.WriteKanji(text.jis + i, kanji, text.RoomAt(i), out);
            out += kanji;
            return kanji;
        }
    }
    const auto stops = [&](const SjisBlockUnits& units) {
        return units.not_plain | (lrss ? units.placeholders : units.escapes) |
               (SplitsLineEnd(mode) ? units.line_ends : 0);
    };
    const auto write = [&](std::size_t at, const SjisBlockUnits& units, unsigned count) LUMTRAX_INLINE_LAMBDA {
        ConvertedBlock block;
        target.ConvertBlock(text.jis + at, units, block);
        // In LRSS mode only kept line ends close a run; otherwise every unit
        // that is no double-byte character does.
        const unsigned closers = lrss ? units.line_ends : units.single_starts();
        const BlockShiftCodes codes =
            run.CodesOfBlock(units.pair_starts, units.pair_bytes(), closers, units.from, count, !lrss);
        const auto write_code = [&](unsigned k, std::uint8_t* code_at) {
            run.WriteCode((codes.opens >> k & 1u) != 0, code_at);
        };
        const auto marks = CodesBefore(codes.opens | codes.closes, run.code_width(), write_code);
        // Outside LRSS mode every single byte after a kanji closes a run:
        // most blocks of Japanese text have a code or two.
        out = WriteBlockWithMarks(block, units.from, count, marks, !lrss, out, end);
    };
    return WalkSjisBlocks(text.src, i, text.n, stops, write) - i;
}

// The second pass into a host code with a shift state, from dst on: double-
// byte characters in runs that the shift state opens and closes, everything
// else through WriteSingleByteUnit. target tells how the host code writes a
// double-byte character (Pair) and single bytes; end is the end of the
// destination. Returns the bytes written before the terminator.
template <typename Target>
std::int32_t WriteShiftedHostText(const SjisText& text, std::int32_t mode, bool lrss, ShiftState& run,
                                  const Target& target, std::uint8_t* dst, const std::uint8_t* end) {
    const std::uint8_t* src = text.src;
    const std::uint8_t* jis = text.jis;
    std::uint8_t* out = dst;
    std::size_t i = 0;
    while (i < text.n) {
        if (const std::size_t taken = HostOfBlocks(text, i, mode, lrss, run, target, out, end)) {
            i += taken;
        } else if (IsSjisDoubleByte(src[i], src[i + 1])) {
            run.Open(out);
            const BytePair pair = target.Pair(src[i], src[i + 1], jis[i], jis[i + 1]);
            *out++ = pair.lead;
            *out++ = pair.trail;
            i += 2;
        } else {
            i += WriteSingleByteUnit(text, i, mode, lrss, run, target, out);
        }
    }
    run.Close(out);
    *out = 0x00;
    return static_cast<std::int32_t>(out - dst);
}

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SJIS_UNITS_H
