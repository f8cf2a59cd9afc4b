#include "calls.h"

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "buffers.h"
#include "result.h"

namespace lumtrax_python {
namespace {

// what() names the text in the message.
template <typename What>
void CheckSize(Conversion conversion, const Text& text, const What& what) {
    if (text.bytes.size() > lumtrax::MaxTextSize(conversion)) {
        RaiseError(lumtrax::Errc::kTooLong, conversion, what(), text.bytes.size());
    }
}
std::string TheText() { return "the text"; }

py::object Convert(py::handle data, py::handle conversion_name, py::handle line_end, py::handle lrss,
                   py::handle shift) {
    const Conversion conversion = ParseConversion(conversion_name);
    const Options options = ParseOptions(line_end, lrss, shift);
    Buffers buffers;
    const Text text = buffers.Take(data.ptr(), "data");
    CheckSize(conversion, text, TheText);
    std::string out;
    GaijiStatus gaiji = GaijiStatus::kNone;
    std::error_code error;
    {
        std::optional<py::gil_scoped_release> unlocked;
        if (text.bytes.size() >= kReleaseGilAt) unlocked.emplace();
        error = lumtrax::ConvertAppend(conversion, text.bytes, out, gaiji, options, text.after());
    }
    if (error) RaiseError(error, conversion, "the text", text.bytes.size());
    return Steal(NewResult(out.data(), out.size(), gaiji));
}

// The working memory of convert_many, kept by each thread between calls: a
// large block taken afresh for every batch would come as new pages from the
// system, and touching them costs more than converting short records.
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

py::object ConvertMany(py::handle records, py::handle conversion_name, py::handle line_end, py::handle lrss,
                       py::handle shift) {
    const Conversion conversion = ParseConversion(conversion_name);
    const Options options = ParseOptions(line_end, lrss, shift);
    PyObject* object = records.ptr();
    if (PyBytes_Check(object) || PyByteArray_Check(object) || PyMemoryView_Check(object) || PyUnicode_Check(object)) {
        Raise(types.argument, std::string("records must be an iterable of bytes-like records, not one ") +
                                  TypeName(object) + "; convert() converts one text");
    }
    // A tuple of its own: the records stay alive however the caller's list
    // changes while the GIL is released.
    PyObject* tuple = PySequence_Tuple(object);
    if (tuple == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError)) throw py::error_already_set();
        PyErr_Clear();
        Raise(types.argument, "records must be an iterable of bytes-like records, not " + TypeName(object));
    }
    const py::object items = py::reinterpret_steal<py::object>(tuple);
    const std::size_t count = static_cast<std::size_t>(PyTuple_GET_SIZE(tuple));

    Scratch::Lease lease;
    Scratch& scratch = lease.scratch;
    std::vector<Text>& texts = scratch.texts;
    Buffers buffers;
    texts.resize(count);
    std::size_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        texts[i] = buffers.Take(PyTuple_GET_ITEM(tuple, i), "record", i);
        CheckSize(conversion, texts[i], [i] { return "record " + std::to_string(i); });
        total += texts[i].bytes.size();
    }

    std::string& out = scratch.out;
    std::vector<std::size_t>& ends = scratch.ends;
    std::vector<GaijiStatus>& statuses = scratch.statuses;
    std::error_code error;
    std::size_t failed = 0;
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
            error = lumtrax::ConvertAppend(conversion, texts[i].bytes, out, statuses[i], options, texts[i].after());
            ends[i] = out.size();
            failed = i;
        }
    }
    if (error) RaiseError(error, conversion, "record " + std::to_string(failed), texts[failed].bytes.size());

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
    "convert(data, conversion, *, line_end='keep', lrss=False, shift=True)\n--\n\n"
    "Converts data as one call of the conversion core and returns a Result\n"
    "(.data, the converted bytes; .gaiji, a GaijiStatus).\n\n"
    "data: any bytes-like object (bytes, bytearray, memoryview, mmap, ...),\n"
    "  read where it lies. It is converted as if a 00 byte followed it.\n"
    "conversion: a lumtrax.Conversion, its name ('sjis_to_ebcdic', any\n"
    "  case; '8bit' for 'eightbit') or its type number.\n"
    "line_end: what becomes of a CR LF out of Shift-JIS: 'keep', 'lf'\n"
    "  (LF only) or 'drop'. Ignored by the conversions into Shift-JIS.\n"
    "lrss: LRSS mode: A0 in Shift-JIS stands for each shift code or sequence.\n"
    "shift: False writes no shift code or sequence at all.\n\n"
    "Raises lumtrax.UnassignedTypeError for a conversion that is not\n"
    "assigned, lumtrax.TextTooLongError for a text longer than one call\n"
    "takes (lumtrax.max_text_size), lumtrax.ArgumentError for an argument\n"
    "of the wrong type or value. The GIL is released while a text of 16 KiB\n"
    "or more is converted.\n\n"
    "  >>> lumtrax.convert(b'A\\x88\\x9f', 'sjis_to_ebcdic')\n"
    "  lumtrax.Result(data=b'\\xc1+\\xb0\\xa1,', gaiji=<GaijiStatus.NONE: 0>)";
extern const char kConvertManyDoc[];
const char kConvertManyDoc[] =
    "convert_many(records, conversion, *, line_end='keep', lrss=False, shift=True)\n--\n\n"
    "Converts each record of an iterable of bytes-like objects as its own\n"
    "call, all in one call into the core, and returns a list of Results in\n"
    "the same order. The arguments and errors are those of convert(); an\n"
    "error names the record (counted from 0) and converts none. The GIL is\n"
    "released while the records are converted, when they hold 16 KiB or more.";

using Implementation = py::object (*)(py::handle, py::handle, py::handle, py::handle, py::handle);

// Takes (first, conversion, *, line_end, lrss, shift) as Python would and
// calls the implementation, turning what it throws into the Python error.
PyObject* CallFast(const char* name, const char* first, Implementation implementation, PyObject* const* args,
                   Py_ssize_t count, PyObject* keywords) {
    static PyObject* const keep = PyUnicode_InternFromString("keep");
    const char* const names[] = {first, "conversion", "line_end", "lrss", "shift"};
    PyObject* values[] = {nullptr, nullptr, keep, Py_False, Py_True};
    if (count > 2) {
        return PyErr_Format(PyExc_TypeError, "%s() takes 2 positional arguments but %zd were given", name, count);
    }
    for (Py_ssize_t i = 0; i < count; ++i) values[i] = args[i];
    const Py_ssize_t named = keywords == nullptr ? 0 : PyTuple_GET_SIZE(keywords);
    for (Py_ssize_t k = 0; k < named; ++k) {
        PyObject* keyword = PyTuple_GET_ITEM(keywords, k);
        std::size_t slot = 0;
        while (slot < 5 && PyUnicode_CompareWithASCIIString(keyword, names[slot]) != 0) ++slot;
        if (slot == 5) {
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
    try {
        return implementation(values[0], values[1], values[2], values[3], values[4]).release().ptr();
    } catch (py::error_already_set& error) {
        error.restore();
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& error) {
        PyErr_SetString(PyExc_RuntimeError, error.what());
    }
    return nullptr;
}

PyObject* FastConvert(PyObject*, PyObject* const* args, Py_ssize_t count, PyObject* keywords) {
    return CallFast("convert", "data", Convert, args, count, keywords);
}

PyObject* FastConvertMany(PyObject*, PyObject* const* args, Py_ssize_t count, PyObject* keywords) {
    return CallFast("convert_many", "records", ConvertMany, args, count, keywords);
}

// Where the first unit of a text lies whose result Python's cp932 codec
// cannot decode (the codecs go through cp932), or that is replaced by the
// substitute; the text converted as one call. A prefix of the text converted
// where it lies, with the byte after it read as the text's own, converts the
// units that begin in it as the whole text does, so the first bad prefix
// ends one byte after the first bad unit begins.
std::optional<std::size_t> FirstUndecodable(Conversion conversion, std::string_view text) {
    std::string out;
    auto bad = [&](std::size_t length) {
        GaijiStatus gaiji = GaijiStatus::kNone;
        out.clear();
        const lumtrax::After after = length < text.size() ? lumtrax::After::kNul : lumtrax::After::kAnything;
        if (lumtrax::ConvertAppend(conversion, text.substr(0, length), out, gaiji, Options{}, after)) return false;
        if (gaiji == GaijiStatus::kReplaced) return true;
        PyObject* decoded = PyUnicode_Decode(out.data(), static_cast<Py_ssize_t>(out.size()), "cp932", "strict");
        if (decoded != nullptr) {
            Py_DECREF(decoded);
            return false;
        }
        PyErr_Clear();
        return true;
    };
    if (text.empty() || !bad(text.size())) return std::nullopt;
    std::size_t good = 0;
    std::size_t worse = 1;
    while (worse < text.size() && !bad(worse)) {
        good = worse;
        worse *= 2;
    }
    if (worse > text.size()) worse = text.size();
    while (worse - good > 1) {
        const std::size_t middle = good + (worse - good) / 2;
        (bad(middle) ? worse : good) = middle;
    }
    return worse - 1;
}

py::object PyFirstBad(py::handle data, py::handle conversion_name, bool decodable) {
    const Conversion conversion = ParseConversion(conversion_name);
    Buffers buffers;
    const Text text = buffers.Take(data.ptr(), "data");
    CheckSize(conversion, text, TheText);
    if (const std::optional<lumtrax::ByteRange> replaced = lumtrax::FirstReplaced(conversion, text.bytes)) {
        // A unit that cp932 cannot decode may come before it.
        const std::optional<std::size_t> undecodable =
            decodable ? FirstUndecodable(conversion, text.bytes.substr(0, replaced->offset)) : std::nullopt;
        if (undecodable) return py::make_tuple(*undecodable, false);
        return py::make_tuple(replaced->offset, true);
    }
    if (!decodable) return py::none();
    const std::optional<std::size_t> undecodable = FirstUndecodable(conversion, text.bytes);
    if (!undecodable) return py::none();
    return py::make_tuple(*undecodable, false);
}

}  // namespace lumtrax_python
