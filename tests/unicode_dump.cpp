// unicode_dump: every code of both mappings through the conversions to and
// from Unicode of each byte code, for tests/unicode_codecs_check.py, which
// compares what it prints with Python's codecs and glibc's iconv.
//
// The byte codes other than Shift-JIS are reached through the conversions
// out of Shift-JIS and back (types 0-7, 10), with a gaiji server double that
// gives every gaiji-class Shift-JIS code a host code of its own and reads
// the JIS open area back by arithmetic, as the stand-in server does. It
// prints, for each mapping:
//
//   D MAPPING CODE SCALARS      each Shift-JIS unit (single byte, pair) read
//                               from Shift-JIS: its scalar value(s) in hex,
//                               or "-" for none;
//   E MAPPING SCALAR CODE       each scalar value of the BMP written to
//                               Shift-JIS: its code, or "-";
//   X MAPPING CODE-NAME ...     a unit or scalar whose result through
//                               another byte code, or in UTF-16, differs
//                               from the one above (none is expected).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "api/dispatch.h"
#include "api/unicode_dispatch.h"
#include "codes/conversions.h"
#include "codes/shift_jis.h"
#include "codes/unicode.h"
#include "codes/utf16.h"
#include "codes/utf8.h"
#include "gaiji_double.h"
#include "lumtrax.h"

namespace {

using namespace lumtrax;
using Bytes = std::vector<std::uint8_t>;

struct Variant {
    const char* name;
    SourceCode code;
    TableSet table_set;
    StartSequence start;
    int to_host;  // the conversion type out of Shift-JIS, -1 for Shift-JIS itself
    int to_sjis;
    int kind;
};

const Variant kVariants[] = {
    {"sjis", SourceCode::kShiftJis, TableSet::kLowerCase, StartSequence::kF0, -1, -1, 0},
    {"ebcdic0", SourceCode::kEbcdicHost, TableSet::kLowerCase, StartSequence::kF0, LUMTRAX_SJIS_TO_EBCDIC,
     LUMTRAX_EBCDIC_TO_SJIS, 1},
    {"ebcdic1", SourceCode::kEbcdicHost, TableSet::kKana, StartSequence::kF0, LUMTRAX_SJIS_TO_EBCDIC_KANA,
     LUMTRAX_EBCDIC_KANA_TO_SJIS, 1},
    {"8bit-f0", SourceCode::kEightBitHost, TableSet::kLowerCase, StartSequence::kF0, LUMTRAX_SJIS_TO_8BIT,
     LUMTRAX_8BIT_TO_SJIS, 2},
    {"8bit-70", SourceCode::kEightBitHost, TableSet::kLowerCase, StartSequence::k70, LUMTRAX_SJIS_TO_8BIT_70,
     LUMTRAX_8BIT_TO_SJIS, 2},
    {"euc", SourceCode::kEuc, TableSet::kLowerCase, StartSequence::kF0, LUMTRAX_SJIS_TO_EUC, LUMTRAX_EUC_TO_SJIS, 3},
};

// The gaiji-class Shift-JIS codes, numbered.
std::vector<std::uint16_t> GaijiCodes() {
    std::vector<std::uint16_t> codes;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (IsSjisGaiji(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail))) {
                codes.push_back(static_cast<std::uint16_t>(lead << 8 | trail));
            }
        }
    }
    return codes;
}

// The double: gaiji number k is (A1 + k / 94, 21 + k % 94) in every host code.
void AnswerByNumber(const std::vector<std::uint16_t>& codes) {
    gaiji_double::AnswerBy([&codes](gaiji_double::Direction direction, const gaiji_double::Bytes& record, int kind,
                                    std::uint8_t code[2]) {
        if (direction == gaiji_double::Direction::kToHost) {
            const std::uint16_t sjis = static_cast<std::uint16_t>(record[0] << 8 | record[1]);
            for (std::size_t k = 0; k < codes.size(); ++k) {
                if (codes[k] != sjis) continue;
                code[0] = static_cast<std::uint8_t>(0xA1 + k / 94);
                code[1] = static_cast<std::uint8_t>(0x21 + k % 94);
                return 2;
            }
            return 0;
        }
        std::uint8_t first = record[0], second = record[1];
        if (kind == 3 && first == 0x8F) first = record[1], second = record[2] & 0x7F;
        const bool open_area =
            kind == 1 ? IsJisOpenAreaPair(first, second)
                      : kind == 3 && first >= 0x80 && second >= 0x80 && IsJisOpenAreaPair(first & 0x7F, second & 0x7F);
        if (open_area) {
            WriteJisAsSjis(first, second, code);  // the open area, as the stand-in server reads it
            return 2;
        }
        if (first < 0xA1 || second < 0x21 || second > 0x7E) return 0;
        const std::size_t k = static_cast<std::size_t>((first - 0xA1) * 94 + (second - 0x21));
        if (k >= codes.size()) return 0;
        code[0] = static_cast<std::uint8_t>(codes[k] >> 8);
        code[1] = static_cast<std::uint8_t>(codes[k]);
        return 2;
    });
}

Bytes Convert(int type, const Bytes& src) {
    Bytes in = src;
    in.push_back(0);
    Bytes out(8 * in.size() + 16);
    GaijiOutcome status = GaijiOutcome::kNone;
    const std::int32_t n =
        ConvertDispatch(type, out.data(), in.data(), static_cast<std::int32_t>(src.size()), CallMode{}, status);
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

// The row of the table of conversions between the variant and the form.
const ConversionRow& RowOf(const Variant& v, UnicodeForm form, bool decodes) {
    const SourceCode unicode = form == UnicodeForm::kUtf8      ? SourceCode::kUtf8
                               : form == UnicodeForm::kUtf16Le ? SourceCode::kUtf16Le
                                                               : SourceCode::kUtf16Be;
    for (const ConversionRow& row : kConversions) {
        const bool same = decodes ? row.source == v.code && row.target == unicode
                                  : row.source == unicode && row.target == v.code &&
                                        (v.code != SourceCode::kEightBitHost || row.start == v.start);
        if (same && row.table_set == v.table_set) return row;
    }
    std::fprintf(stderr, "no row for %s\n", v.name);
    std::exit(2);
}

std::string Hex(const Bytes& bytes) {
    std::string text;
    char digits[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", b);
        text += digits;
    }
    return text;
}

// The scalar values of a decoding in form, as hex words, or "-" when it
// failed.
std::string Decoded(const Variant& v, const Bytes& text, UnicodeForm form, const UnicodeOptions& options) {
    const ConversionRow& row = RowOf(v, form, true);
    std::vector<std::uint8_t> out(DestinationCapacity(row.growth, text.size()));
    const UnicodeOutcome o = ConvertUnicode(row, text.data(), text.size(), options, out.data());
    if (!o.ok()) return "-";
    std::string scalars;
    std::size_t i = 0;
    while (i < o.written) {
        DecodedScalar d{};
        if (form == UnicodeForm::kUtf8) {
            d = DecodeUtf8(out.data() + i, o.written - i);
        } else {
            d = DecodeUtf16(out.data() + i, o.written - i,
                            form == UnicodeForm::kUtf16Le ? ByteOrder::kLittleEndian : ByteOrder::kBigEndian);
        }
        char word[12];
        std::snprintf(word, sizeof word, "%s%X", scalars.empty() ? "" : "+", static_cast<unsigned>(d.scalar));
        scalars += word;
        i += d.length;
    }
    return scalars;
}

// The Shift-JIS code that a scalar comes back as through the byte code, or "-".
std::string Encoded(const Variant& v, char32_t c, UnicodeForm form, const UnicodeOptions& options) {
    std::uint8_t text[4];
    const int length =
        form == UnicodeForm::kUtf8
            ? EncodeUtf8(c, text)
            : EncodeUtf16(c, text, form == UnicodeForm::kUtf16Le ? ByteOrder::kLittleEndian : ByteOrder::kBigEndian);
    const ConversionRow& row = RowOf(v, form, false);
    Bytes out(DestinationCapacity(row.growth, static_cast<std::size_t>(length)));
    const UnicodeOutcome o = ConvertUnicode(row, text, static_cast<std::size_t>(length), options, out.data());
    if (!o.ok()) return "-";
    out.resize(o.written);
    return Hex(v.to_sjis < 0 ? out : Convert(v.to_sjis, out));
}

}  // namespace

int main() {
    const std::vector<std::uint16_t> gaiji = GaijiCodes();
    AnswerByNumber(gaiji);
    std::vector<Bytes> units;
    for (int b = 0; b < 256; ++b) units.push_back({static_cast<std::uint8_t>(b)});
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const auto l = static_cast<std::uint8_t>(lead), t = static_cast<std::uint8_t>(trail);
            if (IsSjisDoubleByte(l, t)) units.push_back({l, t});
        }
    }
    const UnicodeForm kForms[] = {UnicodeForm::kUtf8, UnicodeForm::kUtf16Le, UnicodeForm::kUtf16Be};
    for (UnicodeMapping mapping : {UnicodeMapping::kCp932, UnicodeMapping::kJis}) {
        const char* name = mapping == UnicodeMapping::kCp932 ? "cp932" : "jis";
        UnicodeOptions options;
        options.mapping = mapping;
        for (const Bytes& unit : units) {
            const std::string expected = Decoded(kVariants[0], unit, UnicodeForm::kUtf8, options);
            std::printf("D %s %s %s\n", name, Hex(unit).c_str(), expected.c_str());
            for (const Variant& v : kVariants) {
                const Bytes text = v.to_host < 0 ? unit : Convert(v.to_host, unit);
                for (UnicodeForm form : kForms) {
                    const std::string got = Decoded(v, text, form, options);
                    if (got != expected) {
                        std::printf("X %s decode %s %s form %d: %s\n", name, v.name, Hex(unit).c_str(),
                                    static_cast<int>(form), got.c_str());
                    }
                }
            }
        }
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) continue;
            const std::string expected = Encoded(kVariants[0], c, UnicodeForm::kUtf8, options);
            std::printf("E %s %X %s\n", name, static_cast<unsigned>(c), expected.c_str());
            for (const Variant& v : kVariants) {
                for (UnicodeForm form : kForms) {
                    const std::string got = Encoded(v, c, form, options);
                    if (got != expected) {
                        std::printf("X %s encode %s %X form %d: %s\n", name, v.name, static_cast<unsigned>(c),
                                    static_cast<int>(form), got.c_str());
                    }
                }
            }
        }
    }
    return 0;
}
