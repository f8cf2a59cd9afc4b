#include <cstddef>

#include "api/growth.h"
#include "common/blocks.h"
#include "common/bytes.h"
#include "lumtrax.h"
#include "gaiji/gaiji.h"
#include "to_sjis/host_pairs.h"
#include "to_sjis/jis_blocks.h"
#include "to_sjis/host_to_sjis.h"

namespace lumtrax {
namespace {

constexpr std::uint8_t kSingleShift2 = 0x8E;

// The fast paths at i, up to the first 8E or gaiji: a block of single bytes
// alone or of JIS pairs alone begins a run that goes a block at a time, and
// other blocks go through WalkBlocks. What they take writes as many bytes as
// it takes: its Shift-JIS text goes to out, and the count is returned (0
// leaves the unit at i to the unit steps). Runs are written a block at a
// time; since no unit writes more bytes than it takes, a block's bytes past
// its run lie before the end of the source and are written again by what
// follows, or lie past the end of the text. dst and end are the start and
// the end of the destination, which the block writes need to know (see
// WriteBlockFrom).
std::size_t SjisOfBlocks(const std::uint8_t* src, std::size_t i, std::size_t n, std::uint8_t* dst,
                         std::uint8_t*& out, const std::uint8_t* end) {
    if (BlockFits(i, n)) {
        if (AsciiMask(src + i) == kWholeBlock) {
            const std::size_t singles = RunLength(src, i, n, [](const std::uint8_t* p) { return AsciiMask(p); });
            CopyRun(src + i, singles, n - i, out);
            out += singles;
            return singles;
        }
        if (JisPairMask(JisArea::kEuc, src + i) == kWholeBlock) {
            const std::size_t pairs = JisPairRun(JisArea::kEuc, src, i, n);
            WriteSjisOfRun(src + i, pairs, n - i, out);
            out += pairs;
            return pairs;
        }
    }
    const auto read = [](const std::uint8_t* p, BlockStart start) { return ReadEucBlock(p, start); };
    const auto stops = [](const EucBlockUnits& units) { return units.not_jis; };
    const auto write = [&](std::size_t at, const EucBlockUnits& units, unsigned count) LUMTRAX_INLINE_LAMBDA {
        ConvertedBlock block;
        SjisOfEucBlock(src + at, units, block);
        out = WriteBlockFrom(block, units.from, count, dst, out, end);
    };
    return WalkBlocks(src, i, n, read, stops, write) - i;
}

}  // namespace

std::int32_t EucToSjis(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                       std::int32_t* status) {
    if (StartsEmpty(dst, len, status)) return 0;
    const std::size_t n = static_cast<std::size_t>(len);
    const std::uint8_t* const end = dst + DestinationCapacity(LUMTRAX_EUC_TO_SJIS, n);
    std::uint8_t* out = dst;
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t lead = src[i];
        if (const std::size_t taken = SjisOfBlocks(src, i, n, dst, out, end)) {
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
