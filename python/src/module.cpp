// lumtrax._lumtrax: the compiled part of the Python package, over the safe
// C++ interface (include/lumtrax.hpp).
//
// Bytes-like arguments are read where they lie. A bytes or bytearray object
// (or a memoryview that ends where one ends) is followed by a 00, the byte the
// conversions may read after a text, so it is converted without a copy; of
// any other buffer only the part after its last safe cut is copied. The GIL
// is released while a large text, or a large batch of records, is converted.
#include <pybind11/pybind11.h>
#include <structmember.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "cxx/append.h"
#include "lines.h"
#include "lumtrax.hpp"

namespace py = pybind11;
using lumtrax::Conversion;
using lumtrax::GaijiStatus;
using lumtrax::Options;

namespace lumtrax_python {

// Below these sizes a conversion is shorter than giving the GIL away and
// taking it back, and a copy is cheaper than looking for a cut.
constexpr std::size_t kReleaseGilAt = 16 * 1024;
constexpr std::size_t kCopyAtMost = 4 * 1024;

// What the package defines in Python (lumtrax/_types.py), fetched at import.
struct Types {
    PyObject* parse_conversion = nullptr;  // _types._conversion(obj) -> int, or raises
    PyObject* gaiji_status = nullptr;      // the enumeration
    PyObject* gaiji[3] = {};               // its members
    PyObject* error = nullptr;
    PyObject* unassigned = nullptr;
    PyObject* too_long = nullptr;
    PyObject* argument = nullptr;
    PyTypeObject* result = nullptr;
};
Types types;

// Bytes copied out of sources without a 00 after them: what the tests hold
// the no-copy reading to.
std::atomic<unsigned long long> copied_bytes{0};

[[noreturn]] void Raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

std::string TypeName(PyObject* object) { return Py_TYPE(object)->tp_name; }

const char* ConversionName(Conversion conversion) {
    switch (conversion) {
        case Conversion::kSjisToEbcdic:
            return "SJIS_TO_EBCDIC";
        case Conversion::kSjisToEbcdicKana:
            return "SJIS_TO_EBCDIC_KANA";
        case Conversion::kSjisToEightBit:
            return "SJIS_TO_EIGHTBIT";
        case Conversion::kSjisToEuc:
            return "SJIS_TO_EUC";
        case Conversion::kEbcdicToSjis:
            return "EBCDIC_TO_SJIS";
        case Conversion::kEbcdicKanaToSjis:
            return "EBCDIC_KANA_TO_SJIS";
        case Conversion::kEightBitToSjis:
            return "EIGHTBIT_TO_SJIS";
        case Conversion::kEucToSjis:
            return "EUC_TO_SJIS";
        case Conversion::kSjisToEightBit70:
            return "SJIS_TO_EIGHTBIT_70";
        case Conversion::kRawByteEscape:
            return "RAW_BYTE_ESCAPE";
    }
    return "an unassigned conversion";
}

[[noreturn]] void RaiseError(std::error_code error, Conversion conversion, const std::string& what, std::size_t size) {
    if (error == lumtrax::Errc::kHeapExhausted) {
        PyErr_NoMemory();
        throw py::error_already_set();
    }
    if (error == lumtrax::Errc::kTooLong) {
        Raise(types.too_long, what + " has " + std::to_string(size) + " bytes, more than one call of " +
                                  ConversionName(conversion) + " takes (" +
                                  std::to_string(lumtrax::MaxTextSize(conversion)) +
                                  "); convert it as records, or in pieces with lumtrax.Stream");
    }
    Raise(types.error, what + ": " + error.message());
}

Conversion ParseConversion(py::handle conversion) {
    PyObject* object = conversion.ptr();
    if (PyLong_Check(object) && !PyBool_Check(object)) {  // a Conversion member or a type number
        int overflow = 0;
        const long value = PyLong_AsLongAndOverflow(object, &overflow);
        if (overflow == 0 && value >= 0 && value <= 11 && lumtrax::IsAssigned(static_cast<Conversion>(value))) {
            return static_cast<Conversion>(value);
        }
    }
    // Names, and the messages of everything else, are made in Python.
    const py::object value = py::reinterpret_borrow<py::object>(types.parse_conversion)(conversion);
    return static_cast<Conversion>(value.cast<int>());
}

bool ParseFlag(py::handle flag, const char* name) {
    if (!PyLong_Check(flag.ptr())) {  // bool, or an int such as 0 and 1
        Raise(types.argument, std::string(name) + " must be True or False, not " + TypeName(flag.ptr()));
    }
    return PyObject_IsTrue(flag.ptr()) == 1;
}

Options ParseOptions(py::handle line_end, py::handle lrss, py::handle shift) {
    Options options;
    options.lrss = ParseFlag(lrss, "lrss");
    options.shift = ParseFlag(shift, "shift");
    PyObject* object = line_end.ptr();
    if (PyUnicode_Check(object)) {
        if (PyUnicode_CompareWithASCIIString(object, "keep") == 0) return options;
        options.line_end = lumtrax::LineEnd::kLfOnly;
        if (PyUnicode_CompareWithASCIIString(object, "lf") == 0) return options;
        options.line_end = lumtrax::LineEnd::kDrop;
        if (PyUnicode_CompareWithASCIIString(object, "drop") == 0) return options;
    }
    Raise(types.argument, "line_end must be 'keep', 'lf' or 'drop', not " + py::repr(line_end).cast<std::string>());
}

// True when a 00 follows end: the end of a bytes or bytearray object's data.
bool FollowedByNul(PyObject* exporter, const char* end) {
    if (exporter == nullptr) return false;
    if (PyBytes_Check(exporter)) return end == PyBytes_AS_STRING(exporter) + PyBytes_GET_SIZE(exporter);
    if (PyByteArray_Check(exporter)) {
        return end == PyByteArray_AS_STRING(exporter) + PyByteArray_GET_SIZE(exporter);
    }
    return false;
}

// A text to convert, as it lies in a bytes-like object.
struct Text {
    std::string_view bytes;
    bool terminated = false;  // a 00 follows it
};

// The buffers taken from bytes-like objects, released together.
class Buffers {
public:
    Buffers() = default;
    Buffers(const Buffers&) = delete;
    Buffers& operator=(const Buffers&) = delete;
    ~Buffers() {
        for (Py_buffer& view : views_) PyBuffer_Release(&view);
    }

    // The text of object; what names it in a message ("data", "record 3").
    Text Take(PyObject* object, const char* what, std::size_t index = SIZE_MAX) {
        if (PyBytes_Check(object)) {  // immutable, and kept alive by the caller
            return {{PyBytes_AS_STRING(object), static_cast<std::size_t>(PyBytes_GET_SIZE(object))}, true};
        }
        if (PyUnicode_Check(object)) {
            Fail(object, what, index, " (encode text with a codec, e.g. text.encode(\"lumtrax-ebcdic\"))");
        }
        // A buffer keeps a bytearray from being resized while it is read.
        Py_buffer view;
        if (PyObject_GetBuffer(object, &view, PyBUF_SIMPLE) != 0) {
            PyErr_Clear();
            Fail(object, what, index, "");
        }
        views_.push_back(view);
        const char* data = static_cast<const char*>(view.buf);
        const std::size_t size = static_cast<std::size_t>(view.len);
        PyObject* exporter = PyMemoryView_Check(object) ? PyMemoryView_GET_BASE(object) : object;
        return {{size == 0 ? "" : data, size}, FollowedByNul(exporter, data + size)};
    }

private:
    [[noreturn]] static void Fail(PyObject* object, const char* what, std::size_t index, const char* hint) {
        std::string name = what;
        if (index != SIZE_MAX) name += " " + std::to_string(index);
        Raise(types.argument, name + " must be a bytes-like object (bytes, bytearray, memoryview, mmap, ...), " +
                                  "not " + TypeName(object) + hint);
    }

    std::vector<Py_buffer> views_;
};

// Converts a text as one call and appends the result to out. Up to its last
// safe cut a text without a 00 after it is converted where it lies (the byte
// after a safe cut is the text's own, and is read as it is in one call); the
// rest is copied, and the statuses merged.
std::error_code AppendText(Conversion conversion, const Text& text, const Options& options, std::string& out,
                           GaijiStatus& gaiji) {
    // The escape is made of the first byte alone.
    const std::string_view bytes = conversion == Conversion::kRawByteEscape ? text.bytes.substr(0, 1) : text.bytes;
    if (text.terminated || bytes.empty()) {
        return lumtrax::ConvertAfter(conversion, bytes, true, out, out.size(), gaiji, options);
    }
    std::size_t cut = 0;
    if (bytes.size() > kCopyAtMost && bytes.size() <= lumtrax::MaxTextSize(conversion)) {
        cut = lumtrax::FindCut(conversion, bytes, bytes.size() - 1, options);
    }
    GaijiStatus first = GaijiStatus::kNone;
    if (cut > 0) {
        if (const std::error_code error =
                lumtrax::ConvertAfter(conversion, bytes.substr(0, cut), true, out, out.size(), first, options)) {
            return error;
        }
    }
    copied_bytes.fetch_add(bytes.size() - cut, std::memory_order_relaxed);
    const std::error_code error =
        lumtrax::ConvertAfter(conversion, bytes.substr(cut), false, out, out.size(), gaiji, options);
    gaiji = lumtrax::MergeGaiji(first, gaiji);
    return error;
}

// lumtrax.Result: the converted bytes and the gaiji status. A plain object
// of two fields, not a tuple and not tracked by the garbage collector
// (neither field can refer back to it): convert_many makes one a record, and
// a structseq or a class of pybind11 costs several times as much to make and
// to free. It unpacks, indexes, compares and hashes as the tuple (data, gaiji).
struct ResultObject {
    PyObject_HEAD PyObject* data;
    PyObject* gaiji;
};

// A Result, or nullptr with the Python error set; takes both references.
PyObject* MakeResult(PyObject* data, PyObject* gaiji) {
    auto* result = PyObject_New(ResultObject, types.result);
    if (result == nullptr) {
        Py_DECREF(data);
        Py_DECREF(gaiji);
        return nullptr;
    }
    result->data = data;
    result->gaiji = gaiji;
    return reinterpret_cast<PyObject*>(result);
}

PyObject* NewResult(const char* data, std::size_t size, GaijiStatus gaiji) {
    PyObject* bytes = PyBytes_FromStringAndSize(data, static_cast<Py_ssize_t>(size));
    if (bytes == nullptr) return nullptr;
    PyObject* status = types.gaiji[static_cast<int>(gaiji)];
    Py_INCREF(status);
    return MakeResult(bytes, status);
}

ResultObject* AsResult(PyObject* self) { return reinterpret_cast<ResultObject*>(self); }

PyObject* ResultAsTuple(PyObject* self) { return PyTuple_Pack(2, AsResult(self)->data, AsResult(self)->gaiji); }

PyObject* ResultNew(PyTypeObject*, PyObject* args, PyObject* kwargs) {
    static const char* names[] = {"data", "gaiji", nullptr};
    PyObject* data = nullptr;
    PyObject* gaiji = nullptr;
    if (!PyArg_ParseTupleAndKeywords(args, kwargs, "SO:Result", const_cast<char**>(names), &data, &gaiji)) {
        return nullptr;
    }
    PyObject* status = PyObject_CallOneArg(types.gaiji_status, gaiji);
    if (status == nullptr) return nullptr;
    Py_INCREF(data);
    return MakeResult(data, status);
}

void ResultDealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    Py_DECREF(AsResult(self)->data);
    Py_DECREF(AsResult(self)->gaiji);
    PyObject_Free(self);
    Py_DECREF(type);
}

PyObject* ResultRepr(PyObject* self) {
    return PyUnicode_FromFormat("lumtrax.Result(data=%R, gaiji=%R)", AsResult(self)->data, AsResult(self)->gaiji);
}

PyObject* ResultCompare(PyObject* self, PyObject* other, int op) {
    const bool result = PyObject_TypeCheck(other, types.result);
    if (!result && !PyTuple_Check(other)) Py_RETURN_NOTIMPLEMENTED;
    PyObject* mine = ResultAsTuple(self);
    PyObject* theirs = result ? ResultAsTuple(other) : (Py_INCREF(other), other);
    PyObject* answer = mine != nullptr && theirs != nullptr ? PyObject_RichCompare(mine, theirs, op) : nullptr;
    Py_XDECREF(mine);
    Py_XDECREF(theirs);
    return answer;
}

Py_hash_t ResultHash(PyObject* self) {
    PyObject* tuple = ResultAsTuple(self);
    if (tuple == nullptr) return -1;
    const Py_hash_t hash = PyObject_Hash(tuple);
    Py_DECREF(tuple);
    return hash;
}

Py_ssize_t ResultLength(PyObject*) { return 2; }

PyObject* ResultItem(PyObject* self, Py_ssize_t index) {
    if (index < 0 || index > 1) {
        PyErr_SetString(PyExc_IndexError, "Result index out of range");
        return nullptr;
    }
    PyObject* item = index == 0 ? AsResult(self)->data : AsResult(self)->gaiji;
    Py_INCREF(item);
    return item;
}

PyObject* ResultReduce(PyObject* self, PyObject*) {
    return Py_BuildValue("(O(OO))", Py_TYPE(self), AsResult(self)->data, AsResult(self)->gaiji);
}

PyMemberDef result_members[] = {
    {"data", T_OBJECT_EX, offsetof(ResultObject, data), READONLY, "the converted bytes"},
    {"gaiji", T_OBJECT_EX, offsetof(ResultObject, gaiji), READONLY, "what the conversion met of gaiji (GaijiStatus)"},
    {nullptr, 0, 0, 0, nullptr},
};
PyMethodDef result_methods[] = {
    {"__reduce__", ResultReduce, METH_NOARGS, nullptr},
    {nullptr, nullptr, 0, nullptr},
};
PyType_Slot result_slots[] = {
    {Py_tp_doc, const_cast<char*>("Result(data, gaiji): the outcome of one conversion.\n\n"
                                  "data is the converted bytes; gaiji a GaijiStatus: NONE (no gaiji met),\n"
                                  "CONVERTED (every gaiji converted by the gaiji server) or REPLACED (at\n"
                                  "least one unit replaced by the substitute, a black square). A Result\n"
                                  "unpacks and compares as the tuple (data, gaiji):\n"
                                  "data, gaiji = lumtrax.convert(...).")},
    {Py_tp_new, reinterpret_cast<void*>(ResultNew)},
    {Py_tp_dealloc, reinterpret_cast<void*>(ResultDealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(ResultRepr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(ResultCompare)},
    {Py_tp_hash, reinterpret_cast<void*>(ResultHash)},
    {Py_sq_length, reinterpret_cast<void*>(ResultLength)},
    {Py_sq_item, reinterpret_cast<void*>(ResultItem)},
    {Py_tp_members, result_members},
    {Py_tp_methods, result_methods},
    {0, nullptr},
};
PyType_Spec result_spec = {"lumtrax.Result", sizeof(ResultObject), 0, Py_TPFLAGS_DEFAULT, result_slots};

py::object Steal(PyObject* object) {
    if (object == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(object);
}

py::bytes Bytes(const std::string& data) {
    return Steal(PyBytes_FromStringAndSize(data.data(), static_cast<Py_ssize_t>(data.size())));
}

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
        error = AppendText(conversion, text, options, out, gaiji);
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
            error = AppendText(conversion, texts[i], options, out, statuses[i]);
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

// convert and convert_many are called once a record by some programs: they
// take their arguments by the vectorcall protocol, without pybind11's
// dispatch, which costs more than converting a short record.
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

// Where the first unit of a text lies whose conversion is replaced by the
// substitute, or (with decodable, which needs the GIL) whose result Python's
// cp932 codec cannot decode; the text converted as one call. A prefix of the
// text converted where it lies, with the byte after it read as the text's
// own, converts the units that begin in it as the whole text does, so the
// first bad prefix ends one byte after the first bad unit begins.
struct Bad {
    std::size_t at;
    bool replaced;  // else undecodable
};

std::optional<Bad> FirstBad(Conversion conversion, std::string_view text, const Options& options, bool decodable) {
    std::string out;
    auto replaced = [&](std::size_t length) {  // out is written over
        const bool in_place = length < text.size();
        GaijiStatus gaiji = GaijiStatus::kNone;
        const std::error_code error =
            lumtrax::ConvertAfter(conversion, text.substr(0, length), in_place, out, 0, gaiji, options);
        return !error && gaiji == GaijiStatus::kReplaced;
    };
    auto bad = [&](std::size_t length) {
        if (replaced(length)) return true;
        if (!decodable) return false;
        PyObject* decoded = PyUnicode_Decode(out.data(), static_cast<Py_ssize_t>(out.size()), "cp932", "strict");
        if (decoded != nullptr) {
            Py_DECREF(decoded);
            return false;
        }
        PyErr_Clear();
        return true;
    };
    if (text.empty() || !bad(text.size())) return std::nullopt;
    // Galloping from the start, then halving: the cost follows where the
    // unit is, not the length of the text.
    std::size_t good = 0;
    std::size_t worse = 64;
    while (worse < text.size() && !bad(worse)) {
        good = worse;
        worse *= 2;
    }
    if (worse > text.size()) worse = text.size();
    while (worse - good > 1) {
        const std::size_t middle = good + (worse - good) / 2;
        (bad(middle) ? worse : good) = middle;
    }
    return Bad{worse - 1, !decodable || replaced(worse)};
}

py::object PyFirstBad(py::handle data, py::handle conversion_name, bool decodable) {
    const Conversion conversion = ParseConversion(conversion_name);
    Buffers buffers;
    const Text text = buffers.Take(data.ptr(), "data");
    CheckSize(conversion, text, TheText);
    const std::optional<Bad> bad = FirstBad(conversion, text.bytes, Options{}, decodable);
    if (!bad) return py::none();
    return py::make_tuple(bad->at, bad->replaced);
}

// Guards an object that converts with the GIL released against a second
// thread using it at the same time.
class InUse {
public:
    explicit InUse(bool& busy) : busy_(busy) {
        if (busy_) Raise(PyExc_RuntimeError, "this converter is in use by another thread");
        busy_ = true;
    }
    ~InUse() { busy_ = false; }
    InUse(const InUse&) = delete;
    InUse& operator=(const InUse&) = delete;

private:
    bool& busy_;
};

// lumtrax::StreamConverter, with the bytes it holds and the text of its last
// call kept beside it: where the first replacement lies, and the state of a
// codec, are found in them.
class StreamCore {
public:
    StreamCore(Conversion conversion, const Options& options, std::size_t piece_size)
        : conversion_(conversion), options_(options), stream_(conversion, options, piece_size) {}

    // Feeds bytes (or, with finish, ends the text) and appends to out.
    std::error_code Step(std::string_view bytes, bool finish, std::string& out) {
        if (finished_) Reset();
        text_offset_ += region_;
        pending_.erase(0, region_);
        pending_.append(bytes.data(), bytes.size());
        const std::error_code error = finish ? stream_.Finish(out) : stream_.Feed(bytes, out);
        if (error) return error;
        region_ = pending_.size() - stream_.held();
        finished_ = finish;
        if (!first_replaced_ && stream_.gaiji() == GaijiStatus::kReplaced) {
            const std::optional<Bad> bad =
                FirstBad(conversion_, std::string_view(pending_).substr(0, region_), options_, false);
            first_replaced_ = text_offset_ + (bad ? bad->at : 0);
        }
        return {};
    }

    void Reset() {
        stream_.Reset();
        pending_.clear();
        region_ = 0;
        text_offset_ = 0;
        first_replaced_.reset();
        finished_ = false;
    }

    GaijiStatus gaiji() const { return stream_.gaiji(); }
    std::optional<std::size_t> first_replaced() const { return first_replaced_; }
    // The bytes fed and not yet converted.
    std::string_view held() const { return std::string_view(pending_).substr(region_); }
    // The text converted by the last call, and its offset in the whole text.
    std::string_view region() const { return std::string_view(pending_).substr(0, region_); }
    std::size_t region_offset() const { return text_offset_; }
    bool finished() const { return finished_; }

private:
    Conversion conversion_;
    Options options_;
    lumtrax::StreamConverter stream_;
    std::string pending_;  // the last call's text, then the bytes held
    std::size_t region_ = 0;
    std::size_t text_offset_ = 0;  // of pending_[0] in the whole text
    std::optional<std::size_t> first_replaced_;
    bool finished_ = false;
};

// One step of a converter that Feed and Finish share: the bytes taken from
// data (none for Finish), converted by convert(bytes, out) with the GIL
// released when they are many, by one thread at a time.
template <typename Convert>
std::string Step(bool& busy, PyObject* data, Convert&& convert, std::error_code& error) {
    InUse in_use(busy);
    Buffers buffers;
    const Text text = data != nullptr ? buffers.Take(data, "data") : Text{};
    std::string out;
    std::optional<py::gil_scoped_release> unlocked;
    if (text.bytes.size() >= kReleaseGilAt) unlocked.emplace();
    error = convert(text.bytes, out);
    return out;
}

py::object OptionalInt(const std::optional<std::size_t>& value) {
    return value ? py::object(py::int_(*value)) : py::object(py::none());
}

class Stream {
public:
    Stream(py::handle conversion, py::handle line_end, py::handle lrss, py::handle shift, std::size_t piece_size)
        : conversion_(ParseConversion(conversion)),
          core_(conversion_, ParseOptions(line_end, lrss, shift), piece_size) {}

    py::bytes Feed(py::handle data) { return Step(data.ptr(), false); }
    py::bytes Finish() { return Step(nullptr, true); }
    void Reset() {
        InUse in_use(busy_);
        core_.Reset();
    }
    py::object gaiji() const {
        return py::reinterpret_borrow<py::object>(types.gaiji[static_cast<int>(core_.gaiji())]);
    }
    py::object first_replaced() const { return OptionalInt(core_.first_replaced()); }
    std::size_t held_size() const { return core_.finished() ? 0 : core_.held().size(); }
    py::bytes held() const {
        return core_.finished() ? py::bytes() : py::bytes(core_.held().data(), core_.held().size());
    }
    py::tuple region() const {
        return py::make_tuple(core_.region_offset(), py::bytes(core_.region().data(), core_.region().size()));
    }

private:
    py::bytes Step(PyObject* data, bool finish) {
        std::error_code error;
        const std::string out = lumtrax_python::Step(
            busy_, data, [&](std::string_view bytes, std::string& to) { return core_.Step(bytes, finish, to); }, error);
        if (error) RaiseError(error, conversion_, "a part of the text without a safe cut", core_.held().size());
        return Bytes(out);
    }

    Conversion conversion_;
    StreamCore core_;
    bool busy_ = false;
};

// A file converted as the lumtrax command converts it: whole (one call), each
// line in its own call, or each record of a fixed size; and a tally of what
// the calls met. Used by lumtrax.dask.
class FileConverter {
public:
    FileConverter(py::handle conversion, py::handle line_end, py::handle lrss, py::handle shift, bool lines,
                  std::size_t record)
        : conversion_(ParseConversion(conversion)),
          options_(ParseOptions(line_end, lrss, shift)),
          lines_(lines),
          record_(record),
          whole_(conversion_, options_, lumtrax::StreamConverter::kDefaultPieceSize),
          source_(lumtrax_cli::SourceOf(conversion_)),
          scanner_(source_, !options_.lrss) {
        if (lines && record > 0) Raise(types.argument, "lines and record exclude each other");
    }

    py::bytes Feed(py::handle data) { return Step(data.ptr(), false); }
    py::bytes Finish() { return Step(nullptr, true); }

    py::dict Tally() const {
        py::dict tally;
        tally["calls"] = calls_;
        tally["converted"] = converted_;
        tally["replaced"] = replaced_;
        tally["first_replaced"] = OptionalInt(first_replaced_);
        tally["ends_inside"] = ends_inside_;
        tally["gaiji"] = py::reinterpret_borrow<py::object>(types.gaiji[static_cast<int>(gaiji_)]);
        return tally;
    }

private:
    py::bytes Step(PyObject* data, bool finish) {
        std::error_code error;
        const std::string out = lumtrax_python::Step(
            busy_, data,
            [&](std::string_view bytes, std::string& to) {
                return record_ > 0 ? Records(bytes, finish, to)
                       : lines_    ? Lines(bytes, finish, to)
                                   : Whole(bytes, finish, to);
            },
            error);
        if (error) RaiseError(error, conversion_, what_, what_size_);
        return Bytes(out);
    }

    bool EndsInside(std::string_view text) const {
        return conversion_ != Conversion::kRawByteEscape &&
               lumtrax_cli::EndsInsideUnit(source_, !options_.lrss, reinterpret_cast<const std::uint8_t*>(text.data()),
                                           text.size());
    }

    void Note(GaijiStatus gaiji, std::optional<std::size_t> replaced_at, bool ends_inside) {
        ++calls_;
        gaiji_ = lumtrax::MergeGaiji(gaiji_, gaiji);
        if (gaiji == GaijiStatus::kConverted) ++converted_;
        if (gaiji == GaijiStatus::kReplaced && replaced_++ == 0) first_replaced_ = replaced_at;
        if (ends_inside) ++ends_inside_;
    }

    // One line or record: one call, with a 00 after it, as the command makes it.
    std::error_code Call(std::string_view text, bool ends_inside, std::string& out) {
        GaijiStatus gaiji = GaijiStatus::kNone;
        if (const std::error_code error =
                lumtrax::ConvertAfter(conversion_, text, false, out, out.size(), gaiji, options_)) {
            what_ = (lines_ ? "line " : "record ") + std::to_string(calls_ + 1);
            what_size_ = text.size();
            return error;
        }
        std::optional<std::size_t> at;
        if (gaiji == GaijiStatus::kReplaced && replaced_ == 0) {
            const std::optional<Bad> bad = FirstBad(conversion_, text, options_, false);
            at = offset_ + (bad ? bad->at : 0);
        }
        Note(gaiji, at, ends_inside);
        offset_ += text.size();
        return {};
    }

    std::error_code Whole(std::string_view bytes, bool finish, std::string& out) {
        if (const std::error_code error = whole_.Step(bytes, finish, out)) {
            what_ = "a part of the file without a safe cut";
            what_size_ = whole_.held().size();
            return error;
        }
        if (finish) {
            Note(whole_.gaiji(), whole_.first_replaced(), EndsInside(whole_.region()));
        }
        return {};
    }

    std::error_code Lines(std::string_view bytes, bool finish, std::string& out) {
        buffer_.append(bytes.data(), bytes.size());
        const auto* data = reinterpret_cast<const std::uint8_t*>(buffer_.data());
        std::size_t start = 0;
        for (;;) {
            const std::size_t n = scanner_.Scan(data + start, buffer_.size() - start, finish);
            if (n == 0) break;
            if (const std::error_code error =
                    Call(std::string_view(buffer_).substr(start, n), scanner_.EndsInsideUnit(), out)) {
                return error;
            }
            start += n;
            scanner_.Restart();
        }
        if (finish && start < buffer_.size()) {  // a last line without its line end
            const std::string_view last = std::string_view(buffer_).substr(start);
            if (const std::error_code error = Call(last, EndsInside(last), out)) return error;
            start = buffer_.size();
        }
        buffer_.erase(0, start);
        if (buffer_.size() > lumtrax::MaxTextSize(conversion_)) {
            what_ = "line " + std::to_string(calls_ + 1);
            what_size_ = buffer_.size();
            return lumtrax::Errc::kTooLong;
        }
        return {};
    }

    std::error_code Records(std::string_view bytes, bool finish, std::string& out) {
        buffer_.append(bytes.data(), bytes.size());
        std::size_t start = 0;
        while (buffer_.size() - start >= record_ || (finish && start < buffer_.size())) {
            // A shorter last record is converted as it is.
            const std::string_view text = std::string_view(buffer_).substr(start, record_);
            if (const std::error_code error = Call(text, EndsInside(text), out)) return error;
            start += text.size();
        }
        buffer_.erase(0, start);
        return {};
    }

    Conversion conversion_;
    Options options_;
    bool lines_;
    std::size_t record_;
    StreamCore whole_;
    lumtrax_cli::SourceCode source_;
    lumtrax_cli::LineScanner scanner_;
    std::string buffer_;      // lines and records: the bytes not yet converted
    std::size_t offset_ = 0;  // of buffer_[0] in the file
    unsigned long long calls_ = 0, converted_ = 0, replaced_ = 0, ends_inside_ = 0;
    std::optional<std::size_t> first_replaced_;
    GaijiStatus gaiji_ = GaijiStatus::kNone;
    std::string what_;  // the part of the file an error is about
    std::size_t what_size_ = 0;
    bool busy_ = false;
};

PyObject* Attribute(const py::module_& module, const char* name) {
    return py::object(module.attr(name)).release().ptr();  // kept for the life of the process
}

}  // namespace lumtrax_python

PYBIND11_MODULE(_lumtrax, m) {
    using namespace lumtrax_python;
    py::options doc_options;
    doc_options.disable_function_signatures();  // the docstrings carry signatures of their own

    const py::module_ defined = py::module_::import("lumtrax._types");
    types.parse_conversion = Attribute(defined, "_conversion");
    py::object gaiji = defined.attr("GaijiStatus");
    for (int i = 0; i < 3; ++i) types.gaiji[i] = gaiji(i).release().ptr();
    types.error = Attribute(defined, "Error");
    types.unassigned = Attribute(defined, "UnassignedTypeError");
    types.too_long = Attribute(defined, "TextTooLongError");
    types.argument = Attribute(defined, "ArgumentError");
    types.gaiji_status = gaiji.release().ptr();
    types.result = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&result_spec));
    if (types.result == nullptr) throw py::error_already_set();
    m.add_object("Result", py::handle(reinterpret_cast<PyObject*>(types.result)));

    static PyMethodDef fast_functions[] = {
        {"convert", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(FastConvert)),
         METH_FASTCALL | METH_KEYWORDS, kConvertDoc},
        {"convert_many", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(FastConvertMany)),
         METH_FASTCALL | METH_KEYWORDS, kConvertManyDoc},
        {nullptr, nullptr, 0, nullptr},
    };
    if (PyModule_AddFunctions(m.ptr(), fast_functions) != 0) throw py::error_already_set();
    m.def("_first_bad", &PyFirstBad, py::arg("data"), py::arg("conversion"), py::arg("decodable") = false,
          "_first_bad(data, conversion, decodable=False)\n--\n\n"
          "(offset, replaced): where the first unit of data lies that the\n"
          "conversion replaces by the substitute (replaced true) or, with\n"
          "decodable, whose result cp932 cannot decode; None when there is none.");
    m.def(
        "_copied_bytes", [] { return copied_bytes.load(); },
        "_copied_bytes()\n--\n\nBytes copied so far out of sources that no 00 follows (for tests).");
    m.def(
        "max_text_size", [](py::handle conversion) { return lumtrax::MaxTextSize(ParseConversion(conversion)); },
        py::arg("conversion"),
        "max_text_size(conversion)\n--\n\n"
        "The most bytes that one call of the conversion takes.");
    m.def(
        "version", [] { return std::string(lumtrax::Version()); },
        "version()\n--\n\nThe version of the conversion library, 'MAJOR.MINOR.PATCH'.");
    m.def(
        "simd_level", [] { return std::string(lumtrax::ActiveSimdLevel()); },
        "simd_level()\n--\n\n"
        "The instruction-set level of the conversion kernels in this process:\n"
        "'scalar', 'sse2', 'ssse3', 'avx2' or 'avx512' (capped by the\n"
        "environment variable LUMTRAX_SIMD). It changes the speed, never a result.");
    m.def(
        "gaiji_server_version", [] { return lumtrax::GaijiServer(0).version; },
        "gaiji_server_version()\n--\n\nThe version number the gaiji server reports.");

    py::class_<Stream>(m, "Stream",
                       "Stream(conversion, *, line_end='keep', lrss=False, shift=True, piece_size=1048576)\n--\n\n"
                       "Converts a text that comes in pieces of any size, with exactly the\n"
                       "bytes and status of one call over the whole text: feed() returns what\n"
                       "can be converted so far, finish() the rest. It converts a part once\n"
                       "about piece_size bytes are held and a safe cut is found in them (no\n"
                       "character, shift sequence, escape or CR LF split, no run of double-byte\n"
                       "characters open); a text without such cuts is held until it has one.\n"
                       "A text longer than one call takes converts this way when it has cuts.\n"
                       "After finish(), the next feed() begins a new text.")
        .def(py::init<py::handle, py::handle, py::handle, py::handle, std::size_t>(), py::arg("conversion"),
             py::kw_only(), py::arg("line_end") = "keep", py::arg("lrss") = false, py::arg("shift") = true,
             py::arg("piece_size") = lumtrax::StreamConverter::kDefaultPieceSize)
        .def("feed", &Stream::Feed, py::arg("data"),
             "feed(data)\n--\n\nTakes the next bytes of the text; returns the bytes converted so far.")
        .def("finish", &Stream::Finish, "finish()\n--\n\nEnds the text: converts the bytes held and returns them.")
        .def("reset", &Stream::Reset, "reset()\n--\n\nForgets the text, its status and any bytes held.")
        .def_property_readonly("gaiji", &Stream::gaiji, "The GaijiStatus of the text converted so far.")
        .def_property_readonly("first_replaced", &Stream::first_replaced,
                               "The offset in the text of the first unit replaced by the substitute, or None.")
        .def_property_readonly("held", &Stream::held_size, "How many bytes are fed and not yet converted.")
        .def("_held", &Stream::held, "The bytes fed and not yet converted.")
        .def("_region", &Stream::region,
             "(offset, bytes): the text the last call converted, and where it lies in the whole text.");

    py::class_<FileConverter>(m, "_FileConverter", "A file converted as the lumtrax command converts it, with a tally.")
        .def(py::init<py::handle, py::handle, py::handle, py::handle, bool, std::size_t>(), py::arg("conversion"),
             py::kw_only(), py::arg("line_end") = "keep", py::arg("lrss") = false, py::arg("shift") = true,
             py::arg("lines") = false, py::arg("record") = 0)
        .def("feed", &FileConverter::Feed, py::arg("data"))
        .def("finish", &FileConverter::Finish)
        .def("tally", &FileConverter::Tally);
}
