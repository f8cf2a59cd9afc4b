// EUC to Shift-JIS (type 7), one unit at a time:
//
//   a byte below 80           itself;
//   8E and the byte after it  that byte;
//   any other byte 80-FF and the byte after it
//                             a pair of the JIS rows by arithmetic, any other
//                             pair through the gaiji server.
//
// No unit writes more bytes than it takes.
#include "codes/euc.h"
#include "gaiji/gaiji.h"
#include "to_sjis/host_to_sjis.h"

namespace lumtrax {
namespace {

void ConvertEucUnit(Cursor& c, GaijiOutcome& status) {
    const std::uint8_t lead = c.src[c.i];
    if (lead < 0x80) {
        c.Put(lead);
        c.i += 1;
        return;
    }
    // Every byte 80-FF begins a unit of two bytes, whatever follows it.
    const std::uint8_t trail = c.src[c.i + 1];  // at the last counted byte, the byte after the text
    if (lead == kSingleShift2) {
        c.Put(trail);
    } else if (IsEucJisPair(lead, trail)) {
        WriteJisAsSjis(lead, trail, c.out);
        c.out += 2;
    } else {
        const BytePair sjis = GaijiToSjis(EucRecord(lead, trail), HostCodeKind::kEuc, status);
        c.Put(sjis.lead, sjis.trail);
    }
    c.i += 2;
}

}  // namespace

std::int32_t EucToSjis(const Kernels& kernels, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                       GaijiOutcome& status) {
    status = GaijiOutcome::kNone;
    return ConvertText(
        Growth::kNoLonger, dst, src, len, kernels.euc_to_sjis != nullptr, [&](Cursor& at) { kernels.euc_to_sjis(at); },
        [&](Cursor& at) { ConvertEucUnit(at, status); }, [](Cursor&) {});
}

}  // namespace lumtrax
