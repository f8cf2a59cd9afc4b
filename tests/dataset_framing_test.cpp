// Record framing: what the writer puts around records, what the reader
// gives back from pieces of any size, and every kind of bad frame.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lumtrax_dataset.hpp"

namespace {

using namespace lumtrax::dataset;

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s.push_back(static_cast<char>(b));
    return s;
}

struct ReadResult {
    std::vector<std::string> records;
    std::vector<std::uint64_t> offsets;
    Error error;
    std::uint64_t skipped = 0;
};

// Reads data fed in pieces of piece bytes.
ReadResult ReadAll(const FramingOptions& options, const std::string& data, std::size_t piece) {
    ReadResult result;
    RecordReader reader(options);
    std::string_view record;
    auto drain = [&]() {
        for (;;) {
            const ReadStatus status = reader.Next(record);
            if (status != ReadStatus::kRecord) return status;
            result.records.emplace_back(record);
            result.offsets.push_back(reader.record_offset());
        }
    };
    for (std::size_t at = 0; at < data.size(); at += piece) {
        // A copy that dies after Feed's turn: the reader must keep what it needs.
        std::string copy = data.substr(at, piece);
        result.error = reader.Feed(copy);
        if (!result.error.ok() || drain() == ReadStatus::kError) {
            result.error = reader.error();
            result.skipped = reader.skipped();
            return result;
        }
        copy.assign(copy.size(), '\xEE');
    }
    result.error = reader.Finish();
    if (drain() == ReadStatus::kError) result.error = reader.error();
    result.skipped = reader.skipped();
    return result;
}

FramingOptions Framing(RecordFormat format, bool little_endian = false, bool excludes = false) {
    FramingOptions options;
    options.format = format;
    options.little_endian = little_endian;
    options.length_excludes_descriptor = excludes;
    return options;
}

TEST(DatasetFraming, DescriptorsAreWrittenAsTheOptionsSay) {
    struct Case {
        FramingOptions options;
        std::string expected;
    };
    FramingOptions fixed = Framing(RecordFormat::kFixed);
    fixed.record_length = 3;
    const Case cases[] = {
        {Framing(RecordFormat::kVariable), Bytes({0x00, 0x07, 0x00, 0x00, 'A', 'B', 'C'})},
        {Framing(RecordFormat::kVariable, true), Bytes({0x07, 0x00, 0x00, 0x00, 'A', 'B', 'C'})},
        {Framing(RecordFormat::kVariable, false, true), Bytes({0x00, 0x03, 0x00, 0x00, 'A', 'B', 'C'})},
        {Framing(RecordFormat::kVariableBlocked),
         Bytes({0x00, 0x0B, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 'A', 'B', 'C'})},
        {Framing(RecordFormat::kVariableBlocked, true, true),
         Bytes({0x07, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 'A', 'B', 'C'})},
        {fixed, "ABC"},
    };
    for (const Case& c : cases) {
        RecordWriter writer(c.options);
        std::string out;
        ASSERT_TRUE(writer.Write("ABC", out).ok());
        ASSERT_TRUE(writer.Finish(out).ok());
        EXPECT_EQ(out, c.expected) << static_cast<int>(c.options.format);
    }
}

TEST(DatasetFraming, RecordsComeBackFromPiecesOfAnySize) {
    std::vector<std::string> records;
    for (int n = 0; n < 40; ++n) records.push_back(std::string(static_cast<std::size_t>(n * 7 % 45), 'a' + n % 26));
    std::vector<FramingOptions> configurations;
    for (RecordFormat format : {RecordFormat::kVariable, RecordFormat::kVariableBlocked}) {
        for (bool little : {false, true}) {
            for (bool excludes : {false, true}) {
                FramingOptions options = Framing(format, little, excludes);
                options.block_size = 100;
                configurations.push_back(options);
            }
        }
    }
    for (const FramingOptions& options : configurations) {
        RecordWriter writer(options);
        std::string data;
        for (const std::string& r : records) ASSERT_TRUE(writer.Write(r, data).ok());
        ASSERT_TRUE(writer.Finish(data).ok());
        for (std::size_t piece : {1, 3, 64, 1000}) {
            SCOPED_TRACE(testing::Message()
                         << "format " << static_cast<int>(options.format) << " little " << options.little_endian
                         << " excludes " << options.length_excludes_descriptor << " piece " << piece);
            const ReadResult result = ReadAll(options, data, piece);
            ASSERT_TRUE(result.error.ok()) << result.error.message;
            EXPECT_EQ(result.records, records);
            EXPECT_EQ(result.offsets[1], options.format == RecordFormat::kVariable ? 4u : 8u);
        }
    }
    FramingOptions fixed = Framing(RecordFormat::kFixedBlocked);
    fixed.record_length = 5;
    const ReadResult result = ReadAll(fixed, "abcdefghijklmno", 4);
    ASSERT_TRUE(result.error.ok());
    EXPECT_EQ(result.records, (std::vector<std::string>{"abcde", "fghij", "klmno"}));
    EXPECT_EQ(result.offsets[2], 10u);
}

TEST(DatasetFraming, TheWriterRefusesWhatItsFormatCannotHold) {
    FramingOptions fixed = Framing(RecordFormat::kFixed);
    fixed.record_length = 4;
    FramingOptions blocked = Framing(RecordFormat::kVariableBlocked);
    blocked.block_size = 20;
    struct Case {
        FramingOptions options;
        std::size_t size;
        Errc code;
    };
    const Case cases[] = {
        {fixed, 3, Errc::kWrongLength},
        {fixed, 5, Errc::kWrongLength},
        {Framing(RecordFormat::kVariable), 65532, Errc::kWrongLength},
        {blocked, 13, Errc::kWrongLength},
    };
    for (const Case& c : cases) {
        RecordWriter writer(c.options);
        std::string out;
        const Error error = writer.Write(std::string(c.size, 'x'), out);
        EXPECT_EQ(error.code, make_error_code(c.code)) << c.size;
        EXPECT_EQ(error.record, 1u);
        EXPECT_TRUE(out.empty());
    }
    RecordWriter writer(blocked);
    std::string out;
    EXPECT_TRUE(writer.Write(std::string(12, 'x'), out).ok());
}

struct BadFrame {
    const char* what;
    FramingOptions options;
    std::string data;
    std::uint64_t record;
    std::uint64_t offset;
    // With skip_bad: the records read, and the frames skipped (an error
    // remains where the format cannot resynchronise).
    std::vector<std::string> kept;
    std::uint64_t skipped;
    bool stops;
};

TEST(DatasetFraming, BadFramesNameTheRecordAndOffsetAndSkipOnlyWhereTheFormatAllows) {
    const std::string a = Bytes({0x00, 0x05, 0x00, 0x00, 'A'});
    const std::string block_b = Bytes({0x00, 0x09, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 'B'});
    FramingOptions fixed = Framing(RecordFormat::kFixed);
    fixed.record_length = 4;
    const FramingOptions v = Framing(RecordFormat::kVariable);
    const FramingOptions vb = Framing(RecordFormat::kVariableBlocked);
    const BadFrame cases[] = {
        {"V length under 4", v, Bytes({0x00, 0x03, 0x00, 0x00, 'x'}), 1, 0, {}, 0, true},
        {"V reserved bytes", v, a + Bytes({0x00, 0x05, 0x00, 0x01, 'x'}), 2, 5, {"A"}, 0, true},
        {"V truncated record", v, a + Bytes({0x00, 0x08, 0x00, 0x00, 'x'}), 2, 5, {"A"}, 0, true},
        {"V truncated RDW", v, a + Bytes({0x00, 0x08}), 2, 5, {"A"}, 0, true},
        {"VB length under 8", vb, Bytes({0x00, 0x04, 0x00, 0x00}) + block_b, 1, 0, {}, 0, true},
        {"VB reserved BDW bytes", vb, block_b + Bytes({0x00, 0x09, 0x01, 0x00}), 2, 9, {"B"}, 0, true},
        {"VB record past its block",
         vb,
         Bytes({0x00, 0x0D, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 'A', 0x00, 0x09, 0x00, 0x00}) + block_b,
         2,
         9,
         {"A", "B"},
         1,
         false},
        {"VB RDW under 4",
         vb,
         Bytes({0x00, 0x0C, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 'x', 'x', 'x', 'x'}) + block_b,
         1,
         4,
         {"B"},
         1,
         false},
        {"VB reserved RDW bytes",
         vb,
         block_b + Bytes({0x00, 0x09, 0x00, 0x00, 0x00, 0x05, 0x02, 0x00, 'x'}) + block_b,
         2,
         13,
         {"B", "B"},
         1,
         false},
        {"VB truncated block", vb, block_b + Bytes({0x00, 0x09, 0x00, 0x00, 0x00}), 2, 9, {"B"}, 1, false},
        {"F size no multiple", fixed, "abcdefghij", 3, 8, {"abcd", "efgh"}, 1, false},
    };
    for (const BadFrame& c : cases) {
        SCOPED_TRACE(c.what);
        for (std::size_t piece : {1, 1000}) {
            const ReadResult strict = ReadAll(c.options, c.data, piece);
            ASSERT_FALSE(strict.error.ok());
            EXPECT_EQ(strict.error.code, make_error_code(Errc::kBadFrame));
            EXPECT_EQ(strict.error.record, c.record) << strict.error.message;
            EXPECT_EQ(strict.error.offset, c.offset) << strict.error.message;

            FramingOptions skipping = c.options;
            skipping.skip_bad = true;
            const ReadResult skipped = ReadAll(skipping, c.data, piece);
            EXPECT_EQ(skipped.records, c.kept);
            EXPECT_EQ(skipped.skipped, c.skipped);
            EXPECT_EQ(!skipped.error.ok(), c.stops) << skipped.error.message;
        }
    }
}

TEST(DatasetFraming, FeedingBeforeTheRecordsAreTakenIsRefused) {
    RecordReader reader(Framing(RecordFormat::kVariable));
    const std::string data = Bytes({0x00, 0x05, 0x00, 0x00, 'A'});
    ASSERT_TRUE(reader.Feed(data).ok());
    EXPECT_EQ(reader.Feed(data).code, make_error_code(Errc::kUsage));
}

}  // namespace
