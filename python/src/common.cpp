#include "common.h"

#include <climits>
#include <cstdint>
#include <initializer_list>

namespace lumtrax_python {

Types types;

[[noreturn]] void Raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

std::string TypeName(PyObject* object) { return Py_TYPE(object)->tp_name; }

std::string ConversionName(Conversion conversion) {
    const lumtrax::ConversionInfo* info = lumtrax::Describe(conversion);
    if (info == nullptr) return "an unassigned conversion";
    std::string name = info->name;
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return name;
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

bool IsTextError(std::error_code error) {
    return error.category() == lumtrax::ErrorCategory() && error.value() >= static_cast<int>(lumtrax::Errc::kNoUnicodeForm) &&
           error.value() <= static_cast<int>(lumtrax::Errc::kInvalidUtf16);
}

void RaiseTextError(std::error_code error, const std::string& what, const lumtrax::ByteRange& place,
                    const std::string& partial, py::handle record) {
    const std::uint64_t end = place.offset + place.length;
    const std::string bytes = place.length == 1 ? "byte " + std::to_string(place.offset)
                                                : "bytes " + std::to_string(place.offset) + "-" + std::to_string(end - 1);
    const py::object exception = py::reinterpret_borrow<py::object>(types.text_error)(
        what + ": " + bytes + ": " + error.message(), place.offset, end, Bytes(partial), record);
    PyErr_SetObject(types.text_error, exception.ptr());
    throw py::error_already_set();
}

Conversion ParseConversion(py::handle conversion) {
    PyObject* object = conversion.ptr();
    if (PyLong_Check(object) && !PyBool_Check(object)) {  // a Conversion member or a type number
        int overflow = 0;
        const long value = PyLong_AsLongAndOverflow(object, &overflow);
        if (overflow == 0 && value >= 0 && value <= INT_MAX && lumtrax::IsAssigned(static_cast<Conversion>(value))) {
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

// A keyword that takes one of a few words: the index of the word given.
int ParseWord(py::handle value, const char* name, std::initializer_list<const char*> words) {
    int index = 0;
    std::string choices;
    for (const char* word : words) {
        if (PyUnicode_Check(value.ptr()) && PyUnicode_CompareWithASCIIString(value.ptr(), word) == 0) return index;
        choices += (index == 0 ? "'" : index + 1 == static_cast<int>(words.size()) ? " or '" : ", '") +
                   std::string(word) + "'";
        ++index;
    }
    Raise(types.argument, std::string(name) + " must be " + choices + ", not " + py::repr(value).cast<std::string>());
}

Options ParseOptions(const OptionArguments& a) {
    Options options;
    options.lrss = ParseFlag(a.lrss, "lrss");
    options.shift = ParseFlag(a.shift, "shift");
    options.line_end = static_cast<lumtrax::LineEnd>(ParseWord(a.line_end, "line_end", {"keep", "lf", "drop"}));
    options.mapping = static_cast<lumtrax::Mapping>(ParseWord(a.mapping, "mapping", {"cp932", "jis"}));
    options.errors = static_cast<lumtrax::OnError>(ParseWord(a.errors, "errors", {"strict", "replace"}));
    return options;
}

py::object Steal(PyObject* object) {
    if (object == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::object>(object);
}

py::bytes Bytes(const std::string& data) {
    return Steal(PyBytes_FromStringAndSize(data.data(), static_cast<Py_ssize_t>(data.size())));
}

py::object GaijiMember(GaijiStatus gaiji) {
    return py::reinterpret_borrow<py::object>(types.gaiji[static_cast<int>(gaiji)]);
}

}  // namespace lumtrax_python
