#include <cstddef>

#include "common/bytes.h"
#include "gaiji/gaiji.h"
#include "tables/host_tables.h"
#include "to_sjis/host_pairs.h"
#include "to_sjis/host_to_sjis.h"

namespace lumtrax {
namespace {

constexpr std::uint8_t kRunOpen = 0x2B;
constexpr std::uint8_t kRunClose = 0x2C;

}  // namespace

std::int32_t EbcdicHostToSjis(std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                              std::int32_t* status, bool lrss, std::int32_t table_set) {
    *status = kGaijiNone;
    if (len <= 0) {
        dst[0] = 0x00;
        return 0;
    }
    const ByteTable& sjis = HostToSjisTable(table_set);
    const std::size_t n = static_cast<std::size_t>(len);
    bool in_run = false;
    std::uint8_t* out = dst;
    std::size_t i = 0;
    while (i < n) {
        const std::uint8_t lead = src[i];
        if (lead == kRunOpen || lead == kRunClose) {
            // Shift codes count wherever a unit begins, in either state.
            in_run = lead == kRunOpen;
            if (lrss) *out++ = kLrssPlaceholder;
            i += 1;
        } else if (!in_run) {
            *out++ = sjis[lead];
            i += 1;
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
