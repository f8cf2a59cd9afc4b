#include <cstddef>

#include "common/bytes.h"
#include "gaiji/gaiji.h"
#include "to_sjis/host_pairs.h"
#include "to_sjis/jis_blocks.h"
#include "to_sjis/host_to_sjis.h"

namespace lumtrax {
namespace {

constexpr std::uint8_t kSingleShift2 = 0x8E;

// The fast paths at i: a run of single bytes or of JIS pairs that fills a
// block goes a block at a time, and so does a run of single bytes into the
// last bytes of the text; otherwise a block of single bytes and JIS
// pairs goes at once, up to its first 8E or gaiji. Every unit they take
// writes as many bytes as it takes: the Shift-JIS text of what they take
// goes to out, and the count is returned (0 leaves the unit at i to the unit
// steps). Blocks are written whole; since no unit writes more bytes than it
// takes, their bytes past what is taken lie before the end of the source and
// are written again by what follows, or lie past the end of the text.
std::size_t SjisOfBlocks(const std::uint8_t* src, std::size_t i, std::size_t n, std::uint8_t* out) {
    const bool fits = BlockFits(i, n);
    if (src[i] < 0x80) {
        const std::size_t singles = RunLengthToEnd(src, i, n, [](const std::uint8_t* p) { return AsciiMask(p); });
        if (singles >= kBlockSize || (!fits && singles != 0)) {
            CopyRun(src + i, singles, n - i, out);
            return singles;
        }
    } else if (fits) {
        const std::size_t pairs = JisPairRun(JisArea::kEuc, src, i, n);
        if (pairs >= kBlockSize) {
            WriteSjisOfRun(src + i, pairs, n - i, out);
            return pairs;
        }
    }
    if (!fits) return 0;
    const EucBlockUnits units = ReadEucBlock(src + i);
    const std::size_t taken = UnitsBefore(units.not_jis, units.pair_starts);
    if (taken != 0) WriteSjisOfEucBlock(src + i, units.pair_starts, out);
    return taken;
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
