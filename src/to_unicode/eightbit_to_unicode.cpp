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
        return s.Put(s.units[JisUnit(lead, trail)], at, 2);
    }
    if (IsEightBitSpace(lead, trail)) return s.Put(s.units[JisUnit(0x21, 0x21)], at, 2);
    return s.PutServerGaiji(CodeRecord{{lead, trail, 0, 0}}, HostCodeKind::kEightBitHost, at, 2);
}

template <typename Form>
struct EightBitLoop {
    static void Run(UnicodeSink<Form>& s, const DecodeKernel& kernel, bool double_byte_only) {
        s.c.in_run = double_byte_only;
        ConvertToUnicode(s, kernel, [&](UnicodeSink<Form>& at) {
            Cursor& c = at.c;
            const std::uint8_t lead = c.src[c.i];
            const bool two_left = c.i + 1 < c.n;
            if (two_left && IsEightBitSequence(lead, c.src[c.i + 1]) && !double_byte_only) {
                c.in_run = EightBitSequenceOpens(c.src[c.i + 1]);
                c.i += 2;
                return true;
            }
            if (!c.in_run && lead < 0x80) {
                const std::size_t after = Form::CopyAscii(c.src, c.i, c.n, c.out);
                if (after == c.i) {
                    Form::PutAscii(lead, c.out);
                    ++c.i;
                } else {
                    c.i = after;
                }
                return true;
            }
            if (!c.in_run) {
                c.i += 1;
                return at.Put(at.units[kSingleByteUnits + lead], c.i - 1, 1);
            }
            if (!two_left) {
                c.i += 1;
                return at.NoForm(c.i - 1, 1);
            }
            c.i += 2;
            return PutEightBitPair(at, lead, c.src[c.i - 1], c.i - 2);
        });
    }
};

}  // namespace

UnicodeOutcome EightBitHostToUnicode(const Kernels& kernels, const std::uint8_t* src, std::size_t n, UnicodeForm form,
                                     const UnicodeOptions& options, std::uint8_t* dst) {
    const ToUnicodeTables tables{UnitsOf(options.mapping).data(), kSingleByteUnits,
                                 options.site_characters() != nullptr};
    const Kernels& level = options.double_byte_only ? KernelsOf(SimdLevel::kScalar) : kernels;
    return InForm<EightBitLoop>(level, SourceCode::kEightBitHost, tables, form, src, n, dst, options,
                                options.double_byte_only);
}

}  // namespace lumtrax
