#include "common.h"

#include <climits>

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
