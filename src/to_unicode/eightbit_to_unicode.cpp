// The 8-bit host code to Unicode, one unit at a time:
//
//   a sequence 93 F0, 93 70 or 93 F1 (wherever a unit begins) opens or
//                             closes a run, and gives nothing;
//   outside a run, a byte     the character of the byte alone, as in
//                             Shift-JIS;
//   inside a run, a pair      of two bytes A1-FE: the character of its JIS
//                             code; 20 20 the ideographic space; any other
//                             pair through the gaiji server; a lone byte at
//                             the end of the text has no form.
//
// A JIS code whose Shift-JIS image is a gaiji (row 13, rows 89-92) gives the
// site's character where the site gives that gaiji one. In double-byte-only
// mode the whole text is one run without sequences.
#include "codes/eightbit_host.h"
#include "to_unicode/to_unicode.h"
#include "to_unicode/unicode_writer.h"

namespace lumtrax {
namespace {

template <typename Form>
bool PutEightBitPair(UnicodeSink<Form>& s, std::uint8_t lead, std::uint8_t trail, std::size_t at) {
    if (IsEightBitJisPair(lead, trail)) {
        if (s.site != nullptr) {
            const BytePair sjis = JisToSjis(lead, trail);
            if (IsSjisGaiji(sjis.lead, sjis.trail)) return s.PutGaijiCode(sjis, at, 2);
        }
        return s.Put(JisScalar(s.tables, lead, trail), at, 2);
    }
    if (IsEightBitSpace(lead, trail)) return s.Put(JisScalar(s.tables, 0x21, 0x21), at, 2);
    return s.PutServerGaiji(CodeRecord{{lead, trail, 0, 0}}, HostCodeKind::kEightBitHost, at, 2);
}

template <typename Form>
struct EightBitLoop {
    static void Run(UnicodeSink<Form>& s, const std::uint8_t* src, std::size_t n, bool double_byte_only) {
        bool in_run = double_byte_only;
        std::size_t i = 0;
        while (i < n) {
            const std::uint8_t lead = src[i];
            if (lead == kEightBitSequenceLead && i + 1 < n && IsEightBitSequence(lead, src[i + 1]) &&
                !double_byte_only) {
                in_run = EightBitSequenceOpens(src[i + 1]);
                i += 2;
                continue;
            }
            bool go_on = true;
            if (!in_run && lead < 0x80) {
                const std::size_t after = Form::CopyAscii(src, i, n, s.out);
                if (after == i) {
                    Form::Put(lead, s.out);
                    ++i;
                } else {
                    i = after;
                }
            } else if (!in_run) {
                go_on = s.Put(SingleByteScalar(s.tables, lead), i, 1);
                i += 1;
            } else if (i + 1 == n) {
                go_on = s.NoForm(i, 1);
                i += 1;
            } else {
                go_on = PutEightBitPair(s, lead, src[i + 1], i);
                i += 2;
            }
            if (!go_on) return;
        }
    }
};

}  // namespace

UnicodeOutcome EightBitHostToUnicode(const std::uint8_t* src, std::size_t n, UnicodeForm form,
                                     const UnicodeOptions& options, std::uint8_t* dst) {
    return InForm<EightBitLoop>(form, dst, options, src, n, options.double_byte_only);
}

}  // namespace lumtrax
