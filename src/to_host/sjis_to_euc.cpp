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

// The fast paths at i: a run of kanji or of single bytes that fills a block
// goes a block at a time, and so does a run of single bytes into the last
// bytes of the text; otherwise a block of kanji and single bytes below
// 80 goes at once, up to its first gaiji, escape, byte 80-FF, or line end
// that the mode writes otherwise than as its two bytes. Every unit they take
// writes as many bytes as it takes: the EUC text of what they take goes to
// out, and the count is returned (0 leaves the unit at i to the unit steps).
// Blocks are written whole; their bytes past what is taken are written
// again by what follows, or lie past the end of the text: a block begins 16
// bytes or more before the end of the source, and the growth bound keeps
// room for 2 bytes for each of those.
std::size_t EucOfBlocks(const SjisText& text, std::size_t i, std::int32_t mode, std::uint8_t* out) {
    const bool fits = BlockFits(i, text.n);
    if (text.src[i] < 0x80) {
        const std::size_t singles = text.AsciiRunAt(i, SplitsLineEnd(mode));
        if (singles >= kBlockSize || (!fits && singles != 0)) {
            CopyRun(text.jis + i, singles, text.RoomAt(i), out);
            return singles;
        }
    } else if (fits) {
        const std::size_t kanji = text.KanjiRunAt(i);
        if (kanji >= kBlockSize) {
            CopyRunWithHighBits(text.jis + i, kanji, text.RoomAt(i), out);
            return kanji;
        }
    }
    if (!fits) return 0;
    const SjisBlockUnits units = ReadSjisBlock(text.src + i);
    const unsigned stops = units.not_plain | units.escapes | units.high_singles |
                           (SplitsLineEnd(mode) ? units.line_ends : 0);
    const std::size_t taken = UnitsBefore(stops, units.pair_starts);
    if (taken != 0) WriteBlockWithHighBitsIn(text.jis + i, units.pair_bytes(), out);
    return taken;
}

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
    while (i < text.n) {
        if (const std::size_t taken = EucOfBlocks(text, i, mode, out)) {
            out += taken;
            i += taken;
        } else if (IsSjisGaiji(src[i], src[i + 1])) {
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
