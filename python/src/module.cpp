// lumtrax._lumtrax: the compiled part of the Python package, over the safe
// C++ interface (include/lumtrax.hpp) and nothing else of the library:
// common.h (the types, arguments and errors every call shares), buffers.h
// (bytes-like arguments read where they lie), result.h (lumtrax.Result),
// calls.h (convert, convert_many), stream.h (Stream and the file converter of
// lumtrax.dask), dataset.h (the layouts, readers and writers of
// lumtrax.dataset). The GIL is released while a large text, or a large batch of
// records, is converted.
#include <pybind11/pybind11.h>

#include <string>

#include "calls.h"
#include "common.h"
#include "dataset.h"
#include "result.h"
#include "stream.h"

namespace lumtrax_python {
namespace {

PyObject* Kept(py::handle object) {
    return py::reinterpret_borrow<py::object>(object).release().ptr();  // for the life of the process
}

// _types.py hands over what it defines, once it has defined it.
void Bind(py::handle parse_conversion, py::handle gaiji_status, py::handle error, py::handle unassigned,
          py::handle too_long, py::handle argument, py::handle text_error, py::handle batch) {
    types.parse_conversion = Kept(parse_conversion);
    types.gaiji_status = Kept(gaiji_status);
    for (int i = 0; i < 3; ++i) types.gaiji[i] = py::reinterpret_borrow<py::object>(gaiji_status)(i).release().ptr();
    types.error = Kept(error);
    types.unassigned = Kept(unassigned);
    types.too_long = Kept(too_long);
    types.argument = Kept(argument);
    types.text_error = Kept(text_error);
    types.batch = Kept(batch);
}

// The library's table of conversions: (name, number) in the order of the numbers.
py::list ConversionTable() {
    py::list rows;
    std::size_t count = 0;
    const lumtrax::ConversionInfo* table = lumtrax::Conversions(count);
    for (std::size_t k = 0; k < count; ++k)
        rows.append(py::make_tuple(table[k].name, static_cast<int>(table[k].conversion)));
    return rows;
}

}  // namespace
}  // namespace lumtrax_python

PYBIND11_MODULE(_lumtrax, m) {
    using namespace lumtrax_python;
    py::options doc_options;
    doc_options.disable_function_signatures();  // the docstrings carry signatures of their own

    types.result = MakeResultType();
    if (types.result == nullptr) throw py::error_already_set();
    m.add_object("Result", py::handle(reinterpret_cast<PyObject*>(types.result)));
    m.def("_bind", &Bind, "The package's own types, handed over by lumtrax._types.");
    m.def("_conversions", &ConversionTable, "_conversions()\n--\n\n[(name, number)]: the library's conversions.");

    static PyMethodDef fast_functions[] = {
        {"convert", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(FastConvert)),
         METH_FASTCALL | METH_KEYWORDS, kConvertDoc},
        {"convert_many", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(FastConvertMany)),
         METH_FASTCALL | METH_KEYWORDS, kConvertManyDoc},
        {"_codec_decode", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(CodecDecode)), METH_FASTCALL,
         "_codec_decode(data, conversion, replace)\n--\n\nThe codecs' str of a host text, or None."},
        {"_codec_encode", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(CodecEncode)), METH_FASTCALL,
         "_codec_encode(text, conversion, replace)\n--\n\nThe codecs' host bytes of a str, or None."},
        {nullptr, nullptr, 0, nullptr},
    };
    if (PyModule_AddFunctions(m.ptr(), fast_functions) != 0) throw py::error_already_set();
    m.def("_first_replaced", &PyFirstReplaced, py::arg("data"), py::arg("conversion"), py::arg("mapping") = "cp932",
          "_first_replaced(data, conversion, mapping='cp932')\n--\n\n"
          "(start, end): the first unit of data that the conversion replaces by\n"
          "the substitute; None when there is none.");
    m.def("_cut", &PyCut, py::arg("data"), py::arg("conversion"), py::arg("limit"), py::arg("mapping") = "cp932",
          "_cut(data, conversion, limit, mapping='cp932')\n--\n\n"
          "The last place at or before limit (else the first after it) where\n"
          "data can be cut into texts that convert as the whole does; 0 when\n"
          "there is none.");
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

    AddStreams(m);
    AddDatasets(m);
}
