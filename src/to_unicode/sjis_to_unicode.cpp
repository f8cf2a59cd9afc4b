// Shift-JIS to Unicode, one unit at a time, as code page 932 reads it: no
// raw-byte escapes, no LRSS placeholders.
//
//   a pair (a lead and a trail)   the character of its code, straight from
//                                 the lead and the trail; a gaiji-class code
//                                 the site's character, if it has one, with
//                                 no call to the gaiji server;
//   any other byte                the character of the byte alone (none
//                                 for a lead byte, which also ends the
//                                 text alone).
//
// In double-byte-only mode every two bytes are a pair.
#include "to_unicode/to_unicode.h"
#include "to_unicode/unicode_writer.h"

namespace lumtrax {
namespace {

template <typename Form>
struct SjisLoop {
    static void Run(UnicodeSink<Form>& s, const DecodeKernel& kernel, bool double_byte_only) {
        ConvertToUnicode(s, kernel, [&](UnicodeSink<Form>& at) {
            Cursor& c = at.c;
            const std::uint8_t lead = c.src[c.i];
            if (lead < 0x80 && !double_byte_only) {
                const std::size_t after = Form::CopyAscii(c.src, c.i, c.n, c.out);
                if (after == c.i) {
                    Form::PutAscii(lead, c.out);
                    ++c.i;
                } else {
                    c.i = after;
                }
                return true;
            }
            const bool two_left = c.i + 1 < c.n;
            const std::uint8_t trail = two_left ? c.src[c.i + 1] : 0;
            const bool pair = two_left && IsSjisDoubleByte(lead, trail);
            const std::size_t i = c.i;
            if (!pair && !double_byte_only) {
                c.i += 1;
                return at.Put(at.units[kSingleByteUnits + lead], i, 1);
            }
            c.i += two_left ? 2 : 1;
            if (!pair) return at.NoForm(i, c.i - i);
            if (at.site != nullptr && IsSjisGaiji(lead, trail)) return at.PutGaijiCode({lead, trail}, i, 2);
            return at.Put(at.units[SjisPairUnit(lead, trail)], i, 2);
        });
    }
};

}  // namespace

UnicodeOutcome SjisToUnicode(const Kernels& kernels, const std::uint8_t* src, std::size_t n, UnicodeForm form,
                             const UnicodeOptions& options, std::uint8_t* dst) {
    const ToUnicodeTables tables{UnitsOf(options.mapping).data(), kSingleByteUnits,
                                 options.site_characters() != nullptr};
    const Kernels& level = options.double_byte_only ? KernelsOf(SimdLevel::kScalar) : kernels;
    return InForm<SjisLoop>(level, SourceCode::kShiftJis, tables, form, src, n, dst, options, options.double_byte_only);
}

}  // namespace lumtrax
