// The copybook reader: the layout of every picture and usage it reads, and
// the line and column of every kind of copybook it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lumtrax_dataset.hpp"

namespace {

using namespace lumtrax::dataset;

// Fixed format: sequence numbers in 1-6, a comment, a continued literal,
// tags in 73-80, and the clauses that are read and ignored.
const char kFixedCopybook[] =
    "000100 01  CUSTOMER-RECORD.                                             CUST0001\n"
    "000200*    A COMMENT LINE, IGNORED                                              \n"
    "000300     05  CUST-ID            PIC 9(6).                             CUST0003\n"
    "000400     05  CUST-NAME          PIC X(20) VALUE 'A LITERAL THAT GOES ON\n"
    "000500-    'AND ENDS HERE'.\n"
    "000600     05  KANA-NAME          PIC G(10).\n"
    "000700     05  KANJI-NAME         PIC N(4) USAGE DISPLAY-1.\n"
    "000800     05  LETTERS            PIC A(3) JUSTIFIED RIGHT.\n"
    "000900     05  BALANCE            PIC S9(7)V99 COMP-3.\n"
    "001000     05  PACKED-U           PIC 9(4) PACKED-DECIMAL.\n"
    "001100     05  AMOUNT             PIC S9(3)V99.\n"
    "001200         88  NO-AMOUNT      VALUE ZERO.\n"
    "001300     05  LEAD-SEP PIC S9(3) SIGN LEADING SEPARATE CHARACTER.\n"
    "001400     05  TRAIL-SEP          PIC S99V9 SIGN IS TRAILING SEPARATE.\n"
    "001500     05  BIN-2              PIC S9(4) COMP.\n"
    "001600     05  BIN-4              PIC 9(9) BINARY.\n"
    "001700     05  BIN-8              PIC S9(18) COMP-4.\n"
    "001800     05  NATIVE             PIC S9(4) COMP-5.\n"
    "001900     05  THOUSANDS          PIC 9(3)PPP.\n"
    "002000     05  TINY               PIC SVPP99.\n"
    "002100     05  EDITED             PIC ZZ,ZZ9.99-.\n"
    "002200     05  BWZ                PIC 9(3) BLANK WHEN ZERO.\n"
    "002300     05  TOTALS USAGE COMP-3.\n"
    "002400         10  TOTAL          PIC S9(5) OCCURS 3 TIMES.\n"
    "002500     05  DATE-X             PIC X(8).\n"
    "002600     05  DATE-N REDEFINES DATE-X.\n"
    "002700         10  YYYY           PIC 9(4).\n"
    "002800         10  MMDD           PIC 9(4).\n"
    "002900     05  FILLER             PIC X(2).\n"
    "003000     66  ALIAS RENAMES CUST-ID.\n";

struct FieldCase {
    const char* name;
    std::size_t offset;
    std::size_t size;
    FieldKind kind;
    int digits;
    int scale;
    bool is_signed;
    std::size_t occurs;
};

TEST(DatasetCopybook, EachPictureAndUsageHasItsOffsetSizeAndKind) {
    const FieldCase cases[] = {
        {"CUST-ID", 0, 6, FieldKind::kZoned, 6, 0, false, 1},
        {"CUST-NAME", 6, 20, FieldKind::kText, 0, 0, false, 1},
        {"KANA-NAME", 26, 20, FieldKind::kDoubleByte, 0, 0, false, 1},
        {"KANJI-NAME", 46, 8, FieldKind::kDoubleByte, 0, 0, false, 1},
        {"LETTERS", 54, 3, FieldKind::kText, 0, 0, false, 1},
        {"BALANCE", 57, 5, FieldKind::kPacked, 9, 2, true, 1},
        {"PACKED-U", 62, 3, FieldKind::kPacked, 4, 0, false, 1},
        {"AMOUNT", 65, 5, FieldKind::kZoned, 5, 2, true, 1},
        {"LEAD-SEP", 70, 4, FieldKind::kZoned, 3, 0, true, 1},
        {"TRAIL-SEP", 74, 4, FieldKind::kZoned, 3, 1, true, 1},
        {"BIN-2", 78, 2, FieldKind::kBinary, 4, 0, true, 1},
        {"BIN-4", 80, 4, FieldKind::kBinary, 9, 0, false, 1},
        {"BIN-8", 84, 8, FieldKind::kBinary, 18, 0, true, 1},
        {"NATIVE", 92, 2, FieldKind::kNativeBinary, 4, 0, true, 1},
        {"THOUSANDS", 94, 3, FieldKind::kZoned, 3, -3, false, 1},
        {"TINY", 97, 2, FieldKind::kZoned, 2, 4, true, 1},
        {"EDITED", 99, 10, FieldKind::kText, 0, 0, false, 1},
        {"BWZ", 109, 3, FieldKind::kZoned, 3, 0, false, 1},
        {"TOTALS", 112, 9, FieldKind::kGroup, 0, 0, false, 1},
        {"TOTAL", 112, 3, FieldKind::kPacked, 5, 0, true, 3},
        {"DATE-X", 121, 8, FieldKind::kText, 0, 0, false, 1},
        {"DATE-N", 121, 8, FieldKind::kGroup, 0, 0, false, 1},
        {"YYYY", 121, 4, FieldKind::kZoned, 4, 0, false, 1},
        {"MMDD", 125, 4, FieldKind::kZoned, 4, 0, false, 1},
    };
    const LayoutResult result = ParseCopybook(kFixedCopybook);
    ASSERT_TRUE(result.error.ok()) << result.error.message;
    const Layout& layout = *result.layout;
    EXPECT_EQ(layout.format(), SourceFormat::kFixed);
    EXPECT_EQ(layout.record_length(), 131u);
    for (const FieldCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto& fields = layout.fields();
        auto it = std::find_if(fields.begin(), fields.end(), [&](const Field& f) { return f.name == c.name; });
        ASSERT_NE(it, fields.end());
        EXPECT_EQ(it->offset, c.offset);
        EXPECT_EQ(it->size, c.size);
        EXPECT_EQ(it->kind, c.kind);
        EXPECT_EQ(it->digits, c.digits);
        EXPECT_EQ(it->scale, c.scale);
        EXPECT_EQ(it->is_signed, c.is_signed);
        EXPECT_EQ(it->occurs_max, c.occurs);
    }
    const Field& lead = layout.fields()[layout.Find("LEAD-SEP")];
    EXPECT_EQ(lead.sign, SignPosition::kLeading);
    EXPECT_TRUE(lead.sign_separate);
    EXPECT_EQ(layout.fields()[layout.Find("AMOUNT")].sign, SignPosition::kTrailing);
    EXPECT_TRUE(layout.fields()[layout.Find("BWZ")].blank_when_zero);
    // The first definition is read; the REDEFINES alternative is not.
    EXPECT_EQ(layout.Find("YYYY"), -1);
    EXPECT_NE(layout.Find("DATE-X"), -1);
    EXPECT_EQ(layout.fields()[layout.root()].name, "CUSTOMER-RECORD");
}

TEST(DatasetCopybook, AnAlternativeIsReadOnRequest) {
    CopybookOptions options;
    options.redefines = {"DATE-N"};
    const LayoutResult result = ParseCopybook(kFixedCopybook, options);
    ASSERT_TRUE(result.error.ok()) << result.error.message;
    EXPECT_EQ(result.layout->Find("DATE-X"), -1);
    EXPECT_NE(result.layout->Find("YYYY"), -1);

    options.redefines = {"NO-SUCH"};
    EXPECT_EQ(ParseCopybook(kFixedCopybook, options).error.code, make_error_code(Errc::kCopybook));
}

TEST(DatasetCopybook, FreeFormatIsToldFromFixed) {
    struct Case {
        const char* text;
        SourceFormat format;
    };
    const Case cases[] = {
        {"01 R.\n  05 A PIC X(2).\n", SourceFormat::kFree},
        {"       01 R.\n           05 A PIC X(2).\n", SourceFormat::kFixed},
        {"000100 01 R.\nAB1234     05 A PIC X(2).\n", SourceFormat::kFixed},
        {"*> a comment\n    01 R. *> another\n  05 A PIC X(2).\n", SourceFormat::kFree},
    };
    for (const Case& c : cases) {
        const LayoutResult result = ParseCopybook(c.text);
        ASSERT_TRUE(result.error.ok()) << c.text << result.error.message;
        EXPECT_EQ(result.layout->format(), c.format) << c.text;
        EXPECT_EQ(result.layout->record_length(), 2u) << c.text;
    }
}

TEST(DatasetCopybook, ItemsWithoutAnO1AreOneRecordAndSeveralO1sArePickedByName) {
    const LayoutResult loose = ParseCopybook("05 A PIC X(2).\n05 B PIC 9(3).\n");
    ASSERT_TRUE(loose.error.ok()) << loose.error.message;
    EXPECT_EQ(loose.layout->record_length(), 5u);

    CopybookOptions options;
    options.record = "SECOND";
    const LayoutResult second = ParseCopybook("01 FIRST.\n 05 A PIC X(2).\n01 SECOND.\n 05 B PIC X(7).\n", options);
    ASSERT_TRUE(second.error.ok()) << second.error.message;
    EXPECT_EQ(second.layout->record_length(), 7u);
    EXPECT_EQ(second.layout->Find("A"), -1);
}

TEST(DatasetCopybook, AVaryingTableEndsTheRecord) {
    const LayoutResult result =
        ParseCopybook("01 R.\n 05 N PIC 9(2).\n 05 T OCCURS 1 TO 5 TIMES DEPENDING ON N OF R.\n  10 C PIC X(3).\n");
    ASSERT_TRUE(result.error.ok()) << result.error.message;
    const Field& table = result.layout->fields()[result.layout->Find("T")];
    EXPECT_EQ(table.depending_on, result.layout->Find("N"));
    EXPECT_EQ(table.occurs_min, 1u);
    EXPECT_EQ(table.occurs_max, 5u);
    EXPECT_EQ(result.layout->record_length(), 17u);
    EXPECT_EQ(result.layout->fixed_length(), 2u);
}

struct BadCase {
    const char* text;
    std::size_t line;
    const char* marker;  // the error's column is where this text begins on that line
    lumtrax::Code host;
};

TEST(DatasetCopybook, WhatCannotBeReadIsAnErrorWithItsLineAndColumn) {
    const BadCase cases[] = {
        {"01 R.\n  05 A PIC X(3) SYNC.\n", 2, "SYNC", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC 9(3)Q.\n", 2, "9(3)Q", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC 9S9.\n", 2, "9S9", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC X(3.\n", 2, "X(3", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC S9(3).\n", 2, "S9(3)", lumtrax::Code::kEuc},
        {"01 R.\n  05 A PIC S9(3).\n", 2, "S9(3)", lumtrax::Code::kEightBit},
        {"01 R.\n  05 A PIC N(4).\n", 2, "N(4)", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC G(4) DISPLAY.\n", 2, "DISPLAY", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC X(3) COMP.\n", 2, "COMP", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC S9(3) COMP-1.\n", 2, "COMP-1", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC 9(19) COMP.\n", 2, "9(19)", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC 9(3) SIGN LEADING.\n", 2, "SIGN", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC S9(3) COMP-3 BLANK WHEN ZERO.\n", 2, "05", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC X(3) FROBNICATE.\n", 2, "FROBNICATE", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC X(3)\n", 2, ")", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC X.\n   03 B PIC X.\n", 3, "03", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 G PIC X.\n    10 C PIC X.\n", 3, "10", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A.\n", 2, "05", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC X.\n  05 B PIC X.\n  05 C REDEFINES A PIC X.\n", 4, "A PIC", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 T PIC X OCCURS 3 DEPENDING ON NOPE.\n", 2, "OCCURS", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 N PIC 9.\n  05 T PIC X OCCURS 3 DEPENDING ON N.\n  05 Z PIC X.\n", 4, "05",
         lumtrax::Code::kEbcdic},
        {"01 R.\n  05 T PIC X OCCURS 3 DEPENDING ON N.\n  05 N PIC 9.\n", 2, "OCCURS", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC X OCCURS 0.\n", 2, "OCCURS", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC X VALUE 'OPEN.\n", 2, "'OPEN", lumtrax::Code::kEbcdic},
        {"01 R.\n  COPY MEMBER.\n", 2, "COPY", lumtrax::Code::kEbcdic},
        {"77 A PIC X.\n", 1, "77", lumtrax::Code::kEbcdic},
        {"01 R.\n  PIC X.\n", 2, "PIC", lumtrax::Code::kEbcdic},
        {"01 R.\n  05 A PIC X.\n  05 A PIC 9.\n", 3, "05", lumtrax::Code::kEbcdic},
        {"01 R OCCURS 2.\n  05 A PIC X.\n", 1, "OCCURS", lumtrax::Code::kEbcdic},
        {"01 R.\n  50 A PIC X.\n", 2, "50", lumtrax::Code::kEbcdic},
        {"", 1, "", lumtrax::Code::kEbcdic},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.text);
        CopybookOptions options;
        options.host = c.host;
        const LayoutResult result = ParseCopybook(c.text, options);
        ASSERT_FALSE(result.error.ok());
        EXPECT_EQ(result.layout, nullptr);
        EXPECT_EQ(result.error.code, make_error_code(Errc::kCopybook));
        EXPECT_EQ(result.error.line, c.line) << result.error.message;
        std::string_view text = c.text;
        for (std::size_t n = 1; n < c.line; ++n) text.remove_prefix(text.find('\n') + 1);
        const std::size_t column = text.substr(0, text.find('\n')).find(c.marker) + 1;
        EXPECT_EQ(result.error.column, column) << result.error.message;
    }
}

TEST(DatasetCopybook, FixedFormatRefusesAnUnknownIndicator) {
    CopybookOptions options;
    options.format = SourceFormat::kFixed;
    const LayoutResult result = ParseCopybook("       01 R.\n      X    05 A PIC X.\n", options);
    ASSERT_FALSE(result.error.ok());
    EXPECT_EQ(result.error.line, 2u);
    EXPECT_EQ(result.error.column, 7u);
}

}  // namespace
