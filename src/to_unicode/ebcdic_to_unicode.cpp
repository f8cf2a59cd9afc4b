// The EBCDIC host code to Unicode, one unit at a time:
//
//   a shift code 2B or 2C     (wherever a unit begins) opens or closes a run,
//                             and gives nothing;
//   outside a run, a byte     the character of its image in the table set;
//   inside a run, a pair      of the assigned area of JIS X 0208: the
//                             character of its JIS code; any other pair
//                             through the gaiji server, as the conversion
//                             into Shift-JIS hands it over; a lone byte at
//                             the end of the text has no form.
//
// In double-byte-only mode the whole text is one run without shift codes.
#include "codes/ebcdic_host.h"
#include "to_unicode/to_unicode.h"
#include "to_unicode/unicode_writer.h"

namespace lumtrax {
namespace {

template <typename Form>
struct EbcdicLoop {
    static void Run(UnicodeSink<Form>& s, const DecodeKernel& kernel, std::uint16_t singles, bool double_byte_only) {
        s.c.in_run = double_byte_only;
        ConvertToUnicode(s, kernel, [&](UnicodeSink<Form>& at) {
            Cursor& c = at.c;
            const std::uint8_t lead = c.src[c.i];
            if (IsEbcdicShiftCode(lead) && !double_byte_only) {
                c.in_run = lead == kEbcdicRunOpen;
                c.i += 1;
                return true;
            }
            if (!c.in_run) {
                // Single bytes whose characters are ASCII, one after another
                // (a shift code has no character).
                std::uint16_t scalar = at.units[singles + lead];
                while (scalar < 0x80) {
                    Form::PutAscii(static_cast<std::uint8_t>(scalar), c.out);
                    if (++c.i == c.n) return true;
                    scalar = at.units[singles + c.src[c.i]];
                }
                if (IsEbcdicShiftCode(c.src[c.i]) && !double_byte_only) return true;
                c.i += 1;
                return at.Put(scalar, c.i - 1, 1);
            }
            if (c.i + 1 == c.n) {
                c.i += 1;
                return at.NoForm(c.i - 1, 1);
            }
            const std::uint8_t trail = c.src[c.i + 1];
            c.i += 2;
            return IsEbcdicJisPair(lead, trail)
                       ? at.Put(at.units[JisUnit(lead, trail)], c.i - 2, 2)
                       : at.PutServerGaiji(EbcdicHostRecord(lead, trail), HostCodeKind::kEbcdicHost, c.i - 2, 2);
        });
    }
};

}  // namespace

UnicodeOutcome EbcdicHostToUnicode(const Kernels& kernels, const std::uint8_t* src, std::size_t n, TableSet table_set,
                                   UnicodeForm form, const UnicodeOptions& options, std::uint8_t* dst) {
    const std::uint16_t singles = table_set == TableSet::kLowerCase ? kEbcdicSet0Units : kEbcdicSet1Units;
    const ToUnicodeTables tables{UnitsOf(options.mapping).data(), singles, false};
    const Kernels& level = options.double_byte_only ? KernelsOf(SimdLevel::kScalar) : kernels;
    return InForm<EbcdicLoop>(level, SourceCode::kEbcdicHost, tables, form, src, n, dst, options, singles,
                              options.double_byte_only);
}

}  // namespace lumtrax
