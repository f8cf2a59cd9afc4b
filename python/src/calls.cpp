#include "calls.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "buffers.h"
#include "result.h"

namespace lumtrax_python {
namespace {

// The arguments of convert and convert_many, as Python passed them.
struct Arguments {
    py::handle data;  // convert_many: the records, or one buffer with ends
    py::handle conversion;
    py::handle line_end;
    py::handle lrss;
    py::handle shift;
    py::handle mapping;
    py::handle errors;
    py::handle ends;   // convert_many: None, or the records' end offsets in data
    py::handle batch;  // convert_many: a Batch instead of a list of Results
};

// what() names the text in the message.
template <typename What>
void CheckSize(Conversion conversion, const Text& text, const What& what) {
    if (text.bytes.size() > lumtrax::MaxTextSize(conversion)) {
        RaiseError(lumtrax::Errc::kTooLong, conversion, what(), text.bytes.size());
    }
}
std::string TheText() { return "the text"; }

// The working memory of convert and convert_many, kept by each thread
// between calls: a large block taken afresh for every call would come as new
// pages from the system, and touching them costs more than converting.
struct Scratch {
    std::vector<Text> texts;
    std::string out;  // the results, one after the other
    std::vector<std::size_t> ends;
    std::vector<GaijiStatus> statuses;
    bool in_use = false;

    // This thread's scratch, or a fresh one where a call is already using it.
    class Lease {
    public:
        Lease() : owned_(mine_.in_use ? std::make_unique<Scratch>() : nullptr), scratch(owned_ ? *owned_ : mine_) {
            scratch.in_use = true;
            scratch.out.clear();
        }
        ~Lease() {
            scratch.in_use = false;
            constexpr std::size_t kKeepAtMost = std::size_t{64} << 20;
            if (scratch.out.capacity() > kKeepAtMost) std::string().swap(scratch.out);
            if (scratch.texts.capacity() > kKeepAtMost / sizeof(Text)) {
                scratch.texts = {};
                scratch.ends = {};
                scratch.statuses = {};
            }
        }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

    private:
        static thread_local Scratch mine_;
        std::unique_ptr<Scratch> owned_;

    public:
        Scratch& scratch;
    };
};
thread_local Scratch Scratch::Lease::mine_;

py::object Convert(const Arguments& a) {
    const Conversion conversion = ParseConversion(a.conversion);
    const Options options = ParseOptions({a.line_end, a.lrss, a.shift, a.mapping, a.errors});
    Buffers buffers;
    const Text text = buffers.Take(a.data.ptr(), "data");
    CheckSize(conversion, text, TheText);
    // The result is made in this thread's scratch, whose pages stay mapped
    // from call to call, and copied into the Result.
    Scratch::Lease lease;
    std::string& out = lease.scratch.out;
    GaijiStatus gaiji = GaijiStatus::kNone;
    std::error_code error;
    lumtrax::ByteRange place;
    {
        std::optional<py::gil_scoped_release> unlocked;
        if (text.bytes.size() >= kReleaseGilAt) unlocked.emplace();
        error = lumtrax::ConvertAppend(conversion, text.bytes, out, gaiji, options, text.after(), &place);
    }
    if (IsTextError(error)) RaiseTextError(error, "the text", place, out, py::none());
    if (error) RaiseError(error, conversion, "the text", text.bytes.size());
    return Steal(NewResult(out.data(), out.size(), gaiji));
}

// The end offsets of the records in one buffer: a buffer of integers (an
// array, a NumPy array) or a sequence of them.
std::vector<std::size_t> ParseEnds(py::handle ends, std::size_t size) {
    std::vector<std::size_t> offsets;
    Py_buffer view;
    if (PyObject_CheckBuffer(ends.ptr()) && PyObject_GetBuffer(ends.ptr(), &view, PyBUF_FORMAT | PyBUF_C_CONTIGUOUS) == 0) {
        const std::string format = view.format != nullptr ? view.format : "B";
        const char kind = format.empty() ? 'B' : format.back();
        if (format.find_first_of(">!") != std::string::npos) {
            PyBuffer_Release(&view);
            Raise(types.argument, "ends must be in the machine's byte order, not of format '" + format + "'");
        }
        const bool is_signed = kind == 'b' || kind == 'h' || kind == 'i' || kind == 'l' || kind == 'q' || kind == 'n';
        const bool integral = std::string("bBhHiIlLqQnN").find(kind) != std::string::npos;
        const std::size_t count = view.itemsize > 0 ? static_cast<std::size_t>(view.len / view.itemsize) : 0;
        bool negative = false;
        if (integral) {
            offsets.resize(count);
            const auto* bytes = static_cast<const unsigned char*>(view.buf);
            for (std::size_t i = 0; i < count; ++i) {
                std::uint64_t value = 0;
                std::memcpy(&value, bytes + i * static_cast<std::size_t>(view.itemsize),
                            static_cast<std::size_t>(view.itemsize));  // little-endian
                if (is_signed && view.itemsize < 8 && (value >> (8 * view.itemsize - 1) & 1u) != 0) negative = true;
                if (is_signed && view.itemsize == 8 && static_cast<std::int64_t>(value) < 0) negative = true;
                offsets[i] = static_cast<std::size_t>(value);
            }
        }
        PyBuffer_Release(&view);
        if (!integral) Raise(types.argument, "ends must hold integers, not items of format '" + format + "'");
        if (negative) Raise(types.argument, "ends must not hold negative offsets");
    } else {
        PyErr_Clear();
        const py::object items = Steal(PySequence_Fast(ends.ptr(), "ends must be a sequence of end offsets"));
        const Py_ssize_t count = PySequence_Fast_GET_SIZE(items.ptr());
        offsets.resize(static_cast<std::size_t>(count));
        for (Py_ssize_t i = 0; i < count; ++i) {
            const std::size_t value = PyLong_AsSize_t(PySequence_Fast_GET_ITEM(items.ptr(), i));
            if (value == static_cast<std::size_t>(-1) && PyErr_Occurred()) {
                PyErr_Clear();
                Raise(types.argument, "ends must hold offsets from 0, not " +
                                          TypeName(PySequence_Fast_GET_ITEM(items.ptr(), i)) + " " +
                                          py::repr(PySequence_Fast_GET_ITEM(items.ptr(), i)).cast<std::string>());
            }
            offsets[static_cast<std::size_t>(i)] = value;
        }
    }
    std::size_t previous = 0;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        if (offsets[i] < previous || offsets[i] > size) {
            Raise(types.argument, "ends[" + std::to_string(i) + "] is " + std::to_string(offsets[i]) +
                                      ": the end offsets must rise and lie within the data's " +
                                      std::to_string(size) + " bytes");
        }
        previous = offsets[i];
    }
    return offsets;
}

// The records: an iterable of bytes-like objects, or one buffer cut at ends.
void TakeRecords(py::handle records, py::handle ends, Buffers& buffers, std::vector<Text>& texts, py::object& keep) {
    PyObject* object = records.ptr();
    if (!ends.is_none()) {
        const Text data = buffers.Take(object, "data");
        const std::vector<std::size_t> offsets = ParseEnds(ends, data.bytes.size());
        texts.resize(offsets.size());
        std::size_t start = 0;
        for (std::size_t i = 0; i < offsets.size(); ++i) {
            // A record is followed by the next one's bytes, the last by what
            // follows the data.
            const bool last = offsets[i] == data.bytes.size();
            texts[i] = {data.bytes.substr(start, offsets[i] - start), last && data.terminated};
            start = offsets[i];
        }
        return;
    }
    if (PyBytes_Check(object) || PyByteArray_Check(object) || PyMemoryView_Check(object) || PyUnicode_Check(object)) {
        Raise(types.argument, std::string("records must be an iterable of bytes-like records, not one ") +
                                  TypeName(object) + "; convert() converts one text, and ends= cuts one buffer");
    }
    // A tuple of its own: the records stay alive however the caller's list
    // changes while the GIL is released.
    PyObject* tuple = PySequence_Tuple(object);
    if (tuple == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw py::error_already_set();
        PyErr_Clear();
        Raise(types.argument, "records must be an iterable of bytes-like records, not " + TypeName(object));
    }
    keep = py::reinterpret_steal<py::object>(tuple);
    const std::size_t count = static_cast<std::size_t>(PyTuple_GET_SIZE(tuple));
    texts.resize(count);
    for (std::size_t i = 0; i < count; ++i) texts[i] = buffers.Take(PyTuple_GET_ITEM(tuple, i), "record", i);
}

// The batch form: the results in one bytes object, with their ends (uint64)
// and statuses (uint8), and no object for each record.
py::object MakeBatch(const std::string& out, const std::vector<std::size_t>& ends,
                     const std::vector<GaijiStatus>& statuses) {
    const std::size_t count = ends.size();
    py::object data = Steal(PyBytes_FromStringAndSize(out.data(), static_cast<Py_ssize_t>(out.size())));
    py::object end_bytes = Steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(8 * count)));
    py::object status_bytes = Steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(count)));
    char* end_data = PyBytes_AS_STRING(end_bytes.ptr());
    char* status_data = PyBytes_AS_STRING(status_bytes.ptr());
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t end = ends[i];
        std::memcpy(end_data + 8 * i, &end, 8);
        status_data[i] = static_cast<char>(statuses[i]);
    }
    return py::reinterpret_borrow<py::object>(types.batch)(data, end_bytes, status_bytes);
}

py::object ConvertMany(const Arguments& a) {
    const Conversion conversion = ParseConversion(a.conversion);
    const Options options = ParseOptions({a.line_end, a.lrss, a.shift, a.mapping, a.errors});
    if (!PyBool_Check(a.batch.ptr())) {
        Raise(types.argument, "batch must be True or False, not " + TypeName(a.batch.ptr()));
    }
    const bool batch = a.batch.ptr() == Py_True;
    Scratch::Lease lease;
    Scratch& scratch = lease.scratch;
    std::vector<Text>& texts = scratch.texts;
    Buffers buffers;
    py::object keep;
    TakeRecords(a.data, a.ends, buffers, texts, keep);
    const std::size_t count = texts.size();
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        CheckSize(conversion, texts[i], [i] { return "record " + std::to_string(i); });
        total += texts[i].bytes.size();
    }

    std::string& out = scratch.out;
    std::vector<std::size_t>& ends = scratch.ends;
    std::vector<GaijiStatus>& statuses = scratch.statuses;
    std::error_code error;
    std::size_t failed = 0;
    std::size_t failed_start = 0;  // of the failed record's result in out
    lumtrax::ByteRange place;
    {
        std::optional<py::gil_scoped_release> unlocked;
        if (total >= kReleaseGilAt) unlocked.emplace();
        try {
            ends.resize(count);
            statuses.resize(count);
            out.reserve(lumtrax::MaxResultSize(conversion, total) + 4 * count);
        } catch (const std::exception&) {
            error = lumtrax::Errc::kHeapExhausted;
        }
        for (std::size_t i = 0; i < count && !error; ++i) {
            failed_start = out.size();
            error = lumtrax::ConvertAppend(conversion, texts[i].bytes, out, statuses[i], options, texts[i].after(),
                                           &place);
            ends[i] = out.size();
            failed = i;
        }
    }
    if (IsTextError(error)) {
        RaiseTextError(error, "record " + std::to_string(failed), place, out.substr(failed_start), py::int_(failed));
    }
    if (error) RaiseError(error, conversion, "record " + std::to_string(failed), texts[failed].bytes.size());
    if (batch) return MakeBatch(out, ends, statuses);

    py::object list = Steal(PyList_New(static_cast<Py_ssize_t>(count)));
    std::size_t start = 0;
    for (std::size_t i = 0; i < count; ++i) {
        PyObject* result = NewResult(out.data() + start, ends[i] - start, statuses[i]);
        if (result == nullptr) throw py::error_already_set();
        PyList_SET_ITEM(list.ptr(), static_cast<Py_ssize_t>(i), result);
        start = ends[i];
    }
    return list;
}

}  // namespace

// convert and convert_many are called once a record by some programs: they
// take their arguments by the vectorcall protocol, without pybind11's
// dispatch, which costs more than converting a short record.
extern const char kConvertDoc[];
const char kConvertDoc[] =
    "convert(data, conversion, *, line_end='keep', lrss=False, shift=True, mapping='cp932', errors='strict')\n--\n\n"
    "Converts data as one call of the conversion core and returns a Result\n"
    "(.data, the converted bytes; .gaiji, a GaijiStatus).\n\n"
    "data: any bytes-like object (bytes, bytearray, memoryview, mmap, ...),\n"
    "  read where it lies. It is converted as if a 00 byte followed it.\n"
    "conversion: a lumtrax.Conversion, its name ('sjis_to_ebcdic', any\n"
    "  case; '8bit' for 'eightbit') or its type number.\n"
    "line_end: what becomes of a CR LF out of Shift-JIS: 'keep', 'lf'\n"
    "  (LF only) or 'drop'. Ignored by the conversions into Shift-JIS.\n"
    "lrss: LRSS mode: A0 in Shift-JIS stands for each shift code or sequence.\n"
    "shift: False writes no shift code or sequence at all.\n"
    "mapping, errors: read by the conversions to and from Unicode (UTF-8,\n"
    "  UTF-16LE, UTF-16BE). mapping: 'cp932' (Windows code page 932) or 'jis'\n"
    "  (JIS X 0208 alone). errors: 'strict' stops at a unit without a Unicode\n"
    "  form, or a character without a code, and raises lumtrax.TextError,\n"
    "  which names its bytes (.start, .end) and holds the result of the text\n"
    "  before them (.partial); 'replace' writes U+FFFD, or the code's\n"
    "  substitute, and the status REPLACED. Text that is not UTF-8 or UTF-16\n"
    "  raises TextError in both modes.\n\n"
    "Raises lumtrax.UnassignedTypeError for a conversion that is not\n"
    "assigned, lumtrax.TextTooLongError for a text longer than one call\n"
    "takes (lumtrax.max_text_size), lumtrax.ArgumentError for an argument\n"
    "of the wrong type or value. The GIL is released while a text of 16 KiB\n"
    "or more is converted.\n\n"
    "  >>> lumtrax.convert(b'A\\x88\\x9f', 'sjis_to_ebcdic')\n"
    "  lumtrax.Result(data=b'\\xc1+\\xb0\\xa1,', gaiji=<GaijiStatus.NONE: 0>)";
extern const char kConvertManyDoc[];
const char kConvertManyDoc[] =
    "convert_many(records, conversion, *, line_end='keep', lrss=False, shift=True, mapping='cp932', errors='strict',\n"
    "             ends=None, batch=False)\n--\n\n"
    "Converts each record of an iterable of bytes-like objects as its own\n"
    "call, all in one call into the core, and returns a list of Results in\n"
    "the same order. With ends, records is one bytes-like object and ends the\n"
    "end offset of each record in it (any buffer of integers, such as an\n"
    "array or a NumPy array, or a sequence). With batch=True it returns one\n"
    "lumtrax.Batch instead of a list: all results in one bytes object, with\n"
    "the end offset and the GaijiStatus of each, and no object per record.\n"
    "The other arguments and the errors are those of convert(); an error\n"
    "names the record (counted from 0) and converts none. The GIL is\n"
    "released while the records are converted, when they hold 16 KiB or more.";

using Implementation = py::object (*)(const Arguments&);

// Runs body, which returns a py::object, for a function called from Python:
// the object, or null with what body threw set as the Python error.
template <typename Body>
PyObject* Guarded(Body body) {
    try {
        return body().release().ptr();
    } catch (py::error_already_set& error) {
        error.restore();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& error) {
        PyErr_SetString(PyExc_RuntimeError, error.what());
    }
    return nullptr;
}

// Takes (first, conversion, *, line_end, lrss, shift, mapping, errors[, ends, batch]) as
// Python would and calls the implementation, turning what it throws into the
// Python error. Only convert_many takes ends and batch.
PyObject* CallFast(const char* name, const char* first, bool many, Implementation implementation,
                   PyObject* const* args, Py_ssize_t count, PyObject* keywords) {
    static PyObject* const keep = PyUnicode_InternFromString("keep");
    static PyObject* const cp932 = PyUnicode_InternFromString("cp932");
    static PyObject* const strict = PyUnicode_InternFromString("strict");
    const char* const names[] = {first, "conversion", "line_end", "lrss", "shift", "mapping", "errors", "ends", "batch"};
    PyObject* values[] = {nullptr, nullptr, keep, Py_False, Py_True, cp932, strict, Py_None, Py_False};
    const std::size_t slots = many ? 9 : 7;
    if (count > 2) {
        return PyErr_Format(PyExc_TypeError, "%s() takes 2 positional arguments but %zd were given", name, count);
    }
    for (Py_ssize_t i = 0; i < count; ++i) values[i] = args[i];
    const Py_ssize_t named = keywords == nullptr ? 0 : PyTuple_GET_SIZE(keywords);
    for (Py_ssize_t k = 0; k < named; ++k) {
        PyObject* keyword = PyTuple_GET_ITEM(keywords, k);
        std::size_t slot = 0;
        while (slot < slots && PyUnicode_CompareWithASCIIString(keyword, names[slot]) != 0) ++slot;
        if (slot == slots) {
            return PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", name, keyword);
        }
        if (static_cast<Py_ssize_t>(slot) < count) {
            return PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", name, names[slot]);
        }
        values[slot] = args[count + k];
    }
    for (std::size_t slot = 0; slot < 2; ++slot) {
        if (values[slot] == nullptr) {
            return PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s'", name, names[slot]);
        }
    }
    return Guarded([&] {
        const Arguments arguments{values[0], values[1], values[2], values[3], values[4],
                                  values[5], values[6], values[7], values[8]};
        return implementation(arguments);
    });
}

PyObject* FastConvert(PyObject*, PyObject* const* args, Py_ssize_t count, PyObject* keywords) {
    return CallFast("convert", "data", false, Convert, args, count, keywords);
}

PyObject* FastConvertMany(PyObject*, PyObject* const* args, Py_ssize_t count, PyObject* keywords) {
    return CallFast("convert_many", "records", true, ConvertMany, args, count, keywords);
}

// The codecs' common case, in one call: the whole text converted, with no
// error and (strict) no gaiji that the server replaced. Anything else is
// None, for the codec to look closer in Python.
namespace {

// One call of a conversion to or from Unicode into this thread's scratch;
// false where the codec must look closer.
bool ConvertForCodec(Conversion conversion, std::string_view text, lumtrax::After after, bool replace,
                     std::string& out) {
    if (text.size() > lumtrax::MaxTextSize(conversion)) return false;
    Options options;
    options.errors = replace ? lumtrax::OnError::kReplace : lumtrax::OnError::kStrict;
    GaijiStatus gaiji = GaijiStatus::kNone;
    std::error_code error;
    {
        std::optional<py::gil_scoped_release> unlocked;
        if (text.size() >= kReleaseGilAt) unlocked.emplace();
        error = lumtrax::ConvertAppend(conversion, text, out, gaiji, options, after);
    }
    return !error && (replace || gaiji != GaijiStatus::kReplaced);
}

template <typename Body>
PyObject* CallCodec(const char* name, PyObject* const* args, Py_ssize_t count, Body body) {
    if (count != 3) return PyErr_Format(PyExc_TypeError, "%s() takes 3 positional arguments", name);
    return Guarded([&] { return body(ParseConversion(args[1]), PyObject_IsTrue(args[2]) == 1); });
}

}  // namespace

PyObject* CodecDecode(PyObject*, PyObject* const* args, Py_ssize_t count) {
    return CallCodec("_codec_decode", args, count, [&](Conversion conversion, bool replace) -> py::object {
        Buffers buffers;
        const Text text = buffers.Take(args[0], "data");
        Scratch::Lease lease;
        std::string& out = lease.scratch.out;
        if (!ConvertForCodec(conversion, text.bytes, text.after(), replace, out)) return py::none();
        int order = -1;  // little-endian
        return Steal(PyUnicode_DecodeUTF16(out.data(), static_cast<Py_ssize_t>(out.size()), "strict", &order));
    });
}

PyObject* CodecEncode(PyObject*, PyObject* const* args, Py_ssize_t count) {
    return CallCodec("_codec_encode", args, count, [&](Conversion conversion, bool replace) -> py::object {
        PyObject* text = args[0];
        if (!PyUnicode_Check(text)) return py::none();
        const py::object wide = Steal(PyUnicode_AsEncodedString(text, "utf-16-le", "surrogatepass"));
        Scratch::Lease lease;
        std::string& out = lease.scratch.out;
        const std::string_view bytes(PyBytes_AS_STRING(wide.ptr()), static_cast<std::size_t>(PyBytes_GET_SIZE(wide.ptr())));
        if (!ConvertForCodec(conversion, bytes, lumtrax::After::kNul, replace, out)) return py::none();
        return Steal(PyBytes_FromStringAndSize(out.data(), static_cast<Py_ssize_t>(out.size())));
    });
}

// The codecs' helpers: where the first unit lies that the conversion
// replaces by the substitute (strict codecs refuse a gaiji that the server
// cannot convert), and the last safe cut at or before limit.
py::object PyFirstReplaced(py::handle data, py::handle conversion_name, py::handle mapping) {
    const Conversion conversion = ParseConversion(conversion_name);
    const Options options = ParseOptions({py::str("keep"), py::bool_(false), py::bool_(true), mapping, py::str("strict")});
    Buffers buffers;
    const Text text = buffers.Take(data.ptr(), "data");
    CheckSize(conversion, text, TheText);
    const std::optional<lumtrax::ByteRange> replaced = lumtrax::FirstReplaced(conversion, text.bytes, options);
    if (!replaced) return py::none();
    return py::make_tuple(replaced->offset, replaced->offset + replaced->length);
}

std::size_t PyCut(py::handle data, py::handle conversion_name, std::size_t limit, py::handle mapping) {
    const Conversion conversion = ParseConversion(conversion_name);
    const Options options = ParseOptions({py::str("keep"), py::bool_(false), py::bool_(true), mapping, py::str("strict")});
    Buffers buffers;
    const Text text = buffers.Take(data.ptr(), "data");
    return lumtrax::FindCut(conversion, text.bytes, limit, options);
}

}  // namespace lumtrax_python
