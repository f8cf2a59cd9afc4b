// Shift-JIS to EUC (type 3), one unit at a time:
//
//   a gaiji                   the gaiji server's code as it stands;
//   a kanji                   its JIS code with both high bits set;
//   a single byte 80-FF       behind the prefix 8E;
//   a line end CR LF          CR LF, LF alone, or nothing, by the mode;
//   a raw-byte escape 5C 01 X X, in every mode (EUC has no LRSS mode);
//   any other byte            itself.
#include "codes/euc.h"
#include "codes/units.h"
#include "gaiji/gaiji.h"
#include "to_host/sjis_to_host.h"

namespace lumtrax {
namespace {

void ConvertEucUnit(Cursor& c, LineEndMode line_end, GaijiOutcome& status) {
    const std::uint8_t lead = c.src[c.i];
    const std::uint8_t trail = c.src[c.i + 1];  // at the last counted byte, the byte after the text
    if (IsSjisGaiji(lead, trail)) {
        const BytePair code = GaijiToHost(lead, trail, HostCodeKind::kEuc, status);
        c.Put(code.lead, code.trail);
        c.i += 2;
    } else if (IsSjisKanji(lead, trail)) {
        const BytePair jis = SjisToJis(lead, trail);
        const BytePair euc = EucKanji(jis.lead, jis.trail);
        c.Put(euc.lead, euc.trail);
        c.i += 2;
    } else if (lead >= 0x80) {
        c.Put(kSingleShift2, lead);
        c.i += 1;
    } else if (IsLineEndAt(c.src, c.i, c.n)) {
        if (line_end != LineEndMode::kDrop) {
            if (line_end != LineEndMode::kLfOnly) c.Put(kCarriageReturn);
            c.Put(kLineFeed);
        }
        c.i += 2;
    } else if (IsRawByteEscapeAt(c.src, c.i, c.n)) {
        c.Put(c.src[c.i + 2]);
        c.i += 3;
    } else {
        c.Put(lead);
        c.i += 1;
    }
}

}  // namespace

std::int32_t SjisToEuc(const Kernels& kernels, std::uint8_t* dst, const std::uint8_t* src, std::int32_t len,
                       LineEndMode line_end, GaijiOutcome& status) {
    status = GaijiOutcome::kNone;
    return ConvertText(
        Growth::kEucPrefixes, dst, src, len, kernels.sjis_to_euc != nullptr,
        [&](Cursor& at) { kernels.sjis_to_euc(at, line_end); },
        [&](Cursor& at) { ConvertEucUnit(at, line_end, status); }, [](Cursor&) {}, kShiftJisEnd);
}

}  // namespace lumtrax
