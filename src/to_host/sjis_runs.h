// The runs of the passes over Shift-JIS text: how far a run of kanji or of
// single bytes reaches from i, counted a block of 16 bytes at a time over
// the blocks that lie inside the text (see RunLength). A text that begins
// such a run goes a block at a time without working out where its
// characters begin; i must begin a character. A run is written a block at a
// time too, while the blocks lie inside the text (see WriteRun).
#ifndef LUMTRAX_TO_HOST_SJIS_RUNS_H
#define LUMTRAX_TO_HOST_SJIS_RUNS_H

#include <cstddef>
#include <cstdint>

#include "common/blocks.h"
#include "common/bytes.h"
#include "to_host/sjis_blocks.h"

namespace lumtrax {

// The kanji (not gaiji) at i, in whole pairs: over whole blocks, then into
// the last bytes of the text, fewer than a block, when they are an even
// number of bytes (the block that ends with the text then reads them as the
// pairs they would be in the run).
inline std::size_t PlainKanjiRun(const std::uint8_t* src, std::size_t i, std::size_t n) {
    const std::size_t length = RunLength(src, i, n, [](const std::uint8_t* p) { return PlainKanjiMask(p); });
    const std::size_t rest = n - i - length;
    if (rest == 0 || rest >= kBlockSize || rest % 2 != 0 || length % kBlockSize != 0 || n < kBlockSize) {
        return length;
    }
    const std::size_t counted = LeadingBytes(PlainKanjiMask(src + n - kBlockSize) >> (kBlockSize - rest));
    return length + (counted < rest ? counted : rest);
}

// The bytes below 80 at i that are single bytes: where escapes count, a run
// stops before 5C 01, and where line ends count, before 0D 0A. (A pair that
// the counted length cuts is no escape or line end, but stops a run all the
// same; the unit steps sort it out.)
inline std::size_t AsciiRun(const std::uint8_t* src, std::size_t i, std::size_t n, bool escapes,
                            bool line_ends) {
    return RunLengthToEnd(src, i, n, [=](const std::uint8_t* p) {
        unsigned singles = AsciiMask(p);
        if (escapes) singles &= ~PairStartMask(p, kEscapeFirst, kEscapeSecond);
        if (line_ends) singles &= ~PairStartMask(p, kCarriageReturn, kLineFeed);
        return singles;
    });
}

// The JIS codes of a run of kanji (see WriteRun).
inline void WriteJisOfRun(const std::uint8_t* src, std::size_t length, std::size_t room, std::uint8_t* out) {
    WriteRun(length, room, [=](std::size_t k) { WriteJisOfKanjiPairs(src + k, out + k); },
             [=](std::size_t k) {
                 for (; k < length; k += 2) {
                     const BytePair jis = SjisToJis(src[k], src[k + 1]);
                     out[k] = jis.lead;
                     out[k + 1] = jis.trail;
                 }
             });
}

}  // namespace lumtrax

#endif  // LUMTRAX_TO_HOST_SJIS_RUNS_H
