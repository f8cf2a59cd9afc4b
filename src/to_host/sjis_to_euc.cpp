#include <cstddef>

#include "api/growth.h"
#include "lumtrax.h"
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

// The fast paths at i, up to the first gaiji, escape, or line end that the
// mode writes otherwise than as its two bytes: a block of single bytes below
// 80 alone or of kanji alone begins a run that goes a block at a time, and
// other blocks go through WalkSjisBlocks. Their EUC text goes to out, where a
// byte 80-FF gets its prefix; returns the source bytes taken (0 leaves the
// unit at i to the unit steps). Runs are written a block at a time (see
// WriteRun): a run's EUC text is as long as the run, and a block begins 16
// bytes or more before the end of the source, while the growth bound keeps
// room for 2 bytes for each of those. end is the end of the destination,
// which the block writes need to know (see WriteBlockWithMarks).
std::size_t EucOfBlocks(const SjisText& text, std::size_t i, std::int32_t mode, std::uint8_t*& out,
                        const std::uint8_t* end) {
    if (BlockFits(i, text.n)) {
        if (AsciiMask(text.src + i) == kWholeBlock) {
            const std::size_t singles = text.AsciiRunAt(i, SplitsLineEnd(mode));
            if (singles >= kBlockSize) {
                CopyRun(text.jis + i, singles, text.RoomAt(i), out);
                out += singles;
                return singles;
            }
        } else if (PlainKanjiMask(text.src + i) == kWholeBlock) {
            const std::size_t kanji = text.KanjiRunAt(i);
            CopyRunWithHighBits(text.jis + i, kanji, text.RoomAt(i), out);
            out += kanji;
            return kanji;
        }
    }
    const auto stops = [mode](const SjisBlockUnits& units) {
        return units.not_plain | units.escapes | (SplitsLineEnd(mode) ? units.line_ends : 0);
    };
    const auto prefix = [](unsigned, std::uint8_t* at) { *at = kSingleShift2; };
    const auto write = [&](std::size_t at, const SjisBlockUnits& units, unsigned count) {
        ConvertedBlock block;
        SetHighBitsIn(text.jis + at, units.pair_bytes(), block);
        out = WriteBlockWithMarks(block, units.from, count, CodesBefore(units.high_singles, 1, prefix), false, out, end);
    };
    return WalkSjisBlocks(text.src, i, text.n, stops, write) - i;
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
    const std::uint8_t* const end = dst + DestinationCapacity(LUMTRAX_SJIS_TO_EUC, text.n);
    std::uint8_t* out = dst;
    std::size_t i = 0;
    while (i < text.n) {
        if (const std::size_t taken = EucOfBlocks(text, i, mode, out, end)) {
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
