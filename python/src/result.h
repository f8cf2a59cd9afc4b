// lumtrax.Result: the converted bytes and the gaiji status.
#ifndef LUMTRAX_PYTHON_RESULT_H
#define LUMTRAX_PYTHON_RESULT_H

#include <cstddef>

#include "common.h"

namespace lumtrax_python {

// Makes the type (types.result); once, when the module is imported.
PyTypeObject* MakeResultType();

// A new Result of a copy of the bytes, or nullptr with the Python error set.
PyObject* NewResult(const char* data, std::size_t size, GaijiStatus gaiji);

}  // namespace lumtrax_python

#endif  // LUMTRAX_PYTHON_RESULT_H
