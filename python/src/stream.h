// lumtrax.Stream, a text fed in pieces; and the file converter of
// lumtrax.dask, which converts a file as the lumtrax command does.
#ifndef LUMTRAX_PYTHON_STREAM_H
#define LUMTRAX_PYTHON_STREAM_H

#include "common.h"

namespace lumtrax_python {

// Adds Stream and _FileConverter to the module.
void AddStreams(py::module_& module);

}  // namespace lumtrax_python

#endif  // LUMTRAX_PYTHON_STREAM_H
