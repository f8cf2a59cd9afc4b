#include <cstddef>

#include "common/bytes.h"
#include "gaiji/gaiji.h"
#include "tables/host_tables.h"
#include "to_sjis/host_pairs.h"
#include "to_sjis/jis_blocks.h"
#include "to_sjis/host_to_sjis.h"

namespace lumtrax {
namespace {

constexpr std::uint8_t kRunOpen = 0x2B;
constexpr std::uint8_t kRunClose = 0x2C;

constexpr bool IsShiftCode(std::uint8_t b) { return b == kRunOpen || b == kRunClose; }

// The bytes from i on that are no shift code (see RunLengthToEnd).
std::size_t SingleByteRun(const std::uint8_t* src, std::size_t i, std::size_t n) {
    return RunLengthToEnd(src, i, n, [](const std::uint8_t* p) {
        return ~(ByteEqualMask(p, kRunOpen) | ByteEqualMask(p, kRunClose));
    });
}

}  // namespace

std::int32_t EbcdicHostToSjis(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                              std::int32_t* status, bool lrss, std::int32_t table_set) {
    if (StartsEmpty(dst, len, status)) return 0;
    const ByteTable& sjis = HostToSjisTable(table_set);
    const std::size_t n = static_cast<std::size_t>(len);
    bool in_run = false;
    std::uint8_t* out = dst;
    std::size_t i = 0;
    // Runs are written a block at a time (see WriteRun); no unit writes more
    // bytes than it takes, so a block's bytes past its run lie before the end
    // of the source and are written again by what follows, or lie past the
    // end of the text.
    while (i < n) {
        const std::uint8_t lead = src[i];
        if (IsShiftCode(lead)) {
            // Shift codes count wherever a unit begins, in either state.
            in_run = lead == kRunOpen;
            if (lrss) *out++ = kLrssPlaceholder;
            i += 1;
        } else if (!in_run) {
            // The single bytes up to the next shift code: one at least.
            const std::size_t singles = SingleByteRun(src, i, n);
            WriteRunThroughTable(sjis, src + i, singles, n - i, out);
            out += singles;
            i += singles;
        } else if (const std::size_t pairs = JisPairRun(JisArea::kEbcdicHost, src, i, n)) {
            WriteSjisOfRun(src + i, pairs, n - i, out);
            out += pairs;
            i += pairs;
        } else {
            const std::uint8_t trail = src[i + 1];
            if (IsHostJisPair(lead, trail)) {
                WriteJisAsSjis(lead, trail, out);
            } else {
                const CodeRecord record = EbcdicHostRecord(lead, trail);
                GaijiToSjis(record.bytes, HostCodeKind::kEbcdicHost, out, status);
            }
            out += 2;
            i += 2;
        }
    }
    *out = 0x00;
    return static_cast<std::int32_t>(out - dst);
}

}  // namespace lumtrax
