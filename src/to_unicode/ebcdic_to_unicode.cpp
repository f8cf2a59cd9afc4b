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
#include <array>

#include "codes/ebcdic_host.h"
#include "to_unicode/to_unicode.h"
#include "to_unicode/unicode_writer.h"

namespace lumtrax {
namespace {

using ScalarTable = std::array<std::uint16_t, 256>;

// The character of each host byte: that of its Shift-JIS image.
constexpr ScalarTable HostByteScalars(const std::array<std::uint16_t, 256>& single, const ByteTable& host_to_sjis) {
    ScalarTable scalars{};
    for (std::size_t b = 0; b < 256; ++b) scalars[b] = single[host_to_sjis[b]];
    return scalars;
}

// By mapping, then table set.
inline constexpr ScalarTable kHostByteScalars[2][2] = {
    {HostByteScalars(unicode_tables::kCp932Single, kHostToSjisSet0),
     HostByteScalars(unicode_tables::kCp932Single, kHostToSjisSet1)},
    {HostByteScalars(unicode_tables::kJisSingle, kHostToSjisSet0),
     HostByteScalars(unicode_tables::kJisSingle, kHostToSjisSet1)},
};

// C1 is A in both table sets; 21, the image of the lead byte 81, is nothing.
static_assert(kHostByteScalars[0][0][0xC1] == 'A' && kHostByteScalars[1][1][0xC1] == 'A');
static_assert(kHostByteScalars[0][0][0x21] == kNoScalar && kHostByteScalars[0][1][0x21] == kNoScalar);

template <typename Form>
struct EbcdicLoop {
    static void Run(UnicodeSink<Form>& s, const std::uint8_t* src, std::size_t n, const ScalarTable& singles,
                    bool double_byte_only) {
        bool in_run = double_byte_only;
        std::size_t i = 0;
        while (i < n) {
            const std::uint8_t lead = src[i];
            if (IsEbcdicShiftCode(lead) && !double_byte_only) {
                in_run = lead == kEbcdicRunOpen;
                i += 1;
                continue;
            }
            bool go_on = true;
            if (!in_run) {
                go_on = s.Put(singles[lead], i, 1);
                i += 1;
            } else if (i + 1 == n) {
                go_on = s.NoForm(i, 1);
                i += 1;
            } else {
                const std::uint8_t trail = src[i + 1];
                go_on = IsEbcdicJisPair(lead, trail)
                            ? s.Put(JisScalar(s.tables, lead, trail), i, 2)
                            : s.PutServerGaiji(EbcdicHostRecord(lead, trail), HostCodeKind::kEbcdicHost, i, 2);
                i += 2;
            }
            if (!go_on) return;
        }
    }
};

}  // namespace

UnicodeOutcome EbcdicHostToUnicode(const std::uint8_t* src, std::size_t n, TableSet table_set, UnicodeForm form,
                                   const UnicodeOptions& options, std::uint8_t* dst) {
    const ScalarTable& singles =
        kHostByteScalars[options.mapping == Mapping::kCp932 ? 0 : 1][table_set == TableSet::kLowerCase ? 0 : 1];
    return InForm<EbcdicLoop>(form, dst, options, src, n, singles, options.double_byte_only);
}

}  // namespace lumtrax
