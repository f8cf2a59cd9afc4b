// The conversions to and from Unicode, with the gaiji server double: what
// each byte code's units give, failures and replacements with their offsets,
// invalid UTF-8 and UTF-16, double-byte-only mode, line ends, site
// characters, the growth rules and the independence of pieces. Every code of
// both mappings is compared with the codecs in unicode_codecs_check.py.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/unicode_dispatch.h"
#include "codes/conversions.h"
#include "codes/unicode.h"
#include "gaiji_double.h"
#include "test_support.h"

namespace {

using namespace lumtrax;
using test_support::Bytes;
using test_support::Hex;
using test_support::ToHex;
using F = UnicodeFailure;

// A byte code and its variant.
struct Code {
    SourceCode code;
    TableSet table_set = TableSet::kLowerCase;
    StartSequence start = StartSequence::kF0;
};

const Code kSjis{SourceCode::kShiftJis};
const Code kEbcdic{SourceCode::kEbcdicHost, TableSet::kLowerCase};
const Code kEbcdicKana{SourceCode::kEbcdicHost, TableSet::kKana};
const Code kEightBit{SourceCode::kEightBitHost, TableSet::kLowerCase, StartSequence::kF0};
const Code kEightBit70{SourceCode::kEightBitHost, TableSet::kLowerCase, StartSequence::k70};
const Code kEuc{SourceCode::kEuc};

Bytes Text(const std::string& utf8) { return Bytes(utf8.begin(), utf8.end()); }
std::string Utf8(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

struct Converted {
    Bytes out;
    UnicodeOutcome o;
};

SourceCode CodeOf(UnicodeForm form) {
    return form == UnicodeForm::kUtf8      ? SourceCode::kUtf8
           : form == UnicodeForm::kUtf16Le ? SourceCode::kUtf16Le
                                           : SourceCode::kUtf16Be;
}

// The row of the table of conversions from source to target, the variant
// of the byte code that of `code`.
const ConversionRow& RowOf(SourceCode source, SourceCode target, const Code& code) {
    for (const ConversionRow& row : kConversions) {
        if (row.source == source && row.target == target && row.table_set == code.table_set &&
            (target != SourceCode::kEightBitHost || row.start == code.start)) {
            return row;
        }
    }
    ADD_FAILURE() << "no row";
    return kConversions[0];
}

// Each conversion goes through the dispatcher of the table's rows, into a
// destination of its growth rule's size with guard bytes after it.
Converted Run(const ConversionRow& row, const Bytes& src, const UnicodeOptions& options) {
    constexpr std::uint8_t kGuard = 0xEE;
    const std::size_t capacity = DestinationCapacity(row.growth, src.size());
    std::vector<std::uint8_t> dst(capacity + 16, kGuard);
    Converted run{{}, ConvertUnicode(row, src.data(), src.size(), options, dst.data())};
    EXPECT_LE(run.o.written, capacity);
    for (std::size_t i = capacity; i < dst.size(); ++i) EXPECT_EQ(dst[i], kGuard) << row.name << " wrote past its rule";
    run.out.assign(dst.begin(), dst.begin() + static_cast<std::ptrdiff_t>(run.o.written));
    return run;
}

Converted Decode(const Code& from, const Bytes& src, const UnicodeOptions& options = {},
                 UnicodeForm form = UnicodeForm::kUtf8) {
    return Run(RowOf(from.code, CodeOf(form), from), src, options);
}

Converted Encode(const Code& to, const Bytes& src, const UnicodeOptions& options = {},
                 UnicodeForm form = UnicodeForm::kUtf8) {
    return Run(RowOf(CodeOf(form), to.code, to), src, options);
}

UnicodeOptions Options(UnicodeMapping mapping, ErrorMode errors = ErrorMode::kStrict, bool double_byte_only = false) {
    UnicodeOptions options;
    options.mapping = mapping;
    options.errors = errors;
    options.double_byte_only = double_byte_only;
    return options;
}

const UnicodeOptions kCp932 = Options(UnicodeMapping::kCp932);
const UnicodeOptions kJis = Options(UnicodeMapping::kJis);
const UnicodeOptions kReplace = Options(UnicodeMapping::kCp932, ErrorMode::kReplace);
const UnicodeOptions kPairsOnly = Options(UnicodeMapping::kCp932, ErrorMode::kStrict, true);
const UnicodeOptions kPairsOnlyReplace = Options(UnicodeMapping::kCp932, ErrorMode::kReplace, true);

// Where a conversion stopped or first replaced: kind, offset, length.
struct Where {
    F failure;
    std::size_t offset, length;
};
constexpr Where kWhole{F::kNone, 0, 0};

void ExpectWhere(const UnicodeOutcome& o, Where failure, Where replaced) {
    EXPECT_EQ(o.failure, failure.failure);
    EXPECT_EQ(o.failure_offset, failure.offset);
    EXPECT_EQ(o.failure_length, failure.length);
    EXPECT_EQ(o.replaced_offset, replaced.offset);
    EXPECT_EQ(o.replaced_length, replaced.length);
}

class UnicodeTest : public test_support::ServerTest {};

// ---- decoding ---------------------------------------------------------------------

TEST_F(UnicodeTest, DecodesEachUnitOfEachByteCode) {
    const struct {
        const char* name;
        Code from;
        const char* src;
        UnicodeOptions options;
        std::string out;
        Where failure;
        Where replaced = kWhole;
    } cases[] = {
        {"ebcdic: letter, run, line end", kEbcdic, "C1 2B B0 A1 A1 A1 2C 0D 25", kCp932, "A亜　\r\n", kWhole},
        {"ebcdic: the table sets differ", kEbcdic, "81", kCp932, "a", kWhole},
        {"ebcdic kana", kEbcdicKana, "81", kCp932, "ｱ", kWhole},
        {"ebcdic: the image of a lead byte", kEbcdic, "21 C1", kCp932, "", {F::kNoUnicodeForm, 0, 1}},
        {"ebcdic: replaced", kEbcdic, "21 C1", kReplace, "\uFFFDA", kWhole, {F::kNone, 0, 1}},
        {"ebcdic: a run cut by the end", kEbcdic, "C1 2B B0", kCp932, "A", {F::kNoUnicodeForm, 2, 1}},
        {"ebcdic: an empty cell of row 2", kEbcdic, "2B A2 AF 2C", kCp932, "", {F::kNoUnicodeForm, 1, 2}},
        {"ebcdic: a gaiji the server fails", kEbcdic, "2B 41 A1 2C", kCp932, "■", kWhole, {F::kNone, 1, 2}},
        {"8-bit: both start sequences", kEightBit, "41 93 F0 B0 A1 20 20 93 F1 93 70 B0 A1 93 F1 42", kCp932,
         "A亜　亜B", kWhole},
        {"8-bit: 93 alone", kEightBit, "41 93 41", kCp932, "A", {F::kNoUnicodeForm, 1, 1}},
        {"8-bit: row 13 by arithmetic", kEightBit, "93 F0 AD A1 93 F1", kCp932, "①", kWhole},
        {"8-bit: row 13, jis", kEightBit, "93 F0 AD A1 93 F1", kJis, "", {F::kNoUnicodeForm, 2, 2}},
        {"euc: ascii, kanji, kana", kEuc, "41 B0 A1 8E B1", kCp932, "A亜ｱ", kWhole},
        {"euc: an empty cell of row 8", kEuc, "41 A8 C1", kCp932, "A", {F::kNoUnicodeForm, 1, 2}},
        {"euc: 8E 80", kEuc, "8E 80", kCp932, "\u0080", kWhole},
        {"euc: 8E 80, jis", kEuc, "8E 80", kJis, "", {F::kNoUnicodeForm, 0, 2}},
        {"euc: a lone lead at the end", kEuc, "41 B0", kReplace, "A\uFFFD", kWhole, {F::kNone, 1, 1}},
        {"sjis: no escapes", kSjis, "5C 01 41", kCp932,
         "\\\x01"
         "A",
         kWhole},
        {"sjis: single bytes of cp932", kSjis, "80 A0 FD FF A1 DF", kCp932, "\u0080\uF8F0\uF8F1\uF8F3｡ﾟ", kWhole},
        {"sjis: A0, jis", kSjis, "41 A0", kJis, "A", {F::kNoUnicodeForm, 1, 1}},
        {"sjis: a lead before no trail", kSjis, "81 20", kCp932, "", {F::kNoUnicodeForm, 0, 1}},
        {"sjis: a lead at the end", kSjis, "41 81", kCp932, "A", {F::kNoUnicodeForm, 1, 1}},
        {"sjis: an empty pair", kSjis, "85 40", kCp932, "", {F::kNoUnicodeForm, 0, 2}},
        {"sjis: the mappings differ", kSjis, "81 60 81 61 81 7C 81 91 81 92 81 CA", kCp932, "～∥－￠￡￢", kWhole},
        {"sjis: the mappings differ, jis", kSjis, "81 60 81 61 81 7C 81 91 81 92 81 CA", kJis, "〜‖−¢£¬", kWhole},
        {"sjis: duplicates read alike", kSjis, "EE EF FA 40 87 90 81 E0", kCp932, "ⅰⅰ≒≒", kWhole},
        {"sjis: the user-defined area", kSjis, "F0 40 F9 FC", kJis, "\uE000\uE757", kWhole},
        {"sjis: IBM extension, jis", kSjis, "FA 40", kJis, "", {F::kNoUnicodeForm, 0, 2}},
        {"pairs only: ebcdic", kEbcdic, "B0 A1 B0", kPairsOnly, "亜", {F::kNoUnicodeForm, 2, 1}},
        {"pairs only: ebcdic shift codes are pair bytes",
         kEbcdic,
         "2B 2C",
         kPairsOnlyReplace,
         "■",
         kWhole,
         {F::kNone, 0, 2}},
        {"pairs only: 8-bit", kEightBit, "B0 A1 20 20", kPairsOnly, "亜　", kWhole},
        {"pairs only: euc", kEuc, "B0 A1 41 42 8E B1", kPairsOnlyReplace, "亜\uFFFD\uFFFD", kWhole, {F::kNone, 2, 2}},
        {"pairs only: sjis", kSjis, "88 9F 41 42", kPairsOnly, "亜", {F::kNoUnicodeForm, 2, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gaiji_double::Reset();
        const Converted run = Decode(c.from, Hex(c.src), c.options);
        EXPECT_EQ(Utf8(run.out), c.out);
        ExpectWhere(run.o, c.failure, c.replaced);
    }
}

TEST_F(UnicodeTest, WritesEachForm) {
    const Bytes src = Hex("C1 2B B0 A1 2C");
    EXPECT_EQ(ToHex(Decode(kEbcdic, src, kCp932, UnicodeForm::kUtf8).out), "41 E4 BA 9C");
    EXPECT_EQ(ToHex(Decode(kEbcdic, src, kCp932, UnicodeForm::kUtf16Le).out), "41 00 9C 4E");
    EXPECT_EQ(ToHex(Decode(kEbcdic, src, kCp932, UnicodeForm::kUtf16Be).out), "00 41 4E 9C");
}

// A host pair outside JIS X 0208 goes to the server as the conversion into
// Shift-JIS hands it over; the code that comes back maps by the mapping.
TEST_F(UnicodeTest, HostGaijiThroughTheServer) {
    const struct {
        const char* name;
        Code from;
        const char* src;
        const char* record;
        int kind;
    } cases[] = {
        {"ebcdic", kEbcdic, "2B 41 A1 2C", "A1 21 00", 1},
        {"8-bit", kEightBit, "93 F0 A1 21 93 F1", "A1 21 00", 2},
        {"euc, code set 3", kEuc, "A1 21", "8F A1 A1 00", 3},
        {"euc", kEuc, "F5 A1", "F5 A1 00", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gaiji_double::Reset();
        gaiji_double::AnswerWith(0xF0, 0x40);
        Converted run = Decode(c.from, Hex(c.src));
        EXPECT_EQ(Utf8(run.out), "\uE000");
        EXPECT_EQ(run.o.gaiji, GaijiOutcome::kConverted);
        ASSERT_EQ(gaiji_double::Calls().size(), 1u);
        EXPECT_EQ(ToHex(gaiji_double::Calls()[0].record), c.record);
        EXPECT_EQ(gaiji_double::Calls()[0].kind, c.kind);

        gaiji_double::AnswerWith(0x85, 0x40);  // a code without a form
        run = Decode(c.from, Hex(c.src));
        EXPECT_EQ(run.o.failure, F::kNoUnicodeForm);
        EXPECT_EQ(run.o.gaiji, GaijiOutcome::kConverted);

        gaiji_double::FailAll();
        run = Decode(c.from, Hex(c.src));
        EXPECT_EQ(Utf8(run.out), "■");
        EXPECT_TRUE(run.o.ok());
        EXPECT_EQ(run.o.gaiji, GaijiOutcome::kReplaced);
        EXPECT_TRUE(run.o.replaced());
    }
}

// Shift-JIS source: a gaiji-class code maps by the table, with no call.
TEST_F(UnicodeTest, ShiftJisGaijiNeedNoServer) {
    const Converted run = Decode(kSjis, Hex("F0 40 87 40 FA 40"));
    EXPECT_EQ(Utf8(run.out), "\uE000①ⅰ");
    EXPECT_EQ(run.o.gaiji, GaijiOutcome::kNone);
    EXPECT_TRUE(gaiji_double::Calls().empty());
}

// A unit's character never depends on the bytes after it, unless the unit
// spans them: each single byte, then a letter, gives the byte's result and
// the letter.
TEST_F(UnicodeTest, NoUnitDependsOnWhatFollowsIt) {
    const struct {
        Code code;
        const char* letter;
        bool (*single)(int b);
    } codes[] = {
        {kEbcdic, "C1", [](int b) { return b != 0x2B && b != 0x2C; }},
        {kEbcdicKana, "C1", [](int b) { return b != 0x2B && b != 0x2C; }},
        {kEightBit, "41", [](int b) { return b != 0x93; }},
        {kEuc, "41", [](int b) { return b < 0x80; }},
        {kSjis, "41", [](int b) { return !(b >= 0x81 && b <= 0x9F) && !(b >= 0xE0 && b <= 0xFC); }},
    };
    for (const auto& c : codes) {
        for (int b = 0; b < 256; ++b) {
            if (!c.single(b)) continue;
            const Bytes alone = {static_cast<std::uint8_t>(b)};
            Bytes followed = alone;
            followed.push_back(Hex(c.letter)[0]);
            const Converted first = Decode(c.code, alone, kReplace);
            const Converted both = Decode(c.code, followed, kReplace);
            EXPECT_EQ(Utf8(both.out), Utf8(first.out) + "A") << "byte " << b;
        }
    }
    // The byte that is the Shift-JIS lead 81 in the EBCDIC host code.
    EXPECT_EQ(Decode(kEbcdic, Hex("21 C1")).o.failure, F::kNoUnicodeForm);
}

// ---- encoding ---------------------------------------------------------------------

UnicodeOptions LineEnds(LineEndMode line_end, ShiftMode shift = ShiftMode::kPlain) {
    UnicodeOptions options;
    options.mode = {line_end, shift};
    return options;
}

TEST_F(UnicodeTest, EncodesIntoEachByteCode) {
    gaiji_double::AnswerWith(0xA1, 0x21);
    const struct {
        const char* name;
        Code to;
        std::string src;
        UnicodeOptions options;
        const char* out;
        Where failure;
        Where replaced = kWhole;
        GaijiOutcome gaiji = GaijiOutcome::kNone;
    } cases[] = {
        {"ebcdic", kEbcdic, "A亜　A", kCp932, "C1 2B B0 A1 A1 A1 2C C1", kWhole},
        {"ebcdic kana", kEbcdicKana, "ｱa", kCp932, "81 62", kWhole},
        {"8-bit F0", kEightBit, "A亜　", kCp932, "41 93 F0 B0 A1 20 20 93 F1", kWhole},
        {"8-bit 70", kEightBit70, "亜A", kCp932, "93 70 B0 A1 93 F1 41", kWhole},
        {"euc", kEuc, "Aｱ亜\u0080", kCp932, "41 8E B1 B0 A1 8E 80", kWhole},
        {"sjis: no escapes", kSjis, "\\\x01", kCp932, "5C 01", kWhole},
        {"sjis: duplicates and best fits", kSjis, "ⅰ≒〜～‖∥−－", kCp932,
         "FA 40 81 E0 81 60 81 60 81 61 81 61 81 7C 81 7C", kWhole},
        {"sjis: jis", kSjis, "〜‖−¢£¬", kJis, "81 60 81 61 81 7C 81 91 81 92 81 CA", kWhole},
        {"sjis: jis has no ～", kSjis, "A～", kJis, "41", {F::kNoCode, 1, 3}},
        {"sjis: gaiji class, no server", kSjis, "\uE000①", kCp932, "F0 40 87 40", kWhole},
        {"ebcdic: gaiji through the server", kEbcdic, "\uE000ⅰ", kCp932, "2B 41 A1 41 A1 2C", kWhole, kWhole,
         GaijiOutcome::kConverted},
        {"euc: gaiji through the server", kEuc, "①", kCp932, "A1 21", kWhole, kWhole, GaijiOutcome::kConverted},
        {"strict: the run is closed", kEbcdic, "亜€亜", kCp932, "2B B0 A1 2C", {F::kNoCode, 3, 3}},
        {"strict: outside the BMP", kSjis, "A\U00020B9F", kCp932, "41", {F::kNoCode, 1, 4}},
        {"replace: ebcdic",
         kEbcdic,
         "A€B",
         kReplace,
         "C1 2B A2 A3 2C C2",
         kWhole,
         {F::kNone, 1, 3},
         GaijiOutcome::kReplaced},
        {"replace: 8-bit",
         kEightBit,
         "€",
         kReplace,
         "93 F0 A2 A3 93 F1",
         kWhole,
         {F::kNone, 0, 3},
         GaijiOutcome::kReplaced},
        {"replace: euc", kEuc, "€", kReplace, "A2 A3", kWhole, {F::kNone, 0, 3}, GaijiOutcome::kReplaced},
        {"replace: sjis", kSjis, "A€", kReplace, "41 81 A1", kWhole, {F::kNone, 1, 3}, GaijiOutcome::kReplaced},
        {"line end kept", kEbcdic, "亜\r\n亜", LineEnds(LineEndMode::kKeep), "2B B0 A1 2C 0D 25 2B B0 A1 2C", kWhole},
        {"line end LF", kEbcdic, "亜\r\n亜", LineEnds(LineEndMode::kLfOnly), "2B B0 A1 2C 25 2B B0 A1 2C", kWhole},
        {"line end dropped, the run open", kEbcdic, "亜\r\n亜", LineEnds(LineEndMode::kDrop), "2B B0 A1 B0 A1 2C",
         kWhole},
        {"a lone LF or CR", kEuc, "\n\rA\r", LineEnds(LineEndMode::kDrop), "0A 0D 41 0D", kWhole},
        {"line end LF, 8-bit", kEightBit, "亜\r\n", LineEnds(LineEndMode::kLfOnly), "93 F0 B0 A1 93 F1 0A", kWhole},
        {"line end LF, sjis", kSjis, "AAAAAAAA\r\nAAAAAAAA", LineEnds(LineEndMode::kLfOnly),
         "41 41 41 41 41 41 41 41 0A 41 41 41 41 41 41 41 41", kWhole},
        {"no shift codes", kEbcdic, "A亜B", LineEnds(LineEndMode::kKeep, ShiftMode::kNoShift), "C1 B0 A1 C2", kWhole},
        {"no shift sequences", kEightBit, "A亜B", LineEnds(LineEndMode::kKeep, ShiftMode::kNoShift), "41 B0 A1 42",
         kWhole},
        {"pairs only", kEbcdic, "亜A", kPairsOnly, "B0 A1", {F::kNoCode, 3, 1}},
        {"pairs only, replace",
         kEightBit,
         "亜A\r\n",
         kPairsOnlyReplace,
         "B0 A1 A2 A3 A2 A3 A2 A3",
         kWhole,
         {F::kNone, 3, 1},
         GaijiOutcome::kReplaced},
        {"pairs only, euc", kEuc, "亜ｱ", kPairsOnly, "B0 A1", {F::kNoCode, 3, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Converted run = Encode(c.to, Text(c.src), c.options);
        EXPECT_EQ(ToHex(run.out), c.out);
        ExpectWhere(run.o, c.failure, c.replaced);
        EXPECT_EQ(run.o.gaiji, c.gaiji);
    }
}

TEST_F(UnicodeTest, ReadsEachForm) {
    const struct {
        UnicodeForm form;
        const char* src;
    } cases[] = {
        {UnicodeForm::kUtf8, "41 E4 BA 9C"},
        {UnicodeForm::kUtf16Le, "41 00 9C 4E"},
        {UnicodeForm::kUtf16Be, "00 41 4E 9C"},
    };
    for (const auto& c : cases) EXPECT_EQ(ToHex(Encode(kEbcdic, Hex(c.src), kCp932, c.form).out), "C1 2B B0 A1 2C");
}

TEST_F(UnicodeTest, GaijiTheServerFailsAreReplaced) {
    gaiji_double::FailAll();
    const Converted run = Encode(kEbcdic, Text("A\uE000"));
    EXPECT_EQ(ToHex(run.out), "C1 2B A2 A3 2C");
    EXPECT_TRUE(run.o.ok());
    EXPECT_EQ(run.o.gaiji, GaijiOutcome::kReplaced);
    ExpectWhere(run.o, kWhole, {F::kNone, 1, 3});
    ASSERT_EQ(gaiji_double::Calls().size(), 1u);
    EXPECT_EQ(ToHex(gaiji_double::Calls()[0].record), "F0 40 00");
}

// Invalid UTF-8 and UTF-16 stop the conversion at their offset in every mode.
TEST_F(UnicodeTest, InvalidTextIsAnErrorInEveryMode) {
    const struct {
        UnicodeForm form;
        const char* src;
        Where failure;
        const char* before;  // what is written before it
    } cases[] = {
        {UnicodeForm::kUtf8, "41 80", {F::kStrayContinuation, 1, 1}, "41"},
        {UnicodeForm::kUtf8, "41 C0 80", {F::kOverlong, 1, 2}, "41"},
        {UnicodeForm::kUtf8, "E0 80 80", {F::kOverlong, 0, 3}, ""},
        {UnicodeForm::kUtf8, "F0 8F BF BF", {F::kOverlong, 0, 4}, ""},
        {UnicodeForm::kUtf8, "ED A0 80", {F::kSurrogate, 0, 3}, ""},
        {UnicodeForm::kUtf8, "F4 90 80 80", {F::kOutOfRange, 0, 4}, ""},
        {UnicodeForm::kUtf8, "F5 80 80 80", {F::kOutOfRange, 0, 4}, ""},
        {UnicodeForm::kUtf8, "41 E3 81", {F::kTruncated, 1, 2}, "41"},
        {UnicodeForm::kUtf8, "E3 41 42", {F::kIncomplete, 0, 1}, ""},
        {UnicodeForm::kUtf8, "41 FF", {F::kInvalidByte, 1, 1}, "41"},
        {UnicodeForm::kUtf16Le, "41 00 42", {F::kTruncated, 2, 1}, "41"},
        {UnicodeForm::kUtf16Le, "41 00 3D D8", {F::kTruncated, 2, 2}, "41"},
        {UnicodeForm::kUtf16Le, "3D D8 41 00", {F::kUnpairedSurrogate, 0, 2}, ""},
        {UnicodeForm::kUtf16Le, "00 DC", {F::kUnpairedSurrogate, 0, 2}, ""},
        {UnicodeForm::kUtf16Be, "00 41 DC 00", {F::kUnpairedSurrogate, 2, 2}, "41"},
        {UnicodeForm::kUtf16Be, "D8 3D D8 3D DE 00", {F::kUnpairedSurrogate, 0, 2}, ""},
    };
    for (const auto& c : cases) {
        for (const UnicodeOptions& options : {kCp932, kReplace}) {
            SCOPED_TRACE(c.src);
            const Converted run = Encode(kSjis, Hex(c.src), options, c.form);
            EXPECT_EQ(ToHex(run.out), c.before);
            ExpectWhere(run.o, c.failure, kWhole);
        }
    }
}

// Text with a form in the byte code comes back as the mapping's normal form.
TEST_F(UnicodeTest, RoundTrips) {
    gaiji_double::AnswerBy(
        [](gaiji_double::Direction direction, const gaiji_double::Bytes& record, int, std::uint8_t code[2]) {
            // FA40 <-> A1 21 in every host code; EUC hands it over as 8F A1 A1.
            const bool to_host = direction == gaiji_double::Direction::kToHost;
            code[0] = to_host ? 0xA1 : 0xFA;
            code[1] = to_host ? 0x21 : 0x40;
            return to_host ? (record[0] == 0xFA && record[1] == 0x40 ? 2 : 0) : 2;
        });
    const struct {
        UnicodeOptions options;
        std::string text, normal;
    } cases[] = {
        {kCp932, "A亜〜ⅰ¬\r\nｱ\u0080\uF8F0　", "A亜～ⅰ￢\r\nｱ\u0080\uF8F0　"},
        {kJis, "A亜〜¬\r\nｱ", "A亜〜¬\r\nｱ"},
    };
    for (const auto& c : cases) {
        for (const Code& code : {kSjis, kEbcdic, kEbcdicKana, kEightBit, kEightBit70, kEuc}) {
            for (UnicodeForm form : {UnicodeForm::kUtf8, UnicodeForm::kUtf16Be}) {
                Bytes text = Text(c.text);
                if (form != UnicodeForm::kUtf8)
                    text = Decode(kSjis, Encode(kSjis, text, c.options).out, c.options, form).out;
                const Converted there = Encode(code, text, c.options, form);
                ASSERT_TRUE(there.o.ok()) << static_cast<int>(code.code);
                const Converted back = Decode(code, there.out, c.options);
                ASSERT_TRUE(back.o.ok()) << static_cast<int>(code.code);
                EXPECT_EQ(Utf8(back.out), c.normal) << static_cast<int>(code.code);
            }
        }
    }
}

// ---- site characters --------------------------------------------------------------

const SiteCharacters& Site() {
    static const SiteCharacters site({{0xF040, 0x9AD9, 0},
                                      {0xF041, 0x845B, 0xE0100},
                                      {0xF042, 0x20B9F, 0},
                                      {0xF043, 0x845B, 0xFE00},
                                      {0xF044, 0x20B9F, 0xE0101},
                                      {0x8740, 0x2780, 0}});
    return site;
}

UnicodeOptions WithSite(ErrorMode errors = ErrorMode::kStrict) {
    UnicodeOptions options = Options(UnicodeMapping::kCp932, errors);
    options.site = &Site();
    return options;
}

TEST_F(UnicodeTest, SiteCharactersWinBothWays) {
    const struct {
        const char* name;
        const char* sjis;
        std::string text;
    } both_ways[] = {
        {"a character", "F0 40", "髙"},
        {"a character and a selector", "F0 41", "葛\U000E0100"},
        {"another selector", "F0 43", "葛\uFE00"},
        {"outside the BMP", "F0 42", "\U00020B9F"},
        {"row 13", "87 40", "➀"},
        {"outside the BMP, both", "F0 44", "\U00020B9F\U000E0101"},
        {"the mapping for the rest", "8A 8B F0 45 FB FC", "葛\uE005\u9AD9"},
    };
    for (const auto& c : both_ways) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf8(Decode(kSjis, Hex(c.sjis), WithSite()).out), c.text);
        if (std::string(c.name) != "the mapping for the rest") {
            EXPECT_EQ(ToHex(Encode(kSjis, Text(c.text), WithSite()).out), c.sjis);
        }
    }
    // A selector the site does not list stays a character of its own.
    const Converted run = Encode(kSjis, Text("葛\U000E0101"), WithSite());
    EXPECT_EQ(ToHex(run.out), "8A 8B");
    ExpectWhere(run.o, {F::kNoCode, 3, 4}, kWhole);
    EXPECT_EQ(ToHex(Encode(kSjis, Text("葛\U000E0101"), WithSite(ErrorMode::kReplace)).out), "8A 8B 81 A1");
    // The 8-bit host code reads row 13 by arithmetic, and its image is the
    // site's gaiji.
    EXPECT_EQ(Utf8(Decode(kEightBit, Hex("93 F0 AD A1 93 F1"), WithSite()).out), "➀");
}

TEST_F(UnicodeTest, SiteCharactersThroughTheServer) {
    gaiji_double::AnswerBy(
        [](gaiji_double::Direction direction, const gaiji_double::Bytes& record, int, std::uint8_t code[2]) {
            const bool to_host = direction == gaiji_double::Direction::kToHost;
            if (to_host && (record[0] != 0xF0 || record[1] != 0x41)) return 0;
            code[0] = to_host ? 0xA1 : 0xF0;
            code[1] = to_host ? 0x21 : 0x41;
            return 2;
        });
    const Converted there = Encode(kEbcdic, Text("葛\U000E0100A"), WithSite());
    EXPECT_EQ(ToHex(there.out), "2B 41 A1 2C C1");
    EXPECT_EQ(there.o.gaiji, GaijiOutcome::kConverted);
    EXPECT_EQ(Utf8(Decode(kEbcdic, there.out, WithSite()).out), "葛\U000E0100A");
}

// ---- the growth rules ---------------------------------------------------------------

// Texts of units chosen to give the most bytes (a pair and a single byte in
// turn, characters without a code in replace mode, gaiji with a site
// character and a selector outside the BMP) stay inside the rules.
TEST_F(UnicodeTest, GrowthRulesHold) {
    gaiji_double::AnswerWith(0xF0, 0x44);  // a site character of 8 bytes in UTF-8
    const std::vector<std::string> characters = {"A", "\u0080", "亜",           "€", "\r\n", "\U00020B9F",
                                                 "｡", "\uE000", "葛\U000E0100", "\n"};
    const std::vector<const char*> units = {"41", "B0 A1", "A1 21", "2B", "2C", "93 F0", "93 F1", "8E B1", "21", "80"};
    std::uint32_t seed = 12345;
    auto next = [&seed](std::size_t n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<std::size_t>(seed >> 16) % n;
    };
    const Code codes[] = {kSjis, kEbcdic, kEightBit, kEuc};
    for (int round = 0; round < 400; ++round) {
        std::string text;
        Bytes host;
        const std::size_t count = 1 + next(12);
        for (std::size_t k = 0; k < count; ++k) {
            // Half the rounds alternate a 2-byte character with a letter.
            text += round % 2 == 0 ? characters[next(characters.size())] : (k % 2 == 0 ? "\u00A7" : "A");
            const Bytes unit = Hex(units[next(units.size())]);
            host.insert(host.end(), unit.begin(), unit.end());
        }
        for (const Code& code : codes) {
            for (UnicodeOptions options :
                 {kCp932, kReplace, kPairsOnlyReplace, LineEnds(LineEndMode::kLfOnly), WithSite(ErrorMode::kReplace)}) {
                for (UnicodeForm form : {UnicodeForm::kUtf8, UnicodeForm::kUtf16Le}) {
                    Bytes source = Text(text);
                    if (form != UnicodeForm::kUtf8) {
                        UnicodeOptions site = WithSite(ErrorMode::kReplace);
                        source = Decode(kSjis, Encode(kSjis, source, site).out, site, form).out;
                    }
                    Encode(code, source, options, form);  // Encode checks the rule
                    Decode(code, host, options, form);
                }
            }
        }
    }
}

}  // namespace
