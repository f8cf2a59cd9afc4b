// Shift-JIS to Unicode, one unit at a time, as code page 932 reads it: no
// raw-byte escapes, no LRSS placeholders.
//
//   a pair (a lead and a trail)   the character of its code; a gaiji-class
//                                 code the site's character, if it has one,
//                                 with no call to the gaiji server;
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
    static void Run(UnicodeSink<Form>& s, const std::uint8_t* src, std::size_t n, bool double_byte_only) {
        std::size_t i = 0;
        while (i < n) {
            const std::uint8_t lead = src[i];
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
            const bool pair = i + 1 < n && IsSjisDoubleByte(lead, src[i + 1]);
            if (!pair && !double_byte_only) {
                if (!s.Put(SingleByteScalar(s.tables, lead), i, 1)) return;
                i += 1;
                continue;
            }
            const std::size_t length = i + 1 < n ? 2 : 1;
            bool go_on = true;
            if (!pair) {
                go_on = s.NoForm(i, length);
            } else if (s.site != nullptr && IsSjisGaiji(lead, src[i + 1])) {
                go_on = s.PutGaijiCode({lead, src[i + 1]}, i, 2);
            } else {
                go_on = s.Put(SjisDoubleByteScalar(s.tables, lead, src[i + 1]), i, 2);
            }
            if (!go_on) return;
            i += length;
        }
    }
};

}  // namespace

UnicodeOutcome SjisToUnicode(const std::uint8_t* src, std::size_t n, UnicodeForm form, const UnicodeOptions& options,
                             std::uint8_t* dst) {
    return InForm<SjisLoop>(form, dst, options, src, n, options.double_byte_only);
}

}  // namespace lumtrax
