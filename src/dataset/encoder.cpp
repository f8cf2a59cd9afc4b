// Rows back to records: a JSON line or a CSV record is parsed into views (no
// per-row allocation once the buffers are warm), then each field of the plan
// is written into a copy of the record's template, which holds every
// field's empty value (host spaces for text and FILLER, zero for numbers).
#include <cstring>
#include <new>

#include "dataset/errors.h"
#include "dataset/numbers.h"
#include "dataset/plan.h"
#include "dataset/sjis_text.h"
#include "dataset/text.h"
#include "lumtrax_dataset.hpp"

namespace lumtrax {
namespace dataset {
namespace {

// ---- a JSON reader into a flat list of values ---------------------------------------

struct JsonValue {
    enum Type : std::uint8_t { kNull, kTrue, kFalse, kNumber, kString, kArray, kObject };
    Type type = kNull;
    bool in_buffer = false;  // the text is in JsonReader::strings, else in the line
    bool key_in_buffer = false;
    std::size_t begin = 0, end = 0;
    std::size_t key_begin = 0, key_end = 0;
    int first = -1;  // arrays and objects: the first element or member
    int next = -1;   // the next element or member of the enclosing value
    std::size_t count = 0;
};

class JsonReader {
public:
    // Reads one JSON value that must fill line (white space around it aside).
    bool Read(std::string_view line, std::string& why) {
        line_ = line;
        at_ = 0;
        values.clear();
        strings.clear();
        why_ = &why;
        if (!Value(0)) return false;
        Space();
        if (at_ != line_.size()) return Fail("text after the JSON value");
        return true;
    }

    std::string_view Text(const JsonValue& v) const {
        return v.in_buffer ? std::string_view(strings).substr(v.begin, v.end - v.begin)
                           : line_.substr(v.begin, v.end - v.begin);
    }
    std::string_view Key(const JsonValue& v) const {
        return v.key_in_buffer ? std::string_view(strings).substr(v.key_begin, v.key_end - v.key_begin)
                               : line_.substr(v.key_begin, v.key_end - v.key_begin);
    }

    std::vector<JsonValue> values;
    std::string strings;

private:
    static constexpr int kMaxDepth = 64;

    bool Fail(const char* message) {
        *why_ = message;
        *why_ += " at byte " + std::to_string(at_ + 1);
        return false;
    }
    void Space() {
        while (at_ < line_.size() &&
               (line_[at_] == ' ' || line_[at_] == '\t' || line_[at_] == '\r' || line_[at_] == '\n')) {
            ++at_;
        }
    }
    bool Literal(const char* word, JsonValue::Type type, int index) {
        const std::size_t n = std::strlen(word);
        if (line_.substr(at_, n) != word) return Fail("not a JSON value");
        at_ += n;
        values[index].type = type;
        return true;
    }

    bool Value(int depth) {
        if (depth > kMaxDepth) return Fail("nested too deep");
        Space();
        if (at_ >= line_.size()) return Fail("a value is missing");
        const int index = static_cast<int>(values.size());
        values.emplace_back();
        const char c = line_[at_];
        if (c == '{') return Object(index, depth);
        if (c == '[') return Array(index, depth);
        if (c == '"') {
            values[index].type = JsonValue::kString;
            return String(values[index].begin, values[index].end, values[index].in_buffer);
        }
        if (c == 'n') return Literal("null", JsonValue::kNull, index);
        if (c == 't') return Literal("true", JsonValue::kTrue, index);
        if (c == 'f') return Literal("false", JsonValue::kFalse, index);
        if (c == '-' || (c >= '0' && c <= '9')) {
            values[index].type = JsonValue::kNumber;
            values[index].begin = at_;
            while (at_ < line_.size() && std::strchr("+-.0123456789eE", line_[at_]) != nullptr) ++at_;
            values[index].end = at_;
            return true;
        }
        return Fail("not a JSON value");
    }

    bool Array(int index, int depth) {
        values[index].type = JsonValue::kArray;
        ++at_;
        Space();
        if (at_ < line_.size() && line_[at_] == ']') return ++at_, true;
        int last = -1;
        for (;;) {
            const int element = static_cast<int>(values.size());
            if (!Value(depth + 1)) return false;
            Link(index, last, element);
            Space();
            if (at_ < line_.size() && line_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < line_.size() && line_[at_] == ']') return ++at_, true;
            return Fail("',' or ']' expected");
        }
    }

    bool Object(int index, int depth) {
        values[index].type = JsonValue::kObject;
        ++at_;
        Space();
        if (at_ < line_.size() && line_[at_] == '}') return ++at_, true;
        int last = -1;
        for (;;) {
            Space();
            if (at_ >= line_.size() || line_[at_] != '"') return Fail("a member name expected");
            std::size_t key_begin = 0, key_end = 0;
            bool key_in_buffer = false;
            if (!String(key_begin, key_end, key_in_buffer)) return false;
            Space();
            if (at_ >= line_.size() || line_[at_] != ':') return Fail("':' expected");
            ++at_;
            const int member = static_cast<int>(values.size());
            if (!Value(depth + 1)) return false;
            values[member].key_begin = key_begin;
            values[member].key_end = key_end;
            values[member].key_in_buffer = key_in_buffer;
            Link(index, last, member);
            Space();
            if (at_ < line_.size() && line_[at_] == ',') {
                ++at_;
                continue;
            }
            if (at_ < line_.size() && line_[at_] == '}') return ++at_, true;
            return Fail("',' or '}' expected");
        }
    }

    void Link(int parent, int& last, int child) {
        if (last < 0) {
            values[parent].first = child;
        } else {
            values[last].next = child;
        }
        last = child;
        ++values[parent].count;
    }

    static int HexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }
    bool Hex4(unsigned& value) {
        if (at_ + 4 > line_.size()) return Fail("\\u needs four hex digits");
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const int d = HexDigit(line_[at_++]);
            if (d < 0) return Fail("\\u needs four hex digits");
            value = value * 16 + static_cast<unsigned>(d);
        }
        return true;
    }
    void Utf8(unsigned cp) {
        if (cp < 0x80) {
            strings.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            strings.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            strings.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            strings.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            strings.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            strings.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            strings.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            strings.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            strings.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            strings.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }

    // A string: its text where it lies when it has no escape, else unescaped
    // into strings.
    bool String(std::size_t& begin, std::size_t& end, bool& in_buffer) {
        const std::size_t open = ++at_;
        while (at_ < line_.size() && line_[at_] != '"' && line_[at_] != '\\') {
            if (static_cast<unsigned char>(line_[at_]) < 0x20) return Fail("a control character in a string");
            ++at_;
        }
        if (at_ >= line_.size()) return Fail("the string is not closed");
        if (line_[at_] == '"') {
            begin = open;
            end = at_++;
            in_buffer = false;
            return true;
        }
        in_buffer = true;
        begin = strings.size();
        strings.append(line_.substr(open, at_ - open));
        while (at_ < line_.size() && line_[at_] != '"') {
            const char c = line_[at_++];
            if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character in a string");
            if (c != '\\') {
                strings.push_back(c);
                continue;
            }
            if (at_ >= line_.size()) break;
            const char e = line_[at_++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    strings.push_back(e);
                    break;
                case 'b':
                    strings.push_back('\b');
                    break;
                case 'f':
                    strings.push_back('\f');
                    break;
                case 'n':
                    strings.push_back('\n');
                    break;
                case 'r':
                    strings.push_back('\r');
                    break;
                case 't':
                    strings.push_back('\t');
                    break;
                case 'u': {
                    unsigned cp = 0;
                    if (!Hex4(cp)) return false;
                    if (cp >= 0xD800 && cp <= 0xDBFF) {
                        unsigned low = 0;
                        if (line_.substr(at_, 2) != "\\u") return Fail("a lone surrogate");
                        at_ += 2;
                        if (!Hex4(low)) return false;
                        if (low < 0xDC00 || low > 0xDFFF) return Fail("a lone surrogate");
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                        return Fail("a lone surrogate");
                    }
                    Utf8(cp);
                    break;
                }
                default:
                    return Fail("an unknown escape");
            }
        }
        if (at_ >= line_.size()) return Fail("the string is not closed");
        ++at_;
        end = strings.size();
        return true;
    }

    std::string_view line_;
    std::size_t at_ = 0;
    std::string* why_ = nullptr;
};

// ---- CSV fields -------------------------------------------------------------------

// Splits one CSV record into fields; quoted fields are unquoted into
// buffer. Offsets, so that the buffer may grow while it is filled.
struct CsvField {
    bool in_buffer = false;
    std::size_t begin = 0, end = 0;
};

bool SplitCsv(std::string_view row, std::vector<CsvField>& fields, std::string& buffer, std::string& why) {
    fields.clear();
    buffer.clear();
    std::size_t i = 0;
    for (;;) {
        CsvField field;
        if (i < row.size() && row[i] == '"') {
            field.in_buffer = true;
            field.begin = buffer.size();
            ++i;
            for (;;) {
                if (i >= row.size()) {
                    why = "a quoted field is not closed";
                    return false;
                }
                if (row[i] == '"') {
                    if (i + 1 < row.size() && row[i + 1] == '"') {
                        buffer.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                buffer.push_back(row[i++]);
            }
            field.end = buffer.size();
            if (i < row.size() && row[i] != ',') {
                why = "text after a quoted field, at byte " + std::to_string(i + 1);
                return false;
            }
        } else {
            field.begin = i;
            while (i < row.size() && row[i] != ',') {
                if (row[i] == '"') {
                    why = "a quote inside an unquoted field, at byte " + std::to_string(i + 1);
                    return false;
                }
                ++i;
            }
            field.end = i;
        }
        fields.push_back(field);
        if (i >= row.size()) return true;
        ++i;  // the comma
    }
}

std::string_view CsvText(std::string_view row, const std::string& buffer, const CsvField& f) {
    return f.in_buffer ? std::string_view(buffer).substr(f.begin, f.end - f.begin)
                       : row.substr(f.begin, f.end - f.begin);
}

bool ParseCount(std::string_view text, long long& value) {
    std::size_t i = 0;
    if (i < text.size() && text[i] == '+') ++i;
    if (i == text.size() || text.size() - i > 12) return false;
    value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

struct RecordEncoder::Impl {
    Impl(std::shared_ptr<const Layout> layout, const EncodeOptions& options)
        : options(options), codec(layout->host()), sjis(layout->host()) {
        BuildPlan(std::move(layout), plan);
        space = static_cast<char>(HostSpace(plan.layout->host()));
        double_space = HostDoubleSpace(plan.layout->host());
        BuildTemplate();
        counts.resize(plan.counters.size());
        given.resize(plan.counters.size());
        indices.reserve(64);
    }

    void BuildTemplate();
    void Empty(int field, std::size_t shift);
    bool Fail(Errc code, const PlanNode& node, const std::string& message);
    bool Write(const PlanNode& node, std::size_t at, bool null, JsonValue::Type type, std::string_view value);
    bool Object(const std::vector<int>& nodes, int object, std::size_t shift);
    bool Node(int index, int value, std::size_t shift);
    bool Counters();
    bool EncodeJson(std::string_view row);
    bool EncodeCsv(std::string_view row);

    EncodeOptions options;
    Plan plan;
    TextCodec codec;
    SjisText sjis;
    char space = ' ';
    const char* double_space = "  ";
    std::string empty;  // the template record
    std::string record;
    std::string text;
    JsonReader json;
    std::vector<CsvField> csv_fields;
    std::string csv_buffer;
    std::vector<int> header;  // CSV: the plan column of each header column
    bool has_header = false;
    std::vector<long long> counts;  // per varying table: its elements, -1 unknown
    std::vector<long long> given;   // per varying table: the counter's value in the row, -1 absent
    std::vector<std::size_t> indices;
    std::uint64_t row_number = 0;
    std::uint64_t replaced = 0;
    Error error;
};

void RecordEncoder::Impl::Empty(int field, std::size_t shift) {
    const Field& f = plan.layout->fields()[field];
    if (!f.active) return;
    for (std::size_t k = 0; k < f.occurs_max; ++k) {
        const std::size_t at = shift + k * f.size;
        if (f.kind == FieldKind::kGroup) {
            for (int child : f.children) Empty(child, at);
        } else if (f.kind == FieldKind::kDoubleByte) {
            for (std::size_t i = 0; i + 1 < f.size; i += 2) empty.replace(f.offset + at + i, 2, double_space, 2);
        } else if (IsNumber(f.kind)) {
            EncodeZero(PictureOf(f), plan.zoned, reinterpret_cast<std::uint8_t*>(&empty[f.offset + at]));
        }
    }
}

void RecordEncoder::Impl::BuildTemplate() {
    empty.assign(plan.layout->record_length(), space);
    Empty(plan.layout->root(), 0);
}

bool RecordEncoder::Impl::Fail(Errc code, const PlanNode& node, const std::string& message) {
    error = MakeError(code, "");
    error.row = row_number;
    error.field = node.qualified.empty() ? node.name : node.qualified;
    for (std::size_t index : indices) {
        error.field.push_back('_');
        AppendDecimal(index + 1, error.field);
    }
    error.message = "row " + std::to_string(row_number) + ", field " + error.field + ": " + message;
    return false;
}

bool RecordEncoder::Impl::Write(const PlanNode& node, std::size_t at, bool null, JsonValue::Type type,
                                std::string_view value) {
    auto* out = reinterpret_cast<std::uint8_t*>(&record[at]);
    if (IsNumber(node.kind)) {
        if (null) {
            if (node.kind != FieldKind::kZoned)
                return Fail(Errc::kBadValue, node, "a binary or packed number cannot be empty");
            EncodeBlank(node.picture, plan.zoned, out);
            return true;
        }
        if (type != JsonValue::kString && type != JsonValue::kNumber) {
            return Fail(Errc::kBadValue, node, "a number is given as a string or a JSON number");
        }
        const ValueStatus status = EncodeNumber(node.picture, plan.zoned, value.data(), value.size(), out);
        if (status != ValueStatus::kOk) {
            return Fail(Errc::kBadValue, node, "\"" + std::string(value) + "\" " + ValueStatusText(status));
        }
        return true;
    }
    if (null) return true;  // the template's spaces
    if (type != JsonValue::kString) return Fail(Errc::kBadValue, node, "text is given as a string");
    text.clear();
    const TextOutcome outcome = options.code == RowCode::kShiftJis
                                    ? sjis.Encode(FormOf(node), value, options.text_errors, text)
                                    : codec.Encode(FormOf(node), value, options.text_errors, text);
    if (!outcome.ok) {
        return Fail(Errc::kBadValue, node,
                    "\"" + std::string(value.substr(outcome.bad_begin, outcome.bad_end - outcome.bad_begin)) +
                        "\" has no form in the host code");
    }
    replaced += outcome.replaced;
    if (text.size() > node.size) {
        return Fail(Errc::kBadValue, node,
                    "the value takes " + std::to_string(text.size()) + " bytes in the host code, the field has " +
                        std::to_string(node.size));
    }
    std::memcpy(out, text.data(), text.size());
    // The rest keeps the template's padding: host spaces, or double-byte spaces.
    std::memcpy(out + text.size(), empty.data() + at + text.size(), node.size - text.size());
    return true;
}

bool RecordEncoder::Impl::Object(const std::vector<int>& nodes, int object, std::size_t shift) {
    const JsonValue& o = json.values[object];
    // Members mostly come in the layout's order: each search begins after
    // the member found last, and goes round once.
    std::size_t found = 0;
    int from = o.first;
    for (int n : nodes) {
        const PlanNode& node = plan.nodes[n];
        int member = -1;
        for (int m = from; m >= 0 && member < 0; m = json.values[m].next) {
            if (json.Key(json.values[m]) == node.name) member = m;
        }
        for (int m = o.first; m != from && m >= 0 && member < 0; m = json.values[m].next) {
            if (json.Key(json.values[m]) == node.name) member = m;
        }
        if (member < 0) {
            if (node.counts_for >= 0) continue;  // set from its table's length
            return Fail(Errc::kBadRow, node, "the row has no value for it");
        }
        ++found;
        from = json.values[member].next >= 0 ? json.values[member].next : o.first;
        if (!Node(n, member, shift)) return false;
    }
    if (found == o.count) return true;
    // A member that names no field here, or one named twice.
    for (int m = o.first; m >= 0; m = json.values[m].next) {
        const std::string_view key = json.Key(json.values[m]);
        bool known = false;
        for (int n : nodes) known = known || plan.nodes[n].name == key;
        int same = 0;
        for (int k = o.first; k >= 0; k = json.values[k].next) same += json.Key(json.values[k]) == key ? 1 : 0;
        if (!known || same > 1) {
            error = MakeError(Errc::kBadRow, "row " + std::to_string(row_number) + ": \"" + std::string(key) +
                                                 (known ? "\" is given twice" : "\" is no field here"));
            error.row = row_number;
            error.field = std::string(key);
            return false;
        }
    }
    return true;
}

bool RecordEncoder::Impl::Node(int index, int value, std::size_t shift) {
    const PlanNode& node = plan.nodes[index];
    const JsonValue& v = json.values[value];
    if (node.counts_for >= 0 && v.type != JsonValue::kNull) {
        long long n = -1;
        if (!ParseCount(json.Text(v), n)) return Fail(Errc::kBadValue, node, "a counter is a whole number");
        given[node.counts_for] = n;
    }
    std::size_t count = 1;
    int element = value;
    if (node.has_occurs) {
        if (v.type != JsonValue::kArray) return Fail(Errc::kBadValue, node, "a table is given as an array");
        count = v.count;
        if (node.counter >= 0) {
            if (count < node.occurs_min || count > node.occurs) {
                return Fail(Errc::kBadValue, node,
                            "the table has " + std::to_string(count) + " elements; " + std::to_string(node.occurs_min) +
                                " to " + std::to_string(node.occurs) + " fit");
            }
            counts[node.counter] = static_cast<long long>(count);
        } else if (count != node.occurs) {
            return Fail(Errc::kBadValue, node,
                        "the table has " + std::to_string(count) + " elements, not " + std::to_string(node.occurs));
        }
        element = v.first;
    }
    for (std::size_t k = 0; k < count; ++k, element = node.has_occurs ? json.values[element].next : element) {
        if (node.has_occurs) indices.push_back(k);
        const JsonValue& e = json.values[element];
        const std::size_t at = shift + k * node.size;
        bool ok = true;
        if (node.kind == FieldKind::kGroup) {
            if (e.type != JsonValue::kObject) return Fail(Errc::kBadValue, node, "a group is given as an object");
            ok = Object(node.children, element, at);
        } else {
            ok = Write(node, node.offset + at, e.type == JsonValue::kNull, e.type, json.Text(e));
        }
        if (!ok) return false;
        if (node.has_occurs) indices.pop_back();
    }
    return true;
}

// Each varying table's counter: the table's length where the row leaves it
// out, and the same number where it gives it.
bool RecordEncoder::Impl::Counters() {
    for (std::size_t t = 0; t < plan.counters.size(); ++t) {
        const PlanCounter& counter = plan.counters[t];
        const Field& field = plan.layout->fields()[counter.field];
        if (counts[t] < 0) continue;
        if (given[t] >= 0) {
            if (given[t] != counts[t]) {
                PlanNode named;
                named.name = field.name;
                return Fail(Errc::kBadValue, named,
                            "the counter says " + std::to_string(given[t]) + ", its table has " +
                                std::to_string(counts[t]) + " elements");
            }
            continue;
        }
        char digits[20];
        int at = 20;
        for (auto n = static_cast<std::uint64_t>(counts[t]); at == 20 || n != 0; n /= 10) {
            digits[--at] = static_cast<char>('0' + n % 10);
        }
        const ValueStatus status =
            EncodeNumber(PictureOf(field), plan.zoned, digits + at, static_cast<std::size_t>(20 - at),
                         reinterpret_cast<std::uint8_t*>(&record[field.offset]));
        PlanNode named;
        if (status != ValueStatus::kOk) named.name = field.name;
        if (status != ValueStatus::kOk)
            return Fail(Errc::kBadValue, named, "the table's length does not fit its counter");
    }
    return true;
}

bool RecordEncoder::Impl::EncodeJson(std::string_view row) {
    std::string why;
    if (!json.Read(row, why)) {
        error = MakeError(Errc::kBadRow, "row " + std::to_string(row_number) + ": " + why);
        error.row = row_number;
        return false;
    }
    if (json.values[0].type != JsonValue::kObject) {
        error = MakeError(Errc::kBadRow, "row " + std::to_string(row_number) + ": a row is a JSON object");
        error.row = row_number;
        return false;
    }
    return Object(plan.top, 0, 0) && Counters();
}

bool RecordEncoder::Impl::EncodeCsv(std::string_view row) {
    std::string why;
    if (!has_header) {
        error = MakeError(Errc::kUsage, "CSV rows need SetHeader first");
        return false;
    }
    if (!SplitCsv(row, csv_fields, csv_buffer, why) || csv_fields.size() != header.size()) {
        if (why.empty()) {
            why = std::to_string(csv_fields.size()) + " fields, the header has " + std::to_string(header.size());
        }
        error = MakeError(Errc::kBadRow, "row " + std::to_string(row_number) + ": " + why);
        error.row = row_number;
        return false;
    }
    // The counters first: they say which elements of the tables are there.
    for (std::size_t i = 0; i < header.size(); ++i) {
        const PlanNode& node = plan.nodes[plan.columns[header[i]].node];
        if (node.counts_for < 0) continue;
        long long n = -1;
        if (!ParseCount(CsvText(row, csv_buffer, csv_fields[i]), n) ||
            n < static_cast<long long>(plan.counters[node.counts_for].min) ||
            n > static_cast<long long>(plan.counters[node.counts_for].max)) {
            return Fail(Errc::kBadValue, node, "the counter is no whole number within its table's bounds");
        }
        counts[node.counts_for] = n;
    }
    for (std::size_t i = 0; i < header.size(); ++i) {
        const PlanColumn& column = plan.columns[header[i]];
        const PlanNode& node = plan.nodes[column.node];
        const std::string_view value = CsvText(row, csv_buffer, csv_fields[i]);
        if (column.table >= 0 && static_cast<long long>(column.element) >= counts[column.table]) {
            if (!value.empty()) {
                error = MakeError(Errc::kBadValue, "row " + std::to_string(row_number) + ", field " + column.name +
                                                       ": a value past the table's counter");
                error.row = row_number;
                error.field = column.name;
                return false;
            }
            continue;
        }
        if (!Write(node, column.offset, value.empty(), JsonValue::kString, value)) {
            error.field = column.name;
            error.message = "row " + std::to_string(row_number) + ", field " + column.name +
                            error.message.substr(error.message.find(':'));
            return false;
        }
    }
    return true;
}

RecordEncoder::RecordEncoder(std::shared_ptr<const Layout> layout, const EncodeOptions& options) noexcept {
    try {
        if (layout) impl_ = std::make_unique<Impl>(std::move(layout), options);
    } catch (const std::bad_alloc&) {
        impl_.reset();
    }
}

RecordEncoder::~RecordEncoder() = default;
RecordEncoder::RecordEncoder(RecordEncoder&&) noexcept = default;
RecordEncoder& RecordEncoder::operator=(RecordEncoder&&) noexcept = default;

Error RecordEncoder::SetHeader(std::string_view header) noexcept {
    if (!impl_) return MakeError(Errc::kUsage, "the encoder has no layout");
    Impl& e = *impl_;
    try {
        std::string why;
        if (!SplitCsv(header, e.csv_fields, e.csv_buffer, why)) return MakeError(Errc::kBadRow, "header: " + why);
        e.header.clear();
        std::vector<bool> seen(e.plan.columns.size(), false);
        for (const CsvField& f : e.csv_fields) {
            const std::string_view name = CsvText(header, e.csv_buffer, f);
            int found = -1;
            for (std::size_t c = 0; c < e.plan.columns.size() && found < 0; ++c) {
                if (e.plan.columns[c].name == name) found = static_cast<int>(c);
            }
            if (found < 0 || seen[found]) {
                Error error =
                    MakeError(Errc::kBadRow, "header: \"" + std::string(name) +
                                                 (found < 0 ? "\" is no column of the layout" : "\" is there twice"));
                error.field = std::string(name);
                return error;
            }
            seen[found] = true;
            e.header.push_back(found);
        }
        for (std::size_t c = 0; c < seen.size(); ++c) {
            if (!seen[c]) {
                Error error = MakeError(Errc::kBadRow, "header: the column " + e.plan.columns[c].name + " is missing");
                error.field = e.plan.columns[c].name;
                return error;
            }
        }
        e.has_header = true;
    } catch (const std::bad_alloc&) {
        return MakeError(Errc::kHeapExhausted, "out of memory reading the header");
    }
    return {};
}

Error RecordEncoder::Encode(std::string_view row, std::uint64_t row_number, std::string& out) noexcept {
    if (!impl_) return MakeError(Errc::kUsage, "the encoder has no layout");
    Impl& e = *impl_;
    if (e.options.code == RowCode::kShiftJis && e.options.format != RowFormat::kCsv) {
        return MakeError(Errc::kUsage, "Shift-JIS rows are CSV only (JSON is UTF-8)");
    }
    try {
        e.row_number = row_number;
        e.error = Error{};
        e.record.assign(e.empty);
        e.indices.clear();
        for (std::size_t t = 0; t < e.counts.size(); ++t) e.counts[t] = e.given[t] = -1;
        const bool ok = e.options.format == RowFormat::kCsv ? e.EncodeCsv(row) : e.EncodeJson(row);
        if (!ok) return e.error;
        std::size_t length = e.record.size();
        if (e.options.variable_length) {
            for (std::size_t t = 0; t < e.counts.size(); ++t) {
                if (e.counts[t] >= 0) {
                    length = e.plan.counters[t].table_offset +
                             static_cast<std::size_t>(e.counts[t]) * e.plan.counters[t].element_size;
                }
            }
        }
        out.append(e.record, 0, length);
    } catch (const std::bad_alloc&) {
        return MakeError(Errc::kHeapExhausted, "out of memory writing a record");
    }
    return {};
}

std::uint64_t RecordEncoder::replaced_text() const noexcept { return impl_ ? impl_->replaced : 0; }

bool NextRow(RowFormat format, std::string_view& text, std::string_view& row, bool at_end) noexcept {
    std::size_t end = std::string_view::npos;
    if (format == RowFormat::kJsonLines) {
        end = text.find('\n');
    } else {
        bool quoted = false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '"') quoted = !quoted;
            if (text[i] == '\n' && !quoted) {
                end = i;
                break;
            }
        }
    }
    if (end == std::string_view::npos) {
        if (!at_end || text.empty()) return false;
        row = text;
        text = {};
        return true;
    }
    row = text.substr(0, end);
    if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
    text.remove_prefix(end + 1);
    return true;
}

}  // namespace dataset
}  // namespace lumtrax
