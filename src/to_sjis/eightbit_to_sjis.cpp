#include <cstddef>

#include "common/bytes.h"
#include "gaiji/gaiji.h"
#include "to_sjis/host_pairs.h"
#include "to_sjis/jis_blocks.h"
#include "to_sjis/host_to_sjis.h"

namespace lumtrax {
namespace {

constexpr std::uint8_t kSequenceLead = 0x93;

// 93 F0 and 93 70 open a run, 93 F1 closes it; 93 with any other byte is no
// sequence.
constexpr bool OpensRun(std::uint8_t second) { return second == 0xF0 || second == 0x70; }
constexpr bool ClosesRun(std::uint8_t second) { return second == 0xF1; }

// The bytes from i on that begin no sequence (see RunLengthToEnd): a 93
// stops the run whatever follows it.
std::size_t SingleByteRun(const std::uint8_t* src, std::size_t i, std::size_t n) {
    return RunLengthToEnd(src, i, n, [](const std::uint8_t* p) { return ~ByteEqualMask(p, kSequenceLead); });
}

}  // namespace

std::int32_t EightBitHostToSjis(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                                std::int32_t* status, bool lrss) {
    if (StartsEmpty(dst, len, status)) return 0;
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
        if (lead == kSequenceLead && (OpensRun(src[i + 1]) || ClosesRun(src[i + 1]))) {
            // Sequences count wherever a unit begins, in either state.
            in_run = OpensRun(src[i + 1]);
            if (lrss) *out++ = kLrssPlaceholder;
            i += 2;
        } else if (!in_run) {
            if (const std::size_t singles = SingleByteRun(src, i, n)) {
                CopyRun(src + i, singles, n - i, out);
                out += singles;
                i += singles;
            } else {
                *out++ = lead;
                i += 1;
            }
        } else if (const std::size_t pairs = JisPairRun(JisArea::kEightBitHost, src, i, n)) {
            WriteSjisOfRun(src + i, pairs, n - i, out);
            out += pairs;
            i += pairs;
        } else {
            const std::uint8_t trail = src[i + 1];
            if (IsHighByte(lead) && IsHighByte(trail)) {
                WriteJisAsSjis(lead, trail, out);
            } else if (lead == 0x20 && trail == 0x20) {
                out[0] = 0x81;  // the ideographic space
                out[1] = 0x40;
            } else {
                const std::uint8_t record[3] = {lead, trail, 0x00};
                GaijiToSjis(record, HostCodeKind::kEightBitHost, out, status);
            }
            out += 2;
            i += 2;
        }
    }
    *out = 0x00;
    return static_cast<std::int32_t>(out - dst);
}

}  // namespace lumtrax
