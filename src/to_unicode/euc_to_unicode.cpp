// EUC to Unicode, one unit at a time:
//
//   a byte below 80           its character (ASCII);
//   8E and the byte after it  the character of that byte alone, as in
//                             Shift-JIS (a half-width katakana for A1-DF);
//   any other byte 80-FF and the byte after it
//                             a pair of the JIS rows: the character of its
//                             JIS code; any other pair through the gaiji
//                             server, as the conversion into Shift-JIS hands
//                             it over; a lone byte at the end of the text
//                             has no form.
//
// In double-byte-only mode every two bytes are a pair, and a byte below 80
// or 8E begins none: such a unit of two bytes has no form.
#include "codes/euc.h"
#include "to_unicode/to_unicode.h"
#include "to_unicode/unicode_writer.h"

namespace lumtrax {
namespace {

template <typename Form>
struct EucLoop {
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
            if (c.i + 1 == c.n) {
                c.i += 1;
                return at.NoForm(c.i - 1, 1);
            }
            const std::uint8_t trail = c.src[c.i + 1];
            c.i += 2;
            const std::size_t i = c.i - 2;
            if (double_byte_only && (lead < 0x80 || lead == kSingleShift2)) return at.NoForm(i, 2);
            if (lead == kSingleShift2) return at.Put(at.units[kSingleByteUnits + trail], i, 2);
            if (IsEucJisPair(lead, trail)) return at.Put(at.units[JisUnit(lead, trail)], i, 2);
            return at.PutServerGaiji(EucRecord(lead, trail), HostCodeKind::kEuc, i, 2);
        });
    }
};

}  // namespace

UnicodeOutcome EucToUnicode(const Kernels& kernels, const std::uint8_t* src, std::size_t n, UnicodeForm form,
                            const UnicodeOptions& options, std::uint8_t* dst) {
    const ToUnicodeTables tables{UnitsOf(options.mapping).data(), kSingleByteUnits, false};
    const Kernels& level = options.double_byte_only ? KernelsOf(SimdLevel::kScalar) : kernels;
    return InForm<EucLoop>(level, SourceCode::kEuc, tables, form, src, n, dst, options, options.double_byte_only);
}

}  // namespace lumtrax
