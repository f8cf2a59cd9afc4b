// Reads the input as a data set (the first byte picks the host code, the
// framing and the options) of records of a fixed copybook with every kind
// of field and a varying table, and decodes each record to JSON Lines and
// to CSV. A JSON row with no bad field must be written back without error
// or be refused as a value that does not fit (an unclosed double-byte run
// takes more room once it is closed), and the record written must be
// canonical: its own row writes it again, byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "lumtrax_dataset.hpp"

using namespace lumtrax::dataset;

namespace {

const char kCopybook[] =
    "01 R.\n"
    "  05 NAME   PIC X(10).\n"
    "  05 KANJI  PIC G(3).\n"
    "  05 AMT    PIC S9(5)V99 COMP-3.\n"
    "  05 QTY    PIC S9(4) COMP.\n"
    "  05 BIG    PIC 9(12) COMP-5.\n"
    "  05 RATE   PIC S9V99 SIGN LEADING SEPARATE.\n"
    "  05 ZONE   PIC 9(3).\n"
    "  05 FILLER PIC X(2).\n"
    "  05 N      PIC 9.\n"
    "  05 T OCCURS 0 TO 3 TIMES DEPENDING ON N.\n"
    "     10 CODE  PIC X(2).\n"
    "     10 PRICE PIC 9(3)V9 COMP-3.\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t pick = data[0];
    CopybookOptions copybook;
    copybook.host = static_cast<lumtrax::Code>(1 + pick % 5);
    const LayoutResult layout = ParseCopybook(kCopybook, copybook);
    if (!layout.error.ok()) std::abort();

    FramingOptions framing;
    framing.format = static_cast<RecordFormat>((pick / 5) % 4);
    framing.record_length = layout.layout->record_length();
    framing.little_endian = (pick & 0x20) != 0;
    framing.skip_bad = (pick & 0x40) != 0;
    DecodeOptions json;
    json.text_errors = (pick & 0x80) != 0 ? TextErrors::kReplace : TextErrors::kStrict;
    DecodeOptions csv = json;
    csv.format = RowFormat::kCsv;
    DecodeOptions sjis = csv;
    sjis.code = RowCode::kShiftJis;
    sjis.trim = (pick & 0x10) != 0;
    RecordDecoder to_json(layout.layout, json), to_csv(layout.layout, csv), again(layout.layout, json);
    RecordDecoder to_values(layout.layout, csv), to_sjis(layout.layout, sjis);
    std::vector<Value> values;
    std::string text, sjis_table;
    EncodeOptions encode;
    encode.variable_length = framing.format >= RecordFormat::kVariable;
    RecordEncoder encoder(layout.layout, encode);

    RecordReader reader(framing);
    std::string row, table, record, check, rewritten;
    std::string_view view;
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    // Two pieces, cut where the input's second byte says.
    const std::size_t cut = input.empty() ? 0 : static_cast<std::uint8_t>(input[0]) % (input.size() + 1);
    for (std::string_view piece : {input.substr(0, cut), input.substr(cut)}) {
        if (!reader.Feed(piece).ok()) return 0;
        for (ReadStatus status; (status = reader.Next(view)) == ReadStatus::kRecord;) {
            const std::uint64_t before = to_json.report().invalid_fields + to_json.report().short_records;
            row.clear();
            if (!to_json.Decode(view, reader.record_number(), row).ok()) std::abort();
            const std::size_t row_start = table.size();
            if (!to_csv.Decode(view, reader.record_number(), table).ok()) std::abort();
            if (!to_sjis.Decode(view, reader.record_number(), sjis_table).ok()) std::abort();
            // The values are the CSV row's fields.
            values.clear();
            text.clear();
            if (!to_values.DecodeValues(view, reader.record_number(), values, text).ok()) std::abort();
            if (values.size() != to_values.columns().size()) std::abort();
            std::string fields;
            for (std::size_t c = 0; c < values.size(); ++c) {
                if (c > 0) fields.push_back(',');
                if (values[c].state != ValueState::kPresent) continue;
                const std::string_view value = std::string_view(text).substr(values[c].offset, values[c].size);
                if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
                    fields.append(value);
                    continue;
                }
                fields.push_back('"');
                for (char ch : value) fields.append(ch == '"' ? 2 : 1, ch);
                fields.push_back('"');
            }
            if (table.compare(row_start, std::string::npos, fields + "\r\n") != 0) std::abort();
            if (to_json.report().invalid_fields + to_json.report().short_records != before ||
                to_json.report().replaced_text != 0) {
                continue;
            }
            record.clear();
            const Error error = encoder.Encode(std::string_view(row).substr(0, row.size() - 1), 1, record);
            if (!error.ok()) {
                if (error.code != make_error_code(Errc::kBadValue)) std::abort();
                continue;
            }
            // A record the encoder wrote is canonical: its row writes it again.
            check.clear();
            if (!again.Decode(record, 1, check).ok()) std::abort();
            rewritten.clear();
            if (!encoder.Encode(std::string_view(check).substr(0, check.size() - 1), 2, rewritten).ok() ||
                rewritten != record) {
                std::abort();
            }
        }
        table.clear();
        sjis_table.clear();
    }
    (void)reader.Finish();
    while (reader.Next(view) == ReadStatus::kRecord) {
    }
    return 0;
}
