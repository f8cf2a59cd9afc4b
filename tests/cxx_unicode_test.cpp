// The conversions to and from Unicode through the C++ interface: the
// mapping and error options, where a strict conversion stops and what it
// keeps, UTF-16 as std::u16string, and the places a batch and FirstReplaced
// report.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "hex_text.h"
#include "lumtrax.hpp"

namespace {

using lumtrax::Code;
using lumtrax::Conversion;
using lumtrax::Errc;
using lumtrax::GaijiStatus;
using lumtrax::Mapping;
using lumtrax::OnError;
using lumtrax::Options;

using hex_text::Bytes;
using hex_text::Hex;

Options With(Mapping mapping, OnError errors) {
    Options options;
    options.mapping = mapping;
    options.errors = errors;
    return options;
}

const Options kStrict;
const Options kReplace = With(Mapping::kCp932, OnError::kReplace);
const Options kJis = With(Mapping::kJis, OnError::kStrict);

TEST(CxxUnicode, ConvertsStopsAndReplaces) {
    // The substitute of the EBCDIC host code, as the conversion from
    // Shift-JIS writes the black square.
    const std::string square = lumtrax::Convert(Conversion::kSjisToEbcdic, Bytes("81 A1")).text;
    const struct {
        Conversion conversion;
        Options options;
        const char* text;
        std::string out;  // hex; on an error, what comes before it
        Errc error;       // 0: none
        std::uint64_t offset, length;
        GaijiStatus gaiji;
    } cases[] = {
        {Conversion::kEbcdicToUtf8, kStrict, "C1 2B B0 A1 2C", "41 E4 BA 9C", Errc{}, 0, 0, GaijiStatus::kNone},
        {Conversion::kEucToUtf16Be, kStrict, "B0 A1", "4E 9C", Errc{}, 0, 0, GaijiStatus::kNone},
        {Conversion::kSjisToUtf8, kStrict, "81 60", "EF BD 9E", Errc{}, 0, 0, GaijiStatus::kNone},
        {Conversion::kSjisToUtf8, kJis, "81 60", "E3 80 9C", Errc{}, 0, 0, GaijiStatus::kNone},
        {Conversion::kUtf8ToSjis, kJis, "E3 80 9C", "81 60", Errc{}, 0, 0, GaijiStatus::kNone},
        {Conversion::kSjisToUtf8, kStrict, "41 85 40 42", "41", Errc::kNoUnicodeForm, 1, 2, GaijiStatus::kNone},
        {Conversion::kSjisToUtf8, kReplace, "41 85 40 42", "41 EF BF BD 42", Errc{}, 0, 0, GaijiStatus::kReplaced},
        {Conversion::kUtf8ToEbcdic, kStrict, "41 F0 9F 98 80 42", "C1", Errc::kNoCode, 1, 4, GaijiStatus::kNone},
        {Conversion::kUtf8ToEbcdic, kReplace, "41 F0 9F 98 80", "C1 " + Hex(square), Errc{}, 0, 0,
         GaijiStatus::kReplaced},
        // Text that is not UTF-8 or UTF-16 stops every mode.
        {Conversion::kUtf8ToSjis, kReplace, "41 80 42", "41", Errc::kInvalidUtf8, 1, 1, GaijiStatus::kNone},
        {Conversion::kUtf16LeToSjis, kReplace, "41 00 00 DC", "41", Errc::kInvalidUtf16, 2, 2, GaijiStatus::kNone},
        {Conversion::kUtf16BeToEuc, kStrict, "00 41 4E", "41", Errc::kInvalidUtf16, 2, 1, GaijiStatus::kNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(lumtrax::Describe(c.conversion)->name) + ": " + c.text);
        const lumtrax::Result result = lumtrax::Convert(c.conversion, Bytes(c.text), c.options);
        EXPECT_EQ(Hex(result.text), c.out);
        EXPECT_EQ(result.error, c.error == Errc{} ? std::error_code() : make_error_code(c.error));
        EXPECT_EQ(result.error_place.offset, c.offset);
        EXPECT_EQ(result.error_place.length, c.length);
        EXPECT_EQ(result.gaiji, c.gaiji);
        if (!result.ok()) {
            EXPECT_EQ(result.error, std::errc::illegal_byte_sequence);
        }
        // Appended, the bytes already in out stay.
        std::string out = "kept";
        GaijiStatus gaiji;
        lumtrax::ByteRange place;
        EXPECT_EQ(lumtrax::ConvertAppend(c.conversion, Bytes(c.text), out, gaiji, c.options, lumtrax::After::kAnything,
                                         &place),
                  result.error);
        EXPECT_EQ(out, "kept" + result.text);
        EXPECT_EQ(place.offset, c.offset);
    }
}

// Long texts are converted in pieces at safe cuts: the result, the status
// and the place of a failure are those of one call.
TEST(CxxUnicode, LongTextsGiveWhatOneCallGives) {
    const std::string unit = Bytes("C1 2B B0 A1 B0 A1 2C 81 25 2B 69 A1 2C");  // 69 A1: a gaiji replaced
    const lumtrax::Result one = lumtrax::Convert(Conversion::kEbcdicToUtf8, unit);
    std::string text, expected;
    while (text.size() < (std::size_t{5} << 20)) {
        text += unit;
        expected += one.text;
    }
    lumtrax::Result whole = lumtrax::Convert(Conversion::kEbcdicToUtf8, text);
    EXPECT_TRUE(whole.text == expected);
    EXPECT_EQ(whole.gaiji, GaijiStatus::kReplaced);
    text += Bytes("2B B0");  // a run cut short at the end
    whole = lumtrax::Convert(Conversion::kEbcdicToUtf8, text);
    EXPECT_EQ(whole.error, Errc::kNoUnicodeForm);
    EXPECT_EQ(whole.error_place.offset, text.size() - 1);
    EXPECT_TRUE(whole.text == expected);
}

TEST(CxxUnicode, NamesAndCodesOfTheConversions) {
    EXPECT_EQ(lumtrax::ConversionNamed("UTF8-to-8bit-70"), Conversion::kUtf8ToEightBit70);
    EXPECT_EQ(lumtrax::ConversionNamed("ebcdic_kana_to_utf16le"), Conversion::kEbcdicKanaToUtf16Le);
    EXPECT_EQ(lumtrax::ConversionBetween(Code::kUtf16Be, Code::kEuc), Conversion::kUtf16BeToEuc);
    EXPECT_EQ(lumtrax::ConversionBetween(Code::kEightBit70, Code::kUtf8), Conversion::kEightBitToUtf8);
    EXPECT_EQ(lumtrax::ConversionBetween(Code::kUtf8, Code::kUtf16Le), std::nullopt);
    EXPECT_EQ(lumtrax::Describe(Conversion::kUtf16LeToEightBit70)->to, Code::kEightBit70);
    EXPECT_TRUE(lumtrax::IsAssigned(Conversion::kSjisToUtf16Be));
    EXPECT_GT(lumtrax::MaxTextSize(Conversion::kSjisToUtf8), 0u);
}

TEST(CxxUnicode, Utf16InTheMachinesByteOrder) {
    const lumtrax::Result16 wide = lumtrax::ToUtf16(Code::kEbcdic, Bytes("C1 2B B0 A1 2C"));
    ASSERT_TRUE(wide.ok());
    EXPECT_EQ(wide.text, u"A\u4E9C");
    const lumtrax::Result back = lumtrax::FromUtf16(wide.text, Code::kEightBit70);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.text, lumtrax::Convert(Conversion::kSjisToEightBit70, Bytes("41 88 9F")).text);
    // Places count code units.
    const lumtrax::Result bad = lumtrax::FromUtf16(std::u16string(u"AB") + char16_t(0xDC00), Code::kShiftJis);
    EXPECT_EQ(bad.error, Errc::kInvalidUtf16);
    EXPECT_EQ(bad.text, "AB");
    EXPECT_EQ(bad.error_place.offset, 2u);
    EXPECT_EQ(bad.error_place.length, 1u);
    EXPECT_EQ(lumtrax::ToUtf16(Code::kUtf8, "A").error, Errc::kUnassignedType);
}

TEST(CxxUnicode, BatchesAndFirstReplacedSayWhere) {
    const auto first = lumtrax::FirstReplaced(Conversion::kSjisToUtf8, Bytes("41 0A 42 85 40 85 40"), kReplace);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->offset, 3u);
    EXPECT_EQ(first->length, 2u);

    // The third line holds a byte that is no UTF-8.
    const std::string source = "one\ntwo\nth\x80ree\nfour\n";
    lumtrax::SourceCutter cutter(Conversion::kUtf8ToEbcdic, kStrict, {lumtrax::Framing::kLines});
    cutter.SetSource(source);
    lumtrax::Batch batch;
    std::error_code error;
    ASSERT_TRUE(cutter.Next(batch, true, error));
    std::string out;
    lumtrax::Tally tally;
    lumtrax::Place failure;
    EXPECT_EQ(lumtrax::ConvertBatch(Conversion::kUtf8ToEbcdic, kStrict, batch, out, tally, nullptr, &failure),
              Errc::kInvalidUtf8);
    EXPECT_EQ(failure.call, 3u);
    EXPECT_EQ(failure.bytes.offset, 10u);
    EXPECT_EQ(out, lumtrax::Convert(Conversion::kUtf8ToEbcdic, "one\ntwo\nth").text);
}

}  // namespace
