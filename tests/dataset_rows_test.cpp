// Records and rows: what the encoder writes for each picture, checked byte
// by byte and by a small decoder of this file's own; round trips rows ->
// records -> rows through every framing; bad fields and values that do not
// fit.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "lumtrax_dataset.hpp"

// Counts the allocations made while counting is on (the decoder and encoder
// must make none per record once warm).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
static std::atomic<bool> g_counting{false};
static std::atomic<long> g_allocations{0};
void* operator new(std::size_t size) {
    if (g_counting) ++g_allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace lumtrax::dataset;

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 3) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::string ToHex(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char b : bytes) {
        if (!hex.empty()) hex.push_back(' ');
        hex.push_back(kDigits[b >> 4]);
        hex.push_back(kDigits[b & 15]);
    }
    return hex;
}

// ---- a reference decoder of the numbers, independent of the library's -------------

// value / 10^scale as a decimal text, in the library's canonical form.
std::string Format(long long value, int scale) {
    const bool negative = value < 0;
    std::string digits = std::to_string(negative ? -value : value);
    if (scale < 0) {
        if (value != 0) digits.append(static_cast<std::size_t>(-scale), '0');
    } else if (scale > 0) {
        if (digits.size() <= static_cast<std::size_t>(scale)) {
            digits.insert(0, static_cast<std::size_t>(scale) + 1 - digits.size(), '0');
        }
        digits.insert(digits.size() - static_cast<std::size_t>(scale), ".");
    }
    return (negative ? "-" : "") + digits;
}

enum class Ref {
    kZonedTrailing,
    kZonedLeading,
    kLeadingSeparate,
    kTrailingSeparate,
    kPacked,
    kBinary,
    kUnsignedBinary
};

// Decodes an EBCDIC zoned, a packed or a binary number the long way.
std::string Reference(Ref kind, const std::string& field, int scale) {
    std::vector<int> b;
    for (unsigned char c : field) b.push_back(c);
    long long value = 0;
    bool negative = false;
    switch (kind) {
        case Ref::kZonedTrailing:
        case Ref::kZonedLeading:
            for (std::size_t i = 0; i < b.size(); ++i) value = value * 10 + (b[i] % 16);
            negative = (kind == Ref::kZonedTrailing ? b.back() : b.front()) / 16 == 0xD;
            break;
        case Ref::kLeadingSeparate:
        case Ref::kTrailingSeparate: {
            const bool leading = kind == Ref::kLeadingSeparate;
            for (std::size_t i = leading ? 1 : 0; i < b.size() - (leading ? 0 : 1); ++i)
                value = value * 10 + b[i] - 0xF0;
            negative = (leading ? b.front() : b.back()) == 0x60;
            break;
        }
        case Ref::kPacked:
            for (std::size_t i = 0; i < b.size(); ++i) {
                value = value * 10 + b[i] / 16;
                if (i + 1 < b.size()) value = value * 10 + b[i] % 16;
            }
            negative = b.back() % 16 == 0xD;
            break;
        case Ref::kBinary:
        case Ref::kUnsignedBinary: {
            unsigned long long u = 0;
            for (int x : b) u = u * 256 + static_cast<unsigned>(x);
            if (kind == Ref::kBinary && b.front() >= 0x80) {
                value = static_cast<long long>(u - (b.size() == 8 ? 0 : (1ULL << (8 * b.size()))));
            } else {
                value = static_cast<long long>(u);
            }
            break;
        }
    }
    return Format(negative ? -value : value, scale);
}

std::shared_ptr<const Layout> Parse(const std::string& copybook, lumtrax::Code host = lumtrax::Code::kEbcdic) {
    CopybookOptions options;
    options.host = host;
    LayoutResult result = ParseCopybook(copybook, options);
    EXPECT_TRUE(result.error.ok()) << result.error.message;
    return result.layout;
}

std::string DecodeOne(const std::shared_ptr<const Layout>& layout, const std::string& record,
                      DecodeOptions options = {}) {
    RecordDecoder decoder(layout, options);
    std::string row;
    EXPECT_TRUE(decoder.Decode(record, 1, row).ok());
    return row;
}

struct EncodeCase {
    const char* clause;
    const char* value;  // JSON
    const char* bytes;  // what the field holds
    const char* row;    // what decoding gives back (JSON)
    Ref ref;            // a number's reference decoding, with its scale
    int scale;
};

constexpr Ref kText = Ref::kBinary;  // unused for text cases (scale -99 marks them)

TEST(DatasetRows, EachPictureIsWrittenAsTheHostHasIt) {
    const EncodeCase cases[] = {
        {"PIC X(6)", "\"AB日\"", "C1 C2 2B C6 FC 2C", "\"AB日\"", kText, -99},
        {"PIC X(4)", "\"ab\"", "81 82 40 40", "\"ab  \"", kText, -99},
        {"PIC G(3)", "\"日本\"", "C6 FC CB DC A1 A1", "\"日本　\"", kText, -99},
        {"PIC 9(4)", "\"42\"", "F0 F0 F4 F2", "\"42\"", Ref::kZonedTrailing, 0},
        {"PIC S9(3)V99", "\"-0.01\"", "F0 F0 F0 F0 D1", "\"-0.01\"", Ref::kZonedTrailing, 2},
        {"PIC S9(3)V99", "12.5", "F0 F1 F2 F5 C0", "\"12.50\"", Ref::kZonedTrailing, 2},
        {"PIC S9(3) SIGN LEADING", "\"-123\"", "D1 F2 F3", "\"-123\"", Ref::kZonedLeading, 0},
        {"PIC S9(3) SIGN LEADING SEPARATE", "\"-7\"", "60 F0 F0 F7", "\"-7\"", Ref::kLeadingSeparate, 0},
        {"PIC S9(3) SIGN TRAILING SEPARATE", "\"+7\"", "F0 F0 F7 4E", "\"7\"", Ref::kTrailingSeparate, 0},
        {"PIC S9(7)V99 COMP-3", "\"-1234.5\"", "00 01 23 45 0D", "\"-1234.50\"", Ref::kPacked, 2},
        {"PIC 9(4) PACKED-DECIMAL", "\"1234\"", "01 23 4F", "\"1234\"", Ref::kPacked, 0},
        {"PIC S9(4) COMP", "\"-2\"", "FF FE", "\"-2\"", Ref::kBinary, 0},
        {"PIC 9(9) BINARY", "\"999999999\"", "3B 9A C9 FF", "\"999999999\"", Ref::kUnsignedBinary, 0},
        {"PIC S9(16)V99 COMP-4", "\"-0.01\"", "FF FF FF FF FF FF FF FF", "\"-0.01\"", Ref::kBinary, 2},
        {"PIC S9(4) COMP-5", "\"32767\"", "7F FF", "\"32767\"", Ref::kBinary, 0},
        {"PIC 9(3)PPP", "\"5000\"", "F0 F0 F5", "\"5000\"", Ref::kZonedTrailing, -3},
        {"PIC SVPP99", "\"-0.0012\"", "F1 D2", "\"-0.0012\"", Ref::kZonedTrailing, 4},
        {"PIC 9(3) BLANK WHEN ZERO", "\"0\"", "40 40 40", "\"0\"", Ref::kZonedTrailing, -99},
        {"PIC 9(3) BLANK WHEN ZERO", "\"7\"", "F0 F0 F7", "\"7\"", Ref::kZonedTrailing, 0},
    };
    std::string copybook = "01 R.\n";
    std::string row = "{";
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string name = "F" + std::to_string(i);
        copybook += "  05 " + name + " " + cases[i].clause + ".\n";
        row += (i > 0 ? ",\"" : "\"") + name + "\":" + cases[i].value;
    }
    row += "}";
    const auto layout = Parse(copybook);
    ASSERT_TRUE(layout);
    RecordEncoder encoder(layout);
    std::string record;
    const Error error = encoder.Encode(row, 1, record);
    ASSERT_TRUE(error.ok()) << error.message;
    ASSERT_EQ(record.size(), layout->record_length());
    const std::string decoded = DecodeOne(layout, record);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const EncodeCase& c = cases[i];
        const Field& field = layout->fields()[layout->Find("F" + std::to_string(i))];
        SCOPED_TRACE(c.clause);
        const std::string bytes = record.substr(field.offset, field.size);
        EXPECT_EQ(ToHex(bytes), c.bytes);
        if (c.scale != -99) {
            EXPECT_EQ("\"" + Reference(c.ref, bytes, c.scale) + "\"", c.row);
        }
        EXPECT_NE(decoded.find("\"F" + std::to_string(i) + "\":" + c.row), std::string::npos) << decoded;
    }
}

TEST(DatasetRows, NumbersSurviveTheirPicturesEdges) {
    struct Case {
        const char* clause;
        Ref ref;
        int scale;
        std::vector<long long> values;  // scaled integers
    };
    const Case cases[] = {
        {"PIC S9(9)V99 COMP-3", Ref::kPacked, 2, {0, 1, -1, 99999999999LL, -99999999999LL, 1000000}},
        {"PIC S9(6) COMP-3", Ref::kPacked, 0, {999999, -999999, 10}},
        {"PIC S9(18) COMP", Ref::kBinary, 0, {999999999999999999LL, -999999999999999999LL, -1, 0}},
        {"PIC 9(9) COMP", Ref::kUnsignedBinary, 0, {0, 1, 999999999}},
        {"PIC S9(5)V9(3)", Ref::kZonedTrailing, 3, {0, -1, 99999999, -12345678}},
        {"PIC S9(4) SIGN LEADING SEPARATE", Ref::kLeadingSeparate, 0, {-9999, 9999, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clause);
        const auto layout = Parse(std::string("01 R.\n 05 V ") + c.clause + ".\n");
        ASSERT_TRUE(layout);
        RecordEncoder encoder(layout);
        for (long long v : c.values) {
            const std::string text = Format(v, c.scale);
            std::string record;
            ASSERT_TRUE(encoder.Encode("{\"V\":\"" + text + "\"}", 1, record).ok()) << text;
            EXPECT_EQ(Reference(c.ref, record, c.scale), text);
            EXPECT_EQ(DecodeOne(layout, record), "{\"V\":\"" + text + "\"}\n");
        }
    }
}

TEST(DatasetRows, TheOtherHostCodesWriteTheirOwnBytes) {
    struct Case {
        lumtrax::Code host;
        const char* clause;
        const char* value;
        const char* bytes;
    };
    const Case cases[] = {
        {lumtrax::Code::kEightBit, "PIC X(6)", "\"日\"", "93 F0 C6 FC 93 F1"},
        {lumtrax::Code::kEightBit70, "PIC X(6)", "\"日\"", "93 70 C6 FC 93 F1"},
        {lumtrax::Code::kEightBit, "PIC X(4)", "\"ｱA\"", "B1 41 20 20"},
        {lumtrax::Code::kEightBit, "PIC G(2)", "\"日\"", "C6 FC 20 20"},
        {lumtrax::Code::kEuc, "PIC G(2)", "\"日\"", "C6 FC A1 A1"},
        {lumtrax::Code::kEuc, "PIC X(3)", "\"日\"", "C6 FC 20"},
        {lumtrax::Code::kEuc, "PIC S9(3) SIGN TRAILING SEPARATE", "\"-5\"", "30 30 35 2D"},
        {lumtrax::Code::kEightBit, "PIC 9(3)", "\"5\"", "30 30 35"},
        {lumtrax::Code::kEbcdicKana, "PIC X(2)", "\"ｱ\"", "81 40"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clause);
        const auto layout = Parse(std::string("01 R.\n 05 V ") + c.clause + ".\n", c.host);
        ASSERT_TRUE(layout);
        RecordEncoder encoder(layout);
        std::string record;
        const Error error = encoder.Encode(std::string("{\"V\":") + c.value + "}", 1, record);
        ASSERT_TRUE(error.ok()) << error.message;
        EXPECT_EQ(ToHex(record), c.bytes);
        DecodeOptions trim;
        trim.trim = true;
        const std::string value = std::string(c.value);
        EXPECT_EQ(DecodeOne(layout, record, trim), "{\"V\":" + (value[0] == '"' ? value : "\"" + value + "\"") + "}\n");
    }
}

const char kRoundTripCopybook[] =
    "01 R.\n"
    "  05 ID      PIC 9(5).\n"
    "  05 NAME    PIC X(12).\n"
    "  05 KANJI   PIC G(4).\n"
    "  05 AMT     PIC S9(5)V99 COMP-3.\n"
    "  05 QTY     PIC S9(4) COMP.\n"
    "  05 RATE    PIC SV9(3) SIGN LEADING SEPARATE.\n"
    "  05 FILLER  PIC X(3).\n"
    "  05 ADDR.\n"
    "     10 CITY PIC X(6).\n"
    "     10 ZIP  PIC 9(7).\n"
    "  05 N       PIC 9(2).\n"
    "  05 ITEMS OCCURS 0 TO 4 TIMES DEPENDING ON N.\n"
    "     10 CODE  PIC X(2).\n"
    "     10 PRICE PIC 9(3)V9 COMP-3.\n";

const char* const kRows[] = {
    R"({"ID":"1","NAME":"ABC 日本","KANJI":"東京","AMT":"-12.34","QTY":"7","RATE":"-0.125","ADDR":{"CITY":"OSAKA","ZIP":"5300001"},"N":"2","ITEMS":[{"CODE":"A1","PRICE":"12.5"},{"CODE":"B2","PRICE":"0.0"}]})",
    R"({"ID":"99999","NAME":"","KANJI":"","AMT":"0.00","QTY":"-9999","RATE":"0.000","ADDR":{"CITY":"","ZIP":"0"},"N":"0","ITEMS":[]})",
    R"({"ID":"42","NAME":"\"q\",\\ x","KANJI":"日本　字","AMT":"99999.99","QTY":"9999","RATE":"0.999","ADDR":{"CITY":"ｶﾅ","ZIP":"1"},"N":"4","ITEMS":[{"CODE":"a","PRICE":"1.0"},{"CODE":"b","PRICE":"2.0"},{"CODE":"c","PRICE":"3.0"},{"CODE":"d","PRICE":"999.9"}]})",
};

TEST(DatasetRows, RowsComeBackThroughEveryFraming) {
    const auto layout = Parse(kRoundTripCopybook);
    ASSERT_TRUE(layout);
    std::vector<FramingOptions> framings;
    FramingOptions fixed;
    fixed.format = RecordFormat::kFixed;
    fixed.record_length = layout->record_length();
    framings.push_back(fixed);
    for (RecordFormat format : {RecordFormat::kVariable, RecordFormat::kVariableBlocked}) {
        for (bool little : {false, true}) {
            for (bool excludes : {false, true}) {
                FramingOptions options;
                options.format = format;
                options.little_endian = little;
                options.length_excludes_descriptor = excludes;
                options.block_size = 200;
                framings.push_back(options);
            }
        }
    }
    for (const FramingOptions& framing : framings) {
        SCOPED_TRACE(testing::Message() << "format " << static_cast<int>(framing.format) << " little "
                                        << framing.little_endian << " excludes " << framing.length_excludes_descriptor);
        EncodeOptions encode;
        encode.variable_length = framing.format != RecordFormat::kFixed;
        RecordEncoder encoder(layout, encode);
        RecordWriter writer(framing);
        std::string data, record;
        std::vector<std::string> records;
        for (std::size_t r = 0; r < std::size(kRows); ++r) {
            record.clear();
            const Error error = encoder.Encode(kRows[r], r + 1, record);
            ASSERT_TRUE(error.ok()) << error.message;
            records.push_back(record);
            ASSERT_TRUE(writer.Write(record, data).ok());
        }
        ASSERT_TRUE(writer.Finish(data).ok());

        DecodeOptions json;
        json.trim = true;
        DecodeOptions csv = json;
        csv.format = RowFormat::kCsv;
        RecordDecoder to_json(layout, json), to_csv(layout, csv);
        std::string rows, table;
        ASSERT_TRUE(to_csv.AppendHeader(table).ok());
        RecordReader reader(framing);
        std::string_view view;
        std::vector<std::string> read;
        for (std::size_t at = 0; at < data.size(); at += 7) {
            ASSERT_TRUE(reader.Feed(std::string_view(data).substr(at, 7)).ok());
            while (reader.Next(view) == ReadStatus::kRecord) {
                read.emplace_back(view);
                ASSERT_TRUE(to_json.Decode(view, reader.record_number(), rows).ok());
                ASSERT_TRUE(to_csv.Decode(view, reader.record_number(), table).ok());
            }
        }
        ASSERT_TRUE(reader.Finish().ok());
        EXPECT_EQ(reader.Next(view), ReadStatus::kEnd);
        EXPECT_EQ(read, records);
        std::string expected;
        for (const char* row : kRows) expected += std::string(row) + "\n";
        EXPECT_EQ(rows, expected);
        EXPECT_EQ(to_json.report().invalid_fields, 0u);
        EXPECT_EQ(to_json.report().short_records + to_json.report().long_records, 0u);

        // CSV back to the same records.
        EncodeOptions from_csv = encode;
        from_csv.format = RowFormat::kCsv;
        RecordEncoder csv_encoder(layout, from_csv);
        std::string_view text = table, row;
        ASSERT_TRUE(NextRow(RowFormat::kCsv, text, row, true));
        ASSERT_TRUE(csv_encoder.SetHeader(row).ok());
        for (std::size_t r = 0; r < records.size(); ++r) {
            ASSERT_TRUE(NextRow(RowFormat::kCsv, text, row, true));
            record.clear();
            const Error error = csv_encoder.Encode(row, r + 1, record);
            ASSERT_TRUE(error.ok()) << error.message;
            EXPECT_EQ(ToHex(record), ToHex(records[r]));
        }
        EXPECT_FALSE(NextRow(RowFormat::kCsv, text, row, true));
    }
}

TEST(DatasetRows, CsvColumnsAreFlatAndQualifiedOnlyWhereNamesRepeat) {
    const auto layout = Parse(
        "01 R.\n 05 HOME.\n  10 CITY PIC X.\n 05 WORK.\n  10 CITY PIC X.\n 05 T OCCURS 2.\n  10 V PIC 9 OCCURS 2.\n"
        " 05 FILLER PIC X.\n");
    ASSERT_TRUE(layout);
    DecodeOptions csv;
    csv.format = RowFormat::kCsv;
    RecordDecoder decoder(layout, csv);
    const std::vector<std::string> expected = {"HOME.CITY", "WORK.CITY", "V_1_1", "V_1_2", "V_2_1", "V_2_2"};
    EXPECT_EQ(decoder.columns(), expected);
}

struct BadField {
    const char* clause;
    lumtrax::Code host;
    const char* bytes;
    const char* value;  // the JSON value decoded
    IssueKind issue;    // 0: none
    TextErrors text_errors;
};

TEST(DatasetRows, AFieldThatDoesNotHoldItsPictureIsNullAndReported) {
    const BadField cases[] = {
        {"PIC 9(3)", lumtrax::Code::kEbcdic, "F1 C2 F3", "null", IssueKind::kBadDigit, TextErrors::kStrict},
        {"PIC 9(3)", lumtrax::Code::kEbcdic, "F1 FA F3", "null", IssueKind::kBadDigit, TextErrors::kStrict},
        {"PIC 9(3)", lumtrax::Code::kEbcdic, "F1 F2 C3", "null", IssueKind::kBadDigit, TextErrors::kStrict},
        {"PIC S9(3)", lumtrax::Code::kEbcdic, "F1 F2 A3", "null", IssueKind::kBadSign, TextErrors::kStrict},
        {"PIC S9(3)", lumtrax::Code::kEbcdic, "F1 F2 C3", "\"123\"", IssueKind{}, TextErrors::kStrict},
        {"PIC S9(2) SIGN LEADING SEPARATE", lumtrax::Code::kEbcdic, "40 F1 F2", "null", IssueKind::kBadSign,
         TextErrors::kStrict},
        {"PIC S9(3) COMP-3", lumtrax::Code::kEbcdic, "1A 3C", "null", IssueKind::kBadNibble, TextErrors::kStrict},
        {"PIC S9(3) COMP-3", lumtrax::Code::kEbcdic, "12 34", "null", IssueKind::kBadSign, TextErrors::kStrict},
        {"PIC S9(4) COMP-3", lumtrax::Code::kEbcdic, "10 00 0C", "null", IssueKind::kBadNibble, TextErrors::kStrict},
        {"PIC 9(3) COMP-3", lumtrax::Code::kEbcdic, "12 3D", "null", IssueKind::kBadSign, TextErrors::kStrict},
        {"PIC 9(3)", lumtrax::Code::kEightBit, "31 41 33", "null", IssueKind::kBadDigit, TextErrors::kStrict},
        {"PIC 9(3)", lumtrax::Code::kEbcdic, "40 40 40", "null", IssueKind{}, TextErrors::kStrict},
        {"PIC X(2)", lumtrax::Code::kEbcdic, "C1 21", "null", IssueKind::kBadText, TextErrors::kStrict},
        {"PIC X(2)", lumtrax::Code::kEbcdic, "C1 21", "\"A\xEF\xBF\xBD\"", IssueKind{}, TextErrors::kReplace},
        {"PIC G(2)", lumtrax::Code::kEbcdic, "C6 FC 2C 40", "null", IssueKind::kBadText, TextErrors::kStrict},
        {"PIC G(1)", lumtrax::Code::kEuc, "41 42", "null", IssueKind::kBadText, TextErrors::kStrict},
    };
    for (const BadField& c : cases) {
        SCOPED_TRACE(testing::Message() << c.clause << " " << c.bytes);
        const auto layout = Parse(std::string("01 R.\n 05 A PIC X.\n 05 V ") + c.clause + ".\n", c.host);
        ASSERT_TRUE(layout);
        DecodeOptions options;
        options.text_errors = c.text_errors;
        RecordDecoder decoder(layout, options);
        std::string row;
        ASSERT_TRUE(
            decoder.Decode(std::string(c.host == lumtrax::Code::kEbcdic ? "\xC1" : "A") + FromHex(c.bytes), 7, row)
                .ok());
        EXPECT_EQ(row, std::string("{\"A\":\"A\",\"V\":") + c.value + "}\n");
        const Report& report = decoder.report();
        if (c.issue == IssueKind{}) {
            EXPECT_EQ(report.invalid_fields, 0u);
            EXPECT_TRUE(report.first.empty());
            continue;
        }
        EXPECT_EQ(report.invalid_fields, 1u);
        ASSERT_EQ(report.first.size(), 1u);
        EXPECT_EQ(report.first[0].kind, c.issue);
        EXPECT_EQ(report.first[0].record, 7u);
        EXPECT_EQ(report.first[0].field, "V");
        EXPECT_EQ(report.first[0].offset, 1u);
        EXPECT_EQ(report.first[0].bytes, c.bytes);
    }
}

TEST(DatasetRows, ACounterOutOfBoundsOrAShortRecordLeavesNoWrongValue) {
    const auto layout = Parse("01 R.\n 05 N PIC 9.\n 05 T PIC X OCCURS 1 TO 3 DEPENDING ON N.\n");
    ASSERT_TRUE(layout);
    struct Case {
        const char* record;
        const char* row;
        IssueKind issue;
    };
    const Case cases[] = {
        {"\xF2\xC1\xC2", R"({"N":"2","T":["A","B"]})", IssueKind{}},
        {"\xF4\xC1\xC2\xC3\xC4", R"({"N":"4","T":null})", IssueKind::kBadCounter},
        {"\xF0", R"({"N":"0","T":null})", IssueKind::kBadCounter},
        {"\xF3\xC1\xC2", R"({"N":"3","T":["A","B",null]})", IssueKind::kShortRecord},
    };
    for (const Case& c : cases) {
        RecordDecoder decoder(layout);
        std::string row;
        ASSERT_TRUE(decoder.Decode(c.record, 1, row).ok());
        EXPECT_EQ(row, std::string(c.row) + "\n");
        if (c.issue == IssueKind{}) {
            EXPECT_TRUE(decoder.report().first.empty());
        } else {
            ASSERT_EQ(decoder.report().first.size(), 1u) << c.row;
            EXPECT_EQ(decoder.report().first[0].kind, c.issue);
        }
    }
}

struct BadValue {
    const char* clause;
    const char* row;
    Errc code;
    const char* field;
};

TEST(DatasetRows, AValueThatDoesNotFitIsAnErrorNamingRowAndField) {
    const BadValue cases[] = {
        {"PIC X(4)", R"({"V":"ABCDE"})", Errc::kBadValue, "V"},
        {"PIC X(5)", R"({"V":"日本"})", Errc::kBadValue, "V"},
        {"PIC G(2)", R"({"V":"日A"})", Errc::kBadValue, "V"},
        {"PIC G(1)", R"({"V":"日本"})", Errc::kBadValue, "V"},
        {"PIC 9(3)", R"({"V":"1000"})", Errc::kBadValue, "V"},
        {"PIC 9(3)V9", R"({"V":"1.25"})", Errc::kBadValue, "V"},
        {"PIC 9(3)", R"({"V":"-1"})", Errc::kBadValue, "V"},
        {"PIC 9(3)", R"({"V":"1e3"})", Errc::kBadValue, "V"},
        {"PIC 9(3)", R"({"V":""})", Errc::kBadValue, "V"},
        {"PIC 9(3)PP", R"({"V":"150"})", Errc::kBadValue, "V"},
        {"PIC S9(4) COMP", R"({"V":"10000"})", Errc::kBadValue, "V"},
        {"PIC S9(4) COMP-5", R"({"V":"32768"})", Errc::kBadValue, "V"},
        {"PIC S9(4) COMP-3", R"({"V":null})", Errc::kBadValue, "V"},
        {"PIC 9(3)", R"({"V":true})", Errc::kBadValue, "V"},
        {"PIC X(3)", R"({"V":1})", Errc::kBadValue, "V"},
        {"PIC X(3)", R"({"V":"A","W":"B"})", Errc::kBadRow, "W"},
        {"PIC X(3)", R"({})", Errc::kBadRow, "V"},
        {"PIC X(3)", R"({"V":"A","V":"B"})", Errc::kBadRow, "V"},
        {"PIC X(3)", R"({"V":"A")", Errc::kBadRow, ""},
        {"PIC X(3)", R"(["A"])", Errc::kBadRow, ""},
        {"PIC X OCCURS 2", R"({"V":["A"]})", Errc::kBadValue, "V"},
        {"PIC X OCCURS 2", R"({"V":["A",7]})", Errc::kBadValue, "V_2"},
    };
    for (const BadValue& c : cases) {
        SCOPED_TRACE(c.row);
        const auto layout = Parse(std::string("01 R.\n 05 V ") + c.clause + ".\n");
        ASSERT_TRUE(layout);
        RecordEncoder encoder(layout);
        std::string out = "kept";
        const Error error = encoder.Encode(c.row, 3, out);
        EXPECT_EQ(error.code, make_error_code(c.code)) << error.message;
        EXPECT_EQ(error.row, 3u);
        EXPECT_EQ(error.field, c.field);
        EXPECT_EQ(out, "kept");
    }
}

TEST(DatasetRows, AVaryingTableSetsOrChecksItsCounter) {
    const auto layout = Parse("01 R.\n 05 N PIC 9.\n 05 T PIC X OCCURS 1 TO 3 DEPENDING ON N.\n");
    ASSERT_TRUE(layout);
    EncodeOptions variable;
    variable.variable_length = true;
    RecordEncoder encoder(layout, variable);
    struct Case {
        const char* row;
        const char* record;  // hex, or "" for an error
    };
    const Case cases[] = {
        {R"({"T":["A","B"]})", "F2 C1 C2"}, {R"({"N":"2","T":["A","B"]})", "F2 C1 C2"},
        {R"({"N":"3","T":["A","B"]})", ""}, {R"({"T":[]})", ""},
        {R"({"T":["A","B","C","D"]})", ""},
    };
    for (const Case& c : cases) {
        std::string record;
        const Error error = encoder.Encode(c.row, 1, record);
        EXPECT_EQ(error.ok(), *c.record != 0) << c.row << error.message;
        EXPECT_EQ(ToHex(record), c.record) << c.row;
    }
    EncodeOptions csv;
    csv.format = RowFormat::kCsv;
    RecordEncoder from_csv(layout, csv);
    ASSERT_TRUE(from_csv.SetHeader("N,T_1,T_2,T_3").ok());
    std::string record;
    EXPECT_TRUE(from_csv.Encode("1,A,,", 1, record).ok());
    EXPECT_EQ(ToHex(record), "F1 C1 40 40");
    EXPECT_EQ(from_csv.Encode("1,A,B,", 2, record).code, make_error_code(Errc::kBadValue));
    EXPECT_EQ(from_csv.Encode("1,A", 3, record).code, make_error_code(Errc::kBadRow));
    EXPECT_EQ(from_csv.SetHeader("N,T_1,T_2").code, make_error_code(Errc::kBadRow));
    EXPECT_EQ(from_csv.SetHeader("N,T_1,T_2,T_3,X").code, make_error_code(Errc::kBadRow));
}

TEST(DatasetRows, AWarmDecoderAndEncoderAllocateNothingPerRecord) {
    const auto layout = Parse(kRoundTripCopybook);
    ASSERT_TRUE(layout);
    RecordEncoder encoder(layout);
    std::vector<std::string> records;
    for (const char* row : kRows) {
        std::string record;
        ASSERT_TRUE(encoder.Encode(row, 1, record).ok());
        records.push_back(record);
    }
    for (RowFormat format : {RowFormat::kJsonLines, RowFormat::kCsv}) {
        DecodeOptions options;
        options.format = format;
        RecordDecoder decoder(layout, options);
        std::string out, record;
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1) g_counting = true;
            for (const std::string& r : records) {
                out.clear();
                ASSERT_TRUE(decoder.Decode(r, 1, out).ok());
            }
            for (const char* row : kRows) {
                record.clear();
                ASSERT_TRUE(encoder.Encode(row, 1, record).ok());
            }
            g_counting = false;
        }
        EXPECT_EQ(g_allocations.exchange(0), 0);
    }
}

}  // namespace
