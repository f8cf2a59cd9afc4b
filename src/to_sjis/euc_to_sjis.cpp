#include <cstddef>

#include "common/bytes.h"
#include "gaiji/gaiji.h"
#include "to_sjis/host_pairs.h"
#include "to_sjis/jis_blocks.h"
#include "to_sjis/host_to_sjis.h"

namespace lumtrax {
namespace {

constexpr std::uint8_t kSingleShift2 = 0x8E;

// A block of single bytes and JIS pairs at p with the units given, of which
// the first counted bytes belong to the text: writes its Shift-JIS text at
// out, whole, and returns the bytes it takes, up to its first 8E or gaiji or
// the end of the text. Every unit it takes writes as many bytes as it takes.
std::size_t SjisOfBlock(const std::uint8_t* p, const EucBlockUnits& units, std::size_t counted, std::uint8_t* out) {
    const std::size_t taken = UnitsBefore(units.not_jis | PastTheText(counted, units.pair_starts), units.pair_starts);
    if (taken != 0) WriteSjisOfEucBlock(p, units.pair_starts, out);
    return taken;
}

// The fast paths at i: a block of single bytes and JIS pairs goes at once
// (the last bytes of the text, fewer than a block, from a copy), and a block
// of single bytes alone or of JIS pairs alone begins a run that goes a block
// at a time. What they take writes as many bytes as it takes: its Shift-JIS
// text goes to out, and the count is returned (0 leaves the unit at i to
// the unit steps). Blocks are written whole; since no unit writes more
// bytes than it takes, their bytes past what is taken lie before the end of
// the source and are written again by what follows, or lie past the end of
// the text.
std::size_t SjisOfBlocks(const std::uint8_t* src, std::size_t i, std::size_t n, std::uint8_t* out) {
    if (!BlockFits(i, n)) {
        return StepOnTail(src + i, n - i, out, [](const std::uint8_t* p, std::size_t counted, std::uint8_t* written) {
            return SjisOfBlock(p, ReadEucBlock(p), counted, written);
        });
    }
    const EucBlockUnits units = ReadEucBlock(src + i);
    if (units.ascii_only()) {
        const std::size_t singles = RunLength(src, i, n, [](const std::uint8_t* p) { return AsciiMask(p); });
        CopyRun(src + i, singles, n - i, out);  // a block at least
        return singles;
    }
    if (units.jis_pairs_only()) {
        const std::size_t pairs = JisPairRun(JisArea::kEuc, src, i, n);  // a block at least
        WriteSjisOfRun(src + i, pairs, n - i, out);
        return pairs;
    }
    return SjisOfBlock(src + i, units, kBlockSize, out);
}

}  // namespace

std::int32_t EucToSjis(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                       std::int32_t* status) {
    *status = kGaijiNone;
    if (len <= 0) {
        dst[0] = 0x00;
        return 0;
    }
    const std::size_t n = static_cast<std::size_t>(len);
    std::uint8_t* out = dst;
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t lead = src[i];
        if (const std::size_t taken = SjisOfBlocks(src, i, n, out)) {
            out += taken;
            i += taken;
            continue;
        }
        if (lead < 0x80) {
            *out++ = lead;
            i += 1;
            continue;
        }
        // Every byte 80-FF begins a unit of two bytes, whatever follows it.
        const std::uint8_t trail = src[i + 1];
        if (lead == kSingleShift2) {
            *out++ = trail;
        } else if (IsEucJisPair(lead, trail)) {
            WriteJisAsSjis(lead, trail, out);
            out += 2;
        } else {
            const CodeRecord record = EucRecord(lead, trail);
            GaijiToSjis(record.bytes, HostCodeKind::kEuc, out, status);
            out += 2;
        }
        i += 2;
    }
    *out = 0x00;
    return static_cast<std::int32_t>(out - dst);
}

}  // namespace lumtrax
