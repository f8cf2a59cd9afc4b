// Records to rows: each field by its picture, in the order of the plan, to
// JSON Lines or CSV. A warm decoder allocates nothing per record: the text
// codec and the scratch buffers are reused, numbers are written from a
// buffer on the stack.
#include <new>

#include "dataset/errors.h"
#include "dataset/numbers.h"
#include "dataset/plan.h"
#include "dataset/row_buffer.h"
#include "dataset/sjis_text.h"
#include "dataset/text.h"
#include "lumtrax_dataset.hpp"

namespace lumtrax {
namespace dataset {

struct RecordDecoder::Impl {
    Impl(std::shared_ptr<const Layout> layout, const DecodeOptions& options)
        : options(options), codec(layout->host()), sjis(layout->host()) {
        BuildPlan(std::move(layout), plan);
        for (const PlanColumn& column : plan.columns) names.push_back(column.name);
        counts.resize(plan.counters.size());
        indices.reserve(64);
    }

    // The value of one elementary field: a number's canonical text written
    // at number (room for kMaxNumberText bytes), or its text; false for null.
    bool Extract(const PlanNode& node, std::size_t at, char* number, std::string_view& value);
    // The same as JSON (a string or null) or as a CSV field (the text, or nothing).
    void Value(const PlanNode& node, std::size_t at, RowBuffer& out);
    void Begin(std::string_view record, std::uint64_t record_number);
    void Json(int index, std::size_t shift, RowBuffer& out);
    void Csv(RowBuffer& out);
    void Counters();
    void Note(IssueKind kind, const PlanNode& node, std::size_t at, std::size_t size);

    DecodeOptions options;
    Plan plan;
    TextCodec codec;
    SjisText sjis;
    Report report;
    std::vector<std::string> names;
    std::vector<long long> counts;     // per varying table; -1 when its counter is bad
    std::vector<std::size_t> indices;  // the elements being written, outermost first (issue names)
    std::string text;                  // a text field's UTF-8
    RowBuffer row;                     // the row being written
    std::string_view record;
    std::uint64_t record_number = 0;
    std::string_view column_name;  // CSV: the column being written
};

void RecordDecoder::Impl::Note(IssueKind kind, const PlanNode& node, std::size_t at, std::size_t size) {
    ++report.invalid_fields;
    if (report.first.size() >= options.keep_issues) return;
    Issue issue;
    issue.record = record_number;
    issue.kind = kind;
    issue.offset = at;
    if (options.format == RowFormat::kCsv) {
        issue.field.assign(column_name);
    } else {
        issue.field = node.qualified.empty() ? node.name : node.qualified;
        for (std::size_t index : indices) {
            issue.field.push_back('_');
            AppendDecimal(index + 1, issue.field);
        }
    }
    const std::size_t end = std::min(record.size(), at + size);
    AppendHex(at < end ? record.substr(at, end - at) : std::string_view(), issue.bytes);
    report.first.push_back(std::move(issue));
}

bool RecordDecoder::Impl::Extract(const PlanNode& node, std::size_t at, char* number, std::string_view& value) {
    if (at + node.size > record.size()) return false;  // the record is short; counted once per record
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(record.data()) + at;
    if (IsNumber(node.kind)) {
        std::size_t length = 0;
        switch (DecodeNumber(node.picture, plan.zoned, bytes, number, length)) {
            case NumberStatus::kOk:
                value = std::string_view(number, length);
                return true;
            case NumberStatus::kBlank:
                ++report.blank_numbers;
                break;
            case NumberStatus::kBadDigit:
                Note(IssueKind::kBadDigit, node, at, node.size);
                break;
            case NumberStatus::kBadSign:
                Note(IssueKind::kBadSign, node, at, node.size);
                break;
            case NumberStatus::kBadNibble:
                Note(IssueKind::kBadNibble, node, at, node.size);
                break;
        }
        return false;
    }
    text.clear();
    const std::string_view host = record.substr(at, node.size);
    const TextOutcome outcome = options.code == RowCode::kShiftJis
                                    ? sjis.Decode(FormOf(node), host, options.text_errors, text)
                                    : codec.Decode(FormOf(node), host, options.text_errors, text);
    if (!outcome.ok) {
        Note(IssueKind::kBadText, node, at, node.size);
        return false;
    }
    if (outcome.replaced > 0) ++report.replaced_text;
    value = text;
    if (!options.trim) return true;
    // Trailing spaces, or trailing ideographic spaces of double-byte text
    // (U+3000, or 81 40 among the pairs of Shift-JIS).
    const bool utf8 = options.code == RowCode::kUtf8;
    const std::string_view wide = utf8 ? std::string_view("\xE3\x80\x80", 3) : std::string_view("\x81\x40", 2);
    for (;;) {
        if (node.kind == FieldKind::kText && !value.empty() && value.back() == ' ') {
            value.remove_suffix(1);
        } else if (node.kind == FieldKind::kDoubleByte && value.size() >= wide.size() &&
                   (utf8 || value.size() % 2 == 0) && value.substr(value.size() - wide.size()) == wide) {
            value.remove_suffix(wide.size());
        } else {
            return true;
        }
    }
}

void RecordDecoder::Impl::Value(const PlanNode& node, std::size_t at, RowBuffer& out) {
    const bool json = options.format == RowFormat::kJsonLines;
    std::string_view value;
    if (IsNumber(node.kind)) {
        // The number's text goes straight into the row, between its quotes.
        char* p = out.Reserve(kMaxNumberText + 2);
        if (!Extract(node, at, p + (json ? 1 : 0), value)) {
            out.append(json ? "null" : "", json ? 4 : 0);
            return;
        }
        std::size_t length = value.size();
        if (json) {
            p[0] = '"';
            p[length + 1] = '"';
            length += 2;
        }
        out.Commit(p + length);
        return;
    }
    if (!Extract(node, at, nullptr, value)) {
        out.append(json ? "null" : "", json ? 4 : 0);
    } else if (json) {
        out.push_back('"');
        AppendJsonEscaped(value, out);
        out.push_back('"');
    } else {
        AppendCsvField(value, out);
    }
}

void RecordDecoder::Impl::Json(int index, std::size_t shift, RowBuffer& out) {
    const PlanNode& node = plan.nodes[index];
    out.AppendPadded(node.key.data(), node.key_length);
    std::size_t count = node.occurs;
    if (node.counter >= 0) {
        if (counts[node.counter] < 0) {
            out.append("null", 4);
            return;
        }
        count = static_cast<std::size_t>(counts[node.counter]);
    }
    if (node.has_occurs) out.push_back('[');
    for (std::size_t k = 0; k < count; ++k) {
        if (k > 0) out.push_back(',');
        if (node.has_occurs) indices.push_back(k);
        const std::size_t at = shift + k * node.size;
        if (node.kind == FieldKind::kGroup) {
            out.push_back('{');
            for (std::size_t c = 0; c < node.children.size(); ++c) {
                if (c > 0) out.push_back(',');
                Json(node.children[c], at, out);
            }
            out.push_back('}');
        } else {
            Value(node, node.offset + at, out);
        }
        if (node.has_occurs) indices.pop_back();
    }
    if (node.has_occurs) out.push_back(']');
}

void RecordDecoder::Impl::Csv(RowBuffer& out) {
    for (std::size_t c = 0; c < plan.columns.size(); ++c) {
        if (c > 0) out.push_back(',');
        const PlanColumn& column = plan.columns[c];
        if (column.table >= 0 && static_cast<long long>(column.element) >= counts[column.table]) continue;
        column_name = column.name;
        Value(plan.nodes[column.node], column.offset, out);
    }
    out.append("\r\n", 2);
}

// The counters of the varying tables, read before the row is written.
void RecordDecoder::Impl::Counters() {
    for (std::size_t t = 0; t < plan.counters.size(); ++t) {
        const PlanCounter& counter = plan.counters[t];
        const Field& field = plan.layout->fields()[counter.field];
        counts[t] = -1;
        if (field.offset + field.size > record.size()) continue;
        char number[kMaxNumberText];
        std::size_t length = 0;
        const NumberPicture picture = PictureOf(field);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(record.data()) + field.offset;
        long long value = -1;
        if (DecodeNumber(picture, plan.zoned, bytes, number, length) == NumberStatus::kOk && number[0] != '-' &&
            length <= 18) {
            value = 0;
            for (std::size_t i = 0; i < length; ++i) value = value * 10 + (number[i] - '0');
        }
        if (value < static_cast<long long>(counter.min) || value > static_cast<long long>(counter.max)) {
            PlanNode counter_node;
            counter_node.name = field.name;
            if (counter.node >= 0) counter_node.qualified = plan.nodes[counter.node].qualified;
            column_name = field.name;
            Note(IssueKind::kBadCounter, counter_node, field.offset, field.size);
            continue;
        }
        counts[t] = value;
    }
}

RecordDecoder::RecordDecoder(std::shared_ptr<const Layout> layout, const DecodeOptions& options) noexcept {
    try {
        if (layout) impl_ = std::make_unique<Impl>(std::move(layout), options);
    } catch (const std::bad_alloc&) {
        impl_.reset();
    }
}

RecordDecoder::~RecordDecoder() = default;
RecordDecoder::RecordDecoder(RecordDecoder&&) noexcept = default;
RecordDecoder& RecordDecoder::operator=(RecordDecoder&&) noexcept = default;

Error RecordDecoder::AppendHeader(std::string& out) noexcept {
    if (!impl_) return MakeError(Errc::kUsage, "the decoder has no layout");
    if (impl_->options.format != RowFormat::kCsv) return {};
    try {
        out.append(impl_->plan.header);
    } catch (const std::bad_alloc&) {
        return MakeError(Errc::kHeapExhausted, "out of memory writing the header");
    }
    return {};
}

// Reads the counters and checks the record's length.
void RecordDecoder::Impl::Begin(std::string_view rec, std::uint64_t number) {
    record = rec;
    record_number = number;
    indices.clear();
    ++report.records;
    Counters();
    std::size_t needed = plan.layout->record_length();
    for (std::size_t t = 0; t < plan.counters.size(); ++t) {
        // A table whose counter is bad is not read: the record needs only what comes before it.
        needed = plan.counters[t].table_offset +
                 static_cast<std::size_t>(counts[t] < 0 ? 0 : counts[t]) * plan.counters[t].element_size;
    }
    if (record.size() < needed) {
        ++report.short_records;
        if (report.first.size() < options.keep_issues) {
            Issue issue;
            issue.record = record_number;
            issue.kind = IssueKind::kShortRecord;
            issue.offset = record.size();
            issue.field =
                "record of " + std::to_string(record.size()) + " bytes, " + std::to_string(needed) + " needed";
            report.first.push_back(std::move(issue));
        }
    } else if (record.size() > plan.layout->record_length()) {
        ++report.long_records;  // an F record with a short varying table is not long
    }
}

Error RecordDecoder::Decode(std::string_view record, std::uint64_t record_number, std::string& out) noexcept {
    if (!impl_) return MakeError(Errc::kUsage, "the decoder has no layout");
    Impl& d = *impl_;
    if (d.options.code == RowCode::kShiftJis && d.options.format != RowFormat::kCsv) {
        return MakeError(Errc::kUsage, "Shift-JIS rows are CSV only (JSON is UTF-8)");
    }
    const std::size_t kept = out.size();
    try {
        d.Begin(record, record_number);
        RowBuffer& row = d.row;
        row.clear();
        if (d.options.format == RowFormat::kCsv) {
            d.Csv(row);
        } else {
            row.push_back('{');
            for (std::size_t c = 0; c < d.plan.top.size(); ++c) {
                if (c > 0) row.push_back(',');
                d.Json(d.plan.top[c], 0, row);
            }
            row.append("}\n", 2);
        }
        out.append(row.view());
    } catch (const std::bad_alloc&) {
        out.resize(kept);
        return MakeError(Errc::kHeapExhausted, "out of memory writing a row");
    }
    return {};
}

Error RecordDecoder::DecodeValues(std::string_view record, std::uint64_t record_number, std::vector<Value>& values,
                                  std::string& text) noexcept {
    if (!impl_) return MakeError(Errc::kUsage, "the decoder has no layout");
    Impl& d = *impl_;
    const std::size_t kept_values = values.size();
    const std::size_t kept_text = text.size();
    try {
        d.Begin(record, record_number);
        char number[kMaxNumberText];
        for (const PlanColumn& column : d.plan.columns) {
            Value v;
            if (column.table >= 0 && d.counts[column.table] < 0) {
                v.state = ValueState::kUncounted;
            } else if (column.table >= 0 && static_cast<long long>(column.element) >= d.counts[column.table]) {
                v.state = ValueState::kAbsent;
            } else {
                d.column_name = column.name;
                std::string_view value;
                if (d.Extract(d.plan.nodes[column.node], column.offset, number, value)) {
                    v.state = ValueState::kPresent;
                    v.offset = text.size();
                    v.size = value.size();
                    text.append(value);
                }
            }
            values.push_back(v);
        }
    } catch (const std::bad_alloc&) {
        values.resize(kept_values);
        text.resize(kept_text);
        return MakeError(Errc::kHeapExhausted, "out of memory decoding a record");
    }
    return {};
}

void RecordDecoder::ClearReport() noexcept {
    if (!impl_) return;
    impl_->report.records = 0;
    impl_->report.invalid_fields = 0;
    impl_->report.blank_numbers = 0;
    impl_->report.replaced_text = 0;
    impl_->report.short_records = 0;
    impl_->report.long_records = 0;
    impl_->report.first.clear();
}

void Report::Add(const Report& later, std::size_t keep) noexcept {
    records += later.records;
    invalid_fields += later.invalid_fields;
    blank_numbers += later.blank_numbers;
    replaced_text += later.replaced_text;
    short_records += later.short_records;
    long_records += later.long_records;
    try {
        for (const Issue& issue : later.first) {
            if (first.size() >= keep) break;
            first.push_back(issue);
        }
    } catch (const std::bad_alloc&) {
        // The counts are whole; an issue that could not be kept is only not shown.
    }
}

const Report& RecordDecoder::report() const noexcept {
    static const Report empty;
    return impl_ ? impl_->report : empty;
}

const std::vector<std::string>& RecordDecoder::columns() const noexcept {
    static const std::vector<std::string> none;
    return impl_ ? impl_->names : none;
}

}  // namespace dataset
}  // namespace lumtrax
