#include <cstddef>

#include "common/bytes.h"
#include "gaiji/gaiji.h"
#include "to_sjis/host_pairs.h"
#include "to_sjis/jis_blocks.h"
#include "to_sjis/host_to_sjis.h"

namespace lumtrax {
namespace {

constexpr std::uint8_t kSingleShift2 = 0x8E;

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
    // The fast paths write whole blocks; no unit writes more bytes than it
    // takes, so a block's bytes past what it takes lie before the end of the
    // source and are written again by what follows, or lie past the end of
    // the text.
    while (i < n) {
        const std::uint8_t lead = src[i];
        if (BlockFits(i, n)) {
            // A run of single bytes or of JIS pairs that fills a block goes a
            // block at a time; otherwise a block of single bytes and JIS
            // pairs goes at once, up to its first 8E or gaiji.
            if (lead < 0x80) {
                if (const std::size_t singles = RunLength(i, n, [src](std::size_t at) { return AsciiMask(src + at); });
                    singles >= kBlockSize) {
                    CopyRun(src + i, singles, out);
                    out += singles;
                    i += singles;
                    continue;
                }
            } else if (const std::size_t pairs = JisPairRun(JisArea::kEuc, src, i, n); pairs >= kBlockSize) {
                WriteSjisOfRun(src + i, pairs, out);
                out += pairs;
                i += pairs;
                continue;
            }
            const EucBlockUnits units = ReadEucBlock(src + i);
            if (const std::size_t taken = UnitsBefore(units.not_jis, units.pair_starts)) {
                WriteSjisOfEucBlock(src + i, units.pair_starts, out);
                out += taken;
                i += taken;
                continue;
            }
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
