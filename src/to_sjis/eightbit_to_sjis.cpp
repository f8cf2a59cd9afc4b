// The 8-bit host code to Shift-JIS (type 6), one unit at a time:
//
//   a sequence 93 F0, 93 70 or 93 F1 (wherever a unit begins, in either
//                             state) opens or closes a run; nothing is
//                             written, or the placeholder A0 in LRSS mode;
//   outside a run, a byte     itself;
//   inside a run, a pair      a JIS pair with the high bits set by arithmetic,
//                             20 20 as the ideographic space 81 40, any other
//                             pair through the gaiji server.
//
// No unit writes more bytes than it takes.
#include "codes/eightbit_host.h"
#include "gaiji/gaiji.h"
#include "to_sjis/host_to_sjis.h"

namespace lumtrax {
namespace {

void ConvertEightBitUnit(Cursor& c, bool lrss, GaijiOutcome& status) {
    const std::uint8_t lead = c.src[c.i];
    const std::uint8_t second = c.src[c.i + 1];  // at the last counted byte, the byte after the text
    if (IsEightBitSequence(lead, second)) {
        c.in_run = EightBitSequenceOpens(second);
        if (lrss) c.Put(kLrssPlaceholder);
        c.i += 2;
    } else if (!c.in_run) {
        c.Put(lead);
        c.i += 1;
    } else {
        if (IsEightBitJisPair(lead, second)) {
            WriteJisAsSjis(lead, second, c.out);
            c.out += 2;
        } else if (IsEightBitSpace(lead, second)) {
            c.Put(kSjisIdeographicSpace.lead, kSjisIdeographicSpace.trail);
        } else {
            const BytePair sjis = GaijiToSjis(CodeRecord{{lead, second, 0, 0}}, HostCodeKind::kEightBitHost, status);
            c.Put(sjis.lead, sjis.trail);
        }
        c.i += 2;
    }
}

}  // namespace

std::int32_t EightBitHostToSjis(const Kernels& kernels, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                                ShiftMode mode, GaijiOutcome& status) {
    const bool lrss = HasPlaceholders(mode);
    status = GaijiOutcome::kNone;
    return ConvertText(
        Growth::kNoLonger, dst, src, len, kernels.eightbit_to_sjis != nullptr,
        [&](Cursor& at) { kernels.eightbit_to_sjis(at, mode); },
        [&](Cursor& at) { ConvertEightBitUnit(at, lrss, status); }, [](Cursor&) {});
}

}  // namespace lumtrax
