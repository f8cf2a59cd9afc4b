#include "dataset.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pybind11/stl.h>

#include "buffers.h"
#include "lumtrax_dataset.hpp"

namespace lumtrax_python {
namespace {

namespace ds = lumtrax::dataset;

// The package's own exception factory (lumtrax/dataset.py) and
// decimal.Decimal, handed over once by _bind_dataset.
PyObject* g_error_factory = nullptr;
PyObject* g_decimal = nullptr;

// Raises the package's exception for a dataset error: CopybookError,
// FrameError or RowError, with the numbers that apply.
[[noreturn]] void RaiseDataset(const ds::Error& error) {
    if (error.code == ds::Errc::kHeapExhausted) {
        PyErr_NoMemory();
        throw py::error_already_set();
    }
    const char* kind = error.code == ds::Errc::kCopybook   ? "copybook"
                       : error.code == ds::Errc::kBadFrame ? "frame"
                       : error.code == ds::Errc::kUsage    ? "usage"
                                                           : "row";
    if (g_error_factory == nullptr) Raise(PyExc_RuntimeError, error.message);
    const py::object exception = py::reinterpret_borrow<py::object>(g_error_factory)(
        kind, error.message, error.line, error.column, error.record, error.offset, error.row, error.field);
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(exception.ptr())), exception.ptr());
    throw py::error_already_set();
}

lumtrax::Code ParseHost(const std::string& name) {
    if (name == "ebcdic") return lumtrax::Code::kEbcdic;
    if (name == "ebcdic_kana") return lumtrax::Code::kEbcdicKana;
    if (name == "8bit") return lumtrax::Code::kEightBit;
    if (name == "8bit_70") return lumtrax::Code::kEightBit70;
    if (name == "euc") return lumtrax::Code::kEuc;
    Raise(types.argument, "host must be 'ebcdic', 'ebcdic_kana', '8bit', '8bit_70' or 'euc', not '" + name + "'");
}

ds::RecordFormat ParseFormat(const std::string& name) {
    if (name == "f") return ds::RecordFormat::kFixed;
    if (name == "fb") return ds::RecordFormat::kFixedBlocked;
    if (name == "v") return ds::RecordFormat::kVariable;
    if (name == "vb") return ds::RecordFormat::kVariableBlocked;
    Raise(types.argument, "format must be 'f', 'fb', 'v' or 'vb', not '" + name + "'");
}

ds::TextErrors ParseTextErrors(const std::string& name) {
    if (name == "strict") return ds::TextErrors::kStrict;
    if (name == "replace") return ds::TextErrors::kReplace;
    Raise(types.argument, "text_errors must be 'strict' or 'replace', not '" + name + "'");
}

const char* KindName(ds::FieldKind kind) {
    switch (kind) {
        case ds::FieldKind::kGroup:
            return "group";
        case ds::FieldKind::kText:
            return "text";
        case ds::FieldKind::kDoubleByte:
            return "double_byte";
        case ds::FieldKind::kZoned:
            return "zoned";
        case ds::FieldKind::kPacked:
            return "packed";
        case ds::FieldKind::kBinary:
            return "binary";
        case ds::FieldKind::kNativeBinary:
            return "native_binary";
    }
    return "?";
}

bool IsNumber(ds::FieldKind kind) {
    return kind == ds::FieldKind::kZoned || kind == ds::FieldKind::kPacked || kind == ds::FieldKind::kBinary ||
           kind == ds::FieldKind::kNativeBinary;
}

// ---- the layout -----------------------------------------------------------------

class PyLayout {
public:
    PyLayout(const std::string& text, const std::string& host, const std::string& record,
             const std::vector<std::string>& redefines, const std::string& source_format) {
        ds::CopybookOptions options;
        options.host = ParseHost(host);
        options.record = record;
        options.redefines = redefines;
        if (source_format == "fixed") {
            options.format = ds::SourceFormat::kFixed;
        } else if (source_format == "free") {
            options.format = ds::SourceFormat::kFree;
        } else if (source_format != "auto") {
            Raise(types.argument, "source_format must be 'auto', 'fixed' or 'free', not '" + source_format + "'");
        }
        ds::LayoutResult result = ds::ParseCopybook(text, options);
        if (!result.layout) RaiseDataset(result.error);
        layout_ = std::move(result.layout);
        columns_ = ds::RecordDecoder(layout_).columns();
    }

    const std::shared_ptr<const ds::Layout>& layout() const { return layout_; }
    const std::vector<std::string>& columns() const { return columns_; }

    // (name, level, offset, size, kind, digits, scale, signed, occurs_min,
    // occurs_max, depending_on, redefines, parent, active, filler) for each item.
    py::list Fields() const {
        py::list fields;
        const auto& all = layout_->fields();
        auto name_of = [&all](int index) -> py::object {
            if (index < 0) return py::none();
            return py::str(all[static_cast<std::size_t>(index)].name);
        };
        for (const ds::Field& f : all) {
            fields.append(py::make_tuple(f.name, f.level, f.offset, f.size, KindName(f.kind), f.digits, f.scale,
                                         f.is_signed, f.occurs_min, f.has_occurs ? f.occurs_max : 1,
                                         name_of(f.depending_on), name_of(f.redefines), name_of(f.parent), f.active,
                                         f.is_filler));
        }
        return fields;
    }

private:
    std::shared_ptr<const ds::Layout> layout_;
    std::vector<std::string> columns_;
};

// ---- rows as Python objects ---------------------------------------------------------

// How a column's values become Python objects.
enum class ColumnType {
    kInt64,    // an integer that always fits 64 bits: int (a DataFrame's Int64)
    kInteger,  // an integer that may not: int
    kDecimal,  // a number with a scale: decimal.Decimal
    kText,     // str
};

struct Column {
    py::object key;  // the flat name, as a str
    ColumnType type = ColumnType::kText;
};

ColumnType TypeOf(const ds::Field& f) {
    if (!IsNumber(f.kind)) return ColumnType::kText;
    if (f.scale > 0) return ColumnType::kDecimal;
    // A binary field may hold more than its picture's digits: its storage
    // bounds it (2 bytes: 5 digits, 4: 10, 8: 20).
    const bool binary = f.kind == ds::FieldKind::kBinary || f.kind == ds::FieldKind::kNativeBinary;
    const int digits = !binary ? f.digits : f.size == 2 ? 5 : f.size == 4 ? 10 : 20;
    const bool signed_eight_bytes = binary && f.size == 8 && f.is_signed && f.scale == 0;  // int64 itself
    return signed_eight_bytes || digits - f.scale <= 18 ? ColumnType::kInt64 : ColumnType::kInteger;
}

// The shape of a row as nested dicts: the carried fields (active, not
// FILLER) as the decoder's columns walk them.
struct Shape {
    py::object key;
    bool group = false;
    bool array = false;
    std::size_t occurs = 1;
    std::size_t width = 0;  // the columns of one element
    std::vector<Shape> children;
};

class RowBuilder {
public:
    explicit RowBuilder(const PyLayout& layout) {
        const ds::Layout& l = *layout.layout();
        const ds::Field& root = l.fields()[static_cast<std::size_t>(l.root())];
        std::vector<ColumnType> types_in_order;
        for (int child : root.children) {
            if (Carried(l, child)) top_.push_back(MakeShape(l, child, types_in_order));
        }
        const std::vector<std::string>& names = layout.columns();
        if (names.size() != types_in_order.size())
            Raise(PyExc_RuntimeError, "the row's shape does not match its columns");
        for (std::size_t c = 0; c < names.size(); ++c) columns_.push_back({py::str(names[c]), types_in_order[c]});
    }

    const std::vector<Column>& columns() const { return columns_; }

    // A new reference to the value of column c, None for null; absent values
    // are never asked for.
    PyObject* Make(std::size_t c, const ds::Value& v, const std::string& text) const {
        if (v.state != ds::ValueState::kPresent) Py_RETURN_NONE;
        const char* p = text.data() + v.offset;
        switch (columns_[c].type) {
            case ColumnType::kText:
                return PyUnicode_DecodeUTF8(p, static_cast<Py_ssize_t>(v.size), "strict");
            case ColumnType::kDecimal: {
                PyObject* digits = PyUnicode_FromStringAndSize(p, static_cast<Py_ssize_t>(v.size));
                if (digits == nullptr) return nullptr;
                PyObject* value = PyObject_CallFunctionObjArgs(g_decimal, digits, nullptr);
                Py_DECREF(digits);
                return value;
            }
            case ColumnType::kInt64:
                return PyLong_FromLongLong(ParseInt64(p, v.size));
            case ColumnType::kInteger: {
                char buffer[128];
                const std::size_t n = v.size < sizeof buffer - 1 ? v.size : sizeof buffer - 1;
                std::memcpy(buffer, p, n);
                buffer[n] = '\0';
                return PyLong_FromString(buffer, nullptr, 10);
            }
        }
        Py_RETURN_NONE;
    }

    // One record's values as a dict: nested (groups as dicts, OCCURS as
    // lists) or flat (the CSV columns).
    py::object Row(const ds::Value* values, const std::string& text, bool flat) const {
        if (flat) {
            py::dict row;
            for (std::size_t c = 0; c < columns_.size(); ++c) {
                const py::object value = Steal(Make(c, values[c], text));
                if (PyDict_SetItem(row.ptr(), columns_[c].key.ptr(), value.ptr()) != 0) throw py::error_already_set();
            }
            return std::move(row);
        }
        std::size_t column = 0;
        return Group(top_, values, text, column);
    }

    static std::int64_t ParseInt64(const char* p, std::size_t n) {
        // Negative values are summed as such, so that the least int64 fits.
        const bool negative = n > 0 && p[0] == '-';
        std::int64_t value = 0;
        for (std::size_t i = negative ? 1 : 0; i < n; ++i) value = value * 10 + (negative ? '0' - p[i] : p[i] - '0');
        return value;
    }

private:
    static bool Carried(const ds::Layout& l, int index) {
        const ds::Field& f = l.fields()[static_cast<std::size_t>(index)];
        return f.active && !f.is_filler;
    }

    Shape MakeShape(const ds::Layout& l, int index, std::vector<ColumnType>& types_in_order) {
        const ds::Field& f = l.fields()[static_cast<std::size_t>(index)];
        Shape shape;
        shape.key = py::str(f.name);
        shape.array = f.has_occurs;
        shape.occurs = f.occurs_max;
        shape.group = f.kind == ds::FieldKind::kGroup;
        if (!shape.group) {
            shape.width = 1;
            for (std::size_t k = 0; k < shape.occurs; ++k) types_in_order.push_back(TypeOf(f));
            return shape;
        }
        std::vector<ColumnType> element;
        for (int child : f.children) {
            if (Carried(l, child)) shape.children.push_back(MakeShape(l, child, element));
        }
        shape.width = element.size();
        for (std::size_t k = 0; k < shape.occurs; ++k) {
            types_in_order.insert(types_in_order.end(), element.begin(), element.end());
        }
        return shape;
    }

    py::object Element(const Shape& shape, const ds::Value* values, const std::string& text,
                       std::size_t& column) const {
        if (shape.group) return Group(shape.children, values, text, column);
        const std::size_t c = column++;
        return Steal(Make(c, values[c], text));
    }

    py::object Group(const std::vector<Shape>& shapes, const ds::Value* values, const std::string& text,
                     std::size_t& column) const {
        py::dict group;
        for (const Shape& shape : shapes) {
            py::object value;
            if (!shape.array) {
                value = Element(shape, values, text, column);
            } else {
                py::list list;
                bool uncounted = false;
                for (std::size_t k = 0; k < shape.occurs; ++k) {
                    const ds::ValueState state = shape.width > 0 ? values[column].state : ds::ValueState::kPresent;
                    if (state == ds::ValueState::kAbsent || state == ds::ValueState::kUncounted) {
                        uncounted = uncounted || state == ds::ValueState::kUncounted;
                        column += shape.width;
                        continue;
                    }
                    list.append(Element(shape, values, text, column));
                }
                value = uncounted ? py::none() : py::object(std::move(list));
            }
            if (PyDict_SetItem(group.ptr(), shape.key.ptr(), value.ptr()) != 0) throw py::error_already_set();
        }
        return std::move(group);
    }

    std::vector<Shape> top_;
    std::vector<Column> columns_;
};

// ---- the reader ---------------------------------------------------------------------------

// Column data for a DataFrame: Int64 columns as 64-bit values and a mask of
// the missing ones, the others as lists of objects.
struct ColumnData {
    std::string values;  // int64_t values, native order
    std::string mask;    // one byte a row: 1 missing
    py::list objects;
};

class PyDatasetReader {
public:
    PyDatasetReader(const PyLayout& layout, const std::string& format, std::size_t record_length, bool little_endian,
                    bool length_excludes_descriptor, bool skip_bad, bool trim, const std::string& text_errors,
                    bool flat, bool columns, std::uint64_t record_base)
        : builder_(layout), flat_(flat), gather_(columns), record_base_(record_base), framing_(), reader_(framing_) {
        framing_.format = ParseFormat(format);
        framing_.record_length = record_length == 0 ? layout.layout()->record_length() : record_length;
        framing_.little_endian = little_endian;
        framing_.length_excludes_descriptor = length_excludes_descriptor;
        framing_.skip_bad = skip_bad;
        reader_ = ds::RecordReader(framing_);
        ds::DecodeOptions options;
        options.trim = trim;
        options.text_errors = ParseTextErrors(text_errors);
        decoder_ = std::make_unique<ds::RecordDecoder>(layout.layout(), options);
        if (gather_) data_.resize(builder_.columns().size());
    }

    // Frames and decodes the next piece of the data set (final: the end of
    // it), and gives the rows of the records it completed (a list of dicts),
    // or gathers them into the columns. A bad frame is raised once the rows
    // before it have been given.
    py::object Feed(py::handle data, bool final) {
        InUse in_use(busy_);
        if (pending_error_) {
            const ds::Error error = *pending_error_;
            pending_error_.reset();
            RaiseDataset(error);
        }
        Buffers buffers;
        const Text piece = buffers.Take(data.ptr(), "data");
        values_.clear();
        text_.clear();
        std::size_t records = 0;
        ds::Error error;
        {
            std::optional<py::gil_scoped_release> unlocked;
            if (piece.bytes.size() >= kReleaseGilAt) unlocked.emplace();
            error = Decode(piece.bytes, final, records);
        }
        py::list rows;
        const std::size_t width = builder_.columns().size();
        for (std::size_t r = 0; r < records; ++r) {
            const ds::Value* values = values_.data() + r * width;
            if (gather_) {
                Gather(values);
            } else {
                rows.append(builder_.Row(values, text_, flat_));
            }
        }
        if (!error.ok()) {
            if (records == 0) RaiseDataset(error);
            pending_error_ = error;
        }
        if (gather_) return py::none();
        return std::move(rows);
    }

    // The gathered columns: (name, "int64", values, mask) or (name, type, list).
    py::list TakeColumns() {
        InUse in_use(busy_);
        py::list columns;
        for (std::size_t c = 0; c < data_.size(); ++c) {
            const Column& column = builder_.columns()[c];
            ColumnData& d = data_[c];
            if (column.type == ColumnType::kInt64) {
                columns.append(py::make_tuple(column.key, "int64", Bytes(d.values), Bytes(d.mask)));
            } else {
                const char* type = column.type == ColumnType::kText      ? "text"
                                   : column.type == ColumnType::kDecimal ? "decimal"
                                                                         : "integer";
                columns.append(py::make_tuple(column.key, type, d.objects));
            }
            d = ColumnData();
        }
        return columns;
    }

    py::dict Report() const {
        const ds::Report& r = decoder_->report();
        py::list issues;
        for (const ds::Issue& issue : r.first) {
            static const char* const kKinds[] = {"",         "bad_digit",    "bad_sign",   "bad_nibble",
                                                 "bad_text", "short_record", "bad_counter"};
            issues.append(py::make_tuple(issue.record, issue.field, issue.offset, issue.bytes,
                                         kKinds[static_cast<int>(issue.kind)]));
        }
        py::dict report;
        report["records"] = r.records;
        report["invalid_fields"] = r.invalid_fields;
        report["blank_numbers"] = r.blank_numbers;
        report["replaced_text"] = r.replaced_text;
        report["short_records"] = r.short_records;
        report["long_records"] = r.long_records;
        report["skipped"] = reader_.skipped();
        report["skipped_bytes"] = reader_.skipped_bytes();
        report["issues"] = issues;
        return report;
    }

private:
    // Without the GIL: frames and decodes into values_ and text_.
    ds::Error Decode(std::string_view piece, bool final, std::size_t& records) {
        ds::Error error = reader_.Feed(piece);
        if (!error.ok()) return error;
        for (int round = 0; round < (final ? 2 : 1); ++round) {
            if (round == 1) {
                error = reader_.Finish();
                if (!error.ok()) return error;
            }
            std::string_view record;
            ds::ReadStatus status;
            while ((status = reader_.Next(record)) == ds::ReadStatus::kRecord) {
                error = decoder_->DecodeValues(record, record_base_ + reader_.record_number(), values_, text_);
                if (!error.ok()) return error;
                ++records;
            }
            if (status == ds::ReadStatus::kError) return reader_.error();
        }
        return {};
    }

    void Gather(const ds::Value* values) {
        for (std::size_t c = 0; c < data_.size(); ++c) {
            ColumnData& d = data_[c];
            const ds::Value& v = values[c];
            if (builder_.columns()[c].type == ColumnType::kInt64) {
                const bool present = v.state == ds::ValueState::kPresent;
                const std::int64_t value = present ? RowBuilder::ParseInt64(text_.data() + v.offset, v.size) : 0;
                d.values.append(reinterpret_cast<const char*>(&value), sizeof value);
                d.mask.push_back(present ? '\0' : '\1');
            } else {
                const py::object value = Steal(builder_.Make(c, v, text_));
                if (PyList_Append(d.objects.ptr(), value.ptr()) != 0) throw py::error_already_set();
            }
        }
    }

    RowBuilder builder_;
    bool flat_;
    bool gather_;
    std::uint64_t record_base_;  // added to the record numbers of the reports
    ds::FramingOptions framing_;
    ds::RecordReader reader_;
    std::unique_ptr<ds::RecordDecoder> decoder_;
    std::vector<ds::Value> values_;
    std::string text_;
    std::vector<ColumnData> data_;
    std::optional<ds::Error> pending_error_;
    bool busy_ = false;
};

// ---- the writer ---------------------------------------------------------------------------

class PyDatasetWriter {
public:
    PyDatasetWriter(const PyLayout& layout, const std::string& format, std::size_t block_size, bool little_endian,
                    bool length_excludes_descriptor, const std::string& text_errors, bool csv)
        : framing_(), writer_(framing_) {
        framing_.format = ParseFormat(format);
        framing_.record_length = layout.layout()->record_length();
        framing_.little_endian = little_endian;
        framing_.length_excludes_descriptor = length_excludes_descriptor;
        if (block_size > 0) framing_.block_size = block_size;
        writer_ = ds::RecordWriter(framing_);
        ds::EncodeOptions options;
        options.format = csv ? ds::RowFormat::kCsv : ds::RowFormat::kJsonLines;
        options.text_errors = ParseTextErrors(text_errors);
        options.variable_length =
            framing_.format == ds::RecordFormat::kVariable || framing_.format == ds::RecordFormat::kVariableBlocked;
        format_ = options.format;
        encoder_ = std::make_unique<ds::RecordEncoder>(layout.layout(), options);
    }

    void SetHeader(const std::string& header) {
        const ds::Error error = encoder_->SetHeader(header);
        if (!error.ok()) RaiseDataset(error);
    }

    // Encodes rows (JSON lines, or CSV records, each ended by a line end)
    // and gives the framed bytes that are complete (final: all of them).
    py::bytes Write(py::handle data, bool final) {
        InUse in_use(busy_);
        Buffers buffers;
        const Text rows = buffers.Take(data.ptr(), "rows");
        out_.clear();
        ds::Error error;
        {
            std::optional<py::gil_scoped_release> unlocked;
            if (rows.bytes.size() >= kReleaseGilAt) unlocked.emplace();
            error = Encode(rows.bytes, final);
        }
        if (!error.ok()) RaiseDataset(error);
        return Bytes(out_);
    }

    std::uint64_t replaced() const { return encoder_->replaced_text(); }
    std::uint64_t records() const { return rows_; }

private:
    ds::Error Encode(std::string_view text, bool final) {
        std::string_view row;
        while (ds::NextRow(format_, text, row, true)) {
            record_.clear();
            ds::Error error = encoder_->Encode(row, rows_ + 1, record_);
            if (!error.ok()) return error;
            ++rows_;
            error = writer_.Write(record_, out_);
            if (!error.ok()) return error;
        }
        return final ? writer_.Finish(out_) : ds::Error{};
    }

    ds::FramingOptions framing_;
    ds::RecordWriter writer_;
    ds::RowFormat format_ = ds::RowFormat::kJsonLines;
    std::unique_ptr<ds::RecordEncoder> encoder_;
    std::string record_;
    std::string out_;
    std::uint64_t rows_ = 0;
    bool busy_ = false;
};

void BindDataset(py::handle error_factory, py::handle decimal) {
    g_error_factory = py::reinterpret_borrow<py::object>(error_factory).release().ptr();  // for the process's life
    g_decimal = py::reinterpret_borrow<py::object>(decimal).release().ptr();
}

}  // namespace

void AddDatasets(py::module_& m) {
    m.def("_bind_dataset", &BindDataset, "lumtrax.dataset's exception factory and decimal.Decimal.");
    py::class_<PyLayout>(m, "_Layout", "A copybook parsed once: the layout of a data set's records.")
        .def(py::init<const std::string&, const std::string&, const std::string&, const std::vector<std::string>&,
                      const std::string&>(),
             py::arg("text"), py::arg("host"), py::arg("record"), py::arg("redefines"), py::arg("source_format"))
        .def_property_readonly("record_length", [](const PyLayout& l) { return l.layout()->record_length(); })
        .def_property_readonly("fixed_length", [](const PyLayout& l) { return l.layout()->fixed_length(); })
        .def_property_readonly("columns", &PyLayout::columns)
        .def("fields", &PyLayout::Fields)
        .def("column_types", [](const PyLayout& l) {
            py::list types_of;
            const RowBuilder builder(l);
            for (const Column& c : builder.columns()) {
                types_of.append(c.type == ColumnType::kInt64     ? "int64"
                                : c.type == ColumnType::kInteger ? "integer"
                                : c.type == ColumnType::kDecimal ? "decimal"
                                                                 : "text");
            }
            return types_of;
        });
    py::class_<PyDatasetReader>(m, "_DatasetReader")
        .def(py::init<const PyLayout&, const std::string&, std::size_t, bool, bool, bool, bool, const std::string&,
                      bool, bool, std::uint64_t>(),
             py::arg("layout"), py::arg("format"), py::arg("record_length"), py::arg("little_endian"),
             py::arg("length_excludes_descriptor"), py::arg("skip_bad"), py::arg("trim"), py::arg("text_errors"),
             py::arg("flat"), py::arg("columns"), py::arg("record_base"))
        .def("feed", &PyDatasetReader::Feed, py::arg("data"), py::arg("final") = false)
        .def("take_columns", &PyDatasetReader::TakeColumns)
        .def("report", &PyDatasetReader::Report);
    py::class_<PyDatasetWriter>(m, "_DatasetWriter")
        .def(py::init<const PyLayout&, const std::string&, std::size_t, bool, bool, const std::string&, bool>(),
             py::arg("layout"), py::arg("format"), py::arg("block_size"), py::arg("little_endian"),
             py::arg("length_excludes_descriptor"), py::arg("text_errors"), py::arg("csv"))
        .def("set_header", &PyDatasetWriter::SetHeader, py::arg("header"))
        .def("write", &PyDatasetWriter::Write, py::arg("rows"), py::arg("final") = false)
        .def_property_readonly("replaced", &PyDatasetWriter::replaced)
        .def_property_readonly("records", &PyDatasetWriter::records);
}

}  // namespace lumtrax_python
