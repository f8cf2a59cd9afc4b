#include <cstddef>

#include "to_host/jis_prepass.h"
#include "to_host/sjis_blocks.h"
#include "to_host/sjis_classes.h"
#include "to_host/sjis_to_host.h"
#include "to_host/sjis_units.h"

namespace lumtrax {
namespace {

// The prefix that carries a single byte 80-FF (a half-width katakana, or
// any other byte with the high bit that starts no character).
constexpr std::uint8_t kSingleShift2 = 0x8E;

}  // namespace

std::int32_t SjisToEuc(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                       std::int32_t mode, std::int32_t* status) {
    ScratchCopy work;
    if (!PrepareWorkingCopy(work, HostCodeKind::kEuc, dst, src, len, true, status)) return -1;
    if (len <= 0) {
        dst[0] = 0x00;
        return 0;
    }
    const SjisText text{src, work.data(), static_cast<std::size_t>(len), true};
    const std::uint8_t* jis = text.jis;
    std::uint8_t* out = dst;
    std::size_t i = 0;
    // The fast paths write whole blocks. The bytes of a block past what it
    // takes are written again by what follows, or lie past the end of the
    // text: a block begins 16 bytes or more before the end of the source,
    // and the growth bound keeps room for 2 bytes for each of those.
    while (i < text.n) {
        if (BlockFits(i, text.n)) {
            // A run of kanji or of single bytes that fills a block goes a
            // block at a time; otherwise a block of kanji and single bytes
            // below 80 goes at once, up to its first gaiji, escape, byte
            // 80-FF, or line end written otherwise than as two bytes.
            if (src[i] < 0x80) {
                if (const std::size_t singles = text.AsciiRunAt(i, SplitsLineEnd(mode)); singles >= kBlockSize) {
                    CopyRun(jis + i, singles, out);
                    out += singles;
                    i += singles;
                    continue;
                }
            } else if (const std::size_t kanji = text.KanjiRunAt(i); kanji >= kBlockSize) {
                CopyRunWithHighBits(jis + i, kanji, out);
                out += kanji;
                i += kanji;
                continue;
            }
            const SjisBlockUnits units = ReadSjisBlock(src + i);
            const unsigned stops = units.not_plain | units.escapes | units.high_singles |
                                   (SplitsLineEnd(mode) ? units.line_ends : 0);
            if (const std::size_t taken = UnitsBefore(stops, units.pair_starts)) {
                WriteBlockWithHighBitsIn(jis + i, units.pair_bytes(), out);
                out += taken;
                i += taken;
                continue;
            }
        }
        if (IsSjisGaiji(src[i], src[i + 1])) {
            *out++ = jis[i];
            *out++ = jis[i + 1];
            i += 2;
        } else if (IsSjisKanji(src[i], src[i + 1])) {
            *out++ = static_cast<std::uint8_t>(jis[i] + 0x80);
            *out++ = static_cast<std::uint8_t>(jis[i + 1] + 0x80);
            i += 2;
        } else if (jis[i] >= 0x80) {
            *out++ = kSingleShift2;
            *out++ = jis[i];
            i += 1;
        } else if (text.LineEndAt(i)) {
            if (KeepsLineEnd(mode)) WriteKeptLineEnd(mode, jis[i], jis[i + 1], out);
            i += kLineEndWidth;
        } else if (text.EscapeAt(i)) {
            *out++ = text.CarriedByte(i);
            i += kEscapeWidth;
        } else {
            *out++ = jis[i];
            i += 1;
        }
    }
    *out = 0x00;
    return static_cast<std::int32_t>(out - dst);
}

}  // namespace lumtrax
