// The EBCDIC host code to Shift-JIS (types 4 and 5), one unit at a time:
//
//   a shift code 2B or 2C     (wherever a unit begins, in either state)
//                             opens or closes a run; nothing is written, or
//                             the placeholder A0 in LRSS mode;
//   outside a run, a byte     its image in the reverse table of the table set;
//   inside a run, a pair      a JIS pair of the assigned area by arithmetic,
//                             any other pair through the gaiji server.
//
// No unit writes more bytes than it takes.
#include "codes/ebcdic_host.h"
#include "gaiji/gaiji.h"
#include "to_sjis/host_to_sjis.h"

namespace lumtrax {
namespace {

void ConvertEbcdicUnit(Cursor& c, const ByteTable& table, bool lrss, GaijiOutcome& status) {
    const std::uint8_t lead = c.src[c.i];
    if (IsEbcdicShiftCode(lead)) {
        c.in_run = lead == kEbcdicRunOpen;
        if (lrss) c.Put(kLrssPlaceholder);
        c.i += 1;
    } else if (!c.in_run) {
        c.Put(table[lead]);
        c.i += 1;
    } else {
        const std::uint8_t trail = c.src[c.i + 1];  // at the last counted byte, the byte after the text
        if (IsEbcdicJisPair(lead, trail)) {
            WriteJisAsSjis(lead, trail, c.out);
            c.out += 2;
        } else {
            const BytePair sjis = GaijiToSjis(EbcdicHostRecord(lead, trail), HostCodeKind::kEbcdicHost, status);
            c.Put(sjis.lead, sjis.trail);
        }
        c.i += 2;
    }
}

}  // namespace

std::int32_t EbcdicHostToSjis(const Kernels& kernels, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                              ShiftMode mode, TableSet table_set, GaijiOutcome& status) {
    const bool lrss = HasPlaceholders(mode);
    status = GaijiOutcome::kNone;
    const ByteTable& table = HostToSjisTable(table_set);
    return ConvertText(
        Growth::kNoLonger, dst, src, len, kernels.ebcdic_to_sjis != nullptr,
        [&](Cursor& at) { kernels.ebcdic_to_sjis(at, table, mode); },
        [&](Cursor& at) { ConvertEbcdicUnit(at, table, lrss, status); }, [](Cursor&) {});
}

}  // namespace lumtrax
