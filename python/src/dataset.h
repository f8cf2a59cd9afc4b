// lumtrax.dataset's compiled part: a layout parsed from a copybook, a reader
// that frames a data set fed in pieces and gives its records as dicts (or
// gathers them into columns for a DataFrame), and a writer that turns JSON
// lines or CSV rows into framed records.
#ifndef LUMTRAX_PYTHON_DATASET_H
#define LUMTRAX_PYTHON_DATASET_H

#include "common.h"

namespace lumtrax_python {

// Adds _Layout, _DatasetReader, _DatasetWriter and _bind_dataset.
void AddDatasets(py::module_& module);

}  // namespace lumtrax_python

#endif  // LUMTRAX_PYTHON_DATASET_H
