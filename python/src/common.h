// What the parts of the compiled module share: the Python types the package
// defines (lumtrax/_types.py, handed over by _bind), the arguments every
// call takes, and the errors it raises.
#ifndef LUMTRAX_PYTHON_COMMON_H
#define LUMTRAX_PYTHON_COMMON_H

#include <pybind11/pybind11.h>

#include <cstddef>
#include <string>
#include <system_error>

#include "lumtrax.hpp"

namespace lumtrax_python {

namespace py = pybind11;
using lumtrax::Conversion;
using lumtrax::GaijiStatus;
using lumtrax::Options;

// Below this size a conversion is shorter than giving the GIL away and
// taking it back.
constexpr std::size_t kReleaseGilAt = 16 * 1024;

// What the package defines in Python (lumtrax/_types.py), handed over by
// _bind when _types is imported.
struct Types {
    PyObject* parse_conversion = nullptr;  // _types._conversion(obj) -> int, or raises
    PyObject* gaiji_status = nullptr;      // the enumeration
    PyObject* gaiji[3] = {};               // its members
    PyObject* error = nullptr;
    PyObject* unassigned = nullptr;
    PyObject* too_long = nullptr;
    PyObject* argument = nullptr;
    PyObject* text_error = nullptr;  // TextError(message, start, end, partial, record)
    PyTypeObject* result = nullptr;
    PyObject* batch = nullptr;  // lumtrax.Batch(data, ends, gaiji)
};
extern Types types;

[[noreturn]] void Raise(PyObject* type, const std::string& message);
std::string TypeName(PyObject* object);
// The conversion's name as Python's enumeration has it: "SJIS_TO_EBCDIC".
std::string ConversionName(Conversion conversion);
[[noreturn]] void RaiseError(std::error_code error, Conversion conversion, const std::string& what, std::size_t size);
// The errors of the conversions to and from Unicode (a unit without a
// Unicode form, a character without a code, text that is not UTF-8 or
// UTF-16): a TextError naming the bytes of the text where the conversion
// stopped, with the result of the text before them; record is None or the
// index of the record.
bool IsTextError(std::error_code error);
[[noreturn]] void RaiseTextError(std::error_code error, const std::string& what, const lumtrax::ByteRange& place,
                                 const std::string& partial, py::handle record);
Conversion ParseConversion(py::handle conversion);
// The keyword arguments of every conversion call.
struct OptionArguments {
    py::handle line_end, lrss, shift, mapping, errors;
};
Options ParseOptions(const OptionArguments& arguments);

py::object Steal(PyObject* object);
py::bytes Bytes(const std::string& data);
py::object GaijiMember(GaijiStatus gaiji);

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

}  // namespace lumtrax_python

#endif  // LUMTRAX_PYTHON_COMMON_H
