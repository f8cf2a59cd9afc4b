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
    static void Run(UnicodeSink<Form>& s, const std::uint8_t* src, std::size_t n, bool double_byte_only) {
        std::size_t i = 0;
        while (i < n) {
            const std::uint8_t lead = src[i];
            bool go_on = true;
            if (lead < 0x80 && !double_byte_only) {
                const std::size_t after = Form::CopyAscii(src, i, n, s.out);
                if (after == i) {
                    Form::Put(lead, s.out);
                    ++i;
                } else {
                    i = after;
                }
                continue;
            }
            if (i + 1 == n) {
                go_on = s.NoForm(i, 1);
                i += 1;
            } else {
                const std::uint8_t trail = src[i + 1];
                if (double_byte_only && (lead < 0x80 || lead == kSingleShift2)) {
                    go_on = s.NoForm(i, 2);
                } else if (lead == kSingleShift2) {
                    go_on = s.Put(SingleByteScalar(s.tables, trail), i, 2);
                } else if (IsEucJisPair(lead, trail)) {
                    go_on = s.Put(JisScalar(s.tables, lead, trail), i, 2);
                } else {
                    go_on = s.PutServerGaiji(EucRecord(lead, trail), HostCodeKind::kEuc, i, 2);
                }
                i += 2;
            }
            if (!go_on) return;
        }
    }
};

}  // namespace

UnicodeOutcome EucToUnicode(const std::uint8_t* src, std::size_t n, UnicodeForm form, const UnicodeOptions& options,
                            std::uint8_t* dst) {
    return InForm<EucLoop>(form, dst, options, src, n, options.double_byte_only);
}

}  // namespace lumtrax
