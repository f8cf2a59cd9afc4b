// The fast paths of the passes over Shift-JIS text: how far a run of kanji
// or of single bytes reaches from i, counted a block of 16 bytes at a time
// over the blocks that lie inside the n counted bytes. A run that does not
// fill a block still counts; the units near the end of the text, and
// everything the runs leave out, go through a loop's own unit by unit
// steps. i must begin a character.
//
// A run is written a block at a time too: the writer of a run of length
// bytes writes every block that the run touches, whole. Its bytes past the
// run lie inside a block that lies inside the text, and are written again by
// the units that follow or are left past the end of the result.
#ifndef LUMTRAX_TO_HOST_SJIS_RUNS_H
#define LUMTRAX_TO_HOST_SJIS_RUNS_H

#include <cstddef>
#include <cstdint>

#include "common/blocks.h"
#include "common/bytes.h"
#include "to_host/sjis_blocks.h"

namespace lumtrax {

// The kanji (not gaiji) at i, in whole pairs.
inline std::size_t PlainKanjiRun(const std::uint8_t* src, std::size_t i, std::size_t n) {
    return RunLength(i, n, [src](std::size_t at) { return PlainKanjiMask(src + at); });
}

// The bytes below 80 at i that are single bytes: where escapes count, a run
// stops before 5C 01, and where line ends count, before 0D 0A. (A pair that
// the counted length cuts is no escape or line end, but stops a run all the
// same; the unit steps sort it out.)
inline std::size_t AsciiRun(const std::uint8_t* src, std::size_t i, std::size_t n, bool escapes,
                            bool line_ends) {
    return RunLength(i, n, [=](std::size_t at) {
        unsigned singles = AsciiMask(src + at);
        if (escapes) singles &= ~PairStartMask(src + at, kEscapeFirst, kEscapeSecond);
        if (line_ends) singles &= ~PairStartMask(src + at, kCarriageReturn, kLineFeed);
        return singles;
    });
}

// The JIS codes of a run of kanji, a block at a time.
inline void WriteJisOfRun(const std::uint8_t* src, std::size_t length, std::uint8_t* out) {
    for (std::size_t k = 0; k < length; k += kBlockSize) WriteJisOfKanjiPairs(src + k, out + k);
}

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SJIS_RUNS_H
