// The units of the conversions to and from Unicode (codes/units.h) against
// the conversions themselves: a text cut where the units allow (a unit of
// the whole text begins there, no run is open, and the bytes held decided
// the unit before it) and converted piece by piece gives the bytes and the
// gaiji status of one call, for every Unicode row, in pieces of any size;
// and what the end of a text makes of its last unit.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "api/unicode_dispatch.h"
#include "codes/conversions.h"
#include "codes/units.h"
#include "codes/utf16.h"
#include "codes/utf8.h"
#include "gaiji_double.h"
#include "test_support.h"

namespace {

using namespace lumtrax;
using test_support::Bytes;
using test_support::ToHex;

const SiteCharacters& Site() {
    static const SiteCharacters site({{0xF040, 0x9AD9, 0}, {0xF041, 0x845B, 0xE0100}, {0xF042, 0x20B9F, 0xFE00}});
    return site;
}

// Characters that make cuts hard: line ends whole and split, double-byte
// characters, single bytes 80-FF, gaiji (the server converts some), site
// characters with and without their selector, characters without a code.
const char32_t* const kPieces[] = {
    U"A",          U"\r\n",   U"\r",     U"\n",     U"亜",           U"あ", U"\uFF71",     U"\u00A7",
    U"①",          U"\uE000", U"\uE001", U"\u9AD9", U"葛\U000E0100", U"葛", U"\U000E0100", U"\U00020B9F\uFE00",
    U"\U00020B9F", U"€",      U"\uFE00", U"  ",     U"\u3000",
};

Bytes Encoded(const std::u32string& text, SourceCode form) {
    Bytes bytes;
    for (char32_t c : text) {
        std::uint8_t unit[4];
        const int n =
            form == SourceCode::kUtf8
                ? EncodeUtf8(c, unit)
                : EncodeUtf16(c, unit, form == SourceCode::kUtf16Le ? ByteOrder::kLittleEndian : ByteOrder::kBigEndian);
        bytes.insert(bytes.end(), unit, unit + n);
    }
    return bytes;
}

std::u32string RandomText(std::mt19937& random, std::size_t count) {
    std::u32string text;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t pick = random() % std::size(kPieces);
        const std::size_t repeat = random() % 6 == 0 ? 1 + random() % 20 : 1;
        for (std::size_t r = 0; r < repeat; ++r) text += kPieces[pick];
    }
    return text;
}

struct Converted {
    Bytes out;
    UnicodeOutcome o;
};

Converted Convert(const ConversionRow& row, const Bytes& src, const UnicodeOptions& options) {
    std::vector<std::uint8_t> dst(DestinationCapacity(row.growth, src.size()));
    Converted run{{}, ConvertUnicode(row, src.data(), src.size(), options, dst.data())};
    run.out.assign(dst.begin(), dst.begin() + static_cast<std::ptrdiff_t>(run.o.written));
    return run;
}

// The last place at or before limit where the held bytes may be cut, 0 for
// none: a unit begins there with no run open, and the step over the unit
// before it was whole with the bytes held (at least one byte after it).
std::size_t Cut(const UnitRules& rules, const Bytes& held, std::size_t limit) {
    std::size_t cut = 0;
    UnitPosition p;
    while (p.at < limit && p.at < held.size()) {
        if (StepOverUnit(rules, held.data(), held.size(), p) != LastByte::kWhole) break;
        if (!p.open && p.at <= limit && p.at < held.size()) cut = p.at;
    }
    return cut;
}

// Converts text piece by piece, as a converter fed in pieces of random size
// would, holding more where it finds no cut.
Converted InPieces(const ConversionRow& row, const Bytes& text, const UnicodeOptions& options, std::size_t piece,
                   std::mt19937& random) {
    const UnitRules rules = RulesOf(row, options);
    Converted all{{}, {}};
    std::size_t begin = 0;
    std::size_t held = 0;
    while (begin < text.size()) {
        held = std::min(text.size() - begin, held + 1 + random() % (2 * piece));
        const Bytes bytes(text.begin() + static_cast<std::ptrdiff_t>(begin),
                          text.begin() + static_cast<std::ptrdiff_t>(begin + held));
        const std::size_t cut = begin + held == text.size() ? held : Cut(rules, bytes, piece);
        if (cut == 0) continue;  // hold more
        const Converted part =
            Convert(row, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)), options);
        EXPECT_TRUE(part.o.ok()) << "a piece of " << cut << " bytes failed at " << part.o.failure_offset;
        all.out.insert(all.out.end(), part.out.begin(), part.out.end());
        all.o.gaiji = Merge(all.o.gaiji, part.o.gaiji);
        begin += cut;
        held -= cut;
    }
    return all;
}

// The server converts the gaiji U+E000 (F0 40) and U+2460 (87 40) and their
// host codes, and fails every other.
int Serve(gaiji_double::Direction direction, const Bytes& record, int, std::uint8_t code[2]) {
    const bool to_host = direction == gaiji_double::Direction::kToHost;
    const int k = to_host ? (record[0] == 0xF0 && record[1] == 0x40 ? 0
                             : record[0] == 0x87                    ? 1
                                                                    : -1)
                          : (record[0] == 0xA1 || record[0] == 0x41 ? 0
                             : record[0] == 0xA2                    ? 1
                                                                    : -1);
    if (k < 0) return 0;
    static const std::uint8_t kHost[2][2] = {{0xA1, 0xA1}, {0xA2, 0xA1}};
    static const std::uint8_t kSjis[2][2] = {{0xF0, 0x40}, {0x87, 0x40}};
    code[0] = to_host ? kHost[k][0] : kSjis[k][0];
    code[1] = to_host ? kHost[k][1] : kSjis[k][1];
    return 2;
}

UnicodeOptions Make(ErrorMode errors, LineEndMode line_end, ShiftMode shift, bool pairs_only, bool site) {
    UnicodeOptions options;
    options.errors = errors;
    options.mode = {line_end, shift};
    options.double_byte_only = pairs_only;
    options.site = site ? &Site() : nullptr;
    return options;
}

class UnicodePiecesTest : public test_support::ServerTest {};

TEST_F(UnicodePiecesTest, PiecesGiveWhatOneCallGives) {
    gaiji_double::AnswerBy(Serve);
    const UnicodeOptions kOptions[] = {
        Make(ErrorMode::kReplace, LineEndMode::kKeep, ShiftMode::kPlain, false, false),
        Make(ErrorMode::kReplace, LineEndMode::kDrop, ShiftMode::kPlain, false, true),
        Make(ErrorMode::kReplace, LineEndMode::kLfOnly, ShiftMode::kNoShift, false, true),
        Make(ErrorMode::kReplace, LineEndMode::kDrop, ShiftMode::kPlain, true, false),
    };
    std::mt19937 random(20261209);
    for (const ConversionRow& row : kConversions) {
        if (!IsUnicodeConversion(row)) continue;
        const bool decodes = IsUnicode(row.target);
        for (const UnicodeOptions& options : kOptions) {
            SCOPED_TRACE(std::string(row.name) + " errors " + std::to_string(static_cast<int>(options.errors)) +
                         " line end " + std::to_string(static_cast<int>(options.mode.line_end)) + " shift " +
                         std::to_string(static_cast<int>(options.mode.shift)) + " pairs only " +
                         std::to_string(options.double_byte_only));
            for (int round = 0; round < 24; ++round) {
                Bytes text = Encoded(RandomText(random, 4 + random() % 60), decodes ? SourceCode::kUtf8 : row.source);
                if (decodes) {
                    // Host text of the characters, with runs across line ends.
                    UnicodeOptions writer = options;
                    writer.double_byte_only = false;
                    const ConversionRow* there = nullptr;
                    for (const ConversionRow& other : kConversions) {
                        if (other.source == SourceCode::kUtf8 && other.target == row.source &&
                            other.table_set == row.table_set) {
                            there = &other;
                        }
                    }
                    text = Convert(*there, text, writer).out;
                }
                const Converted whole = Convert(row, text, options);
                ASSERT_TRUE(whole.o.ok()) << ToHex(text);
                const std::size_t piece = 1 + random() % (round % 2 == 0 ? 8 : 64);
                const Converted pieces = InPieces(row, text, options, piece, random);
                ASSERT_EQ(ToHex(pieces.out), ToHex(whole.out)) << "pieces of " << piece << ": " << ToHex(text);
                ASSERT_EQ(pieces.o.gaiji, whole.o.gaiji);
            }
        }
    }
}

// What the end of a text makes of its units: where the first unit it cuts
// begins, and where the first that the bytes after it could lengthen does.
TEST(UnicodeUnits, TheEndOfATextCutsItsLastUnit) {
    const UnicodeOptions site = Make(ErrorMode::kStrict, LineEndMode::kKeep, ShiftMode::kPlain, false, true);
    const struct {
        const char* row;
        bool with_site;
        const char* text;
        std::size_t cut, whole;
    } cases[] = {
        {"utf8_to_sjis", false, "41 E4 BA 9C", 4, 4},
        {"utf8_to_sjis", false, "41 E4 BA", 1, 1},       // a character cut short
        {"utf8_to_sjis", false, "41 F0 A0", 1, 1},       // 4 bytes asked for
        {"utf8_to_sjis", false, "41 0D", 2, 1},          // a CR may take an LF
        {"utf8_to_sjis", false, "41 0D 0A", 3, 3},       // CR LF is one unit
        {"utf8_to_sjis", false, "41 80", 2, 2},          // a stray byte is a unit of its own
        {"utf8_to_sjis", true, "E8 91 9B", 3, 0},        // a site character may take its selector
        {"utf8_to_sjis", true, "E8 91 9B F3 A0", 3, 0},  // ... which the end cuts
        {"utf8_to_sjis", true, "E8 91 9B F3 A0 84 80", 7, 7},
        {"utf8_to_sjis", true, "E4 BA 9C", 3, 3},           // no site character begins with 亜
        {"utf16le_to_ebcdic", false, "41 00 42", 2, 2},     // half a code unit
        {"utf16le_to_ebcdic", false, "41 00 3D D8", 2, 2},  // a high surrogate without its pair
        {"utf16le_to_ebcdic", false, "41 00 0D 00", 4, 2},
        {"utf16be_to_ebcdic", false, "00 0D 00 0A", 4, 4},
        {"sjis_to_utf8", false, "41 88", 1, 1},  // Shift-JIS as the byte codes walk it
        {"ebcdic_to_utf8", false, "C1 2B B0", 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.row) + ": " + c.text);
        const ConversionRow* row = nullptr;
        for (const ConversionRow& r : kConversions) {
            if (std::string(r.name) == c.row) row = &r;
        }
        ASSERT_NE(row, nullptr);
        const UnitRules rules = RulesOf(*row, c.with_site ? site : UnicodeOptions{});
        const Bytes text = test_support::Hex(c.text);
        EXPECT_EQ(FirstCutUnit(rules, text.data(), text.size(), false), c.cut);
        EXPECT_EQ(WholeUnitsLength(rules, text.data(), text.size()), c.whole);
    }
}

}  // namespace
