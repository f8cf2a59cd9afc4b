// convert(), convert_many(), and the codecs' helpers: one text, or records, in one
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

// _codec_decode(data, conversion, replace): the str of a host text through
// UTF-16LE; _codec_encode(text, conversion, replace): the host bytes of a
// str. None where the codec must look closer (an error, or a gaiji that the
// server replaced in strict mode).
PyObject* CodecDecode(PyObject*, PyObject* const* args, Py_ssize_t count);
PyObject* CodecEncode(PyObject*, PyObject* const* args, Py_ssize_t count);

// _first_replaced(data, conversion, mapping): (start, end) or None.
py::object PyFirstReplaced(py::handle data, py::handle conversion, py::handle mapping);
// _cut(data, conversion, limit, mapping): the last safe cut at or before limit.
std::size_t PyCut(py::handle data, py::handle conversion, std::size_t limit, py::handle mapping);

}  // namespace lumtrax_python

#endif  // LUMTRAX_PYTHON_CALLS_H
