#include <cstddef>
#include <cstring>

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

// A block of kanji and single bytes below 80 at src with the units given,
// its JIS form at jis, of which the first counted bytes belong to the text:
// writes its EUC text at out, whole, and returns the bytes it takes, up to
// its first gaiji, escape, byte 80-FF, line end that the mode writes
// otherwise than as its two bytes, or the end of the text. Every unit it
// takes writes as many bytes as it takes.
std::size_t EucOfBlock(const SjisBlockUnits& units, const std::uint8_t* jis, std::size_t counted, std::int32_t mode,
                       std::uint8_t* out) {
    const unsigned stops = units.not_plain | units.escapes | units.high_singles |
                           (SplitsLineEnd(mode) ? units.line_ends : 0) | PastTheText(counted, units.pair_starts);
    const std::size_t taken = UnitsBefore(stops, units.pair_starts);
    if (taken != 0) WriteBlockWithHighBitsIn(jis, units.pair_bytes(), out);
    return taken;
}

// The fast paths at i: a block of kanji and single bytes goes at once (the
// last bytes of the text, fewer than a block, from copies), and a block of
// single bytes alone or of kanji alone begins a run that goes a block at a
// time. What they take writes as many bytes as it takes: its EUC text goes
// to out, and the count is returned (0 leaves the unit at i to the unit
// steps). Blocks are written whole; their bytes past what is taken are
// written again by what follows, or lie past the end of the text: a block
// begins 16 bytes or more before the end of the source, and the growth bound
// keeps room for 2 bytes for each of those.
std::size_t EucOfBlocks(const SjisText& text, std::size_t i, std::int32_t mode, std::uint8_t* out) {
    if (!BlockFits(i, text.n)) {
        const std::size_t rest = text.RoomAt(i);
        return StepOnTail(text.src + i, rest, out, [&](const std::uint8_t* p, std::size_t counted, std::uint8_t* written) {
            std::uint8_t jis[kBlockSize + 1] = {};
            std::memcpy(jis, text.jis + i, rest + 1);
            return EucOfBlock(ReadSjisBlock(p), jis, counted, mode, written);
        });
    }
    const SjisBlockUnits units = ReadSjisBlock(text.src + i);
    if (units.ascii_only()) {
        const std::size_t singles = text.AsciiRunAt(i, SplitsLineEnd(mode));
        if (singles >= kBlockSize) {
            CopyRun(text.jis + i, singles, text.RoomAt(i), out);
            return singles;
        }
    } else if (units.plain_kanji_only()) {
        const std::size_t kanji = text.KanjiRunAt(i);  // a block at least
        CopyRunWithHighBits(text.jis + i, kanji, text.RoomAt(i), out);
        return kanji;
    }
    return EucOfBlock(units, text.jis + i, kBlockSize, mode, out);
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
