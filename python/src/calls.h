// convert(), convert_many() and _first_bad(): one text, or records, in one
// call into the core each.
#ifndef LUMTRAX_PYTHON_CALLS_H
#define LUMTRAX_PYTHON_CALLS_H

#include <cstddef>
#include <optional>
#include <string_view>

#include "common.h"

namespace lumtrax_python {

// convert and convert_many, called by the vectorcall protocol.
PyObject* FastConvert(PyObject*, PyObject* const* args, Py_ssize_t count, PyObject* keywords);
PyObject* FastConvertMany(PyObject*, PyObject* const* args, Py_ssize_t count, PyObject* keywords);
extern const char kConvertDoc[];
extern const char kConvertManyDoc[];

// _first_bad(data, conversion, decodable=False): (offset, replaced) or None.
py::object PyFirstBad(py::handle data, py::handle conversion, bool decodable);

}  // namespace lumtrax_python

#endif  // LUMTRAX_PYTHON_CALLS_H
